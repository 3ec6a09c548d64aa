#pragma once

#include "AppError.h"

#include <QString>

#include <memory>
#include <vector>

// The spreadsheet application that receives the results as a new workbook, as
// the batch window's "Save Results As Excel File" hands them over. Microsoft
// Excel's automation model shaped these calls; on Linux LibreOffice Calc
// stands behind them (LibreOfficeCalc.h), in tests a recording fake.

// A cell the workbook cannot hold as it stands (too long, a character it
// cannot store). The cell stays empty and the workbook goes on; the
// description says why, without naming the cell.
class CellRefused : public AppError
{
public:
    using AppError::AppError;
};

// A new, unsaved workbook; the calls work on its first sheet. Every call
// throws AppError when the application refuses or fails it.
class SpreadsheetWorkbook
{
public:
    virtual ~SpreadsheetWorkbook() = default;

    // The longest text of each sheet column (from column 1), given before the
    // first cell, for a workbook that lays out its columns before the rows
    // (a file written as it goes); others may ignore it.
    virtual void setColumnWidths(const std::vector<qsizetype>& longestTexts) = 0;
    // Sets the cell to the text, always as a string (a text that looks like a
    // number or a formula stays text). Rows and columns count from 1. Throws
    // CellRefused for a text the cell cannot hold exactly.
    virtual void setCellText(qsizetype row, int column, QStringView text) = 0;
    // Fits every column's width to its contents.
    virtual void autofitColumns() = 0;
    // Shows the application with the workbook to the user, who takes it over.
    virtual void makeVisible() = 0;
};

class SpreadsheetApplication
{
public:
    virtual ~SpreadsheetApplication() = default;

    // True when an instance of the application can be created; whatever it
    // creates for the test it lets go of at once. May throw.
    virtual bool canStart() = 0;
    // Creates the application and adds a workbook to it. Throws AppError.
    virtual std::unique_ptr<SpreadsheetWorkbook> start() = 0;
};
