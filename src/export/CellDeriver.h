#pragma once

#include "conversion/Decoding.h"
#include "conversion/Embedding.h"
#include "conversion/MapIP.h"

#include <QString>
#include <QStringView>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

// The row read last and what was read from it (a RowConversion or a
// RowDecoding, made from the row and the options). A table is written row by
// row, each of its cells read in turn, so the row is read once for all of
// them; the copy, not the row's memory, says whether a row is the same. A row
// longer than the copy holds is read afresh each time.
template<typename Reading, size_t Capacity> class LastRead
{
public:
    template<typename Options> const Reading& of(QStringView rowText, const Options& options)
    {
        if (rowText.size() > qsizetype(Capacity)) {
            m_size = -1;
            return m_reading.emplace(rowText, options);
        }
        const char16_t* const text = rowText.utf16();
        // std::equal, not memcmp: an empty row has no characters and may
        // have no address at all.
        if (m_size != rowText.size() || !std::equal(text, text + rowText.size(), m_text.data())) {
            std::copy(text, text + rowText.size(), m_text.begin());
            m_size = rowText.size();
            m_reading.emplace(QStringView(m_text.data(), m_size), options);
        }
        return *m_reading;
    }

private:
    std::array<char16_t, Capacity> m_text {};
    qsizetype m_size = -1;
    std::optional<Reading> m_reading;
};

// Cells that follow from a row's own text. A table given a deriver keeps such a
// cell as one bit and builds its text when it is read, which keeps a table of a
// million converted addresses small.
class CellDeriver
{
public:
    virtual ~CellDeriver() = default;

    // The text of sub-item `subItem` (from 1) derived from `rowText`, or a null
    // string when nothing derives from it.
    virtual QString derive(int subItem, QStringView rowText) const = 0;
    // The same text put into `out`, whose memory is reused when it has room;
    // `out` is emptied when nothing derives.
    virtual void deriveInto(int subItem, QStringView rowText, QString& out) const
    {
        out = derive(subItem, rowText);
    }
    // Its length, or -1 when nothing derives from it.
    virtual qsizetype derivedLength(int subItem, QStringView rowText) const = 0;
    // The length of a text known to derive (the table checked it when it set
    // the cell), which may be found without the checks of derivedLength().
    virtual qsizetype knownDerivedLength(int subItem, QStringView rowText) const
    {
        return derivedLength(subItem, rowText);
    }
    // True when `value` is exactly the derived text.
    virtual bool derives(int subItem, QStringView rowText, QStringView value) const = 0;
    // The sub-items with a derived text, bit k - 1 standing for sub-item k.
    virtual unsigned derivedSubItems(QStringView rowText) const = 0;

    // The parts a row stands for when it makes several table rows (a range
    // of several prefixes), in order; none for a row that makes one.
    virtual std::vector<MapIP::Ipv4Network> partsOf(QStringView /*rowText*/) const { return {}; }
    // The text of sub-item `subItem` of one such part, the row being its
    // original; emptied when nothing derives.
    virtual void derivePartInto(int /*subItem*/, QStringView /*rowText*/, const MapIP::Ipv4Network& /*part*/,
                                QString& out) const
    {
        out.resize(0);
    }
};

// The results table's sub-items: the forms of the row's address, sub-item k
// being form k, in the embedding and text style the deriver was made with,
// and with `reverseDns` the ip6.arpa name after them. A cell set as derived
// may fail in them (RFC 5952 text refuses more rows than the program's): it
// then reads as empty. A range of several prefixes makes a table row per
// prefix.
class ConversionFormsDeriver final : public CellDeriver
{
public:
    explicit ConversionFormsDeriver(const MapIP::ConversionOptions& options
                                    = MapIP::ConversionOptions::defaults(),
                                    bool reverseDns = false)
        : m_options(options)
        , m_programText(options.embedding(), MapIP::TextStyle::Program)
        , m_reverseDns(reverseDns)
    {
    }

    const MapIP::ConversionOptions& options() const { return m_options; }
    // The same embedding in the program's own text, which reads every row
    // the chosen style reads and more: a run keeps a form as derived whenever
    // this text has it, so a later change of style shows it.
    const MapIP::ConversionOptions& programTextOptions() const { return m_programText; }
    bool reverseDns() const { return m_reverseDns; }
    // The sub-item of the reverse-DNS name.
    static constexpr int ReverseDnsSubItem = MapIP::FormCount + 1;
    // The sub-items a converted row has a text for, for a caller that has
    // the conversion already (derivedSubItems() of its row).
    static unsigned subItemsOf(const MapIP::RowConversion& conversion, bool reverseDns);
    // The prefixes of a range that makes several table rows; none for any
    // other row (partsOf() of its row).
    static std::vector<MapIP::Ipv4Network> partsOf(const MapIP::RowConversion& conversion);
    // The length of a cell set as derived (knownDerivedLength() of its row).
    static qsizetype cellLength(const MapIP::RowConversion& conversion, int subItem, bool reverseDns);
    // A derived cell's text in pieces, none of them built (deriveInto() of
    // its row): a form's pieces, or the reverse-DNS name put in `buffer`.
    static MapIP::FormPieces cellPieces(const MapIP::RowConversion& conversion, int subItem, bool reverseDns,
                                        QString& buffer)
    {
        if (reverseDns && subItem == ReverseDnsSubItem) {
            buffer = conversion.reverseDnsName();
            return { {}, buffer, {} };
        }
        return subItem >= 1 && subItem <= MapIP::FormCount ? conversion.pieces(MapIP::formAt(subItem))
                                                           : MapIP::FormPieces();
    }

