#include "TextFileWriter.h"

#include "ProgressDisplay.h"
#include "TableSource.h"
#include "shell/AnsiCodePage.h"
#include "shell/ErrorTrap.h"
#include "shell/PathHelpers.h"
#include "shell/Yielder.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Lines are gathered and written in blocks of about this size: one write per
// line would cost a system call per row.
constexpr qsizetype BlockBytes = 256 * 1024;

// The file being written. A regular file (or a new one) goes through a
// QSaveFile, so the old file is replaced only by a complete new one; anything
// else that exists under the name (a device) is written in place.
class TargetFile
{
public:
    explicit TargetFile(QString path)
        : m_path(std::move(path))
    {
    }

    // Throws AppError when the file cannot be created.
    void create()
    {
        const QFileInfo existing(m_path);
        if (existing.exists() && !existing.isFile() && !existing.isDir()) {
            m_device = std::make_unique<QFile>(m_path);
        } else {
            auto save = std::make_unique<QSaveFile>(m_path);
            // Writing in place would truncate the old file before the new one
            // is complete.
            save->setDirectWriteFallback(false);
            m_save = save.get();
            m_device = std::move(save);
        }
        if (!m_device->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
            const QString reason = m_device->errorString();
            m_device.reset();
            m_save = nullptr;
            throw AppError(u"Cannot create "_s + m_path + u": "_s + reason);
        }
    }

    bool isOpen() const { return m_device != nullptr; }

    // Throws AppError when not all bytes could be written.
    void write(QByteArrayView bytes)
    {
        // An unbuffered write may take only part of the bytes (a file size
        // limit); the next attempt then tells why.
        while (!bytes.isEmpty()) {
            const qint64 written = m_device->write(bytes.data(), bytes.size());
            if (written <= 0)
                throw AppError(u"Cannot write "_s + m_path + u": "_s + m_device->errorString());
            bytes = bytes.sliced(written);
        }
    }

    // Puts the complete file in place. Throws AppError when that fails.
    void finish()
    {
        std::unique_ptr<QFileDevice> device = std::move(m_device);
        QSaveFile* save = std::exchange(m_save, nullptr);
        if (save) {
            if (!save->commit())
                throw AppError(u"Cannot save "_s + m_path + u": "_s + save->errorString());
        } else {
            device->close();
            if (device->error() != QFileDevice::NoError)
                throw AppError(u"Cannot write "_s + m_path + u": "_s + device->errorString());
        }
    }

    // Gives up: a QSaveFile that is not committed removes its temporary file
    // and leaves the old file alone.
    void abandon()
    {
        if (m_save)
            m_save->cancelWriting();
        m_device.reset();
        m_save = nullptr;
    }

    ~TargetFile() { abandon(); }

    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

private:
    QString m_path;
    std::unique_ptr<QFileDevice> m_device;
    QSaveFile* m_save = nullptr;
};

// Appends one cell by the cell rule: the text, the spaces up to the column's
// width, a TAB. A text longer than its width is followed directly by the TAB.
void appendCell(QByteArray& bytes, const QString& text, qsizetype width)
{
    AnsiCodePage::encodeAppend(text, bytes);
    if (width > text.size())
        bytes.append(width - text.size(), ' ');
    bytes.append('\t');
}

} // namespace

void SaveListviewProperlySpaced(const TableSource& table, const QString& path, ProgressDisplay* progress,
                                Yielder& yielder, ErrorReporter& reporter)
{
    ErrorTrap trap(reporter, u"Main"_s, u"SaveListviewProperlySpaced"_s);
    const QString status = u"Writing file: "_s + NativeFileName(path);
    TargetFile file(path);
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

    // Step 1.
    if (progress) {
        if (!pause())
            return;
        trap(104, [&] { progress->setValue(1); });
        trap(106, [&] { progress->setText(status); });
        if (!pause())
            return;
    }

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
    if (progress) {
        if (!pause())
            return;
        trap(136, [&] { progress->setValue(10); });
        trap(138, [&] { progress->setText(status); });
        if (!pause())
            return;
    }

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
    if (progress) {
        if (!pause())
            return;
        trap(176, [&] { progress->setValue(20); });
        trap(178, [&] { progress->setText(status); });
        if (!pause())
            return;
    }

    // Step 7: the checked rows.
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
            trap(194, [&] { appendCell(block, table.cell(r, k), widths[size_t(k)]); });
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
