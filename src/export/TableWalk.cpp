#include "TableWalk.h"

#include <algorithm>

TableWalk::TableWalk(const TableSource& table, Yielder& yielder)
    : m_table(table)
    , m_yielder(yielder)
{
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
