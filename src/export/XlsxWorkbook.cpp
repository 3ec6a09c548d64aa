#include "XlsxWorkbook.h"

#include "FileReplacement.h"
#include "SpreadsheetExport.h"
#include "WorkbookCheck.h"
#include "shell/AppError.h"

#include <QFile>
#include <QRegularExpression>

#include <xlsxwriter.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Set while libxlsxwriter packs a workbook of ours; see deflateInit2_ below.
thread_local bool t_packingWorkbook = false;

} // namespace

// libxlsxwriter 1.1.4 packs a workbook's parts at zlib's default level (6),
// with no way to ask for another, and a million-row sheet then spends most
// of its time in deflate. While it packs a workbook of ours, its streams are
// started at level 1: about half as large again, several times as fast, and
// the same bytes once unpacked. The executables export this symbol (src/CMakeLists.txt)
// so that the library's call reaches it; where it does not, zlib's own runs
// and only speed is lost.
extern "C" int deflateInit2_(z_streamp stream, int level, int method, int windowBits, int memLevel,
                             int strategy, const char* version, int streamSize)
{
    using Function = int (*)(z_streamp, int, int, int, int, int, const char*, int);
    static const auto zlib = reinterpret_cast<Function>(::dlsym(RTLD_NEXT, "deflateInit2_"));
    if (!zlib)
        return Z_VERSION_ERROR;
    return zlib(stream, t_packingWorkbook ? Z_BEST_SPEED : level, method, windowBits, memLevel, strategy,
                version, streamSize);
}

namespace {

QString describe(lxw_error error)
{
    return QString::fromUtf8(lxw_strerror(error));
}

// Excel's widest column, in characters.
constexpr double MaxColumnWidth = 255;

// In a workbook "_xHHHH_" inside a string stands for the character HHHH, and
// readers are lenient about it (LibreOffice also takes fewer digits). A text
// keeps its own "_x" by writing that underscore as "_x005F_", the escape of
// "_", which every reader turns back into "_"; escaping each "_x" or "_X" is
// harmless where no reader would have seen an escape.
QString escapeCharacterEscapes(const QString& text)
{
    static const QRegularExpression underscoreBeforeX(u"_(?=[xX])"_s);
    if (!text.contains(u'_') || !text.contains(underscoreBeforeX))
        return text;
    QString escaped = text;
    return escaped.replace(underscoreBeforeX, u"_x005F_"_s);
}

// libxlsxwriter 1.1.4 prints its own "[ERROR]" lines on standard error and
// has no switch to stop it. While it works they go to a file in memory
// instead, and the system's reason they give ("System error = ...") is kept
// for the program's own message.
class LibraryMessages
{
public:
    LibraryMessages()
    {
        std::fflush(stderr);
        m_captured = ::memfd_create("quadrix-xlsxwriter", MFD_CLOEXEC);
        m_saved = m_captured >= 0 ? ::dup(STDERR_FILENO) : -1;
        if (m_saved >= 0 && ::dup2(m_captured, STDERR_FILENO) < 0) {
            ::close(std::exchange(m_saved, -1));
        }
    }
    ~LibraryMessages()
    {
        restore();
        if (m_captured >= 0)
            ::close(m_captured);
    }
    LibraryMessages(const LibraryMessages&) = delete;
    LibraryMessages& operator=(const LibraryMessages&) = delete;

    // The reason of the system named in the messages, or the empty text.
    QString systemReason()
    {
        restore();
        if (m_captured < 0)
            return {};
        QByteArray text(4096, '\0');
        const ssize_t got = ::pread(m_captured, text.data(), size_t(text.size()), 0);
        text.truncate(std::max<ssize_t>(got, 0));
        const qsizetype at = text.indexOf("System error = ");
        if (at < 0)
            return {};
        const qsizetype from = at + qsizetype(std::strlen("System error = "));
        const qsizetype end = text.indexOf('\n', from);
        return QString::fromLocal8Bit(text.mid(from, end < 0 ? -1 : end - from)).trimmed();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(std::exchange(m_saved, -1));
    }

    int m_captured = -1;
    int m_saved = -1;
};

void refuseIfNotStorable(const QString& text)
{
    if (text.size() > XlsxWorkbook::MaxCellLength)
        throw CellRefused(u"%1 characters, more than the %2 a cell holds"_s.arg(text.size())
                              .arg(XlsxWorkbook::MaxCellLength));
    if (text.contains(QChar(u'\0')))
        throw CellRefused(u"it holds a NUL character, which a cell cannot hold"_s);
}

} // namespace

XlsxWorkbook::XlsxWorkbook(const QString& path)
    : m_path(path)
    , m_file(std::make_unique<FileReplacement>(path, true))
    , m_temporaryFolder(QFile::encodeName(m_file->workingFolder()))
{
    // The library's own temporary files go beside the workbook, on the file
    // system that must hold it anyway, not into a /tmp that may be small.
    lxw_workbook_options options {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = m_temporaryFolder.data();
    const QByteArray name = QFile::encodeName(m_file->reopenPath());
    LibraryMessages messages;
    m_workbook = workbook_new_opt(name.constData(), &options);
    if (m_workbook)
        m_sheet = workbook_add_worksheet(m_workbook, nullptr);
    if (!m_sheet) {
        if (m_workbook)
            lxw_workbook_free(m_workbook);
        m_workbook = nullptr;
        const QString reason = messages.systemReason();
        throw AppError(u"Cannot start a new workbook for "_s + m_path
                       + (reason.isEmpty() ? QString() : u": "_s + reason));
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
    if (row < m_lastRow)
        throw AppError(u"Row "_s + QString::number(row) + u" comes after row "_s + QString::number(m_lastRow)
                       + u"; a workbook's rows are written in order"_s);
    refuseIfNotStorable(text);
    const QByteArray utf8 = escapeCharacterEscapes(text).toUtf8();
    const lxw_error error = worksheet_write_string(m_sheet, lxw_row_t(row - 1), lxw_col_t(column - 1),
                                                   utf8.constData(), nullptr);
    if (error != LXW_NO_ERROR)
        throw AppError(describe(error));
    if (row != m_lastRow) {
        m_lastRow = row;
        ++m_rowsWritten;
    }
    if (m_longest.size() < size_t(column))
        m_longest.resize(size_t(column), 0);
    qsizetype& longest = m_longest[size_t(column - 1)];
    longest = std::max(longest, text.size());
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
    LibraryMessages messages;
    t_packingWorkbook = true;
    const lxw_error error = workbook_close(std::exchange(m_workbook, nullptr));
    t_packingWorkbook = false;
    m_sheet = nullptr;
    try {
        if (error != LXW_NO_ERROR) {
            const QString reason = messages.systemReason();
            throw AppError(u"Cannot save "_s + m_path + u": "_s
                           + (reason.isEmpty() ? describe(error) : reason));
        }
        checkWorkbook(m_file->descriptor(), m_rowsWritten, m_path);
        m_file->commit();
    } catch (...) {
        m_file->abandon();
        throw;
    }
}

bool writeWorkbookFile(const TableSource& table, const QString& path, Yielder& yielder)
{
    XlsxWorkbook workbook(path);
    return fillWorkbook(table, workbook, yielder);
}
