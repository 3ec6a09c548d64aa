#pragma once

#include "shell/Platform.h"

#include <memory>

// The platform the program runs on: the Qt services, with LibreOffice Calc as
// the spreadsheet application.
std::unique_ptr<Platform> createDesktopPlatform();
