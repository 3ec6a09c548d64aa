#pragma once

#include "EncodedBlocks.h"
#include "Expansion.h"

#include <QString>
#include <QStringView>

#include <memory>
#include <optional>
#include <span>

class ErrorReporter;
class ExportTarget;
class ProgressDisplay;
class TableSource;
class Yielder;
namespace MapIP {
class RowConversion;
class RowDecoding;
} // namespace MapIP

// What a format may be asked beyond its rows.
struct OutputSettings
{
    // CSV: a field a spreadsheet would take for a formula gets a "'" first.
    bool csvSafe = false;
    // A last column with each result's reverse-DNS name (streamed formats;
    // a table carries it as a column of its own).
    bool reverseDns = false;
};

// A format that writes each row as it is read, without a table.
class RowStream
{
public:
    virtual ~RowStream() = default;
    // Throws AppError when the output cannot take the row.
    virtual void write(const MapIP::RowConversion& row) = 0;
    // A decoded row: the row and its IPv4 address, embedding and detail.
    virtual void write(const MapIP::RowDecoding& row) = 0;
};

// Everything a table format writes with. The target is not created yet.
struct TableOutput
{
    ExportTarget& target;
    Yielder& yielder;
    ProgressDisplay* progress; // may be null
    ErrorReporter& reporter;
    const OutputSettings& settings;
};

// One format of the command-line tool's output: its name for -f, its text in
// --help and the manual page, and how it writes. Exactly one writer is set:
//   openStream   the rows as they are read (tsv),
//   writeEncoded bytes of the ticked rows into blocks in `encoding`, which
//                the caller creates, flushes and finishes (clipboard, csv,
//                jsonl); false when the yielder asked to stop,
//   writeTable   a writer that owns its target and reports its own failures
//                (the workbook),
//   alignedText  every row kept by AlignedTextRows, which measures and
//                writes them (the text file).
struct OutputFormat
{
    QStringView name;
    // For --help: what the format is, in one or more sentences.
    QStringView description;
    EncodedBlocks::Encoding encoding;
    // Written to a named file only, never to standard output.
    bool needsFile = false;

    using StreamOpener = std::unique_ptr<RowStream> (*)(EncodedBlocks& output, const OutputSettings&);
    using EncodedWriter
        = bool (*)(const TableSource& table, Yielder& yielder, EncodedBlocks& output, const OutputSettings&);
    using TableWriter = void (*)(const TableSource& table, const TableOutput& output);
    StreamOpener openStream = nullptr;
    EncodedWriter writeEncoded = nullptr;
    TableWriter writeTable = nullptr;

    // With --expand: the stream that writes the addresses of prefixes and
    // ranges as they are read, for a format that needs no table; otherwise
    // the most rows the format's table takes (a workbook's sheet holds
    // 1,048,576 rows, its caption line among them).
    std::optional<Expansion::StreamFormat> expansion;
    quint64 expandedRowLimit = 0;

    bool alignedText = false;
};

// With --expand, the line of a row that stays as it is (a plain address, or
// a row that is no prefix or range) in the format's own text, for the
// expansion stream to put in its place: `layout` is the table's.
Expansion::KeptRowWriter keptRowWriter(const OutputFormat& format, const MapIP::ConversionOptions& options,
                                       const OutputSettings& settings);

// Every format, the default first.
std::span<const OutputFormat> outputFormats();
const OutputFormat& defaultOutputFormat();
// The format of that name, or null.
const OutputFormat* outputFormatNamed(QStringView name);
// "text, clipboard, ...": the names in the table's order.
QString outputFormatNames();
