#include "SpreadsheetExport.h"

#include "TableSource.h"
#include "TableWalk.h"
#include "shell/PlatformServices.h"
#include "shell/SpreadsheetApplication.h"

#include <algorithm>
#include <optional>
#include <vector>

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

namespace {

// The data rows as a format on the table walk, handing each cell to `Put`
// where the sheet holds it: table row r (from 0) is table row r + 1, so sheet
// row r + 2; empty cells are skipped, so a row's texts fill the sheet's
// columns without gaps.
template<typename Put> class SheetRows final : public RowFormat
{
public:
    explicit SheetRows(Put put)
        : m_put(std::move(put))
    {
    }

    void beginRow(qsizetype) override { m_sheetColumn = 1; }

    void cell(const TableCell& cell) override
    {
        const QStringView text = cell.view();
        if (!text.isEmpty())
            m_put(cell, m_sheetColumn++, text);
    }

    bool endRow(qsizetype) override { return true; }

private:
    Put m_put;
    int m_sheetColumn = 1;
};

// The first column's text goes to the sheet unchanged; the others lose every
// "=", so that nothing reads as a formula.
bool losesEquals(const TableCell& cell, QStringView text)
{
    return cell.column() > 0 && text.contains(u'=');
}

// The longest text of each sheet column: the captions writeCaptionRow writes
// and the cells writeDataRows writes.
std::optional<std::vector<qsizetype>> measureSheet(const TableSource& table, TableWalk& walk)
{
    std::vector<qsizetype> longest;
    const auto note = [&longest](int sheetColumn, qsizetype length) {
        if (longest.size() < size_t(sheetColumn))
            longest.resize(size_t(sheetColumn), 0);
        longest[size_t(sheetColumn - 1)] = std::max(longest[size_t(sheetColumn - 1)], length);
    };
    int sheetColumn = 1;
    for (int k = 0; k < table.columns() && table.rows() > 0; ++k) {
        if (table.cellLength(0, k) > 0)
            note(sheetColumn++, table.caption(k).size());
    }
    SheetRows rows([&](const TableCell& cell, int column, QStringView text) {
        note(column, text.size() - (losesEquals(cell, text) ? text.count(u'=') : 0));
    });
    if (!walk.forEachTickedRow(rows))
        return std::nullopt;
    return longest;
}

} // namespace

bool writeCaptionRow(const TableSource& table, SpreadsheetWorkbook& workbook, Yielder& yielder)
{
    TableWalk walk(table, yielder);
    const std::optional<std::vector<qsizetype>> widths = measureSheet(table, walk);
    if (!widths)
        return false;
    workbook.setColumnWidths(*widths);
    int sheetColumn = 1;
    return walk.forEachColumn([&](int k) {
        if (table.rows() > 0 && table.cellLength(0, k) > 0)
            workbook.setCellText(1, sheetColumn++, table.caption(k));
    });
}

bool writeDataRows(const TableSource& table, SpreadsheetWorkbook& workbook, Yielder& yielder)
{
    QStringList refused;
    QString changed;
    SheetRows rows([&](const TableCell& cell, int column, QStringView text) {
        if (losesEquals(cell, text)) {
            changed = text.toString();
            changed.remove(u'=');
            text = changed;
        }
        try {
            workbook.setCellText(cell.row() + 2, column, text);
        } catch (const CellRefused& refusal) {
            refused.append(u"row %1, column %2: %3"_s.arg(cell.row() + 1)
                               .arg(cell.column() + 1)
                               .arg(refusal.description()));
        }
    });
    if (!TableWalk(table, yielder).forEachTickedRow(rows))
        return false;
    // Thrown together once the rows are written, so a caller's trap reports
    // them once.
    if (!refused.isEmpty())
        throw RefusedCells(refused);
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
