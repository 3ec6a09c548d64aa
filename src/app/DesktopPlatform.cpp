#include "DesktopPlatform.h"

#include "app/QtPlatform.h"
#include "export/LibreOfficeCalc.h"

std::unique_ptr<Platform> createDesktopPlatform()
{
    Platform::Services services = qtPlatformServices();
    services.spreadsheet = std::make_unique<LibreOfficeCalc>();
    return std::make_unique<Platform>(std::move(services));
}
