#pragma once

#include <QString>

// Reads a finished .xlsx workbook back from an open file and checks that its
// first sheet is complete: xl/worksheets/sheet1.xml is found in the zip's
// central directory, inflates without error to the size and checksum the
// directory gives, ends with </worksheet> and holds `expectedRows` <row>
// elements. A library that loses bytes on the way to disk (a full temporary
// folder) gives a workbook that fails here.
//
// Throws AppError naming `name` when the workbook is not as it should be.
void checkWorkbook(int fd, qsizetype expectedRows, const QString& name);
