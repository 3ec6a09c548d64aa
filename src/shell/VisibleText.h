#pragma once

#include <QString>
#include <QStringView>

// Text from a file, an argument or a list row, made fit to print on a
// terminal: every control character (C0, DEL and C1, so ESC, BEL and NUL
// among them) and every bidirectional embedding, override and isolate
// (U+202A to U+202E, U+2066 to U+2069) becomes "?". Such text could otherwise
// retitle, clear or reprogram the terminal that shows a message, or show its
// words in another order than they are.
QString withVisibleControls(QStringView text);

// True for a character that withVisibleControls replaces.
constexpr bool isControlCharacter(char16_t c) noexcept
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0x202A && c <= 0x202E)
        || (c >= 0x2066 && c <= 0x2069);
}
