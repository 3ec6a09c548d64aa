#include "TableFormats.h"

#include "EncodedBlocks.h"
#include "TableWalk.h"
#include "conversion/Forms.h"

#include <QStringList>

namespace {

// A JSON string: quotes, backslashes and control characters escaped, and a
// lone half of a surrogate pair too, since UTF-8 cannot carry one.
void appendString(EncodedBlocks& output, QStringView text)
{
    output.append('"');
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        if (pair) {
            ++i;
            continue;
        }
        if (c != u'"' && c != u'\\' && c >= 0x20 && !QChar::isSurrogate(c))
            continue;
        output.append(text.sliced(start, i - start));
        start = i + 1;
        if (c == u'"' || c == u'\\') {
            output.append('\\');
            output.append(char(c));
        } else {
            output.append(QStringLiteral("\\u") + QString::number(c, 16).rightJustified(4, u'0'));
        }
    }
    output.append(text.sliced(start));
    output.append('"');
}

// The table's key for the column; where it names none, column 0 is the
// address as given and column k form k.
QString keyOf(const TableSource& table, int column)
{
    if (QString key = table.key(column); !key.isEmpty())
        return key;
    if (column == 0)
        return MapIP::OriginalName.toString();
    if (column <= MapIP::FormCount)
        return MapIP::Forms[size_t(column - 1)].name.toString();
    return table.caption(column).trimmed();
}

class JsonObjects final : public RowFormat
{
public:
    JsonObjects(const TableSource& table, EncodedBlocks& output)
        : m_output(output)
    {
        for (int column = 0; column < table.columns(); ++column)
            m_keys.append(keyOf(table, column));
    }

    void beginRow(qsizetype) override { m_output.append('{'); }

    void cell(const TableCell& cell) override
    {
        if (cell.column() > 0)
            m_output.append(',');
        appendString(m_output, m_keys.value(cell.column()));
        m_output.append(':');
        // null for a result the row did not give, "" for an empty one.
        const QStringView text = cell.view();
        if (text.isEmpty() && cell.blank())
            m_output.append(u"null");
        else
            appendString(m_output, text);
    }

    bool endRow(qsizetype) override
    {
        m_output.append(u"}\n");
        return true;
    }

private:
    EncodedBlocks& m_output;
    QStringList m_keys;
};

} // namespace

bool writeJsonLines(const TableSource& table, Yielder& yielder, EncodedBlocks& output)
{
    TableWalk walk(table, yielder);
    JsonObjects objects(table, output);
    return walk.forEachTickedRow(objects);
}
