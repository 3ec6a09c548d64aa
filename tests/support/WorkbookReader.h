#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <map>

// Reads an .xlsx workbook back as a spreadsheet would, to tell whether it is
// whole: the zip's central directory lists the parts of a one-sheet
// workbook, each entry's local header agrees with the directory and its data
// inflates to the size and checksum the directory gives, every part is
// well-formed XML, [Content_Types].xml gives each part its type and the
// relationships lead from the package to the sheet through parts that are
// there. The sheet is then read
// cell by cell, its rows and cells in order, with the format's _xHHHH_
// escapes undone.
struct ReadWorkbook
{
    // Empty when the workbook is whole; otherwise what is wrong with it.
    QString problem;
    // Sheet row 1 first; a row without cells is an empty list, a cell
    // skipped in a row a null string.
    QList<QStringList> rows;
    // The width each column (from 1) is given, in characters.
    std::map<int, double> widths;
};

ReadWorkbook readWorkbook(const QString& path);
