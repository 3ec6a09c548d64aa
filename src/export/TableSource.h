#pragma once

#include <QString>
#include <QStringView>

// A table as the exports read it: columns with captions, rows with one cell per
// column, and each row's checked state. Columns and rows count from 0 here; the
// cell in column 0 is the row's own text, column k its sub-item k.
//
// The exports fetch every cell when they need it, so the table may change
// between two calls (they let window events run while they work); a row index
// is only meaningful below the current rows().
class TableSource
{
public:
    virtual ~TableSource() = default;

    virtual int columns() const = 0;
    virtual QString caption(int column) const = 0;
    // The column's key in machine-readable outputs; empty when the table
    // names none.
    virtual QString key(int /*column*/) const { return {}; }
    virtual qsizetype rows() const = 0;
    virtual QString cell(qsizetype row, int column) const = 0;
    virtual bool isChecked(qsizetype row) const = 0;

    // True when the cell holds no value at all, which machine-readable
    // outputs tell from an empty text: a result the row did not give. By
    // default every empty cell after the first column.
    virtual bool isBlank(qsizetype row, int column) const
    {
        return column > 0 && cellLength(row, column) == 0;
    }

    // The cell's length in characters; tables that can tell it without building
    // the text override this.
    virtual qsizetype cellLength(qsizetype row, int column) const { return cell(row, column).size(); }

    // The cell's text without a copy where the table can give one: the view
    // stays valid until `buffer` is used again or the table changes. Exports
    // that read every cell of a large table pass the same buffer each time,
    // so a cell built on reading reuses its memory.
    virtual QStringView cellView(qsizetype row, int column, QString& buffer) const
    {
        buffer = cell(row, column);
        return buffer;
    }
};
