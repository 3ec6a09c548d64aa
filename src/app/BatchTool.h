#pragma once

#include "BatchOptions.h"
#include "conversion/Decoding.h"
#include "conversion/Networks.h"
#include "export/ResultsTable.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class AlignedTextRows;
class ExportTarget;
class ListModel;
class ResultRows;
namespace MapIP {
class RowConversion;
class RowDecoding;
} // namespace MapIP
class QIODevice;
class TerminalProgress;

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
// MapIP, and the clipboard and workbook outputs come from the window's own
// exports, given a results table filled as the window's run fills it and
// ticked as the user ticks it. The text file keeps its rows as it needs them
// (AlignedTextRows), checked on other threads as they are read, and writes
// the bytes the window's writer makes of that table. A format that needs no
// column widths (tsv) is written as the rows are read, without a table. The
// formats and their writers are the table of export/OutputFormats.h.
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

    void readInputs(const RowSink& sink);
    // An input that cannot be read goes to `problem` instead of fileError().
    void readInputs(const RowSink& sink, const std::function<void(const QString&)>& problem);
    // One message for each form the row fails, as the window reports them.
    static QStringList failureMessages(qsizetype row, const MapIP::RowConversion& conversion);
    // The message for a row that did not decode.
    std::optional<QString> failureMessage(qsizetype row, const MapIP::RowDecoding& decoding) const;
    // The warning when the NAT64 well-known prefix is to carry a
    // non-global address: the row's address, or its prefixes' first or last.
    std::optional<QString> nonGlobalWarning(qsizetype row, const MapIP::RowConversion& conversion,
                                            const std::vector<MapIP::Ipv4Network>& parts) const;
    // What a row has to say: the forms it fails (a range of several
    // prefixes fails none), those prefixes, and with `withWarning` the NAT64
    // warning when it applies.
    struct RowNote
    {
        QStringList failures;
        std::vector<MapIP::Ipv4Network> parts;
        std::optional<QString> warning;

        bool isEmpty() const { return failures.isEmpty() && parts.empty() && !warning; }
    };
    RowNote noteOf(qsizetype row, const MapIP::RowConversion& conversion, bool withWarning) const;
    // Writes the note's failures and its warning, the run's first.
    void report(const RowNote& note);
    // Writes a row's failure messages; they make the status 1.
    void reportFailures(const QStringList& messages);
    void reportFailure(qsizetype row, const MapIP::RowDecoding& decoding);
    // The run's one warning, the first time there is one.
    void warnOnce(const std::optional<QString>& warning);
    // Reports what is wrong with input row `row`: the forms it fails (a
    // range of several prefixes fails none), and the one warning of the run
    // when the NAT64 well-known prefix is to carry a non-global address.
    // Returns the prefixes of a range that makes several rows, none for any
    // other row.
    std::vector<MapIP::Ipv4Network> checkConversion(qsizetype row, const MapIP::RowConversion& conversion);

    void runTable();
    // The rows of a run, as the window fills its results table, in either
    // direction.
    void fill(ResultRows& rows);
    // The text file: its rows kept as the file needs them, not as a table.
    void runAlignedText();
    // Its rows read here and checked and measured in blocks on other
    // threads; what the checks report is written in order once all are read.
    void fillChecked(AlignedTextRows& rows);
    struct BlockCheck;
    struct RowBlock;
    void addChecked(AlignedTextRows& rows, RowBlock& block);
    BlockCheck checkBlock(const AlignedTextRows& rows, qsizetype firstRow,
                          const std::vector<QStringView>& texts) const;
    // A format whose writer owns its target and reports its own failures.
    void writeTable(const ListModel& table);
    // A format that fills encoded blocks.
    void writeEncoded(const ListModel& table);
    // A format that writes each row as it is read.
    void runStream();
    // --expand into a format that needs no table: the addresses of prefixes
    // and ranges streamed as they are made.
    void runExpansion();
    // Adds the rows a row expands into to the table, or the row itself;
    // false when the table would pass the format's limit.
    bool appendExpanded(ResultRows& rows, qsizetype row, const MapIP::RowConversion& conversion);
    std::unique_ptr<ExportTarget> makeTarget() const;
    // The target, created; null when it could not be, which is reported.
    std::unique_ptr<ExportTarget> createTarget();

    QString outputName() const;
    void showStep(const QString& text);

    const BatchOptions& m_options;
    // The forms' embedding and text, worked out once for every row.
    const MapIP::ConversionOptions m_conversion;
    // How --decode reads rows.
    const MapIP::DecodeOptions m_decoding;
    // The table's direction, columns and deriver.
    const ResultsTable::Layout m_layout;
    // Converting into 64:ff9b::/96, which may carry global addresses only.
    const bool m_wellKnownNat64;
    bool m_nonGlobalWarned = false;
    BatchStreams m_streams;
    qsizetype m_rows = 0;
    // Rows an expansion put in the table.
    quint64 m_expandedRows = 0;
    bool m_expansionRefused = false;
    bool m_rowsFailed = false;
    bool m_trouble = false;
};
