// The clipboard text of any table: a line per checked row, each cell but the
// last padded to the longest cell of its column (captions do not count) and
// followed by a TAB, the last one neither padded nor followed, no blank at the
// end of a line, CR LF after every line.

#include "FuzzTable.h"

#include "export/ClipboardText.h"
#include "shell/Yielder.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::unique_ptr<ListModel> table = fuzzTable(input);
    NoYield yielder;
    const std::optional<QString> text = buildClipboardText(*table, yielder);
    if (table->rows() == 0) {
        check(!text.has_value());
        return 0;
    }
    check(text.has_value());

    const int columns = table->columns();
    std::vector<qsizetype> widths(size_t(columns), 0);
    for (int column = 0; column < columns; ++column) {
        for (qsizetype row = 0; row < table->rows(); ++row)
            widths[size_t(column)] = std::max(widths[size_t(column)], table->cell(row, column).size());
    }

    QStringView rest = *text;
    for (qsizetype row = 0; row < table->rows(); ++row) {
        if (!table->isChecked(row))
            continue;
        const qsizetype end = rest.indexOf(QStringLiteral("\r\n"));
        check(end >= 0);
        const QStringView line = rest.first(end);
        rest = rest.sliced(end + 2);
        check(!line.endsWith(u' '));

        QString expected;
        for (int column = 0; column < columns; ++column) {
            const QString cell = table->cell(row, column);
            expected += cell;
            if (column + 1 < columns)
                expected += QString(widths[size_t(column)] - cell.size(), u' ') + u'\t';
        }
        while (expected.endsWith(u' '))
            expected.chop(1);
        check(line == expected);
    }
    check(rest.isEmpty());
    return 0;
}
