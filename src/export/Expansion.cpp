#include "Expansion.h"

#include "BatchLists.h"
#include "ResultsTable.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Expansion {

namespace {

using MapIP::ConversionOptions;
using MapIP::Form;
using MapIP::Ipv4Network;

// Every step below may write this many bytes past the end of its text (it
// copies in fixed sizes, which the compiler turns into a few moves); the
// buffers keep this much room.
constexpr size_t Overrun = 96;

// The two hex digits of every byte, in one case.
struct HexPairs
{
    std::array<std::array<char, 2>, 256> pairs {};

    explicit HexPairs(bool upper)
    {
        for (unsigned value = 0; value < 256; ++value)
            pairs[value] = { char(MapIP::hexDigit(value >> 4, upper)), char(MapIP::hexDigit(value, upper)) };
    }

    char* write(char* out, unsigned value) const noexcept
    {
        std::memcpy(out, pairs[value].data(), 2);
        return out + 2;
    }
};

const HexPairs& hexPairs(bool upper)
{
    static const HexPairs upperPairs(true);
    static const HexPairs lowerPairs(false);
    return upper ? upperPairs : lowerPairs;
}

// Each octet in decimal followed by a dot, and how many of the four bytes
// are its digits.
struct DecimalOctets
{
    std::array<std::array<char, 4>, 256> texts {};
    std::array<quint8, 256> lengths {};

    DecimalOctets()
    {
        for (unsigned value = 0; value < 256; ++value) {
            char16_t digits[15];
            const qsizetype length = MapIP::writeDottedQuad(value, digits) - digits;
            // The quad of a small number is 0.0.0.value: its last part.
            const qsizetype start = length - (value >= 100 ? 3 : value >= 10 ? 2 : 1);
            lengths[value] = quint8(length - start);
            for (qsizetype i = 0; i < 4; ++i)
                texts[value][size_t(i)] = i < length - start ? char(digits[start + i]) : '.';
        }
    }
};

const DecimalOctets& decimalOctets()
{
    static const DecimalOctets octets;
    return octets;
}

QByteArray latin1(QStringView text)
{
    return text.toLatin1();
}

// The line of one address, compiled once for the options and the layout into
// a list of steps: fixed texts between the pieces that depend on the address.
// The pieces are those RowConversion writes: the dotted quad, the hex digits
// of a /96 block, RFC 5952's shortened tail, the groups of an address spread
// behind a shorter prefix, and the ip6.arpa name.
class LineWriter final
{
public:
    LineWriter(const ConversionOptions& options, Layout layout);

    // The caption line, if the format has one.
    const QByteArray& header() const { return m_header; }
    // The longest line, not counting the overrun.
    size_t maxLength() const { return m_maxLength; }

    char* write(quint32 address, char* out) const noexcept;

private:
    enum class Piece : quint8 {
        Text, // m_texts from `offset`, `length` bytes
        Dotted,
        HexBlock, // hhhh:hhhh, the last two groups in four digits
        ShortTail, // RFC 5952 shorthand of a /96 block, whole
        GroupsFull, // the eight groups of an address spread behind its prefix
        GroupsShort,
        ReverseDns,
    };
    struct Step
    {
        Piece piece;
        quint32 offset = 0;
        quint32 length = 0;
    };

    // The line's steps, and the caption line of a format that has one.
    void addSteps(Layout layout);
    // The texts every address's own texts are written into.
    void makeTemplates();
    void addText(QByteArrayView text);
    void addPiece(Piece piece, size_t maxLength);
    void addForm(Form form);

    // The pieces that are written differently for each address.
    char* writeShortTail(quint32 address, char* out) const noexcept;
    char* writeGroupsFull(const std::array<unsigned, 4>& octets, char* out) const noexcept;
    char* writeGroupsShort(quint32 address, char* out) const noexcept;
    char* writeReverseDns(const std::array<unsigned, 4>& octets, char* out) const noexcept;

