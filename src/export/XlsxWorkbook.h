#pragma once

#include "shell/SpreadsheetApplication.h"

#include <QString>

#include <memory>
#include <vector>

class FileReplacement;

class TableSource;
class Yielder;

struct lxw_workbook;
struct lxw_worksheet;

// A workbook written as an .xlsx file with libxlsxwriter: the cells are set
// one by one, and makeVisible() finishes the file. The program hands such a
// file to LibreOffice Calc; the command-line tool writes one where the user
// asks.
//
// The file is replaced as FileReplacement replaces files. The library keeps
// only the current row in memory (its constant-memory mode), so rows must
// come in order; the rows before it go to its temporary files, which are
// kept on the target's file system. Before the workbook replaces anything it
// is read back (WorkbookCheck.h): a sheet the library cut short, say on a
// full disk, is a failure, never a short workbook.
//
// Every cell is a string and reads back exactly as given: a text a cell
// cannot hold (longer than 32,767 characters, or holding a NUL) is refused
// with CellRefused rather than cut, and a text that looks like the format's
// own character escape (_xHHHH_) has its underscore escaped.
class XlsxWorkbook final : public SpreadsheetWorkbook
{
public:
    // The characters one cell holds.
    static constexpr qsizetype MaxCellLength = 32767;
    // The rows and columns of a sheet.
    static constexpr qsizetype MaxRows = 1048576;
    static constexpr int MaxColumns = 16384;

    // Nothing is written to `path` before makeVisible(). Throws AppError.
    // Rows must be set in order: a row above the last one set throws.
    explicit XlsxWorkbook(const QString& path);
    ~XlsxWorkbook() override;
    XlsxWorkbook(const XlsxWorkbook&) = delete;
    XlsxWorkbook& operator=(const XlsxWorkbook&) = delete;

    void setCellText(qsizetype row, int column, const QString& text) override;
    // libxlsxwriter cannot measure text, so each column is set to the length
    // of its longest text, as an autofit on the default font comes close to.
    void autofitColumns() override;
    // Writes and checks the file and puts it in place. Throws AppError when
    // that fails; the old file is then kept. Later calls do nothing.
    void makeVisible() override;

    const QString& path() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<FileReplacement> m_file;
    QByteArray m_temporaryFolder;
    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    // The longest text of each column so far, in characters.
    std::vector<qsizetype> m_longest;
    qsizetype m_lastRow = 0;
    qsizetype m_rowsWritten = 0;
};

// Writes the table's checked rows as an .xlsx workbook at `path`, laid out as
// the spreadsheet export lays them out (SpreadsheetExport.h) with its columns
// fitted. Throws AppError when it cannot be written; returns false, writing
// nothing, when the yielder asks to stop. Cells the workbook refused are
// thrown as RefusedCells once the rest of the workbook is in place.
bool writeWorkbookFile(const TableSource& table, const QString& path, Yielder& yielder);
