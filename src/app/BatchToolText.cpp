// quadrix-batch's text file: the rows read on this thread, checked and
// measured on others, then written in blocks of lines made on every
// processor.

#include "BatchTool.h"

#include "ProgressAdapters.h"
#include "conversion/Decoding.h"
#include "conversion/MapIP.h"
#include "export/AlignedTextRows.h"
#include "export/CellDeriver.h"
#include "export/ExportTarget.h"
#include "shell/AppError.h"

#include <deque>
#include <future>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// The rows of one check.
constexpr size_t BlockRows = 16 * 1024;

} // namespace

// What checking a block of rows found: each row's sub-items, the widths
// its cells need, and the notes of the few rows that have any.
struct BatchTool::BlockCheck
{
    // A row with something to say, and where it stands in the block.
    struct Note
    {
        size_t index = 0;
        RowNote note;
    };

    std::vector<quint8> subItems;
    // What was read of each row that its line can use again.
    std::vector<AlignedTextRows::Reading> readings;
    AlignedTextRows::Widths widths;
    std::vector<Note> notes;
};

// Rows read and the check that runs on them.
struct BatchTool::RowBlock
{
    qsizetype firstRow = 0; // the input row number of the first
    std::vector<QStringView> texts;
    std::future<BlockCheck> check;
};

BatchTool::BlockCheck BatchTool::checkBlock(const AlignedTextRows& rows, qsizetype firstRow,
                                            const std::vector<QStringView>& texts) const
{
    BlockCheck check;
    check.subItems.resize(texts.size());
    check.readings.resize(texts.size());
    check.widths = rows.noWidths();
    bool warned = false;
    for (size_t index = 0; index < texts.size(); ++index) {
        const qsizetype row = firstRow + qsizetype(index);
        RowNote note;
        unsigned subItems = 0;
        if (m_options.decode) {
            const MapIP::RowDecoding decoding(texts[index], m_decoding);
            subItems = DecodedFieldsDeriver::subItemsOf(decoding, m_layout.reverseDns);
            rows.measure(decoding, subItems, check.widths);
            check.readings[index] = AlignedTextRows::Reading::of(decoding.address());
            if (const std::optional<QString> failure = failureMessage(row, decoding))
                note.failures.append(*failure);
        } else {
            const MapIP::RowConversion conversion(texts[index], m_conversion);
            // Only the run's first warning is written.
            note = noteOf(row, conversion, !warned);
            warned = warned || note.warning.has_value();
            if (note.parts.empty()) {
                subItems = ConversionFormsDeriver::subItemsOf(conversion, m_layout.reverseDns);
                rows.measure(conversion, subItems, check.widths);
                check.readings[index] = AlignedTextRows::Reading::of(conversion.plainOctets());
            }
            for (const MapIP::Ipv4Network& part : note.parts)
                rows.measurePart(texts[index], part, check.widths);
        }
        check.subItems[index] = quint8(subItems);
        if (!note.isEmpty())
            check.notes.push_back({ index, std::move(note) });
    }
    return check;
}

void BatchTool::fillChecked(AlignedTextRows& rows)
{
    // Blocks stay where they are while more are added: their checks hold
    // them.
    std::deque<RowBlock> blocks;
    // An input that could not be read, said before the block it came before.
    std::vector<std::pair<size_t, QString>> problems;
    const size_t inFlight = 2 * std::max(1u, std::thread::hardware_concurrency());
    size_t waited = 0;
    const auto submit = [&] {
        if (blocks.empty() || blocks.back().check.valid() || blocks.back().texts.empty())
            return;
        // A few checks at a time: reading waits for the oldest.
        if (blocks.size() - waited > inFlight)
            blocks[waited++].check.wait();
        RowBlock& block = blocks.back();
        block.check = std::async(std::launch::async, [this, &rows, &block] {
            return checkBlock(rows, block.firstRow, block.texts);
        });
    };
    readInputs(
        [&](QStringView text) {
            const qsizetype row = ++m_rows;
            if (blocks.empty() || blocks.back().check.valid()) {
                blocks.emplace_back().firstRow = row;
                blocks.back().texts.reserve(BlockRows);
            }
            blocks.back().texts.push_back(rows.store(text));
            if (blocks.back().texts.size() == BlockRows)
                submit();
        },
        [&](const QString& text) {
            submit();
            problems.emplace_back(blocks.size(), text);
        });
    submit();

    auto problem = problems.begin();
    for (size_t number = 0; number <= blocks.size(); ++number) {
        for (; problem != problems.end() && problem->first == number; ++problem)
            fileError(problem->second);
        if (number < blocks.size())
            addChecked(rows, blocks[number]);
    }
}

// The block's rows in order, with what their checks found said.
void BatchTool::addChecked(AlignedTextRows& rows, RowBlock& block)
{
    // Ticks count the rows the table would have, a range's prefixes each.
    const auto ticked = [&] { return m_options.ticks.contains(rows.rows() + 1); };
    const BlockCheck check = block.check.get();
    rows.widen(check.widths);
    auto note = check.notes.begin();
    for (size_t index = 0; index < block.texts.size(); ++index) {
        if (note != check.notes.end() && note->index == index) {
            report(note->note);
            for (const MapIP::Ipv4Network& part : note->note.parts)
                rows.addStoredPart(block.texts[index], part, ticked());
            if (!(note++)->note.parts.empty())
                continue;
        }
        rows.addStored(block.texts[index], check.subItems[index], ticked(), check.readings[index]);
    }
}

void BatchTool::runAlignedText()
{
    AlignedTextRows text(m_layout);
    if (m_options.expand) {
        fill(text);
        if (m_expansionRefused)
            return;
    } else {
        fillChecked(text);
    }
    showStep(u"Writing "_s + outputName());
    const std::unique_ptr<ExportTarget> target = createTarget();
    if (!target)
        return;
    std::unique_ptr<WriterProgress> progress;
    if (m_streams.progress)
        progress = std::make_unique<WriterProgress>(*m_streams.progress);
    try {
        text.write(*target, [&progress](double share) {
            if (progress)
                progress->setValue(100 * share);
        });
        target->finish();
    } catch (const AppError& error) {
        target->abandon();
        fileError(error.description());
    }
}
