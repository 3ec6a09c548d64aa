#include "SpreadsheetExport.h"

#include "shell/SpreadsheetApplication.h"
#include "TableSource.h"
#include "shell/PlatformServices.h"
#include "shell/Yielder.h"

bool SaveResultsAsExcelFileIsExcelInstalled(SpreadsheetApplication& spreadsheet, UserMessages& messages) noexcept
{
    bool installed = false;
    try {
        installed = spreadsheet.canStart();
    } catch (...) {
        // A failing creation counts as no application.
        installed = false;
    }
    if (!installed) {
        try {
            messages.showMessage(ExcelNotInstalledMessage.toString());
        } catch (...) {
            // Nothing may leave this test, not even a failing message box.
        }
    }
    return installed;
}

namespace {

bool pause(Yielder& yielder)
{
    yielder.yield();
    return !yielder.stopRequested();
}

} // namespace

bool writeCaptionRow(const TableSource& table, SpreadsheetWorkbook& workbook, Yielder& yielder)
{
    int sheetColumn = 1;
    const int columns = table.columns();
    for (int k = 0; k < columns; ++k) {
        if (!pause(yielder))
            return false;
        if (table.rows() > 0 && table.cellLength(0, k) > 0)
            workbook.setCellText(1, sheetColumn++, table.caption(k));
    }
    return true;
}

bool writeDataRows(const TableSource& table, SpreadsheetWorkbook& workbook, Yielder& yielder)
{
    const int columns = table.columns();
    for (qsizetype r = 0; r < table.rows(); ++r) {
        if (!pause(yielder))
            return false;
        if (r >= table.rows() || !table.isChecked(r))
            continue;
        // Table row r (from 0) is table row r + 1, so sheet row r + 2.
        const qsizetype sheetRow = r + 2;
        int sheetColumn = 1;
        for (int k = 0; k < columns; ++k) {
            if (!pause(yielder))
                return false;
            if (r >= table.rows())
                return true;
            QString text = table.cell(r, k);
            if (text.isEmpty())
                continue;
            if (k > 0)
                text.remove(u'=');
            workbook.setCellText(sheetRow, sheetColumn++, text);
        }
    }
    return true;
}

bool fillWorkbook(const TableSource& table, SpreadsheetWorkbook& workbook, Yielder& yielder)
{
    if (!writeCaptionRow(table, workbook, yielder) || !writeDataRows(table, workbook, yielder))
        return false;
    workbook.autofitColumns();
    workbook.makeVisible();
    return true;
}
