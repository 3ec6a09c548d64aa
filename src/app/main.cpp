#include "app/DesktopPlatform.h"
#include "single_window/Form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The start-up window ends the program itself when it is closed; the batch
    // window closing (it shows the start-up window again) must not.
    QApplication::setQuitOnLastWindowClosed(false);

    const std::unique_ptr<Platform> platform = createDesktopPlatform();
    Form1 window(*platform);
    window.show();
    return QApplication::exec();
}
