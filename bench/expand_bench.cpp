// quadrix-expand-bench: expands the rows given on the command line to
// standard output as the command-line tool writes an expansion (the
// streaming engine, a descriptor sink on fd 1), so that it can be timed:
//
//     time build/quadrix-expand-bench 10.0.0.0/8 | wc -l
//
// Options before the rows: -f tsv|csv|jsonl (tsv), -e EMBEDDING (mapped),
// --rfc5952, --reverse-dns. The time taken and the rows written go to
// standard error.

#include "export/Expansion.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

#include <unistd.h>

namespace {

int usage()
{
    std::fputs("usage: quadrix-expand-bench [-f tsv|csv|jsonl] [-e EMBEDDING] [--rfc5952] [--reverse-dns] "
               "ROW...\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    Expansion::Layout layout;
    MapIP::Embedding embedding = MapIP::Embedding::named(MapIP::Embedding::Named::Mapped);
    MapIP::TextStyle style = MapIP::TextStyle::Program;
    QStringList rows;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == u"-f" && i + 1 < arguments.size()) {
            const QString format = arguments[++i];
            if (format == u"tsv")
                layout.format = Expansion::StreamFormat::Tsv;
            else if (format == u"csv")
                layout.format = Expansion::StreamFormat::Csv;
            else if (format == u"jsonl")
                layout.format = Expansion::StreamFormat::JsonLines;
            else
                return usage();
        } else if (argument == u"-e" && i + 1 < arguments.size()) {
            QString error;
            const std::optional<MapIP::Embedding> parsed = MapIP::Embedding::parse(arguments[++i], &error);
            if (!parsed) {
                std::fprintf(stderr, "quadrix-expand-bench: %s\n", qPrintable(error));
                return 2;
            }
            embedding = *parsed;
        } else if (argument == u"--rfc5952") {
            style = MapIP::TextStyle::Rfc5952;
        } else if (argument == u"--reverse-dns") {
            layout.reverseDns = true;
        } else if (argument.startsWith(u'-')) {
            return usage();
        } else {
            rows.append(argument);
        }
    }
    if (rows.isEmpty())
        return usage();

    const MapIP::ConversionOptions options(embedding, style);
    QElapsedTimer timer;
    timer.start();
    Expansion::ExpansionStream stream(
        options, layout, Expansion::descriptorSink(STDOUT_FILENO, QStringLiteral("standard output")),
        [](QStringView row, QByteArray& out) { out = row.toUtf8() + '\n'; });
    for (const QString& row : rows) {
        if (!stream.addRow(row))
            break;
    }
    const Expansion::Outcome outcome = stream.finish();
    std::fprintf(stderr, "quadrix-expand-bench: %llu rows in %.3f s\n",
                 static_cast<unsigned long long>(outcome.rowsWritten), double(timer.nsecsElapsed()) / 1e9);
    if (outcome.status == Expansion::Outcome::Status::Failed) {
        std::fprintf(stderr, "quadrix-expand-bench: %s\n", qPrintable(outcome.failure));
        return 1;
    }
    return 0;
}
