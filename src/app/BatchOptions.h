#pragma once

#include "RowSelection.h"
#include "conversion/Embedding.h"
#include "export/OutputFormats.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// What quadrix-batch is asked to do, read from its command line.
struct BatchOptions
{
    // One source of rows, in command-line order.
    struct Input
    {
        enum class Kind { File, Address, Sample };
        Kind kind = Kind::File;
        QString text; // the path ("-" for standard input) or the address
    };

    const OutputFormat* format = &defaultOutputFormat();
    OutputSettings settings;
    // Empty or "-": standard output.
    QString output;
    // Empty: standard input alone.
    std::vector<Input> inputs;
    RowSelection ticks;
    // The block the addresses are embedded in, and the text of the forms.
    MapIP::Embedding embedding;
    bool embeddingGiven = false;
    // Read IPv6 rows and write the IPv4 address each carries.
    bool decode = false;
    // Prefixes and ranges become one row per address.
    bool expand = false;
    MapIP::TextStyle style = MapIP::TextStyle::Program;
    bool help = false;
    bool version = false;

    bool writesToStandardOutput() const { return output.isEmpty() || output == u"-"; }
};

// The outcome of reading the command line: the options, or what is wrong
// with it.
struct ParsedArguments
{
    BatchOptions options;
    QString error; // empty when the command line is fine
};

// Reads the arguments that follow the program's name.
ParsedArguments parseBatchArguments(const QStringList& arguments);

// Arguments reach the program as bytes and are read as UTF-8; one that is
// not valid UTF-8 (a file name in an older encoding) would come out as the
// name of another file. Returns what is wrong with the first such argument
// of argv[1] to argv[argc - 1], or nothing when every one reads back as
// given.
std::optional<QString> undecodableArgument(int argc, const char* const* argv);

// The --help text, and the --version line.
QString batchHelpText();
QString batchVersionText();
