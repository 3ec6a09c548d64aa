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
    std::vector<qsizetype> widths;
    widths.reserve(size_t(columns));
    // Cells are read through one buffer, so a cell built on reading does not
    // cost an allocation of its own.
    QString buffer;
    for (int k = 0; k < columns; ++k) {
        qsizetype width = measure.startWidth(k);
        for (qsizetype r = 0; r < m_table.rows(); ++r) {
            if (!pause())
                return std::nullopt;
            if (r >= m_table.rows())
                break;
            width = std::max(width, measure.length(TableCell(m_table, r, k, buffer)));
        }
        widths.push_back(width);
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
