#include "batch_window/BatchLists.h"
#include "BatchTool.h"

#include "TerminalProgress.h"
#include "batch_window/CellDeriver.h"
#include "batch_window/ListFileReader.h"
#include "batch_window/ListModel.h"
#include "conversion/MapIP.h"
#include "export/ClipboardText.h"
#include "export/ExportTarget.h"
#include "export/TextFileWriter.h"
#include "export/SpreadsheetExport.h"
#include "export/XlsxWorkbook.h"
#include "shell/AnsiCodePage.h"
#include "shell/AppError.h"
#include "shell/ErrorTrap.h"
#include "shell/PathHelpers.h"
#include "shell/Yielder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView StandardInput = u"standard input";
constexpr QStringView StandardOutput = u"standard output";


// Encoded output is gathered and written in blocks of about this size.
constexpr qsizetype BlockBytes = 256 * 1024;
// How often, in rows, reading tells the progress bar how far it is.
constexpr qsizetype RowsPerProgressStep = 4096;

// A write to the output failed while rows were still being read; it ends the
// reading, unlike a failure to read one file.
struct OutputFailure
{
    QString description;
};

// A row as a message shows it: quoted, its start only when it is long (a
// line of a binary file), control characters as "?".
QString shownRow(QStringView row)
{
    constexpr qsizetype Shown = 40;
    QString text = row.first(std::min(row.size(), Shown)).toString();
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || (c.unicode() >= 0x80 && c.unicode() < 0xA0))
            c = u'?';
    }
    return u'"' + text + (row.size() > Shown ? u"\u2026\""_s : u"\""_s);
}

// True for a text such as 10.0.0.1: something meant as an address rather
// than a file.
bool looksLikeAddress(const QString& text)
{
    if (text.count(u'.') != 3)
        return false;
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c == u'.' || (c >= u'0' && c <= u'9'); });
}

// The window's exports report failures as error reports; the tool prints
// their descriptions.
class MessageReporter final : public ErrorReporter
{
public:
    explicit MessageReporter(BatchTool& tool)
        : m_tool(tool)
    {
    }

    void reportError(const QString& reportText) override { m_tool.fileError(reportText); }
    void reportFailure(const QString& description, const QString&, const QString&, int) override
    {
        m_tool.fileError(description);
    }

private:
    BatchTool& m_tool;
};

// Passes the text file writer's share done on to the progress bar, never
// backwards: the writer shows 1, 10 and 20 for its first steps before the
// rows count from 0 again, and 0 when it is done. Its texts are the window's
// ("Done.", "Progress Bar"); the bar keeps the tool's own.
class WriterProgress final : public ProgressDisplay
{
public:
    explicit WriterProgress(TerminalProgress& bar)
        : m_bar(bar)
    {
    }

    void setValue(double value) override
    {
        m_shown = std::max(m_shown, value);
        m_bar.setValue(m_shown);
    }
    void setText(const QString&) override { }

private:
    TerminalProgress& m_bar;
    double m_shown = 0;
};

// Never yields or stops, but lets the progress bar move: the exports pass
// here at every row and cell.
class ProgressYielder final : public Yielder
{
public:
    explicit ProgressYielder(TerminalProgress* bar)
        : m_bar(bar)
    {
    }

    void yield() override
    {
        if (m_bar)
            m_bar->update();
    }
    bool stopRequested() const override { return false; }

private:
    TerminalProgress* m_bar;
};

// Encodes text and writes it to a target in blocks.
class EncodedOutput
{
public:
    explicit EncodedOutput(ExportTarget& target)
        : m_target(target)
    {
        m_block.reserve(BlockBytes + 4096);
    }

    void append(QStringView text)
    {
        AnsiCodePage::encodeAppend(text, m_block);
        if (m_block.size() >= BlockBytes)
            flush();
    }
    void append(char c) { m_block.append(c); }

    // Throws AppError.
    void flush()
    {
        m_target.write(m_block);
        m_block.resize(0);
    }

private:
    ExportTarget& m_target;
    QByteArray m_block;
};

std::unique_ptr<ExportTarget> makeTarget(const BatchOptions& options, QIODevice& output)
{
    if (options.writesToStandardOutput())
        return std::make_unique<ExportTarget>(output, StandardOutput.toString());
    return std::make_unique<ExportTarget>(options.output);
}

} // namespace

BatchTool::BatchTool(const BatchOptions& options, const BatchStreams& streams)
    : m_options(options)
    , m_streams(streams)
{
}

BatchStatus BatchTool::run()
{
    if (m_options.format == BatchOptions::Format::Tsv)
        runTsv();
    else
        runTable();
    if (m_streams.progress)
        m_streams.progress->clear();
    if (m_trouble)
        return BatchStatus::Trouble;
    return m_rowsFailed ? BatchStatus::RowsFailed : BatchStatus::Converted;
}

