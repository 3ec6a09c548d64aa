#include "AlignedTextRows.h"

#include "CellDeriver.h"
#include "EncodedBlocks.h"
#include "ExportTarget.h"
#include "conversion/Decoding.h"
#include "conversion/MapIP.h"

#include <algorithm>
#include <deque>
#include <future>
#include <thread>

namespace {

constexpr char LineEnd[] = "\r\n";

} // namespace

AlignedTextRows::AlignedTextRows(const ResultsTable::Layout& layout)
    : m_layout(layout)
    , m_columns(ResultsTable::columns(layout.direction, layout.reverseDns))
{
    // The widths count the captions and every row, ticked or not.
    for (const ListModel::Column& column : m_columns)
        m_widths.push_back(column.caption.size());
}

AlignedTextRows::~AlignedTextRows() = default;

AlignedTextRows::Row& AlignedTextRows::append(QStringView text, unsigned subItems, bool ticked)
{
    if (m_rowCount % ChunkRows == 0)
        m_chunks.push_back(std::make_unique<Row[]>(ChunkRows));
    Row& added = m_chunks.back()[size_t(m_rowCount % ChunkRows)];
    ++m_rowCount;
    added.text = m_texts.store(text).utf16();
    added.length = text.size();
    added.subItems = quint8(subItems);
    added.ticked = ticked;
    measure(0, text.size());
    return added;
}

void AlignedTextRows::measure(int column, qsizetype length)
{
    qsizetype& width = m_widths[size_t(column)];
    width = std::max(width, length);
}

void AlignedTextRows::add(const MapIP::RowConversion& row, unsigned subItems, bool ticked)
{
    append(row.address(), subItems, ticked);
    for (int subItem = 1; subItem < int(m_columns.size()); ++subItem) {
        if (subItems & (1u << (subItem - 1)))
            measure(subItem, ConversionFormsDeriver::cellLength(row, subItem, m_layout.reverseDns));
    }
}

void AlignedTextRows::add(const MapIP::RowDecoding& row, unsigned subItems, bool ticked)
{
    append(row.row(), subItems, ticked);
    for (int subItem = 1; subItem < int(m_columns.size()); ++subItem) {
        if (subItems & (1u << (subItem - 1)))
            measure(subItem, DecodedFieldsDeriver::cellLength(row, subItem, m_layout.reverseDns));
    }
}

void AlignedTextRows::addPart(QStringView text, const MapIP::Ipv4Network& part, bool ticked)
{
    const unsigned everySubItem = (1u << (m_columns.size() - 1)) - 1;
    Row& added = append(text, everySubItem, ticked);
    m_parts.push_back(part);
    added.part = quint32(m_parts.size());
    const MapIP::RowConversion conversion(text, part, m_layout.conversion);
    for (int subItem = 1; subItem < int(m_columns.size()); ++subItem)
        measure(subItem, ConversionFormsDeriver::cellLength(conversion, subItem, m_layout.reverseDns));
}

QByteArray AlignedTextRows::captionLine() const
{
    QByteArray line;
    for (qsizetype column = 0; column < m_columns.size(); ++column) {
        const QString& caption = m_columns[column].caption;
        const qsizetype start = line.size();
        line.resize(start + std::max(m_widths[size_t(column)], caption.size()) + 1);
        line.truncate(writePaddedCell(line.data() + start, caption, m_widths[size_t(column)], '\t')
                      - line.constData());
    }
    return line + LineEnd;
}

// The lines of the ticked rows among [first, last). Every cell is at most
// its column's width, so every line is as long as the caption line.
QByteArray AlignedTextRows::lines(qsizetype first, qsizetype last) const
{
    // A deriver of its own: a deriver keeps the row it read last.
    const std::shared_ptr<const CellDeriver> deriver = ResultsTable::deriver(m_layout);
    qsizetype lineLength = qsizetype(sizeof LineEnd) - 1;
    for (const qsizetype width : m_widths)
        lineLength += width + 1;
    QByteArray bytes(lineLength * (last - first), Qt::Uninitialized);
    char* out = bytes.data();
    QString cell;
    for (qsizetype index = first; index < last; ++index) {
        const Row& record = row(index);
        if (!record.ticked)
            continue;
        const QStringView text(record.text, record.length);
        out = writePaddedCell(out, text, m_widths[0], '\t');
        for (int subItem = 1; subItem < int(m_columns.size()); ++subItem) {
            if (!(record.subItems & (1u << (subItem - 1))))
                cell.resize(0);
            else if (record.part != 0)
                deriver->derivePartInto(subItem, text, m_parts[record.part - 1], cell);
            else
                deriver->deriveInto(subItem, text, cell);
            out = writePaddedCell(out, cell, m_widths[size_t(subItem)], '\t');
        }
        out = std::copy_n(LineEnd, sizeof LineEnd - 1, out);
    }
    bytes.truncate(out - bytes.constData());
    return bytes;
}

void AlignedTextRows::write(ExportTarget& target, const std::function<void(double)>& done) const
{
    target.write(captionLine());
    // Blocks are made a few ahead on other threads while this one writes
    // them in order; a failure to write waits for those being made.
    const size_t inFlight = 2 * std::max(1u, std::thread::hardware_concurrency());
    std::deque<std::pair<qsizetype, std::future<QByteArray>>> blocks;
    qsizetype next = 0;
    while (next < m_rowCount || !blocks.empty()) {
        while (next < m_rowCount && blocks.size() < inFlight) {
            const qsizetype first = next;
            next = std::min(m_rowCount, first + m_blockRows);
            blocks.emplace_back(next, std::async(std::launch::async, [this, first, last = next] {
                                    return lines(first, last);
                                }));
        }
        target.write(blocks.front().second.get());
        if (done)
            done(double(blocks.front().first) / double(m_rowCount));
        blocks.pop_front();
    }
}
