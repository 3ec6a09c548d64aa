#pragma once

#include "ResultRows.h"
#include "ResultsTable.h"
#include "TextArena.h"
#include "conversion/Forms.h"

#include <QByteArray>
#include <QStringView>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ExportTarget;
namespace MapIP {
class RowConversion;
class RowDecoding;
struct DecodedAddress;
} // namespace MapIP

// The column-aligned text file for a writer that has every row before it
// writes (the command-line tool): the rows of a results table kept as their
// texts and a few marks, each measured as it is added, then written in
// blocks of lines made on every processor and written in order.
//
// The bytes are those SaveListviewProperlySpaced writes for a table of the
// same layout, filled with the same rows and ticked the same way; that
// writer walks a table the window may change under it, this one only what it
// was given, which is what lets the lines be made on several threads.
class AlignedTextRows final : public ResultRows
{
public:
    explicit AlignedTextRows(const ResultsTable::Layout& layout);
    ~AlignedTextRows();

    AlignedTextRows(const AlignedTextRows&) = delete;
    AlignedTextRows& operator=(const AlignedTextRows&) = delete;

    qsizetype rows() const override { return m_rowCount; }

    // A row in the layout's direction, measured as it is added; a range's
    // text is the original of each of its prefixes, all of whose sub-items
    // derive.
    void add(const MapIP::RowConversion& row, unsigned subItems, bool ticked) override;
    void add(const MapIP::RowDecoding& row, unsigned subItems, bool ticked) override;
    void addPart(QStringView text, const MapIP::Ipv4Network& part, bool ticked) override;

    // The columns' widths, and the lengths of the rows measured whose forms'
    // lengths follow their own (RowConversion::lengthsFollowSize()): of those
    // only one of each length is measured.
    struct Widths
    {
        std::vector<qsizetype> columns;
        quint64 followingLengths = 0;
    };
    // The same in steps, for a caller that reads rows on one thread and
    // measures them on others: the text kept, the row measured into widths
    // of the caller's (noWidths(), a thread each), the widths taken in, the
    // row added.
    QStringView store(QStringView text) { return m_texts.store(text); }
    Widths noWidths() const { return { std::vector<qsizetype>(m_columns.size(), 0), 0 }; }
    void measure(const MapIP::RowConversion& row, unsigned subItems, Widths& widths) const;
    void measure(const MapIP::RowDecoding& row, unsigned subItems, Widths& widths) const;
    void measurePart(QStringView text, const MapIP::Ipv4Network& part, Widths& widths) const;
    void widen(const Widths& widths);
    // What measuring a row read, kept so that its line does not read it
    // again: a converted row's plainOctets(), or a decoded row's address().
    struct Reading
    {
        static Reading of(std::optional<quint32> octets);
        static Reading of(const std::optional<MapIP::DecodedAddress>& address);

        quint32 value = 0;
        // A decoded address's carrier, 1 more than its number; 0 for the
        // chosen embedding.
        quint8 carrier = 0;
        bool read = false;
    };
    // `stored` is a text store() returned.
    void addStored(QStringView stored, unsigned subItems, bool ticked, const Reading& reading);
    void addStoredPart(QStringView stored, const MapIP::Ipv4Network& part, bool ticked);

    // Writes the caption line and the ticked rows to the target, which is
    // created; `done` hears the share written (0 to 1) after each block.
    // Throws AppError when the target fails, and rethrows what making a
    // block threw.
    void write(ExportTarget& target, const std::function<void(double)>& done = {}) const;

    // The lines of a block; a test makes them few to see blocks written in order.
    void setBlockRows(qsizetype rows) { m_blockRows = rows; }

private:
    // 24 bytes: a table may hold millions. Every field is set when the row
    // is added, so chunks are made without clearing them first.
    struct Row
    {
        const char16_t* text;
        quint32 length;
        // What the row's measuring read (when `read`): see Reading.
        quint32 value;
        quint8 carrier;
        quint8 subItems;
        bool ticked;
        // A part of a range, found in m_parts by its index.
        bool part;
        bool read;
    };
    static_assert(sizeof(Row) <= 24);
    int columns() const { return int(m_columns.size()); }
    static constexpr qsizetype ChunkRows = 64 * 1024;

    void append(QStringView stored, unsigned subItems, bool ticked, bool part, const Reading& reading);
    const MapIP::Ipv4Network& partAt(qsizetype index) const;
    // The decoded address a row keeps (when `read`).
    static MapIP::DecodedAddress carriedAddress(const Row& record);
    unsigned everySubItem() const { return (1u << (m_columns.size() - 1)) - 1; }
    const Row& row(qsizetype index) const
    {
        return m_chunks[size_t(index / ChunkRows)][size_t(index % ChunkRows)];
    }
    QByteArray captionLine() const;
    // A line with every cell empty, and where each cell starts.
    struct LineShape
    {
        QByteArray blank;
        std::vector<qsizetype> cellStarts;
        // The blank with each written form's prefix in its cell, for a row
        // that has every such form (the sub-items in `everyForm`).
        QByteArray prefixed;
        unsigned everyForm = 0;
        // Where each such form's body starts in that blank.
        std::array<qsizetype, MapIP::FormCount> bodyStarts {};
    };
    LineShape lineShape() const;
    qsizetype lines(const LineShape& shape, qsizetype first, qsizetype last, char* bytes) const;
    template<typename Cell>
    void writeCells(char* line, const LineShape& shape, const Row& record, bool skipsPrefix,
                    const Cell& cell) const;

    const ResultsTable::Layout m_layout;
    const QList<ListModel::Column> m_columns;
    Widths m_widths;
    // Rows live in chunks that never move: a million rows are never copied
    // to grow.
    std::vector<std::unique_ptr<Row[]>> m_chunks;
    qsizetype m_rowCount = 0;
    TextArena m_texts;
    // The parts of ranges, with the index of their rows, in order.
    std::vector<std::pair<qsizetype, MapIP::Ipv4Network>> m_parts;
    qsizetype m_blockRows = 16 * 1024;
};
