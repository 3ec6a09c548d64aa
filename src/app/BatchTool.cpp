#include "BatchTool.h"
#include "export/BatchLists.h"

#include "TerminalProgress.h"
#include "conversion/MapIP.h"
#include "export/CellDeriver.h"
#include "export/ClipboardText.h"
#include "export/EncodedBlocks.h"
#include "export/ExportTarget.h"
#include "export/ListModel.h"
#include "export/SpreadsheetExport.h"
#include "export/TableFormats.h"
#include "export/TextFileWriter.h"
#include "export/XlsxWorkbook.h"
#include "shell/AppError.h"
#include "shell/ErrorTrap.h"
#include "shell/ListFileReader.h"
#include "shell/PathHelpers.h"
#include "shell/VisibleText.h"
#include "shell/Yielder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>
#include <new>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView StandardInput = u"standard input";
constexpr QStringView StandardOutput = u"standard output";

// How often, in rows, reading tells the progress bar how far it is.
constexpr qsizetype RowsPerProgressStep = 4096;

// A write to the output failed while rows were still being read; it ends the
// reading, unlike a failure to read one file.
struct OutputFailure
{
    QString description;
};

// Written without building a text: there may be no memory left for one.
void writeOutOfMemory(QIODevice& errors)
{
    errors.write("quadrix-batch: out of memory\n");
}

// A row as a message shows it: quoted, its start only when it is long (a
// line of a binary file).
QString shownRow(QStringView row)
{
    constexpr qsizetype Shown = 40;
    return u'"' + row.first(std::min(row.size(), Shown)).toString()
        + (row.size() > Shown ? u"\u2026\""_s : u"\""_s);
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
    // Writing on without the statement that failed would replace the output
    // with an incomplete one; the run ends instead and the output is
    // abandoned on the way out.
    void reportOutOfMemory(const QString&, const QString&, int) override { throw std::bad_alloc(); }

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

// A tsv field, escaped as PostgreSQL's text COPY format escapes one, so that
// a TAB or a line break in a row cannot add fields or lines.
void appendTsvField(EncodedBlocks& output, QStringView text)
{
    // The letter after the backslash, or 0 for a character written as it is.
    const auto escapeOf = [](char16_t c) {
        switch (c) {
        case u'\\':
            return '\\';
        case u'\t':
            return 't';
        case u'\n':
            return 'n';
        case u'\r':
            return 'r';
        default:
            return '\0';
        }
    };
    // Nearly every row needs no escape at all: find the first one quickly.
    const auto needsEscape = [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 ? (u == u'\t' || u == u'\n' || u == u'\r') : u == u'\\';
    };
    const qsizetype first = std::find_if(text.begin(), text.end(), needsEscape) - text.begin();
    if (first == text.size()) {
        output.append(text);
        return;
    }
    qsizetype start = 0;
    for (qsizetype i = first; i < text.size(); ++i) {
        const char escape = escapeOf(text[i].unicode());
        if (escape == 0)
            continue;
        output.append(text.sliced(start, i - start));
        output.append('\\');
        output.append(escape);
        start = i + 1;
    }
    output.append(text.sliced(start));
}

std::unique_ptr<ExportTarget> makeTarget(const BatchOptions& options, QIODevice& output)
{
    if (options.writesToStandardOutput())
        return std::make_unique<ExportTarget>(output, StandardOutput.toString());
    return std::make_unique<ExportTarget>(options.output);
}

// A regular file, as the system knows it whatever its name.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;

    bool operator==(const FileIdentity&) const = default;
};

// Only regular files count: a terminal or a pipe on both sides is common and
// harmless, a file read while it is written may grow without end.
std::optional<FileIdentity> regularFileIdentity(const struct stat& status)
{
    if (!S_ISREG(status.st_mode))
        return std::nullopt;
    return FileIdentity { status.st_dev, status.st_ino };
}

std::optional<FileIdentity> identityOfPath(const QString& path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return regularFileIdentity(status);
}

std::optional<FileIdentity> identityOfDevice(QIODevice& device)
{
    const auto* file = qobject_cast<QFileDevice*>(&device);
    struct stat status = {};
    if (!file || file->handle() < 0 || ::fstat(file->handle(), &status) != 0)
        return std::nullopt;
    return regularFileIdentity(status);
}

ResultsTable::Layout layoutOf(const BatchOptions& options)
{
    ResultsTable::Layout layout;
    layout.direction = options.decode ? ResultsTable::Direction::Decode : ResultsTable::Direction::Convert;
    layout.conversion = MapIP::ConversionOptions(options.embedding, options.style);
    if (options.embeddingChosen)
        layout.decoding = MapIP::DecodeOptions(options.embedding);
    layout.reverseDns = options.reverseDns;
    return layout;
}