    const ConversionOptions& m_options;
    std::vector<Step> m_steps;
    // The fixed texts, padded so that a fixed-size copy may read past each.
    std::string m_texts;
    QByteArray m_header;
    size_t m_maxLength = 0;
    bool m_upper = true;
    bool m_needsDotted = false;
    bool m_needsHex = false;
    // RFC 5952 shorthand heads by which of the last two groups are zero.
    std::array<std::array<char, 48>, 4> m_shortHeads {};
    std::array<quint8, 4> m_shortHeadLengths {};
    // Templates with the address's digits at these places: the eight groups
    // in four digits each, and the ip6.arpa name.
    std::array<char, 48> m_groupsTemplate {};
    std::array<int, 4> m_groupsPlaces {};
    std::array<char, 80> m_reverseTemplate {};
    std::array<int, 4> m_reversePlaces {};
};

LineWriter::LineWriter(const ConversionOptions& options, Layout layout)
    : m_options(options)
    , m_upper(options.style() == MapIP::TextStyle::Program)
{
    addSteps(layout);
    makeTemplates();
}

void LineWriter::addSteps(Layout layout)
{
    using MapIP::Forms;
    const StreamFormat format = layout.format;
    if (format == StreamFormat::Csv) {
        // As the table's CSV writes its captions: without the blank the list
        // view puts before them.
        QStringList captions;
        for (const QString& caption : BatchLists::ResultsCaptions)
            captions.append(caption.trimmed());
        if (layout.reverseDns)
            captions.append(ResultsTable::ReverseDnsCaption.toString());
        m_header = captions.join(u',').toUtf8() + "\r\n";
    }

    if (format == StreamFormat::JsonLines)
        addText("{\"" + latin1(MapIP::OriginalName) + "\":\"");
    addPiece(Piece::Dotted, 15);
    if (format == StreamFormat::JsonLines)
        addText("\"");
    const char* const separator = format == StreamFormat::Tsv ? "\t" : ",";
    for (const MapIP::FormDefinition& form : Forms) {
        const bool written = m_options.writesForm(form.form);
        if (format == StreamFormat::JsonLines) {
            addText(",\"" + latin1(form.name) + "\":" + (written ? "\"" : "null"));
        } else {
            addText(separator);
        }
        if (!written)
            continue;
        addForm(form.form);
        if (format == StreamFormat::JsonLines)
            addText("\"");
    }
    if (layout.reverseDns) {
        if (format == StreamFormat::JsonLines)
            addText(",\"" + latin1(ResultsTable::ReverseDnsKey) + "\":\"");
        else
            addText(separator);
        addPiece(Piece::ReverseDns, 72);
        if (format == StreamFormat::JsonLines)
            addText("\"");
    }
    addText(format == StreamFormat::JsonLines ? "}\n" : format == StreamFormat::Csv ? "\r\n" : "\n");
    m_texts.append(Overrun, '\0');
}

void LineWriter::makeTemplates()
{
    // RFC 5952 shorthand: its head depends only on which of the last two
    // groups are zero.
    for (size_t nonZero = 0; nonZero < 4; ++nonZero) {
        const QByteArray head = latin1(m_options.shortenedHead((nonZero & 1) == 0, (nonZero & 2) == 0));
        Q_ASSERT(size_t(head.size()) <= m_shortHeads[nonZero].size());
        std::copy(head.begin(), head.end(), m_shortHeads[nonZero].begin());
        m_shortHeadLengths[nonZero] = quint8(head.size());
    }

    // The templates: the texts of the address 0, and where each byte of an
    // address goes in them.
    const MapIP::Embedding& embedding = m_options.embedding();
    const MapIP::Ipv6Groups zero = embedding.embed(0);
    char16_t groups[MapIP::MaxIpv6TextLength];
    MapIP::writeGroups(zero.data(), 8, MapIP::GroupSpelling { true, m_upper }, groups);
    std::copy(std::begin(groups), std::end(groups), m_groupsTemplate.begin());
    const QByteArray reverse = latin1(MapIP::ip6ArpaZones(zero, 128));
    Q_ASSERT(size_t(reverse.size()) <= m_reverseTemplate.size());
    std::copy(reverse.begin(), reverse.end(), m_reverseTemplate.begin());
    for (size_t i = 0; i < 4; ++i) {
        const int position = embedding.bytePositions()[i];
        m_groupsPlaces[i] = position / 2 * 5 + position % 2 * 2;
        // Nibbles are written least significant first, each followed by a dot:
        // the byte's low nibble, then its high one.
        m_reversePlaces[i] = (31 - (2 * position + 1)) * 2;
    }
}

void LineWriter::addText(QByteArrayView text)
{
    if (!m_steps.empty() && m_steps.back().piece == Piece::Text) {
        m_texts.append(text.data(), size_t(text.size()));
        m_steps.back().length += quint32(text.size());
    } else {
        m_steps.push_back({ Piece::Text, quint32(m_texts.size()), quint32(text.size()) });
        m_texts.append(text.data(), size_t(text.size()));
    }
    m_maxLength += size_t(text.size());
}

void LineWriter::addPiece(Piece piece, size_t maxLength)
{
    m_steps.push_back({ piece });
    m_maxLength += maxLength;
    m_needsDotted = m_needsDotted || piece == Piece::Dotted;
    m_needsHex = m_needsHex || piece == Piece::HexBlock;
}

void LineWriter::addForm(Form form)
{
    const bool hex = MapIP::definition(form).body == MapIP::Body::HexGroups;
    switch (m_options.layout()) {
    case ConversionOptions::Layout::ProgramBlock:
    case ConversionOptions::Layout::Rfc5952Block:
        if (m_options.layout() == ConversionOptions::Layout::Rfc5952Block && hex
            && MapIP::definition(form).prefix == MapIP::Prefix::Shortened) {
            addPiece(Piece::ShortTail, MapIP::MaxIpv6TextLength);
            return;
        }
        addText(latin1(m_options.prefix(form)));
        if (hex)
            addPiece(Piece::HexBlock, 9);
        else
            addPiece(Piece::Dotted, 15);
        return;
    case ConversionOptions::Layout::Groups:
        addPiece(MapIP::definition(form).prefix == MapIP::Prefix::Shortened ? Piece::GroupsShort
                                                                            : Piece::GroupsFull,
                 MapIP::MaxIpv6TextLength);
        return;
    }
}

char* LineWriter::write(quint32 address, char* out) const noexcept
{
    const std::array<unsigned, 4> octets { address >> 24, (address >> 16) & 0xFF, (address >> 8) & 0xFF,
                                           address & 0xFF };
    // The pieces used more than once in a line, written once.
    char dotted[32];
    size_t dottedLength = 0;
    if (m_needsDotted) {
        const DecimalOctets& decimal = decimalOctets();
        char* cursor = dotted;
        for (const unsigned octet : octets) {
            std::memcpy(cursor, decimal.texts[octet].data(), 4);
            cursor += decimal.lengths[octet];
            *cursor++ = '.';
        }
        dottedLength = size_t(cursor - dotted) - 1;
    }
    char hexBlock[16];
    if (m_needsHex) {
        const HexPairs& pairs = hexPairs(m_upper);
        char* cursor = pairs.write(pairs.write(hexBlock, octets[0]), octets[1]);
        *cursor++ = ':';
        pairs.write(pairs.write(cursor, octets[2]), octets[3]);
    }

    for (const Step& step : m_steps) {
        switch (step.piece) {
        case Piece::Text:
            if (step.length <= 64)
                std::memcpy(out, m_texts.data() + step.offset, 64);
            else
                std::memcpy(out, m_texts.data() + step.offset, step.length);
            out += step.length;
            break;
        case Piece::Dotted:
            std::memcpy(out, dotted, 16);
            out += dottedLength;
            break;
        case Piece::HexBlock:
            std::memcpy(out, hexBlock, 16);
            out += 9;
            break;
        case Piece::ShortTail:
            out = writeShortTail(address, out);
            break;
        case Piece::GroupsFull:
            out = writeGroupsFull(octets, out);
            break;
        case Piece::GroupsShort:
            out = writeGroupsShort(address, out);
            break;
        case Piece::ReverseDns:
            out = writeReverseDns(octets, out);
            break;
        }
    }
    return out;
}

char* LineWriter::writeShortTail(quint32 address, char* out) const noexcept
{
    const quint16 seventh = quint16(address >> 16);
    const quint16 eighth = quint16(address);
    const size_t nonZero = size_t(seventh != 0) | size_t(eighth != 0) << 1;
    std::memcpy(out, m_shortHeads[nonZero].data(), 48);
    out += m_shortHeadLengths[nonZero];
    char16_t tail[10];
    char16_t* end = tail;
    if (seventh != 0) {
        end = MapIP::writeGroup(seventh, MapIP::Rfc5952Spelling, end);
        *end++ = u':';
    }
    if (nonZero != 0)
        end = MapIP::writeGroup(eighth, MapIP::Rfc5952Spelling, end);
    return std::copy(tail, end, out);
}

char* LineWriter::writeGroupsFull(const std::array<unsigned, 4>& octets, char* out) const noexcept
{
    const HexPairs& pairs = hexPairs(m_upper);
    std::memcpy(out, m_groupsTemplate.data(), 48);
    for (size_t i = 0; i < 4; ++i)
        pairs.write(out + m_groupsPlaces[i], octets[i]);
    return out + MapIP::MaxIpv6TextLength;
}

char* LineWriter::writeGroupsShort(quint32 address, char* out) const noexcept
{
    const MapIP::Ipv6Groups groups = m_options.embedding().embed(address);
    char16_t text[MapIP::MaxIpv6TextLength];
    const char16_t* const end = MapIP::writeShortenedGroups(
        groups.data(), 8, m_upper ? MapIP::ProgramSpelling : MapIP::Rfc5952Spelling, text);
    return std::copy(static_cast<const char16_t*>(text), end, out);
}

char* LineWriter::writeReverseDns(const std::array<unsigned, 4>& octets, char* out) const noexcept
{
    std::memcpy(out, m_reverseTemplate.data(), 80);
    for (size_t i = 0; i < 4; ++i) {
        out[m_reversePlaces[i]] = char(MapIP::hexDigit(octets[i], false));
        out[m_reversePlaces[i] + 2] = char(MapIP::hexDigit(octets[i] >> 4, false));
    }
    return out + 72;
}

// Bytes that grow without being cleared first.
class Bytes final
{
public:
    char* data() { return m_data.get(); }
    size_t size() const { return m_size; }
    void clear() { m_size = 0; }
    // Room for `more` bytes past the end; returns where they go.
    char* reserve(size_t more)
    {
        if (m_size + more > m_capacity) {
            const size_t capacity = std::max(m_size + more, m_capacity * 2);
            std::unique_ptr<char[]> grown(new char[capacity]);
            if (m_size > 0)
                std::memcpy(grown.get(), m_data.get(), m_size);
            m_data = std::move(grown);
            m_capacity = capacity;
        }
        return m_data.get() + m_size;
    }
    void setEnd(const char* end) { m_size = size_t(end - m_data.get()); }
    void append(QByteArrayView bytes)
    {
        if (bytes.isEmpty())
            return;
        std::memcpy(reserve(size_t(bytes.size())), bytes.data(), size_t(bytes.size()));
        m_size += size_t(bytes.size());
    }

private:
    std::unique_ptr<char[]> m_data;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

// What a block holds, in order: runs of addresses and rows kept as they are
// (their texts in `keptTexts`).
struct Segment
{
    bool kept = false;
    quint32 first = 0; // the first address, or the kept row's start in keptTexts
    quint32 count = 0; // addresses, or the kept row's length
};

struct Block
{
    enum class State { Free, Filled, Formatting, Formatted };
    State state = State::Free;
    std::vector<Segment> segments;
    std::vector<char16_t> keptTexts;
    quint64 rows = 0;
    Bytes bytes;
};

} // namespace

class ExpansionStream::Engine final
{
public:
    Engine(const ConversionOptions& options, Layout layout, Sink sink, KeptRowWriter keptRow,
           unsigned workers);
    ~Engine();

