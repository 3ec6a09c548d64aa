#include "batch_window/ListFileReader.h"
#include "conversion/MapIP.h"
#include "shell/AnsiCodePage.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

namespace {

// Converts one address and prints its line; returns false when a form failed.
bool convertLine(const QString& address, qsizetype lineNumber, QTextStream& out, QTextStream& err)
{
    const MapIP::FullConversion conversion = MapIP::convertAll(address);
    const ConversionResult& result = conversion.result;
    out << result.Original << '\t' << result.Full << '\t' << result.Shorthand << '\t' << result.DotFull << '\t'
        << result.DotShorthand << '\n';
    bool converted = true;
    for (const MapIP::ConversionFailure& failure : {conversion.fullFailure, conversion.shorthandFailure}) {
        if (failure.failed()) {
            err << "line " << lineNumber << ": " << MapIP::describe(failure) << '\n';
            converted = false;
        }
    }
    return converted;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    qsizetype lineNumber = 0;
    bool allConverted = true;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (!arguments.isEmpty()) {
        for (const QString& address : arguments)
            allConverted &= convertLine(address, ++lineNumber, out, err);
    } else {
        QFile input;
        if (!input.open(stdin, QIODevice::ReadOnly))
            return 2;
        ListLineSplitter splitter([&](QStringView row) {
            allConverted &= convertLine(row.toString(), ++lineNumber, out, err);
        });
        while (!input.atEnd())
            splitter.feed(AnsiCodePage::decode(input.read(1 << 16)));
        splitter.finish();
    }
    return allConverted ? 0 : 1;
}
