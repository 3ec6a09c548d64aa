#include "AlignedTextRows.h"

#include "CellDeriver.h"
#include "EncodedBlocks.h"
#include "ExportTarget.h"
#include "conversion/Decoding.h"
#include "conversion/MapIP.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <future>
#include <limits>
#include <new>
#include <thread>
#include <utility>

namespace {

constexpr char LineEnd[] = "\r\n";

} // namespace

AlignedTextRows::AlignedTextRows(const ResultsTable::Layout& layout)
    : m_layout(layout)
    , m_columns(ResultsTable::columns(layout.direction, layout.reverseDns))
{
    // The widths count the captions and every row, ticked or not.
    for (const ListModel::Column& column : m_columns)
        m_widths.columns.push_back(column.caption.size());
}

AlignedTextRows::~AlignedTextRows() = default;

AlignedTextRows::Reading AlignedTextRows::Reading::of(std::optional<quint32> octets)
{
    return { octets.value_or(0), 0, octets.has_value() };
}

AlignedTextRows::Reading AlignedTextRows::Reading::of(const std::optional<MapIP::DecodedAddress>& address)
{
    if (!address)
        return {};
    return { address->ipv4, quint8(address->carrier ? int(*address->carrier) + 1 : 0), true };
}

void AlignedTextRows::append(QStringView stored, unsigned subItems, bool ticked, bool part,
                             const Reading& reading)
{
    // A row's text is one of the texts a list holds: more than four billion
    // characters could not have been read into memory.
    if (stored.size() > qsizetype(std::numeric_limits<quint32>::max()))
        throw std::bad_alloc();
    if (m_rowCount % ChunkRows == 0)
        m_chunks.push_back(std::make_unique_for_overwrite<Row[]>(ChunkRows));
    m_chunks.back()[size_t(m_rowCount % ChunkRows)] = { stored.utf16(),
                                                        quint32(stored.size()),
                                                        reading.value,
                                                        reading.carrier,
                                                        quint8(subItems),
                                                        ticked,
                                                        part,
                                                        reading.read };
    ++m_rowCount;
}

MapIP::DecodedAddress AlignedTextRows::carriedAddress(const Row& record)
{
    if (record.carrier == 0)
        return { record.value, std::nullopt };
    return { record.value, MapIP::Carrier(record.carrier - 1) };
}

const MapIP::Ipv4Network& AlignedTextRows::partAt(qsizetype index) const
{
    const auto found
        = std::lower_bound(m_parts.begin(), m_parts.end(), index,
                           [](const auto& entry, qsizetype value) { return entry.first < value; });
    return found->second;
}

namespace {

void widenTo(std::vector<qsizetype>& widths, size_t column, qsizetype length)
{
    widths[column] = std::max(widths[column], length);
}

// The row's text and the sub-items it has, `length` giving their lengths.
template<typename Length>
void measureCells(QStringView text, unsigned subItems, int columns, std::vector<qsizetype>& widths,
                  const Length& length)
{
    widenTo(widths, 0, text.size());
    for (int subItem = 1; subItem < columns; ++subItem) {
        if (subItems & (1u << (subItem - 1)))
            widenTo(widths, size_t(subItem), length(subItem));
    }
}

} // namespace

void AlignedTextRows::measure(const MapIP::RowConversion& row, unsigned subItems, Widths& widths) const
{
    // Nearly every row is a plain address, of one of a few lengths.
    const qsizetype length = row.address().size();
    if (!m_layout.reverseDns && length < 64 && row.lengthsFollowSize()) {
        const quint64 bit = quint64(1) << length;
        if ((std::exchange(widths.followingLengths, widths.followingLengths | bit) & bit) != 0)
            return;
    }
    measureCells(row.address(), subItems, columns(), widths.columns, [&](int subItem) {
        return ConversionFormsDeriver::cellLength(row, subItem, m_layout.reverseDns);
    });
}

void AlignedTextRows::measure(const MapIP::RowDecoding& row, unsigned subItems, Widths& widths) const
{
    measureCells(row.row(), subItems, columns(), widths.columns, [&](int subItem) {
        return DecodedFieldsDeriver::cellLength(row, subItem, m_layout.reverseDns);
    });
}

void AlignedTextRows::measurePart(QStringView text, const MapIP::Ipv4Network& part, Widths& widths) const
{
    measure(MapIP::RowConversion(text, part, m_layout.conversion), everySubItem(), widths);
}

