#include "ClipboardText.h"

#include "Clipboard.h"
#include "TableSource.h"
#include "shell/Yielder.h"

#include <algorithm>
#include <vector>

bool forEachClipboardLine(const TableSource& table, Yielder& yielder, const ClipboardLineSink& sink)
{
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
                return false;
            if (r >= table.rows())
                break;
            width = std::max(width, table.cellLength(r, k));
        }
        widths.push_back(width);
    }

    // One line at a time, in a buffer that keeps its memory from line to line.
    QString line;
    QString cellBuffer;
    for (qsizetype r = 0; r < table.rows(); ++r) {
        if (!pause())
            return false;
        if (r >= table.rows() || !table.isChecked(r))
            continue;
        line.resize(0);
        bool rowGone = false;
        for (int k = 0; k < columns; ++k) {
            if (!pause())
                return false;
            if (r >= table.rows()) {
                rowGone = true;
                break;
            }
            const QStringView cell = table.cellView(r, k, cellBuffer);
            line.append(cell);
            line.resize(line.size() + std::max(widths[size_t(k)] - cell.size(), qsizetype(0)), u' ');
            line.append(u'\t');
        }
        // A row that went away while its line was being built is left out.
        if (rowGone)
            break;
        // The last cell's TAB goes, then every space before it.
        if (!line.isEmpty() && line.back() == u'\t')
            line.chop(1);
        qsizetype end = line.size();
        while (end > 0 && line[end - 1] == u' ')
            --end;
        line.truncate(end);
        line.append(u"\r\n");
        sink(line);
    }
    return true;
}

std::optional<QString> buildClipboardText(const TableSource& table, Yielder& yielder)
{
    if (table.rows() == 0)
        return std::nullopt;
    QString text;
    if (!forEachClipboardLine(table, yielder, [&text](QStringView line) { text.append(line); }))
        return std::nullopt;
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