// The row and each of its forms, a failing one empty. A form is written in
// its two pieces, never built: a row may be huge.
void writeTsvLine(EncodedBlocks& output, const MapIP::RowConversion& conversion, bool reverseDns)
{
    appendTsvField(output, conversion.address());
    for (const MapIP::FormDefinition& form : MapIP::Forms) {
        output.append('\t');
        // Prefixes and hex groups are the program's own text, never escaped.
        output.append(conversion.prefix(form.form));
        if (form.body == MapIP::Body::AddressAsGiven)
            appendTsvField(output, conversion.body(form.form));
        else
            output.append(conversion.body(form.form));
        // A prefix's length; nothing behind an address.
        if (const QStringView suffix = conversion.suffix(form.form); !suffix.isEmpty())
            output.append(suffix);
    }
    if (reverseDns) {
        output.append('\t');
        output.append(conversion.reverseDnsName());
    }
    output.append('\n');
}

// The row and what it decodes to, empty fields when it does not.
void writeTsvLine(EncodedBlocks& output, const MapIP::RowDecoding& decoding, bool reverseDns)
{
    appendTsvField(output, decoding.row());
    for (const auto field : { MapIP::RowDecoding::Field::Ipv4, MapIP::RowDecoding::Field::Embedding,
                              MapIP::RowDecoding::Field::Detail }) {
        output.append('\t');
        output.append(decoding.text(field));
    }
    if (reverseDns) {
        output.append('\t');
        output.append(decoding.reverseDnsName());
    }
    output.append('\n');
}

} // namespace

BatchTool::BatchTool(const BatchOptions& options, const BatchStreams& streams)
    : m_options(options)
    , m_conversion(options.embedding, options.style)
    , m_layout(layoutOf(options))
    , m_wellKnownNat64(options.embedding == MapIP::Embedding::named(MapIP::Embedding::Named::Nat64))
    , m_streams(streams)
{
}

