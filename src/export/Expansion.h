#pragma once

#include "conversion/MapIP.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <functional>
#include <memory>
#include <vector>

// Expansion: every prefix and range among the rows turned into one row per
// address, the address in dotted form as the row's text, in address order.
// A row that is a plain address (or fails as a prefix or range) stays as it
// is.
//
// The output is a stream of any size (0.0.0.0/0 is 4,294,967,296 rows), so
// it is made in blocks of rows on worker threads and written in order by a
// writer thread, with only a few blocks in flight: memory stays the same
// whatever the size. An address's line is written straight from its 32 bits,
// with the texts RowConversion gives it.
namespace Expansion {

// The streaming formats, as the tool writes them: tsv (no caption line, TAB
// between fields, LF), CSV (a caption line, commas, CR LF) and JSON Lines
// (an object per row, a form that is not written null).
enum class StreamFormat { Tsv, Csv, JsonLines };

// What the rows are written as.
struct Layout
{
    StreamFormat format = StreamFormat::Tsv;
    // Whether each line ends in the reverse-DNS column.
    bool reverseDns = false;
};

// The number of rows a row gives when expanded: the addresses of a prefix
// or of a range, 1 for any other row. A table format can refuse before it
// writes anything.
quint64 expandedRowCount(QStringView row, const MapIP::ConversionOptions& options);
// The same for a list of networks.
quint64 expandedRowCount(const std::vector<MapIP::Ipv4Network>& networks);

// The networks a row expands into, in address order: a prefix's network, a
// range's prefixes; none for a row that stays as it is.
std::vector<MapIP::Ipv4Network> expandedNetworks(QStringView row, const MapIP::ConversionOptions& options);

// Where the bytes go. Called on the writer thread, one block at a time, in
// order; returns an empty text when all bytes were written, otherwise the
// description of the failure, which ends the stream.
using Sink = std::function<QString(QByteArrayView bytes)>;

// A sink writing to a file descriptor with ::write, `name` standing for it
// in the failure's description ("Cannot write standard output: Broken
// pipe"). A pipe is made as large as the system lets it be, which saves a
// wake-up of the reader per 64 KiB.
Sink descriptorSink(int fd, const QString& name);

// Writes the line of a row that stays as it is, in the stream's format,
// into `out`: the format's own writer, so that such a row reads exactly as
// it would without expansion. Called on worker threads, so it must not
// touch anything shared, and must not throw.
using KeptRowWriter = std::function<void(QStringView row, QByteArray& out)>;

// How a stream ended.
struct Outcome
{
    enum class Status { Written, Stopped, Failed };
    Status status = Status::Written;
    // The sink's description when it failed.
    QString failure;
    // Rows handed to the sink.
    quint64 rowsWritten = 0;
};

// One expansion in progress. Rows are added in order from one thread (the
// caller's); the output starts at once and the stream holds a bounded number
// of blocks, so add() waits when the writer falls behind.
class ExpansionStream final
{
public:
    // The options must outlive the stream. `keptRow` writes the rows that
    // stay as they are; a stream that is only given networks may leave it
    // empty. `workers` 0 means one per processor.
    ExpansionStream(const MapIP::ConversionOptions& options, Layout layout, Sink sink,
                    KeptRowWriter keptRow = {}, unsigned workers = 0);
    // Stops and waits for the threads: what was not written is dropped.
    ~ExpansionStream();

    ExpansionStream(const ExpansionStream&) = delete;
    ExpansionStream& operator=(const ExpansionStream&) = delete;

    // Adds a row: a prefix or a range is expanded, any other row is kept.
    // Returns false once the stream has ended (the sink failed, or stop()),
    // when adding more is pointless.
    bool addRow(QStringView row);
    bool addNetwork(const MapIP::Ipv4Network& network);

    // Asks the stream to end as soon as it can; safe from any thread.
    void stop();

    // Writes what is left and waits for it; the stream takes no more rows.
    Outcome finish();

    // The bytes of a block of rows (about 16,000 lines of tsv), and how many
    // blocks may be being made or waiting to be written at any time: what
    // the stream holds, whatever the size of the expansion.
    static constexpr size_t BlockBytes = 2 * 1024 * 1024;
    static constexpr int BlocksInFlight = 8;

private:
    class Engine;
    std::unique_ptr<Engine> m_engine;
};

} // namespace Expansion
