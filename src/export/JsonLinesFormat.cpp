#include "TableFormats.h"

#include "EncodedBlocks.h"
#include "TableWalk.h"
#include "conversion/Decoding.h"
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

// Column 0 is the row as given; the others are named after their captions:
// a form's, or a decoded row's column.
QString keyOf(const TableSource& table, int column)
{
    if (column == 0)
        return MapIP::OriginalName.toString();
    const QString caption = table.caption(column).trimmed();
    for (const MapIP::FormDefinition& form : MapIP::Forms) {
        if (form.caption.trimmed() == caption)
            return form.name.toString();
    }
    for (const MapIP::DecodeColumn& decoded : MapIP::DecodeColumns) {
        if (decoded.caption == caption)
            return decoded.name.toString();
    }
    return caption;
}

constexpr QStringView Ipv4Key = MapIP::DecodeColumns[1].name;

class JsonObjects final : public RowFormat
{
public:
    JsonObjects(const TableSource& table, EncodedBlocks& output)
        : m_output(output)
    {
        for (int column = 0; column < table.columns(); ++column)
            m_keys.append(keyOf(table, column));
        m_ipv4Column = m_keys.indexOf(Ipv4Key.toString());
    }

    void beginRow(qsizetype) override
    {
        m_output.append('{');
        m_rowDecoded = false;
    }

    void cell(const TableCell& cell) override
    {
        if (cell.column() > 0)
            m_output.append(',');
        appendString(m_output, m_keys.value(cell.column()));
        m_output.append(':');
        // A form's cell is empty only when the form did not convert; a
        // decoded row's cells only when the row did not decode (its detail
        // may be empty text).
        const QStringView text = cell.view();
        if (cell.column() == m_ipv4Column)
            m_rowDecoded = !text.isEmpty();
        const bool missing = m_ipv4Column < 0 || !m_rowDecoded;
        if (cell.column() > 0 && text.isEmpty() && missing)
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
    qsizetype m_ipv4Column = -1;
    bool m_rowDecoded = false;
};

} // namespace

bool writeJsonLines(const TableSource& table, Yielder& yielder, EncodedBlocks& output)
{
    TableWalk walk(table, yielder);
    JsonObjects objects(table, output);
    return walk.forEachTickedRow(objects);
}
