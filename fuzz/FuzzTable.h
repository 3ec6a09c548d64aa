#pragma once

// Random tables for the formatter targets: up to five columns and forty rows
// of texts of any UTF-16 units but line breaks, each row checked or not.

#include "export/ListModel.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QString>

#include <cstring>

#include <memory>

inline QString fuzzText(FuzzedDataProvider& input)
{
    const std::string bytes = input.ConsumeRandomLengthString(96);
    QString text(qsizetype(bytes.size() / 2), Qt::Uninitialized);
    std::memcpy(text.data(), bytes.data(), bytes.size() / 2 * 2);
    // A line of the file must stay one line: no CR or LF inside a cell.
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

inline std::unique_ptr<ListModel> fuzzTable(FuzzedDataProvider& input)
{
    auto table = std::make_unique<ListModel>(ListModel::CheckBoxes::OnEveryRow);
    const int columns = input.ConsumeIntegralInRange(1, 5);
    for (int column = 0; column < columns; ++column)
        table->addColumn(fuzzText(input));
    const int rows = input.ConsumeIntegralInRange(0, 40);
    for (int row = 0; row < rows; ++row) {
        table->appendRow(fuzzText(input));
        for (int column = 1; column < columns; ++column)
            table->setSubItem(row, column, fuzzText(input));
    }
    table->publishRows();
    for (int row = 0; row < rows; ++row) {
        if (input.ConsumeBool())
            table->setChecked(row, true);
    }
    return table;
}
