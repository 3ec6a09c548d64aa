#include "TextFileWriter.h"

#include "EncodedBlocks.h"
#include "ExportTarget.h"
#include "ProgressDisplay.h"
#include "TableSource.h"
#include "TableWalk.h"
#include "shell/ErrorTrap.h"
#include "shell/PathHelpers.h"

#include <algorithm>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The numbers of the writer's statements: an error report names the one that
// failed, so these are the numbers the user sees. A progress step's text is
// the statement after its value, two on.
namespace Statement {
constexpr int FirstProgress = 104;
constexpr int CaptionWidth = 118;
constexpr int CellWidth = 124;
constexpr int ProgressAfterWidths = 136;
constexpr int CreateFile = 156;
constexpr int CaptionCell = 162;
constexpr int WriteCaptionLine = 170;
constexpr int ProgressAfterCaptions = 176;
constexpr int CheckedTest = 188;
constexpr int RowCell = 194;
constexpr int RowProgressValue = 214;
constexpr int RowProgressText = 218;
constexpr int WriteRowLines = 222;
constexpr int DoneValue = 226;
constexpr int DoneText = 228;
constexpr int CloseFile = 232;
constexpr int IdleValue = 240;
constexpr int IdleText = 242;
} // namespace Statement

// The text file as a format on the table walk: its cells padded to the
// widths measured first, its lines gathered into blocks, every read and
// write a statement of its own error trap.
class PaddedTextFile final : public RowFormat, public ColumnMeasure
{
public:
    PaddedTextFile(const TableSource& table, ExportTarget& file, ProgressDisplay* progress, Yielder& yielder,
                   ErrorReporter& reporter)
        : m_trap(reporter, u"Main"_s, u"SaveListviewProperlySpaced"_s)
        , m_table(table)
        , m_file(file)
        , m_progress(progress)
        , m_walk(table, yielder)
        , m_blocks(file)
        , m_status(u"Writing file: "_s + NativeFileName(file.name()))
    {
    }

    // The whole file. When the yielder asks to stop, the file is abandoned
    // and neither the table nor the progress display is touched again.
    void write()
    {
        if (!progressStep(1, Statement::FirstProgress) || !measureWidths()
            || !progressStep(10, Statement::ProgressAfterWidths))
            return;
        m_failed = !m_trap(Statement::CreateFile, [&] { m_file.create(); });
        if (!writeCaptionLine() || !progressStep(20, Statement::ProgressAfterCaptions))
            return;
        if (!m_walk.forEachTickedRow(*this))
            return;
        closeFile();
    }

    // ColumnMeasure: the widths count the captions and every row, checked or not.
    qsizetype startWidth(int column) override;
    qsizetype length(const TableCell& cell) override;

    // RowFormat
    bool isTicked(const TableSource& table, qsizetype row) override;
    void beginRow(qsizetype) override { m_lineStart = m_blocks.size(); }
    void cell(const TableCell& cell) override;
    bool endRow(qsizetype row) override;
    void rowCut(qsizetype) override { m_blocks.truncate(m_lineStart); }

private:
    bool progressStep(double value, int valueStatement);
    bool measureWidths();
    bool writeCaptionLine();
    bool showRowProgress(qsizetype row);
    void writeFullBlock();
    void closeFile();

    ErrorTrap m_trap;
    const TableSource& m_table;
    ExportTarget& m_file;
    ProgressDisplay* m_progress;
    TableWalk m_walk;
    EncodedBlocks m_blocks;
    const QString m_status;
    std::vector<qsizetype> m_widths;
    qsizetype m_lineStart = 0;
    // Once a statement has failed to write, nothing more is written: the one
    // report stands for the whole file.
    bool m_failed = false;
};

// A turn, the value and the status text, another turn; nothing without a
// display. False when the work is to end.
bool PaddedTextFile::progressStep(double value, int valueStatement)
{
    if (!m_progress)
        return true;
    if (!m_walk.pause())
        return false;
    m_trap(valueStatement, [&] { m_progress->setValue(value); });
    m_trap(valueStatement + 2, [&] { m_progress->setText(m_status); });
    return m_walk.pause();
}

bool PaddedTextFile::measureWidths()
{
    std::optional<std::vector<qsizetype>> widths = m_walk.columnWidths(*this);
    if (!widths)
        return false;
    m_widths = std::move(*widths);
    return true;
}

