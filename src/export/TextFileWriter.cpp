#include "TextFileWriter.h"

#include "ExportTarget.h"
#include "ProgressDisplay.h"
#include "TableSource.h"
#include "shell/AnsiCodePage.h"
#include "shell/ErrorTrap.h"
#include "shell/PathHelpers.h"
#include "shell/Yielder.h"

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Lines are gathered and written in blocks of about this size: one write per
// line would cost a system call per row.
constexpr qsizetype BlockBytes = 256 * 1024;

// Appends one cell by the cell rule: the text, the spaces up to the column's
// width, a TAB. A text longer than its width is followed directly by the TAB.
void appendCell(QByteArray& bytes, QStringView text, qsizetype width)
{
    const qsizetype padding = std::max(width - text.size(), qsizetype(0));
    const qsizetype start = bytes.size();
    bytes.resize(start + text.size() + padding + 1);
    char* cursor = bytes.data() + start;
    cursor += AnsiCodePage::encodeInto(text, cursor);
    cursor = std::fill_n(cursor, padding, ' ');
    *cursor++ = '\t';
    bytes.truncate(cursor - bytes.constData());
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
    ErrorTrap trap(reporter, u"Main"_s, u"SaveListviewProperlySpaced"_s);
    const QString status = u"Writing file: "_s + NativeFileName(file.name());
    // Once a statement has failed to write, nothing more is written: the one
    // report stands for the whole file.
    bool failed = false;

    // Lets window events run; false when the work is to end because the window
    // is going away. The file is then abandoned, and neither the table nor
    // the progress display may be touched again.
    auto pause = [&yielder] {
        yielder.yield();
        return !yielder.stopRequested();
    };

    // A progress step of the display (when there is one): a turn, the value
    // and the status text at these statement numbers, another turn. False when
    // the work is to end.
    auto progressStep = [&](double value, int valueLine) {
        if (!progress)
            return true;
        if (!pause())
            return false;
        trap(valueLine, [&] { progress->setValue(value); });
        trap(valueLine + 2, [&] { progress->setText(status); });
        return pause();
    };

    // Step 1.
    if (!progressStep(1, 104))
        return;

    // Step 2: the widths count the captions and every row, checked or not.
    const int columns = table.columns();
    std::vector<qsizetype> widths;
    widths.reserve(size_t(std::max(columns, 0)));
    for (int k = 0; k < columns; ++k) {
        qsizetype width = 0;
        trap(118, [&] { width = std::max(width, table.caption(k).size()); });
        for (qsizetype r = 0; r < table.rows(); ++r) {
            if (!pause())
                return;
            if (r >= table.rows())
                break;
            trap(124, [&] { width = std::max(width, table.cellLength(r, k)); });
        }
        widths.push_back(width);
    }

    // Step 3.
    if (!progressStep(10, 136))
        return;

    // Step 4. The block of encoded lines is reused from line to line.
    QByteArray block;
    block.reserve(BlockBytes + 4096);
    failed = !trap(156, [&] { file.create(); });

    // Step 5: the caption line goes straight to the file, so a target that
    // takes no bytes at all (a full disk) is found before any row is read.
    for (int k = 0; k < columns; ++k) {
        if (!pause())
            return;
        trap(162, [&] { appendCell(block, table.caption(k), widths[size_t(k)]); });
    }
    block.append("\r\n", 2);
    if (!failed)
        failed = !trap(170, [&] { file.write(block); });
    block.resize(0);

    // Step 6.
    if (!progressStep(20, 176))
        return;

    // Step 7: the checked rows. Cells are read through one buffer, so a cell
    // built on reading does not cost an allocation of its own.
    QString cellBuffer;
    for (qsizetype r = 0; r < table.rows(); ++r) {
        if (!pause())
            return;
        if (r >= table.rows())
            break;
        bool checked = false;
        trap(188, [&] { checked = table.isChecked(r); });
        if (!checked)
            continue;

        const qsizetype lineStart = block.size();
        bool rowGone = false;
        for (int k = 0; k < columns; ++k) {
            if (!pause())
                return;
            if (r >= table.rows()) {
                rowGone = true;
                break;
            }
            trap(194, [&] { appendCell(block, table.cellView(r, k, cellBuffer), widths[size_t(k)]); });
        }
        if (rowGone) {
            block.truncate(lineStart);
            break;
        }
        block.append("\r\n", 2);

        if (progress) {
            if (!pause())
                return;
            const qsizetype row = r + 1;
            // The row count as it is now, but never below the row just built,
            // so the share stays finite when the table has shrunk meanwhile.
            const qsizetype rowCount = std::max(table.rows(), row);
            trap(214, [&] { progress->setValue(double(row + rowCount / 2000) / double(rowCount) * 100.0); });
            if (row % 1000 == 0)
                trap(218, [&] { progress->setText(status + u" ("_s + QString::number(row) + u')'); });
            if (!pause())
                return;
        }

        if (failed) {
            block.resize(0);
        } else if (block.size() >= BlockBytes) {
            failed = !trap(222, [&] { file.write(block); });
            block.resize(0);
        }
    }

    // Steps 8 to 10, with no turn for window events in between.
    if (progress) {
        trap(226, [&] { progress->setValue(100); });
        trap(228, [&] { progress->setText(u"Done."_s); });
    }
    if (!failed && file.isOpen()) {
        // Closing writes what is still gathered, as closing a buffered stream
        // does, then puts the file in place.
        trap(232, [&] {
            file.write(block);
            file.finish();
        });
    }
    file.abandon();
    if (progress) {
        trap(240, [&] { progress->setValue(0); });
        trap(242, [&] { progress->setText(u"Progress Bar"_s); });
    }
}