    bool addNetwork(const Ipv4Network& network);
    bool addKeptRow(QStringView row);
    void stop();
    Outcome finish();

    const ConversionOptions& options() const { return m_options; }

private:
    bool ended() const { return m_stopped || m_failed; }
    // Hands the block being filled to the workers once it is full (or at
    // the end); waits for a free one to fill next.
    bool submit(bool evenIfNotFull);
    bool waitForFreeBlock();
    void format(Block& block);
    void workerLoop();
    void writerLoop();
    void join();

    const ConversionOptions& m_options;
    const LineWriter m_lines;
    const Sink m_sink;
    const KeptRowWriter m_keptRow;
    // The rows of one block.
    const quint64 m_blockRows;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::array<Block, BlocksInFlight> m_blocks;
    // Blocks are numbered in order: filled up to m_filled (the one being
    // filled is m_filled itself), taken by a worker up to m_taken, written up
    // to m_written.
    quint64 m_filled = 0;
    quint64 m_taken = 0;
    quint64 m_written = 0;
    bool m_filling = false;
    bool m_inputEnded = false;
    bool m_stopped = false;
    bool m_failed = false;
    QString m_failure;
    quint64 m_rowsWritten = 0;
    std::vector<std::thread> m_workers;
    std::thread m_writer;
};

ExpansionStream::Engine::Engine(const ConversionOptions& options, Layout layout, Sink sink,
                                KeptRowWriter keptRow, unsigned workers)
    : m_options(options)
    , m_lines(options, layout)
    , m_sink(std::move(sink))
    , m_keptRow(std::move(keptRow))
    , m_blockRows(std::max<quint64>(1, BlockBytes / m_lines.maxLength()))
{
    if (workers == 0)
        workers = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < workers; ++i)
        m_workers.emplace_back([this] { workerLoop(); });
    m_writer = std::thread([this] { writerLoop(); });
}

