#pragma once

#include "BatchOptions.h"
#include "export/EncodedBlocks.h"
#include "export/ResultsTable.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <vector>

class ListModel;
namespace MapIP {
class RowConversion;
struct Decoded;
struct Ipv4Network;
} // namespace MapIP
class QIODevice;
class TerminalProgress;
class Yielder;

// The standard streams of quadrix-batch, already open.
struct BatchStreams
{
    QIODevice& input;
    QIODevice& output;
    QIODevice& errors;
    // The progress bar on standard error when that is a terminal; null
    // otherwise.
    TerminalProgress* progress = nullptr;
};

// quadrix-batch's exit statuses.
enum class BatchStatus : int {
    Converted = 0, // every row converted
    RowsFailed = 1, // some rows failed to convert
    Trouble = 2, // a usage error, or a file that could not be read or written
};

// Writes one message on standard error, "quadrix-batch: " first. Every
// message of the tool goes out here: they quote rows, file names and option
// values, so control characters are made visible (withVisibleControls).
void writeBatchMessage(QIODevice& errors, const QString& text);

// quadrix-batch: reads the command line (without the program's name),
// converts the rows and writes them. Returns the exit status.
int runBatchTool(const QStringList& arguments, const BatchStreams& streams);

// One run with valid options.
//
// The rows go through the code the batch window uses: list files are read by
// readListRows (its line rules, windows-1252), every row is converted by
// MapIP, and the text, clipboard and workbook outputs come from the window's
// own exports, given a results table filled as the window's run fills it and
// ticked as the user ticks it. tsv needs no column widths, so it is written
// as the rows are read, without a table.
class BatchTool final
{
public:
    BatchTool(const BatchOptions& options, const BatchStreams& streams);

    BatchStatus run();

    // A message on standard error, "quadrix-batch: " first.
    void message(const QString& text);
    // A file or device that could not be read or written: the message, and
    // the run ends with status 2.
    void fileError(const QString& text);

private:
    using RowSink = std::function<void(QStringView row)>;

    // Reports and returns true when the output is a file that is also read
    // as an input, before anything is read or written.
    bool outputIsAnInput();
    void readInputs(const RowSink& sink);
    void readFile(const QString& path, const RowSink& sink);
    void readDevice(QIODevice& device, const QString& name, const RowSink& sink);
    // One message for each form the row fails, as the window reports them.
    void reportFailures(qsizetype row, const MapIP::RowConversion& conversion);
    // Reports what is wrong with input row `row`: the forms it fails (a
    // range written as its `parts` fails none), and the one warning of the
    // run when the NAT64 well-known prefix is to carry a non-global address.
    void checkConversion(qsizetype row, const MapIP::RowConversion& conversion,
                         const std::vector<MapIP::Ipv4Network>& parts);
    // Reports why input row `row` does not decode, if it does not.
    void checkDecoding(qsizetype row, QStringView text, const MapIP::Decoded& decoded);

    void runTable();
    void tick(ListModel& table);
    void writeText(const ListModel& table);
    void writeClipboardText(const ListModel& table);
    void writeWorkbook(const ListModel& table);
    // Writes an encoded output to the target: `write` fills the blocks.
    using EncodedWriter = std::function<void(EncodedBlocks& output, Yielder& yielder)>;
    void writeEncoded(EncodedBlocks::Encoding encoding, const EncodedWriter& write);
    void runTsv();

    QString outputName() const;
    void showStep(const QString& text);

    const BatchOptions& m_options;
    // The forms' embedding and text, worked out once for every row.
    const MapIP::ConversionOptions m_conversion;
    // The table's direction, columns and deriver.
    const ResultsTable::Layout m_layout;
    // Converting into 64:ff9b::/96, which may carry global addresses only.
    const bool m_wellKnownNat64;
    BatchStreams m_streams;
    bool m_nonGlobalWarned = false;
    qsizetype m_rows = 0;
    bool m_rowsFailed = false;
    bool m_trouble = false;
};
