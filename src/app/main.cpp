#include "BuildConfig.h"
#include "app/DesktopPlatform.h"
#include "app/ProgramStart.h"
#include "app/StartCheck.h"
#include "single_window/Form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUADRIX_VERSION));
    // Lets Wayland compositors match the windows to the installed .desktop file and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUADRIX_APP_ID));
    // The start-up window ends the program itself when it is closed; the batch
    // window closing (it shows the start-up window again) must not.
    QApplication::setQuitOnLastWindowClosed(false);

    const ProgramStart start = readProgramStart(QCoreApplication::arguments());

    const std::unique_ptr<Platform> platform = createDesktopPlatform();
    Form1 window(*platform);
    QWidget& shown = showFirstWindow(window, start.listFiles);
    if (start.smoke)
        exitOnceShown(shown, std::chrono::seconds(30));
    return QApplication::exec();
}
