#include "ClipboardText.h"

#include "Clipboard.h"
#include "TableSource.h"
#include "TableWalk.h"

#include <algorithm>
#include <vector>

namespace {

// The clipboard text as a format on the table walk: each ticked row's cells
// padded to their columns' widths, then the line's end trimmed.
class ClipboardLines final : public RowFormat
{
public:
    ClipboardLines(std::vector<qsizetype> widths, const ClipboardLineSink& sink)
        : m_widths(std::move(widths))
        , m_sink(sink)
    {
    }

    void beginRow(qsizetype) override { m_line.resize(0); }

    void cell(const TableCell& cell) override
    {
        const QStringView text = cell.view();
        m_line.append(text);
        m_line.resize(m_line.size() + std::max(m_widths[size_t(cell.column())] - text.size(), qsizetype(0)),
                      u' ');
        m_line.append(u'\t');
    }

    // The last cell's TAB goes, then every space before it. A row that went
    // away while its line was being built is simply never handed over.
    bool endRow(qsizetype) override
    {
        if (!m_line.isEmpty() && m_line.back() == u'\t')
            m_line.chop(1);
        qsizetype end = m_line.size();
        while (end > 0 && m_line[end - 1] == u' ')
            --end;
        m_line.truncate(end);
        m_line.append(u"\r\n");
        m_sink(m_line);
        return true;
    }

private:
    std::vector<qsizetype> m_widths;
    const ClipboardLineSink& m_sink;
    // One line at a time, in a buffer that keeps its memory from line to line.
    QString m_line;
};

} // namespace

bool forEachClipboardLine(const TableSource& table, Yielder& yielder, const ClipboardLineSink& sink)
{
    TableWalk walk(table, yielder);
    std::optional<std::vector<qsizetype>> widths = walk.columnWidths();
    if (!widths)
        return false;
    ClipboardLines lines(std::move(*widths), sink);
    return walk.forEachTickedRow(lines);
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
