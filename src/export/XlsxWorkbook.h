#pragma once

#include "shell/SpreadsheetApplication.h"

#include <QString>

#include <vector>

class TableSource;
class Yielder;

struct lxw_workbook;
struct lxw_worksheet;

// A workbook written as an .xlsx file with libxlsxwriter: the cells are set
// one by one, and makeVisible() writes the file (a workbook on disk is
// complete once written). The program hands such a file to LibreOffice Calc;
// the command-line tool writes one where the user asks.
//
// Every cell is a string. A text longer than a cell can hold (32,767
// characters) is cut to that length, as the spreadsheet would keep only that
// much; characters that XML cannot carry are written escaped by the library.
class XlsxWorkbook final : public SpreadsheetWorkbook
{
public:
    // The characters one cell holds.
    static constexpr qsizetype MaxCellLength = 32767;
    // The rows and columns of a sheet.
    static constexpr qsizetype MaxRows = 1048576;
    static constexpr int MaxColumns = 16384;

    // Nothing is written to `path` before makeVisible(). Throws AppError.
    explicit XlsxWorkbook(const QString& path);
    ~XlsxWorkbook() override;
    XlsxWorkbook(const XlsxWorkbook&) = delete;
    XlsxWorkbook& operator=(const XlsxWorkbook&) = delete;

    void setCellText(qsizetype row, int column, const QString& text) override;
    // libxlsxwriter cannot measure text, so each column is set to the length
    // of its longest text, as an autofit on the default font comes close to.
    void autofitColumns() override;
    // Writes the file. Throws AppError when it cannot be written. Later calls
    // do nothing.
    void makeVisible() override;

    const QString& path() const { return m_path; }

private:
    QString m_path;
    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    // The longest text of each column so far, in characters.
    std::vector<qsizetype> m_longest;
};

// Writes the table's checked rows as an .xlsx workbook at `path`, laid out as
// the spreadsheet export lays them out (SpreadsheetExport.h) with its columns
// fitted. Throws AppError when it cannot be written; returns false, writing
// nothing, when the yielder asks to stop.
bool writeWorkbookFile(const TableSource& table, const QString& path, Yielder& yielder);
