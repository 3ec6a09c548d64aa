#pragma once

#include <QString>
#include <QStringView>

// Text from a file, an argument or a list row, made fit to print on a
// terminal: every control character (C0, DEL and C1, so ESC, BEL and NUL
// among them) becomes "?". Such text could otherwise retitle, clear or
// reprogram the terminal that shows a message.
QString withVisibleControls(QStringView text);

// True for a character that withVisibleControls replaces.
constexpr bool isControlCharacter(char16_t c) noexcept
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}