BatchStatus BatchTool::run()
{
    if (outputIsAnInput())
        return BatchStatus::Trouble;
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
    writeBatchMessage(m_streams.errors, text);
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

bool BatchTool::outputIsAnInput()
{
    const std::optional<FileIdentity> output = m_options.writesToStandardOutput()
        ? identityOfDevice(m_streams.output)
        : identityOfPath(m_options.output);
    if (!output)
        return false;
    const auto refuse = [&](const std::optional<FileIdentity>& input, const QString& shownName) {
        if (input != output)
            return false;
        fileError(shownName + u": input file is output file"_s);
        return true;
    };
    const auto refuseStandardInput
        = [&] { return refuse(identityOfDevice(m_streams.input), StandardInput.toString()); };
    if (m_options.inputs.empty())
        return refuseStandardInput();
    for (const BatchOptions::Input& input : m_options.inputs) {
        if (input.kind != BatchOptions::Input::Kind::File)
            continue;
        if (input.text == u"-" ? refuseStandardInput()
                               : refuse(identityOfPath(input.text), u'"' + input.text + u'"'))
            return true;
    }
    return false;
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

void BatchTool::reportFailures(qsizetype row, const MapIP::RowConversion& conversion)
{
    for (const MapIP::FormDefinition& form : MapIP::Forms) {
        const MapIP::ConversionFailure failure = conversion.failure(form.form);
        if (!failure.failed())
            continue;
        m_rowsFailed = true;
        message(u"row "_s + QString::number(row) + u' ' + shownRow(conversion.address()) + u": "_s
                + form.label.toString() + u": "_s + MapIP::describe(failure));
    }
}

void BatchTool::checkDecoding(qsizetype row, QStringView text, const MapIP::Decoded& decoded)
{
    if (!decoded.failed())
        return;
    m_rowsFailed = true;
    message(u"row "_s + QString::number(row) + u": "_s + MapIP::describe(decoded, text, m_layout.decoding));
}

void BatchTool::checkConversion(qsizetype row, const MapIP::RowConversion& conversion,
                                const std::vector<MapIP::Ipv4Network>& parts)
{
    if (parts.empty())
        reportFailures(row, conversion);
    if (m_nonGlobalWarned || !m_wellKnownNat64)
        return;
    std::vector<MapIP::Ipv4Network> networks = parts;
    if (networks.empty()) {
        if (const std::optional<MapIP::Ipv4Network> network = conversion.network())
            networks.push_back(*network);
        else if (const std::optional<quint32> address = conversion.ipv4())
            networks.push_back({ *address, 32 });
    }
    for (const MapIP::Ipv4Network& network : networks) {
        // A prefix is looked at by its first and its last address.
        std::optional<QString> range = MapIP::nonGlobalRange(network.address);
        if (!range)
            range = MapIP::nonGlobalRange(network.last());
        if (!range)
            continue;
        m_nonGlobalWarned = true;
        message(u"warning: the NAT64 well-known prefix 64:ff9b::/96 must not carry non-global addresses "
                u"(RFC 6052 section 3.1), but row "_s
                + QString::number(row) + u' ' + shownRow(conversion.address()) + u" is "_s + *range
                + u"; its forms are written all the same (this is said once)"_s);
        return;
    }
}

void BatchTool::runTable()
{
    ListModel table(ListModel::CheckBoxes::OnEveryRow);
    ResultsTable::apply(table, m_layout);

    // A row and its results, as the window's run sets them; they are kept as
    // marks and built when the export reads them. A range of several
    // prefixes makes a row for each.
    readInputs([&](QStringView text) {
        const qsizetype row = ++m_rows;
        if (m_layout.direction == ResultsTable::Direction::Decode) {
            const MapIP::RowDecoding decoding(text, m_layout.decoding);
            table.setDerivedSubItems(table.appendRow(text),
                                     DecodedFieldsDeriver::subItemsOf(decoding, m_layout.reverseDns));
            checkDecoding(row, text, decoding.decoded());
            return;
        }
        // The row is read once, here; the table builds the texts from it
        // when they are written.
        const MapIP::RowConversion conversion(text, m_conversion);
        const std::vector<MapIP::Ipv4Network> parts = ConversionFormsDeriver::partsOf(conversion);
        if (parts.empty())
            table.setDerivedSubItems(table.appendRow(text),
                                     ConversionFormsDeriver::subItemsOf(conversion, m_layout.reverseDns));
        else
            table.appendDerivedRows(text);
        checkConversion(row, conversion, parts);
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
    case BatchOptions::Format::Csv:
        writeEncoded(EncodedBlocks::Encoding::Utf8,
                     [&table](EncodedBlocks& output, Yielder& yielder) { writeCsv(table, yielder, output); });
        break;
    case BatchOptions::Format::JsonLines:
        writeEncoded(EncodedBlocks::Encoding::Utf8, [&table](EncodedBlocks& output, Yielder& yielder) {
            writeJsonLines(table, yielder, output);
        });
        break;
    case BatchOptions::Format::Tsv:
        break;
    }
}

void BatchTool::tick(ListModel& table)
{
    if (m_options.ticks.selectsEveryRow()) {
        for (qsizetype row = 0; row < table.rows(); ++row)
            table.setChecked(row, true);
        return;
    }
    // Ranges count rows from 1.
    for (const RowSelection::Range& range : m_options.ticks.ranges()) {
        for (qsizetype row = range.first; row <= std::min(range.last, table.rows()); ++row)
            table.setChecked(row - 1, true);
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
    writeEncoded(EncodedBlocks::Encoding::AnsiCodePage, [&table](EncodedBlocks& output, Yielder& yielder) {
        forEachClipboardLine(table, yielder, [&output](QStringView line) { output.append(line); });
    });
}

void BatchTool::writeEncoded(EncodedBlocks::Encoding encoding, const EncodedWriter& write)
{
    showStep(u"Writing "_s + outputName());
    std::unique_ptr<ExportTarget> target = makeTarget(m_options, m_streams.output);
    ProgressYielder yielder(m_streams.progress);
    try {
        target->create();
        EncodedBlocks output(*target, encoding);
        write(output, yielder);
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

    EncodedBlocks output(*target);
    try {
        // Ticks count the lines written, as they count the table's rows.
        qsizetype line = 0;
        const auto ticked = [&] { return m_options.ticks.contains(++line); };
        readInputs([&](QStringView text) {
            const qsizetype row = ++m_rows;
            try {
                if (m_layout.direction == ResultsTable::Direction::Decode) {
                    const MapIP::RowDecoding decoding(text, m_layout.decoding);
                    checkDecoding(row, text, decoding.decoded());
                    if (ticked())
                        writeTsvLine(output, decoding, m_layout.reverseDns);
                    return;
                }
                const MapIP::RowConversion conversion(text, m_conversion);
                const std::vector<MapIP::Ipv4Network> parts = ConversionFormsDeriver::partsOf(conversion);
                checkConversion(row, conversion, parts);
                if (parts.empty()) {
                    if (ticked())
                        writeTsvLine(output, conversion, m_layout.reverseDns);
                    return;
                }
                for (const MapIP::Ipv4Network& part : parts) {
                    if (ticked())
                        writeTsvLine(output, MapIP::RowConversion(text, part, m_conversion),
                                     m_layout.reverseDns);
                }
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

namespace {

int runParsedBatchTool(const QStringList& arguments, const BatchStreams& streams)
{
    const ParsedArguments parsed = parseBatchArguments(arguments);
    if (!parsed.error.isEmpty()) {
        writeBatchMessage(streams.errors, parsed.error);
        streams.errors.write("Try 'quadrix-batch --help' for more information.\n");
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
            writeBatchMessage(streams.errors, error.description());
            return int(BatchStatus::Trouble);
        }
        return int(BatchStatus::Converted);
    }
    BatchTool tool(parsed.options, streams);
    return int(tool.run());
}

} // namespace

void writeBatchMessage(QIODevice& errors, const QString& text)
{
    errors.write((u"quadrix-batch: "_s + withVisibleControls(text) + u'\n').toUtf8());
}

int runBatchTool(const QStringList& arguments, const BatchStreams& streams)
{
    try {
        return runParsedBatchTool(arguments, streams);
    } catch (const std::bad_alloc&) {
        // By now the output is abandoned and the memory of the run is free.
        if (streams.progress)
            streams.progress->clear();
        writeOutOfMemory(streams.errors);
        return int(BatchStatus::Trouble);
    }
}