qsizetype PaddedTextFile::startWidth(int column)
{
    qsizetype width = 0;
    m_trap(Statement::CaptionWidth, [&] { width = m_table.caption(column).size(); });
    return width;
}

qsizetype PaddedTextFile::length(const TableCell& cell)
{
    qsizetype length = 0;
    m_trap(Statement::CellWidth, [&] { length = cell.length(); });
    return length;
}

// The caption line goes straight to the file, so a target that takes no
// bytes at all (a full disk) is found before any row is read.
bool PaddedTextFile::writeCaptionLine()
{
    const bool going = m_walk.forEachColumn([this](int k) {
        m_trap(Statement::CaptionCell,
               [&] { m_blocks.gatherPadded(m_table.caption(k), m_widths[size_t(k)], '\t'); });
    });
    if (!going)
        return false;
    m_blocks.append('\r');
    m_blocks.append('\n');
    if (!m_failed)
        m_failed = !m_trap(Statement::WriteCaptionLine, [&] { m_blocks.flush(); });
    m_blocks.discard();
    return true;
}

bool PaddedTextFile::isTicked(const TableSource& table, qsizetype row)
{
    bool checked = false;
    m_trap(Statement::CheckedTest, [&] { checked = table.isChecked(row); });
    return checked;
}

void PaddedTextFile::cell(const TableCell& cell)
{
    m_trap(Statement::RowCell,
           [&] { m_blocks.gatherPadded(cell.view(), m_widths[size_t(cell.column())], '\t'); });
}

bool PaddedTextFile::endRow(qsizetype row)
{
    m_blocks.append('\r');
    m_blocks.append('\n');
    if (m_progress && !showRowProgress(row + 1))
        return false;
    if (m_failed)
        m_blocks.discard();
    else if (m_blocks.isFull())
        writeFullBlock();
    return true;
}

// `row` counts from 1. The share runs a little ahead on large tables, so that
// the last rows reach 100.
bool PaddedTextFile::showRowProgress(qsizetype row)
{
    if (!m_walk.pause())
        return false;
    // The row count as it is now, but never below the row just built, so the
    // share stays finite when the table has shrunk meanwhile.
    const qsizetype rowCount = std::max(m_table.rows(), row);
    m_trap(Statement::RowProgressValue,
           [&] { m_progress->setValue(double(row + rowCount / 2000) / double(rowCount) * 100.0); });
    if (row % 1000 == 0)
        m_trap(Statement::RowProgressText,
               [&] { m_progress->setText(m_status + u" ("_s + QString::number(row) + u')'); });
    return m_walk.pause();
}

// A failure here names the row whose line completed the block.
void PaddedTextFile::writeFullBlock()
{
    m_failed = !m_trap(Statement::WriteRowLines, [&] { m_blocks.flush(); });
    m_blocks.discard();
}

// "Done.", the file closed and put in place, the display back to idle, with
// no turn for window events in between.
void PaddedTextFile::closeFile()
{
    if (m_progress) {
        m_trap(Statement::DoneValue, [&] { m_progress->setValue(100); });
        m_trap(Statement::DoneText, [&] { m_progress->setText(u"Done."_s); });
    }
    if (!m_failed && m_file.isOpen()) {
        // Closing writes what is still gathered, as closing a buffered stream
        // does, then puts the file in place.
        m_trap(Statement::CloseFile, [&] {
            m_blocks.flush();
            m_file.finish();
        });
    }
    m_file.abandon();
    if (m_progress) {
        m_trap(Statement::IdleValue, [&] { m_progress->setValue(0); });
        m_trap(Statement::IdleText, [&] { m_progress->setText(u"Progress Bar"_s); });
    }
}

} // namespace

void SaveListviewProperlySpaced(const TableSource& table, const QString& path, ProgressDisplay* progress,
                                Yielder& yielder, ErrorReporter& reporter)
{
    ExportTarget file(path);
    SaveListviewProperlySpaced(table, file, progress, yielder, reporter);
}

void SaveListviewProperlySpaced(const TableSource& table, ExportTarget& file, ProgressDisplay* progress,
                                Yielder& yielder, ErrorReporter& reporter)
{
    PaddedTextFile(table, file, progress, yielder, reporter).write();
}
