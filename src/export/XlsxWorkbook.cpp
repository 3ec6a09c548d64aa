#include "XlsxWorkbook.h"

#include "SpreadsheetExport.h"
#include "shell/AppError.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QString describe(lxw_error error)
{
    return QString::fromUtf8(lxw_strerror(error));
}

// Excel's widest column, in characters.
constexpr double MaxColumnWidth = 255;

} // namespace

XlsxWorkbook::XlsxWorkbook(const QString& path)
    : m_path(path)
{
    const QByteArray name = QFile::encodeName(path);
    m_workbook = workbook_new(name.constData());
    if (m_workbook)
        m_sheet = workbook_add_worksheet(m_workbook, nullptr);
    if (!m_sheet) {
        if (m_workbook)
            lxw_workbook_free(m_workbook);
        m_workbook = nullptr;
        throw AppError(u"Cannot start a new workbook"_s);
    }
}

XlsxWorkbook::~XlsxWorkbook()
{
    // A workbook that was never written is dropped without touching its path.
    if (m_workbook)
        lxw_workbook_free(m_workbook);
}

void XlsxWorkbook::setCellText(qsizetype row, int column, const QString& text)
{
    if (!m_workbook)
        throw AppError(u"The workbook has already been written"_s);
    if (row < 1 || row > MaxRows || column < 1 || column > MaxColumns)
        throw AppError(u"A sheet has no cell at row "_s + QString::number(row) + u", column "_s
                       + QString::number(column));
    // Longer texts are cut to what a cell holds (the library would refuse
    // them), without splitting a character made of two UTF-16 units.
    qsizetype length = std::min(text.size(), MaxCellLength);
    if (length < text.size() && length > 0 && text[length - 1].isHighSurrogate())
        --length;
    // The library takes C strings: a NUL character ends the text there.
    const QByteArray utf8 = QStringView(text).first(length).toUtf8();
    const lxw_error error = worksheet_write_string(m_sheet, lxw_row_t(row - 1), lxw_col_t(column - 1),
                                                   utf8.constData(), nullptr);
    if (error != LXW_NO_ERROR)
        throw AppError(describe(error));
    if (m_longest.size() < size_t(column))
        m_longest.resize(size_t(column), 0);
    qsizetype& longest = m_longest[size_t(column - 1)];
    longest = std::max(longest, length);
}

void XlsxWorkbook::autofitColumns()
{
    if (!m_workbook)
        throw AppError(u"The workbook has already been written"_s);
    for (size_t column = 0; column < m_longest.size(); ++column) {
        if (m_longest[column] == 0)
            continue;
        // One character more than the text keeps it clear of the grid line.
        const double width = std::min(double(m_longest[column]) + 1, MaxColumnWidth);
        const lxw_error error
            = worksheet_set_column(m_sheet, lxw_col_t(column), lxw_col_t(column), width, nullptr);
        if (error != LXW_NO_ERROR)
            throw AppError(describe(error));
    }
}

void XlsxWorkbook::makeVisible()
{
    if (!m_workbook)
        return;
    // workbook_close frees the workbook whether or not the file was written.
    const lxw_error error = workbook_close(std::exchange(m_workbook, nullptr));
    m_sheet = nullptr;
    if (error != LXW_NO_ERROR)
        throw AppError(u"Cannot write "_s + m_path + u": "_s + describe(error));
}

bool writeWorkbookFile(const TableSource& table, const QString& path, Yielder& yielder)
{
    // Like the text file, the workbook replaces an existing file only once it
    // is complete: it is written under a temporary name beside it first. A
    // device under that name is written in place, never renamed over.
    const QFileInfo existing(path);
    if (existing.exists() && !existing.isFile() && !existing.isDir()) {
        XlsxWorkbook workbook(path);
        return fillWorkbook(table, workbook, yielder);
    }

    QString partPath;
    {
        QTemporaryFile reserved(path + u".XXXXXX"_s);
        reserved.setAutoRemove(false);
        if (!reserved.open())
            throw AppError(u"Cannot create "_s + path + u": "_s + reserved.errorString());
        partPath = reserved.fileName();
    }
    struct RemoveUnlessKept
    {
        QString path;
        ~RemoveUnlessKept()
        {
            if (!path.isEmpty())
                QFile::remove(path);
        }
    } part { partPath };

    XlsxWorkbook workbook(partPath);
    if (!fillWorkbook(table, workbook, yielder))
        return false;
    // The reserved file was private to its owner; the workbook gets the old
    // file's permissions, or those a new file gets.
    if (existing.exists()) {
        QFile::setPermissions(partPath, existing.permissions());
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(QFile::encodeName(partPath).constData(), 0666 & ~mask);
    }
    if (::rename(QFile::encodeName(partPath).constData(), QFile::encodeName(path).constData()) != 0)
        throw AppError(u"Cannot save "_s + path + u": "_s + QString::fromLocal8Bit(std::strerror(errno)));
    part.path.clear();
    return true;
}
