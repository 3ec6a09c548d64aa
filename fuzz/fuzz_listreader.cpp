// Any bytes give rows, and the rows are what the line rules make of the
// decoded bytes, however the bytes arrive.

#include "shell/AnsiCodePage.h"
#include "shell/ListFileReader.h"

#include <QBuffer>
#include <QStringList>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// The line rules read another way: CR LF and CR end lines (a last one ends
// nothing further), then every LF splits a line into rows.
QStringList expectedRows(QString text)
{
    QStringList rows;
    if (text.isEmpty())
        return rows;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
    QStringList lines = text.split(u'\r');
    if (text.endsWith(u'\r'))
        lines.removeLast();
    for (const QString& line : lines)
        rows += line.split(u'\n');
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString decoded = AnsiCodePage::decode(bytes);
    check(decoded.size() == bytes.size());
    check(AnsiCodePage::encode(decoded) == bytes);

    QStringList rows;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    readListRows(buffer, QStringLiteral("fuzz"), [&](QStringView row) { rows.append(row.toString()); });
    check(rows == expectedRows(decoded));

    // The same text in pieces, split where the first byte says.
    if (!bytes.isEmpty()) {
        const qsizetype piece = 1 + static_cast<unsigned char>(bytes.front()) % 7;
        QStringList pieceRows;
        ListLineSplitter splitter([&](QStringView row) { pieceRows.append(row.toString()); });
        for (qsizetype at = 0; at < decoded.size(); at += piece)
            splitter.feed(QStringView(decoded).sliced(at, qMin(piece, decoded.size() - at)));
        splitter.finish();
        check(pieceRows == rows);
    }
    return 0;
}