void AlignedTextRows::widen(const Widths& widths)
{
    Q_ASSERT(widths.columns.size() == m_widths.columns.size());
    for (size_t column = 0; column < widths.columns.size(); ++column)
        widenTo(m_widths.columns, column, widths.columns[column]);
}

void AlignedTextRows::addStored(QStringView stored, unsigned subItems, bool ticked, const Reading& reading)
{
    append(stored, subItems, ticked, false, reading);
}

void AlignedTextRows::addStoredPart(QStringView stored, const MapIP::Ipv4Network& part, bool ticked)
{
    m_parts.emplace_back(m_rowCount, part);
    append(stored, everySubItem(), ticked, true, {});
}

void AlignedTextRows::add(const MapIP::RowConversion& row, unsigned subItems, bool ticked)
{
    measure(row, subItems, m_widths);
    addStored(store(row.address()), subItems, ticked, Reading::of(row.plainOctets()));
}

void AlignedTextRows::add(const MapIP::RowDecoding& row, unsigned subItems, bool ticked)
{
    measure(row, subItems, m_widths);
    addStored(store(row.row()), subItems, ticked, Reading::of(row.address()));
}

void AlignedTextRows::addPart(QStringView text, const MapIP::Ipv4Network& part, bool ticked)
{
    measurePart(text, part, m_widths);
    addStoredPart(store(text), part, ticked);
}

QByteArray AlignedTextRows::captionLine() const
{
    QByteArray line;
    for (qsizetype column = 0; column < m_columns.size(); ++column) {
        const QString& caption = m_columns[column].caption;
        const qsizetype start = line.size();
        const qsizetype width = m_widths.columns[size_t(column)];
        line.resize(start + std::max(width, caption.size()) + 1);
        line.truncate(writePaddedCell(line.data() + start, caption, width, '\t') - line.constData());
    }
    return line + LineEnd;
}

// The row's sub-items, padded: `cell` gives the text of those it has.
// Every cell is at most its column's width, so every line has the same
// length and its cells the same places: a line is its blank, the spaces,
// TABs and line end, with the cells' texts written over it.
AlignedTextRows::LineShape AlignedTextRows::lineShape() const
{
    LineShape shape;
    qsizetype start = 0;
    for (const qsizetype width : m_widths.columns) {
        shape.cellStarts.push_back(start);
        shape.blank.append(QByteArray(width, ' ')).append('\t');
        start += width + 1;
    }
    shape.blank.append(LineEnd);
    // Nearly every converted row has every form, and every form's text
    // starts with the form's prefix: a second blank holds them.
    shape.prefixed = shape.blank;
    if (m_layout.direction == ResultsTable::Direction::Convert) {
        for (const MapIP::FormDefinition& form : MapIP::Forms) {
            if (!m_layout.conversion.writesForm(form.form))
                continue;
            const int subItem = int(MapIP::formIndex(form.form)) + 1;
            shape.everyForm |= 1u << (subItem - 1);
            const qsizetype start = shape.cellStarts[size_t(subItem)];
            shape.bodyStarts[MapIP::formIndex(form.form)] = start
                + AnsiCodePage::encodeInto(m_layout.conversion.prefix(form.form),
                                           shape.prefixed.data() + start);
        }
    }
    return shape;
}

// Writes the cells the row has over its blank line; `skipsPrefix` when
// that blank holds the forms' prefixes.
template<typename Cell>
void AlignedTextRows::writeCells(char* line, const LineShape& shape, const Row& record, bool skipsPrefix,
                                 const Cell& cell) const
{
    for (int subItem = 1; subItem < columns(); ++subItem) {
        if (!(record.subItems & (1u << (subItem - 1))))
            continue;
        char* out = line + shape.cellStarts[size_t(subItem)];
        const MapIP::FormPieces text = cell(subItem);
        if (skipsPrefix)
            out += text.prefix.size();
        else
            out += AnsiCodePage::encodeInto(text.prefix, out);
        out += AnsiCodePage::encodeInto(text.body, out);
        // Only a prefix's forms have a suffix.
        if (!text.suffix.isEmpty())
            AnsiCodePage::encodeInto(text.suffix, out);
    }
}