void BatchTool::message(const QString& text)
{
    if (m_streams.progress)
        m_streams.progress->clear();
    m_streams.errors.write((u"quadrix-batch: "_s + text + u'\n').toUtf8());
}

void BatchTool::fileError(const QString& text)
{
    message(text);
    m_trouble = true;
}

QString BatchTool::outputName() const
{
    return m_options.writesToStandardOutput() ? StandardOutput.toString() : NativeFileName(m_options.output);
}

void BatchTool::showStep(const QString& text)
{
    if (m_streams.progress) {
        m_streams.progress->setValue(-1);
        m_streams.progress->setText(text);
    }
}

void BatchTool::readInputs(const RowSink& sink)
{
    if (m_options.inputs.empty()) {
        readDevice(m_streams.input, StandardInput.toString(), sink);
        return;
    }
    for (const BatchOptions::Input& input : m_options.inputs) {
        switch (input.kind) {
        case BatchOptions::Input::Kind::File:
            readFile(input.text, sink);
            break;
        case BatchOptions::Input::Kind::Address:
            sink(input.text);
            break;
        case BatchOptions::Input::Kind::Sample:
            for (const QString& row : BatchLists::SampleAddresses)
                sink(row);
            break;
        }
    }
}

void BatchTool::readFile(const QString& path, const RowSink& sink)
{
    if (path == u"-") {
        readDevice(m_streams.input, StandardInput.toString(), sink);
        return;
    }
    if (!FileExists(path)) {
        fileError(u"File not found: "_s + path
                  + (looksLikeAddress(path) ? u" (to convert an address, use --address "_s + path + u')'
                                            : QString()));
        return;
    }
    // A folder or a device is not a list (a device may never end); a named
    // pipe is, as process substitution hands one over.
    const QFileInfo info(path);
    struct stat status = {};
    const bool pipe = ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISFIFO(status.st_mode);
    if (info.isDir()) {
        fileError(u"Cannot read \""_s + path + u"\": it is a folder"_s);
        return;
    }
    if (!info.isFile() && !pipe) {
        fileError(u"Cannot read \""_s + path + u"\": it is not a file"_s);
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fileError(u"Cannot open \""_s + path + u"\": "_s + file.errorString());
        return;
    }
    readDevice(file, path, sink);
}

void BatchTool::readDevice(QIODevice& device, const QString& name, const RowSink& sink)
{
    TerminalProgress* bar = m_streams.progress;
    const qint64 size = device.isSequential() ? 0 : device.size();
    showStep(u"Reading "_s + (name == StandardInput ? name : NativeFileName(name)));
    qsizetype rowsRead = 0;
    const RowSink counted = [&](QStringView row) {
        sink(row);
        if (bar && ++rowsRead % RowsPerProgressStep == 0)
            bar->setValue(size > 0 ? double(device.pos()) / double(size) * 100.0 : -1.0);
    };
    try {
        if (!device.isOpen() || !device.isReadable())
            throw AppError(u"Cannot read "_s + name + u": it is not open"_s);
        readListRows(device, name, counted);
    } catch (const AppError& error) {
        fileError(error.description());
    }
}

void BatchTool::reportFailures(qsizetype row, QStringView text, bool fullFailed, bool shorthandFailed)
{
    m_rowsFailed = true;
    const QString start = u"row "_s + QString::number(row) + u' ' + shownRow(text) + u": "_s;
    QString unused;
    if (fullFailed)
        message(start + u"IPv6 Full Address: "_s
                + MapIP::describe(MapIP::tryConvert(MapIP::Form::Full, text, unused)));
    if (shorthandFailed)
        message(start + u"IPv6 Shorthand Address: "_s
                + MapIP::describe(MapIP::tryConvert(MapIP::Form::Shorthand, text, unused)));
}

void BatchTool::runTable()
{
    ListModel table(ListModel::CheckBoxes::OnEveryRow);
    for (const QString& caption : BatchLists::ResultsCaptions)
        table.addColumn(caption);
    table.setCellDeriver(std::make_shared<ConversionFormsDeriver>());

    // A row and its four forms, as the window's run sets them; the forms are
    // kept as marks and built when the export reads them.
    constexpr unsigned Full = 0b01;
    constexpr unsigned Shorthand = 0b10;
    readInputs([&](QStringView text) {
        const qsizetype row = table.appendRow(text);
        const unsigned derived = table.deriveSubItems(row);
        if ((derived & (Full | Shorthand)) != (Full | Shorthand))
            reportFailures(row + 1, text, !(derived & Full), !(derived & Shorthand));
    });

    tick(table);
    switch (m_options.format) {
    case BatchOptions::Format::Text:
        writeText(table);
        break;
    case BatchOptions::Format::Clipboard:
        writeClipboardText(table);
        break;
    case BatchOptions::Format::Xlsx:
        writeWorkbook(table);
        break;
    case BatchOptions::Format::Tsv:
        break;
    }
}

