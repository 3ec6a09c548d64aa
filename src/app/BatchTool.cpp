#include "BatchTool.h"

#include "BatchInputs.h"
#include "OutputIsInput.h"
#include "ProgressAdapters.h"
#include "TerminalProgress.h"
#include "conversion/Decoding.h"
#include "conversion/MapIP.h"
#include "export/CellDeriver.h"
#include "export/ExportTarget.h"
#include "export/ListModel.h"
#include "export/ResultRows.h"
#include "export/ResultsTable.h"
#include "export/SpreadsheetExport.h"
#include "shell/AppError.h"
#include "shell/ErrorTrap.h"
#include "shell/PathHelpers.h"

#include <algorithm>
#include <memory>
#include <new>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView StandardOutput = u"standard output";

// A write to the output failed while rows were still being read; it ends the
// reading, unlike a failure to read one file.
struct OutputFailure
{
    QString description;
};

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

} // namespace

BatchTool::BatchTool(const BatchOptions& options, const BatchStreams& streams)
    : m_options(options)
    , m_conversion(options.embedding, options.style)
    , m_decoding(options.embeddingGiven ? MapIP::DecodeOptions(options.embedding) : MapIP::DecodeOptions())
    , m_layout { options.decode ? ResultsTable::Direction::Decode : ResultsTable::Direction::Convert,
                 m_conversion, m_decoding, options.settings.reverseDns }
    , m_wellKnownNat64(!options.decode
                       && options.embedding == MapIP::Embedding::named(MapIP::Embedding::Named::Nat64))
    , m_streams(streams)
{
}

BatchStatus BatchTool::run()
{
    if (const std::optional<QString> input
        = inputThatIsTheOutput(m_options, m_streams.input, m_streams.output)) {
        fileError(*input + u": input file is output file"_s);
        return BatchStatus::Trouble;
    }
    if (m_options.expand && m_options.format->expansion)
        runExpansion();
    else if (m_options.format->openStream)
        runStream();
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

std::unique_ptr<ExportTarget> BatchTool::createTarget()
{
    std::unique_ptr<ExportTarget> target = makeTarget();
    try {
        target->create();
    } catch (const AppError& error) {
        fileError(error.description());
        return nullptr;
    }
    return target;
}

std::unique_ptr<ExportTarget> BatchTool::makeTarget() const
{
    if (m_options.writesToStandardOutput())
        return std::make_unique<ExportTarget>(m_streams.output, StandardOutput.toString());
    return std::make_unique<ExportTarget>(m_options.output);
}

void BatchTool::readInputs(const RowSink& sink)
{
    readInputs(sink, [this](const QString& text) { fileError(text); });
}

void BatchTool::readInputs(const RowSink& sink, const std::function<void(const QString&)>& problem)
{
    BatchInputs inputs(m_streams.input, m_streams.progress, problem);
    inputs.read(m_options.inputs, sink);
}

void BatchTool::fill(ResultRows& rows)
{
    // A row and its results, as the window's run sets them, ticked as the
    // user ticks them; a range of several prefixes makes a row for each, and
    // ticks count those rows. Each row is read once, here.
    const auto ticked = [&] { return m_options.ticks.contains(rows.rows() + 1); };
    readInputs([&](QStringView text) {
        const qsizetype row = ++m_rows;
        if (m_options.decode) {
            const MapIP::RowDecoding decoding(text, m_decoding);
            rows.add(decoding, DecodedFieldsDeriver::subItemsOf(decoding, m_layout.reverseDns), ticked());
            reportFailure(row, decoding);
            return;
        }
        const MapIP::RowConversion conversion(text, m_conversion);
        if (m_options.expand) {
            if (!m_expansionRefused && appendExpanded(rows, row, conversion))
                checkConversion(row, conversion);
            return;
        }
        const std::vector<MapIP::Ipv4Network> parts = checkConversion(row, conversion);
        if (parts.empty())
            rows.add(conversion, ConversionFormsDeriver::subItemsOf(conversion, m_layout.reverseDns),
                     ticked());
        for (const MapIP::Ipv4Network& part : parts)
            rows.addPart(text, part, ticked());
    });
}

void BatchTool::runTable()
{
    if (m_options.format->alignedText) {
        runAlignedText();
        return;
    }
    ListModel table(ListModel::CheckBoxes::OnEveryRow);
    ResultsTable::apply(table, m_layout);
    TableRows rows(table);
    fill(rows);
    if (m_expansionRefused)
        return;
    showStep(u"Writing "_s + outputName());
    if (m_options.format->writeTable)
        writeTable(table);
    else
        writeEncoded(table);
}

void BatchTool::writeTable(const ListModel& table)
{
    std::unique_ptr<WriterProgress> progress;
    if (m_streams.progress)
        progress = std::make_unique<WriterProgress>(*m_streams.progress);
    ProgressYielder yielder(m_streams.progress);
    MessageReporter reporter(*this);
    const std::unique_ptr<ExportTarget> target = makeTarget();
    try {
        m_options.format->writeTable(
            table, TableOutput { *target, yielder, progress.get(), reporter, m_options.settings });
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

void BatchTool::writeEncoded(const ListModel& table)
{
    const std::unique_ptr<ExportTarget> target = makeTarget();
    ProgressYielder yielder(m_streams.progress);
    try {
        target->create();
        EncodedBlocks output(*target, m_options.format->encoding);
        m_options.format->writeEncoded(table, yielder, output, m_options.settings);
        output.flush();
        target->finish();
    } catch (const AppError& error) {
        target->abandon();
        fileError(error.description());
    }
}

void BatchTool::runStream()
{
    const std::unique_ptr<ExportTarget> target = createTarget();
    if (!target)
        return;

    EncodedBlocks output(*target, m_options.format->encoding);
    const std::unique_ptr<RowStream> stream = m_options.format->openStream(output, m_options.settings);
    try {
        // Each line goes out as soon as its row is read, when it is ticked;
        // ticks count the lines written, as they count the table's rows.
        qsizetype line = 0;
        const auto pass = [&](const auto& read) {
            if (!m_options.ticks.contains(++line))
                return;
            try {
                stream->write(read);
            } catch (const AppError& error) {
                throw OutputFailure { error.description() };
            }
        };
        readInputs([&](QStringView text) {
            const qsizetype row = ++m_rows;
            if (m_options.decode) {
                const MapIP::RowDecoding decoding(text, m_decoding);
                reportFailure(row, decoding);
                pass(decoding);
                return;
            }
            const MapIP::RowConversion conversion(text, m_conversion);
            const std::vector<MapIP::Ipv4Network> parts = checkConversion(row, conversion);
            if (parts.empty())
                pass(conversion);
            for (const MapIP::Ipv4Network& part : parts)
                pass(MapIP::RowConversion(text, part, m_conversion));
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
