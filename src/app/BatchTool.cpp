#include "BatchTool.h"

#include "BatchInputs.h"
#include "OutputIsInput.h"
#include "ProgressAdapters.h"
#include "TerminalProgress.h"
#include "conversion/Decoding.h"
#include "conversion/MapIP.h"
#include "export/BatchLists.h"
#include "export/CellDeriver.h"
#include "export/ExportTarget.h"
#include "export/ListModel.h"
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

// A row as a message shows it: quoted, its start only when it is long (a
// line of a binary file).
QString shownRow(QStringView row)
{
    constexpr qsizetype Shown = 40;
    return u'"' + row.first(std::min(row.size(), Shown)).toString()
        + (row.size() > Shown ? u"\u2026\""_s : u"\""_s);
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

} // namespace

BatchTool::BatchTool(const BatchOptions& options, const BatchStreams& streams)
    : m_options(options)
    , m_conversion(options.embedding, options.style)
    , m_decoding(options.embeddingGiven ? MapIP::DecodeOptions(options.embedding) : MapIP::DecodeOptions())
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
    if (m_options.format->openStream)
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

std::unique_ptr<ExportTarget> BatchTool::makeTarget() const
{
    if (m_options.writesToStandardOutput())
        return std::make_unique<ExportTarget>(m_streams.output, StandardOutput.toString());
    return std::make_unique<ExportTarget>(m_options.output);
}

void BatchTool::readInputs(const RowSink& sink)
{
    BatchInputs inputs(m_streams.input, m_streams.progress, [this](const QString& text) { fileError(text); });
    inputs.read(m_options.inputs, sink);
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

void BatchTool::reportFailure(qsizetype row, const MapIP::RowDecoding& decoding)
{
    if (!decoding.failed())
        return;
    m_rowsFailed = true;
    message(u"row "_s + QString::number(row) + u": "_s
            + MapIP::describe(decoding.decoded(), decoding.row(), m_decoding));
}

void BatchTool::fillConverted(ListModel& table)
{
    for (const QString& caption : BatchLists::ResultsCaptions)
        table.addColumn(caption);
    table.setCellDeriver(std::make_shared<ConversionFormsDeriver>(m_conversion));

    // A row and its forms, as the window's run sets them; the forms are kept
    // as marks and built when the export reads them.
    readInputs([&](QStringView text) {
        const qsizetype row = table.appendRow(text);
        const MapIP::RowConversion conversion(text, m_conversion);
        table.setDerivedSubItems(row, conversion.convertedForms());
        reportFailures(row + 1, conversion);
    });
}

void BatchTool::fillDecoded(ListModel& table)
{
    for (const MapIP::DecodeColumn& column : MapIP::DecodeColumns)
        table.addColumn(column.caption.toString());
    readInputs([&](QStringView text) {
        const qsizetype row = table.appendRow(text);
        const MapIP::RowDecoding decoding(text, m_decoding);
        reportFailure(row + 1, decoding);
        if (decoding.failed())
            return;
        int column = 1;
        for (const auto field : { MapIP::RowDecoding::Field::Ipv4, MapIP::RowDecoding::Field::Embedding,
                                  MapIP::RowDecoding::Field::Detail })
            table.setSubItem(row, column++, decoding.text(field));
    });
}

void BatchTool::runTable()
{
    ListModel table(ListModel::CheckBoxes::OnEveryRow);
    if (m_options.decode)
        fillDecoded(table);
    else
        fillConverted(table);

    tick(table);
    showStep(u"Writing "_s + outputName());
    if (m_options.format->writeTable)
        writeTable(table);
    else
        writeEncoded(table);
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
    const std::unique_ptr<ExportTarget> target = makeTarget();
    try {
        target->create();
    } catch (const AppError& error) {
        fileError(error.description());
        return;
    }

    EncodedBlocks output(*target, m_options.format->encoding);
    const std::unique_ptr<RowStream> stream = m_options.format->openStream(output, m_options.settings);
    try {
        // Each row goes out as soon as it is read, when it is ticked.
        const auto pass = [&](qsizetype row, const auto& read) {
            if (!m_options.ticks.contains(row))
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
                pass(row, decoding);
            } else {
                const MapIP::RowConversion conversion(text, m_conversion);
                reportFailures(row, conversion);
                pass(row, conversion);
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
