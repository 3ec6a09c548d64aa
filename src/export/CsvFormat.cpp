#include "TableFormats.h"

#include "EncodedBlocks.h"
#include "TableWalk.h"

#include <algorithm>

namespace {

void appendField(EncodedBlocks& output, QStringView text)
{
    const bool quoted = std::any_of(
        text.begin(), text.end(), [](QChar c) { return c == u',' || c == u'"' || c == u'\r' || c == u'\n'; });
    if (!quoted) {
        output.append(text);
        return;
    }
    output.append('"');
    // Each quote is written twice: the text up to it, then one more.
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'"') {
            output.append(text.sliced(start, i + 1 - start));
            output.append('"');
            start = i + 1;
        }
    }
    output.append(text.sliced(start));
    output.append('"');
}

class CsvRows final : public RowFormat
{
public:
    explicit CsvRows(EncodedBlocks& output)
        : m_output(output)
    {
    }

    void cell(const TableCell& cell) override
    {
        if (cell.column() > 0)
            m_output.append(',');
        appendField(m_output, cell.view());
    }

    bool endRow(qsizetype) override
    {
        m_output.append(u"\r\n");
        return true;
    }

private:
    EncodedBlocks& m_output;
};

} // namespace

bool writeCsv(const TableSource& table, Yielder& yielder, EncodedBlocks& output)
{
    TableWalk walk(table, yielder);
    // The captions without the blank the list view puts before them.
    const bool captions = walk.forEachColumn([&](int column) {
        if (column > 0)
            output.append(',');
        appendField(output, table.caption(column).trimmed());
    });
    if (!captions)
        return false;
    output.append(u"\r\n");
    CsvRows rows(output);
    return walk.forEachTickedRow(rows);
}
