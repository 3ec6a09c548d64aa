#pragma once

#include "shell/SpreadsheetApplication.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class FileReplacement;
class TableSource;
class Yielder;
class ZipWriter;

// A workbook written as an .xlsx file: one sheet of text cells, packed with
// ZipWriter into the file FileReplacement replaces. The program hands such a
// file to LibreOffice Calc; the command-line tool writes one where the user
// asks.
//
// The sheet goes out as the cells come: the columns' widths first, then the
// rows in order, each packed as soon as a block of them is ready, so a large
// sheet is never held in memory. Cells are inline strings. Nothing replaces
// the old file before makeVisible(); a failure anywhere leaves it as it was.
//
// Every cell is a string and reads back exactly as given: a text a cell
// cannot hold (longer than 32,767 characters, or holding a NUL) is refused
// with CellRefused rather than cut; a text that looks like the format's own
// character escape (_xHHHH_) has its underscore escaped, and characters the
// XML cannot carry as they are (control characters but TAB and LF, a lone
// surrogate) are written as that escape.
class XlsxWorkbook final : public SpreadsheetWorkbook
{
public:
    // The characters one cell holds.
    static constexpr qsizetype MaxCellLength = 32767;
    // The rows and columns of a sheet.
    static constexpr qsizetype MaxRows = 1048576;
    static constexpr int MaxColumns = 16384;
    // The widest column, in characters.
    static constexpr qsizetype MaxColumnWidth = 255;

    // Nothing is written to `path` before makeVisible(). Throws AppError.
    explicit XlsxWorkbook(const QString& path);
    ~XlsxWorkbook() override;
    XlsxWorkbook(const XlsxWorkbook&) = delete;
    XlsxWorkbook& operator=(const XlsxWorkbook&) = delete;

    // Before the first cell: each column as wide as its longest text, one
    // character more to keep it clear of the grid line. Later, it throws.
    void setColumnWidths(const std::vector<qsizetype>& longestTexts) override;
    // Rows must be set in order, and a row's cells from left to right: a cell
    // before the last one set throws AppError.
    void setCellText(qsizetype row, int column, QStringView text) override;
    // The widths are in the sheet already (setColumnWidths): nothing to do.
    void autofitColumns() override;
    // Finishes and packs the file and puts it in place. Throws AppError when
    // that fails; the old file is then kept. Later calls do nothing, or
    // throw again when the workbook could not be written.
    void makeVisible() override;

    const QString& path() const { return m_path; }

private:
    void beginSheet();
    void flush();
    void ensureWritable() const;
    template<typename Step> void guarded(Step step);

    QString m_path;
    std::unique_ptr<FileReplacement> m_file;
    std::unique_ptr<ZipWriter> m_zip;
    std::vector<qsizetype> m_widths;
    // The sheet's XML not yet packed.
    QByteArray m_pending;
    bool m_sheetBegun = false;
    bool m_finished = false;
    QString m_failure; // why the workbook cannot be written, once it cannot
    qsizetype m_lastRow = 0;
    int m_lastColumn = 0;
    std::uint64_t m_submitted = 0; // the bytes of the file whose writeback has begun
};

// Writes the table's checked rows as an .xlsx workbook at `path`, laid out as
// the spreadsheet export lays them out (SpreadsheetExport.h) with its columns
// fitted. Throws AppError when it cannot be written; returns false, writing
// nothing, when the yielder asks to stop. Cells the workbook refused are
// thrown as RefusedCells once the rest of the workbook is in place.
bool writeWorkbookFile(const TableSource& table, const QString& path, Yielder& yielder);
