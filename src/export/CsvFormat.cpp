#include "TableFormats.h"

#include "EncodedBlocks.h"
#include "TableWalk.h"

#include <algorithm>

namespace {

bool startsFormula(QStringView text)
{
    if (text.isEmpty())
        return false;
    const char16_t c = text.front().unicode();
    return c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r';
}

void appendField(EncodedBlocks& output, QStringView text, CsvFields fields)
{
    const bool quoted = std::any_of(
        text.begin(), text.end(), [](QChar c) { return c == u',' || c == u'"' || c == u'\r' || c == u'\n'; });
    const bool marked = fields == CsvFields::FormulaSafe && startsFormula(text);
    if (quoted)
        output.append('"');
    if (marked)
        output.append('\'');
    if (!quoted) {
        output.append(text);
        return;
    }
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
    CsvRows(EncodedBlocks& output, CsvFields fields)
        : m_output(output)
        , m_fields(fields)
    {
    }

    void cell(const TableCell& cell) override
    {
        if (cell.column() > 0)
            m_output.append(',');
        appendField(m_output, cell.view(), m_fields);
    }

    bool endRow(qsizetype) override
    {
        m_output.append(u"\r\n");
        return true;
    }

private:
    EncodedBlocks& m_output;
    CsvFields m_fields;
};

} // namespace

bool writeCsv(const TableSource& table, Yielder& yielder, EncodedBlocks& output, CsvFields fields)
{
    TableWalk walk(table, yielder);
    // The captions without the blank the list view puts before them.
    const bool captions = walk.forEachColumn([&](int column) {
        if (column > 0)
            output.append(',');
        appendField(output, table.caption(column).trimmed(), fields);
    });
    if (!captions)
        return false;
    output.append(u"\r\n");
    CsvRows rows(output, fields);
    return walk.forEachTickedRow(rows);
}