ExpansionStream::Engine::~Engine()
{
    stop();
    join();
}

void ExpansionStream::Engine::join()
{
    for (std::thread& worker : m_workers) {
        if (worker.joinable())
            worker.join();
    }
    if (m_writer.joinable())
        m_writer.join();
}

void ExpansionStream::Engine::stop()
{
    const std::lock_guard lock(m_mutex);
    m_stopped = true;
    m_changed.notify_all();
}

// The block at m_filled is the caller's to fill once it is free; only the
// caller's thread fills, so it may do so without the lock.
bool ExpansionStream::Engine::waitForFreeBlock()
{
    if (m_filling)
        return !ended();
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return ended() || m_filled - m_written < BlocksInFlight; });
    if (ended())
        return false;
    Block& block = m_blocks[m_filled % BlocksInFlight];
    block.segments.clear();
    block.keptTexts.clear();
    block.rows = 0;
    m_filling = true;
    return true;
}

bool ExpansionStream::Engine::submit(bool evenIfNotFull)
{
    Block& block = m_blocks[m_filled % BlocksInFlight];
    const bool full = block.rows >= m_blockRows || block.keptTexts.size() * 2 >= BlockBytes;
    if (!m_filling || (!full && !evenIfNotFull) || block.segments.empty())
        return !ended();
    const std::lock_guard lock(m_mutex);
    block.state = Block::State::Filled;
    ++m_filled;
    m_filling = false;
    m_changed.notify_all();
    return !ended();
}

