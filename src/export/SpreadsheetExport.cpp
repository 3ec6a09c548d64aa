#include "SpreadsheetExport.h"

#include "TableSource.h"
#include "TableWalk.h"
#include "shell/PlatformServices.h"
#include "shell/SpreadsheetApplication.h"

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

bool SaveResultsAsExcelFileIsExcelInstalled(SpreadsheetApplication& spreadsheet,
                                            UserMessages& messages) noexcept
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

bool writeCaptionRow(const TableSource& table, SpreadsheetWorkbook& workbook, Yielder& yielder)
{
    int sheetColumn = 1;
    return TableWalk(table, yielder).forEachColumn([&](int k) {
        if (table.rows() > 0 && table.cellLength(0, k) > 0)
            workbook.setCellText(1, sheetColumn++, table.caption(k));
    });
}

namespace {

// The data rows as a format on the table walk. Table row r (from 0) is table
// row r + 1, so sheet row r + 2; empty cells are skipped, so a row's texts
// fill the sheet's columns without gaps.
class SheetRows final : public RowFormat
{
public:
    explicit SheetRows(SpreadsheetWorkbook& workbook)
        : m_workbook(workbook)
    {
    }

    void beginRow(qsizetype) override { m_sheetColumn = 1; }

    void cell(const TableCell& cell) override
    {
        QString text = cell.text();
        if (text.isEmpty())
            return;
        if (cell.column() > 0)
            text.remove(u'=');
        try {
            m_workbook.setCellText(cell.row() + 2, m_sheetColumn++, text);
        } catch (const CellRefused& refusal) {
            m_refused.append(u"row %1, column %2: %3"_s.arg(cell.row() + 1)
                                 .arg(cell.column() + 1)
                                 .arg(refusal.description()));
        }
    }

    bool endRow(qsizetype) override { return true; }

    // The refused cells, thrown together once the rows are written.
    void throwRefusals() const
    {
        if (!m_refused.isEmpty())
            throw RefusedCells(m_refused);
    }

private:
    SpreadsheetWorkbook& m_workbook;
    int m_sheetColumn = 1;
    QStringList m_refused;
};

} // namespace

bool writeDataRows(const TableSource& table, SpreadsheetWorkbook& workbook, Yielder& yielder)
{
    SheetRows rows(workbook);
    if (!TableWalk(table, yielder).forEachTickedRow(rows))
        return false;
    rows.throwRefusals();
    return true;
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