    QString derive(int subItem, QStringView rowText) const override;
    void deriveInto(int subItem, QStringView rowText, QString& out) const override;
    qsizetype derivedLength(int subItem, QStringView rowText) const override;
    qsizetype knownDerivedLength(int subItem, QStringView rowText) const override;
    bool derives(int subItem, QStringView rowText, QStringView value) const override;
    unsigned derivedSubItems(QStringView rowText) const override;
    std::vector<MapIP::Ipv4Network> partsOf(QStringView rowText) const override;
    using CellDeriver::partsOf;
    void derivePartInto(int subItem, QStringView rowText, const MapIP::Ipv4Network& part,
                        QString& out) const override;

private:
    bool isReverseDns(int subItem) const { return m_reverseDns && subItem == ReverseDnsSubItem; }
    // A row's or a part's cell: deriveInto() and derivePartInto().
    void cellInto(const MapIP::RowConversion& conversion, int subItem, QString& out) const;

    const MapIP::RowConversion& conversionOf(QStringView rowText) const
    {
        return m_lastRow.of(rowText, m_options);
    }

    MapIP::ConversionOptions m_options;
    MapIP::ConversionOptions m_programText;
    bool m_reverseDns;
    // A dotted quad is at most 15 characters.
    mutable LastRead<MapIP::RowConversion, 15> m_lastRow;
};

// The results table's sub-items in the other direction: the row is IPv6
// text, sub-items 1 to 3 what it decodes to (RowDecoding's fields in order)
// and with `reverseDns` its in-addr.arpa name after them. A row that does
// not decode has none.
class DecodedFieldsDeriver final : public CellDeriver
{
public:
    explicit DecodedFieldsDeriver(const MapIP::DecodeOptions& options = {}, bool reverseDns = false)
        : m_options(options)
        , m_reverseDns(reverseDns)
    {
    }

    const MapIP::DecodeOptions& options() const { return m_options; }
    bool reverseDns() const { return m_reverseDns; }
    static constexpr int ReverseDnsSubItem = MapIP::RowDecoding::FieldCount + 1;
    // The sub-items a decoded row has, for a caller that has decoded it
    // already (derivedSubItems() of its row).
    static unsigned subItemsOf(const MapIP::RowDecoding& decoding, bool reverseDns);
    // The length of a cell set as derived (knownDerivedLength() of its row).
    static qsizetype cellLength(const MapIP::RowDecoding& decoding, int subItem, bool reverseDns);
    // A derived cell's text (deriveInto() of its row): a field's text, or
    // the reverse-DNS name put in `buffer`.
    static QStringView cellText(const MapIP::RowDecoding& decoding, int subItem, bool reverseDns,
                                QString& buffer)
    {
        if (reverseDns && subItem == ReverseDnsSubItem) {
            buffer = decoding.reverseDnsName();
            return buffer;
        }
        return subItem >= 1 && subItem <= MapIP::RowDecoding::FieldCount
            ? decoding.text(MapIP::RowDecoding::Field(subItem - 1))
            : QStringView();
    }

    QString derive(int subItem, QStringView rowText) const override;
    void deriveInto(int subItem, QStringView rowText, QString& out) const override;
    qsizetype derivedLength(int subItem, QStringView rowText) const override;
    qsizetype knownDerivedLength(int subItem, QStringView rowText) const override;
    bool derives(int subItem, QStringView rowText, QStringView value) const override;
    unsigned derivedSubItems(QStringView rowText) const override;

private:
    bool isField(int subItem) const { return subItem >= 1 && subItem <= MapIP::RowDecoding::FieldCount; }
    bool isReverseDns(int subItem) const { return m_reverseDns && subItem == ReverseDnsSubItem; }

    const MapIP::RowDecoding& decodingOf(QStringView rowText) const
    {
        return m_lastRow.of(rowText, m_options);
    }

    MapIP::DecodeOptions m_options;
    bool m_reverseDns;
    // IPv6 text with blanks around it fits in 64 characters.
    mutable LastRead<MapIP::RowDecoding, 64> m_lastRow;
};
