#pragma once

#include <QString>

class ErrorTrap;
class QCursor;
class QWidget;
class SkinFramework;
class WindowPointer;

// The windows' shared look: the button-face background, the optional skin of
// the start-up window and the hand pointer.
namespace Appearance {

// The files looked for in the program's folder.
QString skinFilePath(const QString& programFolder);
QString handCursorPath(const QString& programFolder);

// Gives the window and its frames, labels, option buttons and check boxes the
// desktop's button-face colour (a palette role, so it follows theme changes).
void ApplyFormColors(QWidget* window);

// When the skin file exists as an ordinary file: the button-face colours on the
// window, then the skin handed to the skin component. Otherwise nothing.
void ApplySkin(QWidget* window, SkinFramework& skin, const QString& programFolder);

// Reads a Windows cursor file (.cur) with its hot spot. Raises AppError when
// the file cannot be read, is not a regular file (it is then never opened, so
// a named pipe cannot stall start-up) or is not a cursor.
QCursor loadCursorFile(const QString& path);

// Each window's hand cursor set-up, statements 104 and 106 of its start-up:
// when the hand cursor file exists it becomes the window's custom icon. A
// missing file is no error; a file that cannot be read as a cursor is.
void setUpHandCursor(ErrorTrap& trap, WindowPointer& pointer, const QString& programFolder);

// True when a widget shows the button-face colour.
bool hasButtonFaceColor(const QWidget* widget);

} // namespace Appearance