// The lines of the ticked rows among [first, last), into `bytes`, which
// has room for a line per row; returns their length.
qsizetype AlignedTextRows::lines(const LineShape& shape, qsizetype first, qsizetype last, char* bytes) const
{
    const qsizetype lineLength = shape.blank.size();
    char* line = bytes;
    QString buffer;
    const auto writeConverted = [&](char* out, const Row& record, const MapIP::RowConversion& conversion) {
        const bool prefixed = shape.everyForm != 0 && (record.subItems & shape.everyForm) == shape.everyForm;
        std::memcpy(out, (prefixed ? shape.prefixed : shape.blank).constData(), size_t(lineLength));
        writeCells(out, shape, record, prefixed, [&](int subItem) {
            return ConversionFormsDeriver::cellPieces(conversion, subItem, m_layout.reverseDns, buffer);
        });
    };
    for (qsizetype index = first; index < last; ++index) {
        const Row& record = row(index);
        if (!record.ticked)
            continue;
        const QStringView text(record.text, record.length);
        if (m_layout.direction == ResultsTable::Direction::Decode) {
            std::memcpy(line, shape.blank.constData(), size_t(lineLength));
            const MapIP::RowDecoding decoding = record.read
                ? MapIP::RowDecoding(text, carriedAddress(record), m_layout.decoding)
                : MapIP::RowDecoding(text, m_layout.decoding);
            writeCells(line, shape, record, false, [&](int subItem) {
                return MapIP::FormPieces {
                    {}, DecodedFieldsDeriver::cellText(decoding, subItem, m_layout.reverseDns, buffer), {}
                };
            });
        } else if (record.part) {
            writeConverted(line, record, MapIP::RowConversion(text, partAt(index), m_layout.conversion));
        } else if (record.read && record.subItems == shape.everyForm) {
            // Nearly every row: a plain address with every form and nothing
            // else, each form's prefix in the blank.
            std::memcpy(line, shape.prefixed.constData(), size_t(lineLength));
            const MapIP::RowConversion conversion(text, record.value, m_layout.conversion);
            // A form the options do not write has no body.
            const std::array<QStringView, MapIP::FormCount> bodies = conversion.plainBodies();
            for (size_t form = 0; form < bodies.size(); ++form)
                AnsiCodePage::encodeInto(bodies[form], line + shape.bodyStarts[form]);
        } else if (record.read) {
            writeConverted(line, record, MapIP::RowConversion(text, record.value, m_layout.conversion));
        } else {
            writeConverted(line, record, MapIP::RowConversion(text, m_layout.conversion));
        }
        AnsiCodePage::encodeInto(text, line);
        line += lineLength;
    }
    return line - bytes;
}

void AlignedTextRows::write(ExportTarget& target, const std::function<void(double)>& done) const
{
    target.write(captionLine());
    const LineShape shape = lineShape();
    // Blocks are made a few ahead on other threads while this one writes
    // them in order. Each is made into a buffer of a ring that only holds
    // the blocks in flight, so the memory the lines pass through is touched
    // once, not once a block; a failure to write waits for the blocks being
    // made.
    const size_t inFlight = 2 * std::max(1u, std::thread::hardware_concurrency());
    const size_t bufferBytes = size_t(shape.blank.size() * m_blockRows);
    std::vector<std::unique_ptr<char[]>> buffers(inFlight);
    std::deque<std::pair<qsizetype, std::future<qsizetype>>> blocks;
    qsizetype next = 0;
    size_t started = 0;
    size_t written = 0;
    while (next < m_rowCount || !blocks.empty()) {
        while (next < m_rowCount && blocks.size() < inFlight) {
            const qsizetype first = next;
            next = std::min(m_rowCount, first + m_blockRows);
            std::unique_ptr<char[]>& buffer = buffers[started++ % inFlight];
            if (!buffer)
                buffer = std::make_unique_for_overwrite<char[]>(bufferBytes);
            blocks.emplace_back(
                next,
                std::async(std::launch::async, [this, &shape, first, last = next, bytes = buffer.get()] {
                    return lines(shape, first, last, bytes);
                }));
        }
        const qsizetype size = blocks.front().second.get();
        target.write(QByteArrayView(buffers[written++ % inFlight].get(), size));
        if (done)
            done(double(blocks.front().first) / double(m_rowCount));
        blocks.pop_front();
    }
}
