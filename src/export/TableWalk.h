#pragma once

#include "TableSource.h"
#include "shell/Yielder.h"

#include <QString>
#include <QStringView>

#include <algorithm>
#include <functional>
#include <optional>
#include <type_traits>
#include <vector>

// One cell as the walk hands it to a format. It is read only when the format
// asks, so a format with an error trap of its own reads it inside one of its
// statements.
class TableCell
{
public:
    TableCell(const TableSource& table, qsizetype row, int column, QString& buffer)
        : m_table(table)
        , m_row(row)
        , m_column(column)
        , m_buffer(buffer)
    {
    }

    qsizetype row() const { return m_row; }
    int column() const { return m_column; }

    qsizetype length() const { return m_table.cellLength(m_row, m_column); }
    // The text without a copy where the table can give one; valid until the
    // next cell is read.
    QStringView view() const { return m_table.cellView(m_row, m_column, m_buffer); }
    // True when the cell holds no value (TableSource::isBlank()).
    bool blank() const { return m_table.isBlank(m_row, m_column); }
    // The text as a string of its own, for a format that changes it.
    QString text() const { return m_table.cell(m_row, m_column); }

private:
    const TableSource& m_table;
    qsizetype m_row;
    int m_column;
    QString& m_buffer;
};

// An export's way of writing the ticked rows: the walk hands it each ticked
// row's cells in column order. A new output format is one of these.
class RowFormat
{
public:
    virtual ~RowFormat() = default;

    // Whether the row is ticked; a format with an error trap of its own reads
    // it there.
    virtual bool isTicked(const TableSource& table, qsizetype row) { return table.isChecked(row); }
    virtual void beginRow(qsizetype /*row*/) { }
    virtual void cell(const TableCell& cell) = 0;
    // Every cell of the row has been handed over. False ends the walk at
    // once, as a stop does (a format that yields itself, for progress).
    virtual bool endRow(qsizetype row) = 0;
    // The row went away while its cells were being read; the walk ends after
    // this, as at the end of the table.
    virtual void rowCut(qsizetype /*row*/) { }
};

// How a padded format measures its columns: where a column's width starts and
// how long a cell is. A format with an error trap reads both there.
class ColumnMeasure
{
public:
    virtual ~ColumnMeasure() = default;
    virtual qsizetype startWidth(int /*column*/) { return 0; }
    virtual qsizetype length(const TableCell& cell) { return cell.length(); }
};

// The walk every export makes over a table that the user may change while
// the export lets window events run: it yields before every caption, row and
// cell, reads the row count again after every turn so nothing past the
// table's current end is read, and ends early when the yielder asks to stop
// (the window is going away).
//
// A table that shrinks ends the walk at its new end; a row that goes away
// while its cells are read is cut (RowFormat::rowCut) and ends the walk too.
// Rows added meanwhile are walked like the others.
class TableWalk final
{
public:
    TableWalk(const TableSource& table, Yielder& yielder);

    // Lets window events run; false when the work is to end. Inline: it runs
    // before every cell.
    bool pause()
    {
        m_yielder.yield();
        return !m_yielder.stopRequested();
    }

    // Each column's width: the greatest of measure.startWidth(k) and the
    // lengths of its cells in every row, ticked or not. Yields before every
    // cell; nothing when stopped. A template, so that every cell of a large
    // table reaches a final measure without a virtual call.
    template<typename Measure> std::optional<std::vector<qsizetype>> columnWidths(Measure& measure);
    std::optional<std::vector<qsizetype>> columnWidths();

    // Calls `visit` for each column in order, yielding before each; false
    // when stopped.
    bool forEachColumn(const std::function<void(int column)>& visit);

    // Hands every ticked row to the format, yielding before every row and
    // cell. False when stopped (by the yielder or the format); true at the
    // end of the table, however it was reached. A template for the same
    // reason as columnWidths().
    template<typename Format> bool forEachTickedRow(Format& format);

private:
    int columns()
    {
        if (!m_columns)
            m_columns = std::max(m_table.columns(), 0);
        return *m_columns;
    }

    const TableSource& m_table;
    Yielder& m_yielder;
    // Counted once, at the first pass: a window's lists keep their columns,
    // and widths measured by one pass serve the next.
    std::optional<int> m_columns;
};

template<typename Measure> std::optional<std::vector<qsizetype>> TableWalk::columnWidths(Measure& measure)
{
    static_assert(std::is_base_of_v<ColumnMeasure, Measure>);
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

template<typename Format> bool TableWalk::forEachTickedRow(Format& format)
{
    static_assert(std::is_base_of_v<RowFormat, Format>);
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