bool ExpansionStream::Engine::addNetwork(const Ipv4Network& network)
{
    quint64 next = network.address;
    const quint64 end = next + network.size();
    while (next < end) {
        if (!waitForFreeBlock())
            return false;
        Block& block = m_blocks[m_filled % BlocksInFlight];
        const quint64 count = std::min(end - next, m_blockRows - std::min(block.rows, m_blockRows));
        if (count > 0) {
            block.segments.push_back({ false, quint32(next), quint32(count) });
            block.rows += count;
            next += count;
        }
        if (!submit(false))
            return false;
    }
    return !ended();
}

bool ExpansionStream::Engine::addKeptRow(QStringView row)
{
    if (!waitForFreeBlock())
        return false;
    Block& block = m_blocks[m_filled % BlocksInFlight];
    block.segments.push_back({ true, quint32(block.keptTexts.size()), quint32(row.size()) });
    block.keptTexts.insert(block.keptTexts.end(), row.utf16(), row.utf16() + row.size());
    ++block.rows;
    return submit(false);
}

Outcome ExpansionStream::Engine::finish()
{
    submit(true);
    {
        std::unique_lock lock(m_mutex);
        m_inputEnded = true;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return ended() || m_written == m_filled; });
        // The threads end once nothing is left.
        m_stopped = m_stopped || m_failed;
        const bool complete = !m_stopped;
        if (complete)
            m_changed.notify_all();
        lock.unlock();
        join();
        lock.lock();
        Outcome outcome;
        outcome.status = m_failed ? Outcome::Status::Failed
            : complete            ? Outcome::Status::Written
                                  : Outcome::Status::Stopped;
        outcome.failure = m_failure;
        outcome.rowsWritten = m_rowsWritten;
        // Rows added after this go nowhere.
        m_stopped = true;
        return outcome;
    }
}

void ExpansionStream::Engine::format(Block& block)
{
    Bytes& bytes = block.bytes;
    bytes.clear();
    QByteArray kept;
    for (const Segment& segment : block.segments) {
        if (segment.kept) {
            kept.resize(0);
            if (m_keptRow)
                m_keptRow(QStringView(block.keptTexts.data() + segment.first, segment.count), kept);
            bytes.append(kept);
            continue;
        }
        char* out = bytes.reserve(segment.count * m_lines.maxLength() + Overrun);
        for (quint64 i = 0; i < segment.count; ++i)
            out = m_lines.write(quint32(segment.first + i), out);
        bytes.setEnd(out);
    }
}

