#pragma once

#include "shell/AppError.h"

#include <QString>
#include <QStringList>

class SpreadsheetApplication;
class SpreadsheetWorkbook;
class TableSource;
class UserMessages;
class Yielder;

// The batch window's "Save Results As Excel File": the checked rows of the
// results table go into a new workbook of the spreadsheet application.
//
// The handler (PushButton13_Click of Form2) runs, in this order:
//   1. SaveResultsAsExcelFileIsExcelInstalled(spreadsheet, messages); when it
//      returns false, show SpreadsheetFeatureNeedsExcelMessage and end
//      (the user then sees two messages, the test's and this one);
//   2. when the table has no rows, end without a message;
//   3. the hourglass pointer;
//   4. workbook = spreadsheet.start();
//   5. writeCaptionRow(table, *workbook, yielder);
//   6. writeDataRows(table, *workbook, yielder);
//   7. workbook->autofitColumns();
//   8. workbook->makeVisible();
//   9. the default pointer; no message.
// Steps 4 to 8 each run as a statement of the handler's error trap (Form2,
// PushButton13_Click): a failing call ends its step, is reported once, and
// the handler goes on with the next step (steps 5 to 8 need the workbook, so
// they are skipped when step 4 failed). When step 5 or 6 returns false the
// window is going away: skip the rest and let the workbook go unshown.

inline constexpr QStringView ExcelNotInstalledMessage
    = u"Excel is not installed on this computer. You need to have it installed to use this software without "
      u"error.";
inline constexpr QStringView SpreadsheetFeatureNeedsExcelMessage
    = u"Excel is not installed on this computer. You need to have it installed to use this feature.";

// True when the spreadsheet application can be started. Otherwise shows
// ExcelNotInstalledMessage (OK only, no icon, the application title) and
// returns false. Never raises: every error of the test is absorbed.
bool SaveResultsAsExcelFileIsExcelInstalled(SpreadsheetApplication& spreadsheet,
                                            UserMessages& messages) noexcept;

// The cells writeDataRows left empty because the workbook refused them; the
// rest of the rows were written. One text per cell, naming its table row and
// column and why. The description, for a single report, names the first few.
class RefusedCells : public AppError
{
public:
    explicit RefusedCells(QStringList cells);
    const QStringList& cells() const { return m_cells; }

private:
    QStringList m_cells;
};

// Sheet row 1: caption k is written only when table row 1 has a non-empty
// cell in column k, whether or not that row is checked; the written captions
// fill sheet columns 1, 2, 3, ... without gaps. A table without rows gets no
// captions. Before the captions it measures the sheet's columns over the
// captions and the rows writeDataRows will write, and gives the workbook
// their longest texts (setColumnWidths). Lets window events run at every
// caption, and at every row and cell while it measures. Returns false when
// the yielder asks to stop (the window is going away).
bool writeCaptionRow(const TableSource& table, SpreadsheetWorkbook& workbook, Yielder& yielder);

// Table row r (from 1) goes to sheet row r + 1; only checked rows are written,
// so the sheet row of an unchecked row stays empty. Empty cells are skipped:
// the non-empty cells of a row fill sheet columns 1, 2, 3, ... in column
// order. The first column's text is written unchanged; the others lose every
// "=". Lets window events run at every row and cell. Returns false when the
// yielder asks to stop.
//
// The table is read live, as by the text file writer: the row count is read
// again at every row and cell, nothing past the table's current end is read,
// and when the table shrinks the rows end at its new end (cells of the row
// being written stay in the sheet).
//
// A cell the workbook refuses (CellRefused) stays empty, the cells after it
// keep their columns, and the rows go on; at the end the refused cells are
// thrown together as RefusedCells, so a caller's trap reports them once.
bool writeDataRows(const TableSource& table, SpreadsheetWorkbook& workbook, Yielder& yielder);

// All of it for callers without an error trap of their own: the caption row,
// the data rows, fitting the columns, then showing the workbook. Throws what
// the workbook throws; returns false (and shows nothing) when stopped.
// Refused cells do not stop it: RefusedCells is thrown once the workbook has
// been shown.
bool fillWorkbook(const TableSource& table, SpreadsheetWorkbook& workbook, Yielder& yielder);
