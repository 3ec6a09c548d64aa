#include "SpreadsheetExport.h"

#include "shell/SpreadsheetApplication.h"
#include "TableSource.h"
#include "shell/PlatformServices.h"
#include "shell/Yielder.h"

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// So many refused cells are named in one report; the rest are counted.
constexpr qsizetype CellsNamedInAReport = 5;

QString describeRefusals(const QStringList& cells)
{
    QString text = cells.size() == 1 ? u"A cell was not written: "_s
                                     : u"%1 cells were not written: "_s.arg(cells.size());
    text += cells.first(std::min(cells.size(), CellsNamedInAReport)).join(u"; "_s);
    if (cells.size() > CellsNamedInAReport)
        text += u"; and %1 more"_s.arg(cells.size() - CellsNamedInAReport);
    return text;
}

} // namespace

RefusedCells::RefusedCells(QStringList cells)
    : AppError(describeRefusals(cells))
    , m_cells(std::move(cells))
{
}

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
    QStringList refused;
    const auto done = [&refused] {
        if (!refused.isEmpty())
            throw RefusedCells(refused);
        return true;
    };
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
                return done();
            QString text = table.cell(r, k);
            if (text.isEmpty())
                continue;
            if (k > 0)
                text.remove(u'=');
            try {
                workbook.setCellText(sheetRow, sheetColumn++, text);
            } catch (const CellRefused& refusal) {
                refused.append(u"row %1, column %2: %3"_s.arg(r + 1).arg(k + 1).arg(refusal.description()));
            }
        }
    }
    return done();
}

bool fillWorkbook(const TableSource& table, SpreadsheetWorkbook& workbook, Yielder& yielder)
{
    if (!writeCaptionRow(table, workbook, yielder))
        return false;
    std::optional<RefusedCells> refused;
    try {
        if (!writeDataRows(table, workbook, yielder))
            return false;
    } catch (const RefusedCells& cells) {
        refused = cells;
    }
    workbook.autofitColumns();
    workbook.makeVisible();
    if (refused)
        throw *refused;
    return true;
}
