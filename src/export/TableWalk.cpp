#include "TableWalk.h"

#include <algorithm>

TableWalk::TableWalk(const TableSource& table, Yielder& yielder)
    : m_table(table)
    , m_yielder(yielder)
{
}

int TableWalk::columns()
{
    if (!m_columns)
        m_columns = std::max(m_table.columns(), 0);
    return *m_columns;
}

std::optional<std::vector<qsizetype>> TableWalk::columnWidths(ColumnMeasure& measure)
{
    const int columns = this->columns();
    std::vector<qsizetype> widths(size_t(columns), 0);
    for (int k = 0; k < columns; ++k)
        widths[size_t(k)] = measure.startWidth(k);
    // Cells are read through one buffer, so a cell built on reading does not
    // cost an allocation of its own. Row by row: the cells of a row are
    // built from the same text, which is then read once.
    QString buffer;
    for (qsizetype r = 0; r < m_table.rows(); ++r) {
        for (int k = 0; k < columns; ++k) {
            if (!pause())
                return std::nullopt;
            if (r >= m_table.rows())
                return widths;
            widths[size_t(k)] = std::max(widths[size_t(k)], measure.length(TableCell(m_table, r, k, buffer)));
        }
    }
    return widths;
}

std::optional<std::vector<qsizetype>> TableWalk::columnWidths()
{
    ColumnMeasure lengths;
    return columnWidths(lengths);
}

bool TableWalk::forEachColumn(const std::function<void(int column)>& visit)
{
    const int columns = this->columns();
    for (int k = 0; k < columns; ++k) {
        if (!pause())
            return false;
        visit(k);
    }
    return true;
}

bool TableWalk::forEachTickedRow(RowFormat& format)
{
    const int columns = this->columns();
    QString buffer;
    for (qsizetype r = 0; r < m_table.rows(); ++r) {
        if (!pause())
            return false;
        if (r >= m_table.rows())
            break;
        if (!format.isTicked(m_table, r))
            continue;
        format.beginRow(r);
        for (int k = 0; k < columns; ++k) {
            if (!pause())
                return false;
            if (r >= m_table.rows()) {
                format.rowCut(r);
                return true;
            }
            format.cell(TableCell(m_table, r, k, buffer));
        }
        if (!format.endRow(r))
            return false;
    }
    return true;
}
