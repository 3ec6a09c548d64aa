#pragma once

#include <QIcon>

// The application icon: the PNGs rendered from data/icons/quadrix.svg, built
// into the program so that the windows show what the desktop's menu shows.
QIcon applicationIcon();
