#pragma once

#include <QIcon>

// The application icon, drawn at the sizes desktops ask for: a "4" turning
// into a "6" on a blue tile.
QIcon applicationIcon();
