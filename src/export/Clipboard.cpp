#include "Clipboard.h"

#include "shell/PlatformServices.h"

namespace {

template<typename Attempt> void retry(Attempt&& attempt) noexcept
{
    for (int i = 0; i < ClipboardAttempts; ++i) {
        try {
            if (attempt())
                return;
        } catch (...) {
            // A failed attempt, like one that returned false.
        }
    }
}

} // namespace

void ClipboardClear(ClipboardAccess& clipboard) noexcept
{
    retry([&] { return clipboard.tryClear(); });
}

void ClipboardSetText(ClipboardAccess& clipboard, const QString& text) noexcept
{
    retry([&] { return clipboard.trySetText(text); });
}
