#include "TsvFormat.h"

#include "conversion/Decoding.h"
#include "conversion/MapIP.h"

#include <algorithm>
#include <array>
#include <span>

namespace {

// The letter after the backslash, or 0 for a character written as it is.
char escapeOf(char16_t c)
{
    switch (c) {
    case u'\\':
        return '\\';
    case u'\t':
        return 't';
    case u'\n':
        return 'n';
    case u'\r':
        return 'r';
    default:
        return '\0';
    }
}

bool needsEscape(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 ? (u == u'\t' || u == u'\n' || u == u'\r') : u == u'\\';
}

// The first character to escape, or the text's size.
qsizetype firstEscape(QStringView text)
{
    return std::find_if(text.begin(), text.end(), needsEscape) - text.begin();
}

void appendField(EncodedBlocks& output, QStringView text)
{
    // Nearly every row needs no escape at all: find the first one quickly.
    const qsizetype first = firstEscape(text);
    if (first == text.size()) {
        output.append(text);
        return;
    }
    qsizetype start = 0;
    for (qsizetype i = first; i < text.size(); ++i) {
        const char escape = escapeOf(text[i].unicode());
        if (escape == 0)
            continue;
        output.append(text.sliced(start, i - start));
        output.append('\\');
        output.append(escape);
        start = i + 1;
    }
    output.append(text.sliced(start));
}

class TsvStream final : public RowStream
{
public:
    TsvStream(EncodedBlocks& output, bool reverseDns)
        : m_output(output)
        , m_reverseDns(reverseDns)
    {
    }

    // The row and each of its forms, a failing one empty. A form is written
    // in its pieces, never built: a row may be huge.
    void write(const MapIP::RowConversion& row) override
    {
        const QString reverseDns = m_reverseDns ? row.reverseDnsName() : QString();
        if (!writeUnescaped(row, reverseDns))
            writeEscaped(row, reverseDns);
    }

    void write(const MapIP::RowDecoding& row) override
    {
        // The fields a decoding writes are dotted quads, names, prefixes and
        // the program's own text.
        const QString reverseDns = m_reverseDns ? row.reverseDnsName() : QString();
        const MapIP::FormPieces results[] = { { {}, row.text(MapIP::RowDecoding::Field::Ipv4), {} },
                                              { {}, row.text(MapIP::RowDecoding::Field::Embedding), {} },
                                              { {}, row.text(MapIP::RowDecoding::Field::Detail), {} },
                                              { {}, reverseDns, {} } };
        if (writeUnescaped(row.row(), std::span(results).first(m_reverseDns ? 4 : 3)))
            return;
        appendField(m_output, row.row());
        for (const auto field : { MapIP::RowDecoding::Field::Ipv4, MapIP::RowDecoding::Field::Embedding,
                                  MapIP::RowDecoding::Field::Detail }) {
            m_output.append('\t');
            appendField(m_output, row.text(field));
        }
        if (m_reverseDns) {
            m_output.append('\t');
            m_output.append(reverseDns);
        }
        m_output.append('\n');
    }

private:
    // The fields of a short row with nothing to escape, as nearly every one
    // is, written as one line in one go; false, with nothing written, for
    // any other (a long one is written a block at a time). The first field
    // is the row; the others are its results, in pieces, the program's own
    // text or parts of the row, none of which needs an escape.
    bool writeUnescaped(QStringView row, std::span<const MapIP::FormPieces> results)
    {
        qsizetype size = row.size() + 1;
        if (size > ShortRow || firstEscape(row) != row.size())
            return false;
        for (const MapIP::FormPieces& field : results)
            size += field.size() + 1;
        char* out = m_output.room(size);
        out += AnsiCodePage::encodeInto(row, out);
        for (const MapIP::FormPieces& field : results) {
            *out++ = '\t';
            for (const QStringView piece : { field.prefix, field.body, field.suffix })
                out += AnsiCodePage::encodeInto(piece, out);
        }
        *out++ = '\n';
        m_output.appended(out);
        return true;
    }

    bool writeUnescaped(const MapIP::RowConversion& row, const QString& reverseDns)
    {
        // A body that is the address as given is part of the row, or a
        // range part's dotted quad.
        std::array<MapIP::FormPieces, MapIP::FormCount + 1> results;
        for (size_t i = 0; i < MapIP::Forms.size(); ++i)
            results[i] = row.pieces(MapIP::Forms[i].form);
        results.back() = { {}, reverseDns, {} };
        return writeUnescaped(row.address(),
                              std::span(results).first(m_reverseDns ? results.size() : MapIP::Forms.size()));
    }

    static constexpr qsizetype ShortRow = 4096;

    void writeEscaped(const MapIP::RowConversion& row, const QString& reverseDns)
    {
        appendField(m_output, row.address());
        for (const MapIP::FormDefinition& form : MapIP::Forms) {
            m_output.append('\t');
            // Prefixes and hex groups are the program's own text, never escaped.
            const MapIP::FormPieces text = row.pieces(form.form);
            m_output.append(text.prefix);
            if (form.body == MapIP::Body::AddressAsGiven)
                appendField(m_output, text.body);
            else
                m_output.append(text.body);
            if (!text.suffix.isEmpty())
                m_output.append(text.suffix);
        }
        if (m_reverseDns) {
            m_output.append('\t');
            m_output.append(reverseDns);
        }
        m_output.append('\n');
    }

    EncodedBlocks& m_output;
    bool m_reverseDns;
};

} // namespace

std::unique_ptr<RowStream> openTsvStream(EncodedBlocks& output, const OutputSettings& settings)
{
    return std::make_unique<TsvStream>(output, settings.reverseDns);
}
