#pragma once

// The pointer values a window keeps: the window shows the matching cursor.
enum class MousePointer : int {
    Default = 0, // the arrow
    Hourglass = 11, // the window is busy
    Custom = 99, // the window's hand pointer
};
