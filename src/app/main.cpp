#include "BuildConfig.h"
#include "app/DesktopPlatform.h"
#include "app/StartCheck.h"
#include "single_window/Form1.h"

#include <QApplication>
#include <QCommandLineParser>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUADRIX_VERSION));
    // Lets Wayland compositors match the windows to the installed .desktop file and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUADRIX_APP_ID));
    // The start-up window ends the program itself when it is closed; the batch
    // window closing (it shows the start-up window again) must not.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser arguments;
    arguments.setApplicationDescription(u"Turns IPv4 addresses into their IPv6 text forms."_s);
    arguments.addHelpOption();
    arguments.addVersionOption();
    const QCommandLineOption smoke(u"smoke"_s,
                                   u"Exit once the window is on screen (0), or after 30 s (1)."_s);
    arguments.addOption(smoke);
    arguments.process(app);

    const std::unique_ptr<Platform> platform = createDesktopPlatform();
    Form1 window(*platform);
    window.show();
    if (arguments.isSet(smoke))
        exitOnceShown(window, std::chrono::seconds(30));
    return QApplication::exec();
}
