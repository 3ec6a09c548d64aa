#pragma once

#include <chrono>

class QWidget;

// A start that proves the program comes up, for CI and install checks where
// nobody looks at the screen: once the window system has really shown
// `window` (it is exposed, not merely asked to show), the event loop ends
// with 0. When that has not happened within `limit`, it ends with 1 and says
// so on standard error, so a start that hangs or never maps fails.
void exitOnceShown(QWidget& window, std::chrono::milliseconds limit);