void BatchTool::tick(ListModel& table)
{
    // As the user ticks: the view's check box on the first cell of the row.
    table.publishRows();
    const auto tickRow = [&table](qsizetype row) {
        table.setData(table.index(int(row), 0), Qt::Checked, Qt::CheckStateRole);
    };
    if (m_options.ticks.selectsEveryRow()) {
        for (qsizetype row = 0; row < table.rows(); ++row)
            tickRow(row);
        return;
    }
    for (const RowSelection::Range& range : m_options.ticks.ranges()) {
        for (qsizetype row = range.first; row <= std::min(range.last, table.rows()); ++row)
            tickRow(row - 1);
    }
}

void BatchTool::writeText(const ListModel& table)
{
    showStep(u"Writing "_s + outputName());
    std::unique_ptr<WriterProgress> progress;
    if (m_streams.progress)
        progress = std::make_unique<WriterProgress>(*m_streams.progress);
    ProgressYielder yielder(m_streams.progress);
    MessageReporter reporter(*this);
    if (m_options.writesToStandardOutput()) {
        ExportTarget target(m_streams.output, StandardOutput.toString());
        SaveListviewProperlySpaced(table, target, progress.get(), yielder, reporter);
    } else {
        SaveListviewProperlySpaced(table, m_options.output, progress.get(), yielder, reporter);
    }
}

void BatchTool::writeClipboardText(const ListModel& table)
{
    showStep(u"Writing "_s + outputName());
    std::unique_ptr<ExportTarget> target = makeTarget(m_options, m_streams.output);
    ProgressYielder yielder(m_streams.progress);
    try {
        target->create();
        EncodedOutput output(*target);
        forEachClipboardLine(table, yielder, [&output](QStringView line) { output.append(line); });
        output.flush();
        target->finish();
    } catch (const AppError& error) {
        target->abandon();
        fileError(error.description());
    }
}

void BatchTool::writeWorkbook(const ListModel& table)
{
    showStep(u"Writing "_s + outputName());
    ProgressYielder yielder(m_streams.progress);
    try {
        writeWorkbookFile(table, m_options.output, yielder);
    } catch (const RefusedCells& refused) {
        // The workbook is written without them; like rows that failed to
        // convert, they are named one by one and make the status 1.
        for (const QString& cell : refused.cells())
            message(u"cell not written, "_s + cell);
        m_rowsFailed = true;
    } catch (const AppError& error) {
        fileError(error.description());
    }
}

void BatchTool::runTsv()
{
    std::unique_ptr<ExportTarget> target = makeTarget(m_options, m_streams.output);
    try {
        target->create();
    } catch (const AppError& error) {
        fileError(error.description());
        return;
    }

    EncodedOutput output(*target);
    // One record, its strings reused from row to row; a form that fails is
    // left empty, as its cell in the window.
    MapIP::FullConversion conversion;
    const ConversionResult& result = conversion.result;
    try {
        readInputs([&](QStringView text) {
            const qsizetype row = ++m_rows;
            MapIP::convertAllInto(text, conversion);
            if (conversion.fullFailure.failed() || conversion.shorthandFailure.failed())
                reportFailures(row, text, conversion.fullFailure.failed(),
                               conversion.shorthandFailure.failed());
            if (!m_options.ticks.contains(row))
                return;
            try {
                output.append(text);
                for (const QString* form :
                     { &result.Full, &result.Shorthand, &result.DotFull, &result.DotShorthand }) {
                    output.append('\t');
                    output.append(*form);
                }
                output.append('\n');
            } catch (const AppError& error) {
                throw OutputFailure { error.description() };
            }
        });
        output.flush();
        target->finish();
    } catch (const OutputFailure& failure) {
        target->abandon();
        fileError(failure.description);
    } catch (const AppError& error) {
        target->abandon();
        fileError(error.description());
    }
}

int runBatchTool(const QStringList& arguments, const BatchStreams& streams)
{
    const ParsedArguments parsed = parseBatchArguments(arguments);
    if (!parsed.error.isEmpty()) {
        streams.errors.write(
            (u"quadrix-batch: "_s + parsed.error + u"\nTry 'quadrix-batch --help' for more information.\n"_s)
                .toUtf8());
        return int(BatchStatus::Trouble);
    }
    if (parsed.options.help || parsed.options.version) {
        const QByteArray text = (parsed.options.help ? batchHelpText() : batchVersionText()).toUtf8();
        ExportTarget target(streams.output, StandardOutput.toString());
        try {
            target.create();
            target.write(text);
            target.finish();
        } catch (const AppError& error) {
            streams.errors.write((u"quadrix-batch: "_s + error.description() + u'\n').toUtf8());
            return int(BatchStatus::Trouble);
        }
        return int(BatchStatus::Converted);
    }
    BatchTool tool(parsed.options, streams);
    return int(tool.run());
}
