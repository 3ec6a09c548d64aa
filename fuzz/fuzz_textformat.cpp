// The column-aligned file of any table: a caption line and a line per checked
// row, every cell at the same place on every line, padded to its column's
// width and followed by a TAB, every line ending in TAB CR LF; nothing reported.

#include "FuzzTable.h"

#include "export/TextFileWriter.h"
#include "shell/AnsiCodePage.h"
#include "shell/ErrorTrap.h"
#include "shell/Yielder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

class NoReports final : public ErrorReporter
{
public:
    void reportError(const QString&) override { std::abort(); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QString path = QDir::tempPath() + QStringLiteral("/quadrix-fuzz-%1.txt").arg(::getpid());
    FuzzedDataProvider input(data, size);
    const std::unique_ptr<ListModel> table = fuzzTable(input);

    NoYield yielder;
    NoReports reporter;
    SaveListviewProperlySpaced(*table, path, nullptr, yielder, reporter);
    QFile file(path);
    check(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    QFile::remove(path);

    const int columns = table->columns();
    std::vector<qsizetype> widths(size_t(columns), 0);
    qsizetype lineLength = columns + 2;
    for (int column = 0; column < columns; ++column) {
        widths[size_t(column)] = table->caption(column).size();
        for (qsizetype row = 0; row < table->rows(); ++row)
            widths[size_t(column)] = std::max(widths[size_t(column)], table->cell(row, column).size());
        lineLength += widths[size_t(column)];
    }
    QList<qsizetype> written { -1 };
    for (qsizetype row = 0; row < table->rows(); ++row) {
        if (table->isChecked(row))
            written.append(row);
    }
    check(bytes.size() == written.size() * lineLength);

    for (qsizetype line = 0; line < written.size(); ++line) {
        const char* at = bytes.constData() + line * lineLength;
        for (int column = 0; column < columns; ++column) {
            const QString cell
                = written[line] < 0 ? table->caption(column) : table->cell(written[line], column);
            const QByteArray encoded = AnsiCodePage::encode(cell);
            check(std::memcmp(at, encoded.constData(), size_t(encoded.size())) == 0);
            for (qsizetype pad = encoded.size(); pad < widths[size_t(column)]; ++pad)
                check(at[pad] == ' ');
            check(at[widths[size_t(column)]] == '\t');
            at += widths[size_t(column)] + 1;
        }
        check(at[0] == '\r' && at[1] == '\n');
    }
    return 0;
}
