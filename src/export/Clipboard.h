#pragma once

#include <QString>

class ClipboardAccess;

// The clipboard operations both windows go through. Another program may hold
// the clipboard for a moment, so each operation is attempted up to 1000 times
// in a row; after that it gives up without a word. Neither ever raises.
inline constexpr int ClipboardAttempts = 1000;

void ClipboardClear(ClipboardAccess& clipboard) noexcept;
void ClipboardSetText(ClipboardAccess& clipboard, const QString& text) noexcept;
