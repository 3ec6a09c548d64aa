#include "ClipboardText.h"

#include "Clipboard.h"
#include "TableSource.h"
#include "shell/Yielder.h"

#include <algorithm>
#include <vector>

std::optional<QString> buildClipboardText(const TableSource& table, Yielder& yielder)
{
    if (table.rows() == 0)
        return std::nullopt;

    auto pause = [&yielder] {
        yielder.yield();
        return !yielder.stopRequested();
    };

    const int columns = table.columns();
    std::vector<qsizetype> widths;
    widths.reserve(size_t(std::max(columns, 0)));
    for (int k = 0; k < columns; ++k) {
        qsizetype width = 0;
        for (qsizetype r = 0; r < table.rows(); ++r) {
            if (!pause())
                return std::nullopt;
            if (r >= table.rows())
                break;
            width = std::max(width, table.cellLength(r, k));
        }
        widths.push_back(width);
    }

    QString text;
    for (qsizetype r = 0; r < table.rows(); ++r) {
        if (!pause())
            return std::nullopt;
        if (r >= table.rows() || !table.isChecked(r))
            continue;
        const qsizetype lineStart = text.size();
        bool rowGone = false;
        for (int k = 0; k < columns; ++k) {
            if (!pause())
                return std::nullopt;
            if (r >= table.rows()) {
                rowGone = true;
                break;
            }
            const QString cell = table.cell(r, k);
            text.append(cell);
            text.resize(text.size() + std::max(widths[size_t(k)] - cell.size(), qsizetype(0)), u' ');
            text.append(u'\t');
        }
        if (rowGone) {
            text.truncate(lineStart);
            break;
        }
        // The last cell's TAB goes, then every space before it. The line
        // before ends in CR LF, so the trimming stops there at the latest.
        if (text.size() > lineStart && text.back() == u'\t')
            text.chop(1);
        qsizetype end = text.size();
        while (end > lineStart && text[end - 1] == u' ')
            --end;
        text.truncate(end);
        text.append(u"\r\n");
    }
    return text;
}

void CopyListviewProperlySpaced(const TableSource& table, ClipboardAccess& clipboard, Yielder& yielder)
{
    const std::optional<QString> text = buildClipboardText(table, yielder);
    if (!text)
        return;
    ClipboardClear(clipboard);
    ClipboardSetText(clipboard, *text);
}