void ExpansionStream::Engine::workerLoop()
{
    std::unique_lock lock(m_mutex);
    while (true) {
        m_changed.wait(lock, [&] { return ended() || m_taken < m_filled || m_inputEnded; });
        if (ended())
            return;
        if (m_taken == m_filled) {
            if (m_inputEnded)
                return;
            continue;
        }
        Block& block = m_blocks[m_taken % BlocksInFlight];
        ++m_taken;
        block.state = Block::State::Formatting;
        lock.unlock();
        format(block);
        lock.lock();
        block.state = Block::State::Formatted;
        m_changed.notify_all();
    }
}

void ExpansionStream::Engine::writerLoop()
{
    std::unique_lock lock(m_mutex);
    // The sink runs unlocked; a failure ends the stream for every thread.
    const auto send = [&](QByteArrayView bytes) {
        lock.unlock();
        const QString failure = m_sink(bytes);
        lock.lock();
        if (failure.isEmpty())
            return true;
        m_failed = true;
        m_failure = failure;
        m_changed.notify_all();
        return false;
    };
    if (!m_lines.header().isEmpty() && !send(m_lines.header()))
        return;
    while (true) {
        Block* block = nullptr;
        m_changed.wait(lock, [&] {
            block = &m_blocks[m_written % BlocksInFlight];
            return ended() || (m_written < m_filled && block->state == Block::State::Formatted)
                || (m_inputEnded && m_written == m_filled);
        });
        if (ended() || m_written == m_filled)
            return;
        if (!send(QByteArrayView(block->bytes.data(), qsizetype(block->bytes.size()))))
            return;
        m_rowsWritten += block->rows;
        block->state = Block::State::Free;
        ++m_written;
        m_changed.notify_all();
    }
}

quint64 expandedRowCount(const std::vector<Ipv4Network>& networks)
{
    quint64 rows = 0;
    for (const Ipv4Network& network : networks)
        rows += network.size();
    return rows;
}

quint64 expandedRowCount(QStringView row, const ConversionOptions& options)
{
    const std::vector<Ipv4Network> networks = expandedNetworks(row, options);
    return networks.empty() ? 1 : expandedRowCount(networks);
}

std::vector<Ipv4Network> expandedNetworks(QStringView row, const ConversionOptions& options)
{
    const MapIP::RowConversion conversion(row, options);
    switch (conversion.kind()) {
    case MapIP::RowConversion::Kind::Address:
        return {};
    case MapIP::RowConversion::Kind::Prefix:
        if (const std::optional<Ipv4Network> network = conversion.network())
            return { *network };
        return {};
    case MapIP::RowConversion::Kind::Range:
        return conversion.rangePrefixes();
    }
    return {};
}

Sink descriptorSink(int fd, const QString& name)
{
#ifdef F_SETPIPE_SZ
    // Fails on anything but a pipe, and above the system's limit; either
    // way the descriptor is as it was, and fine to write.
    static_cast<void>(::fcntl(fd, F_SETPIPE_SZ, 1024 * 1024));
#endif
    return [fd, name](QByteArrayView bytes) -> QString {
        const char* data = bytes.data();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t written = ::write(fd, data, size_t(left));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return u"Cannot write "_s + name + u": "_s + QString::fromLocal8Bit(std::strerror(errno));
            }
            data += written;
            left -= written;
        }
        return {};
    };
}

ExpansionStream::ExpansionStream(const ConversionOptions& options, Layout layout, Sink sink,
                                 KeptRowWriter keptRow, unsigned workers)
    : m_engine(std::make_unique<Engine>(options, layout, std::move(sink), std::move(keptRow), workers))
{
}

ExpansionStream::~ExpansionStream() = default;

bool ExpansionStream::addRow(QStringView row)
{
    const std::vector<Ipv4Network> networks = expandedNetworks(row, m_engine->options());
    if (networks.empty())
        return m_engine->addKeptRow(row);
    for (const Ipv4Network& network : networks) {
        if (!m_engine->addNetwork(network))
            return false;
    }
    return true;
}

bool ExpansionStream::addNetwork(const Ipv4Network& network)
{
    return m_engine->addNetwork(network);
}

void ExpansionStream::stop()
{
    m_engine->stop();
}

Outcome ExpansionStream::finish()
{
    return m_engine->finish();
}

} // namespace Expansion
