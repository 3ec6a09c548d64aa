#pragma once

#include "conversion/Embedding.h"
#include "conversion/MapIP.h"

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

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
};

// The results table's sub-items: the forms of the row's address, sub-item k
// being form k, in the embedding and text style the deriver was made with. A
// cell set as derived may fail in them (RFC 5952 text refuses more rows than
// the program's): it then reads as empty.
class ConversionFormsDeriver final : public CellDeriver
{
public:
    explicit ConversionFormsDeriver(const MapIP::ConversionOptions& options
                                    = MapIP::ConversionOptions::defaults())
        : m_options(options)
        , m_programText(options.embedding(), MapIP::TextStyle::Program)
    {
    }

    const MapIP::ConversionOptions& options() const { return m_options; }
    // The same embedding in the program's own text, which reads every row
    // the chosen style reads and more: a run keeps a form as derived whenever
    // this text has it, so a later change of style shows it.
    const MapIP::ConversionOptions& programTextOptions() const { return m_programText; }

    QString derive(int subItem, QStringView rowText) const override;
    void deriveInto(int subItem, QStringView rowText, QString& out) const override;
    qsizetype derivedLength(int subItem, QStringView rowText) const override;
    qsizetype knownDerivedLength(int subItem, QStringView rowText) const override;
    bool derives(int subItem, QStringView rowText, QStringView value) const override;
    unsigned derivedSubItems(QStringView rowText) const override;

private:
    // The row converted last. A table is written row by row, each of its
    // cells read in turn, so the row is read once for all of them; the copy,
    // not the row's memory, says whether a row is the same.
    struct LastRow
    {
        std::array<char16_t, 15> text {};
        qsizetype size = -1;
        std::optional<MapIP::RowConversion> conversion;
    };
    const MapIP::RowConversion& conversionOf(QStringView rowText) const;

    MapIP::ConversionOptions m_options;
    MapIP::ConversionOptions m_programText;
    mutable LastRow m_lastRow;
};
