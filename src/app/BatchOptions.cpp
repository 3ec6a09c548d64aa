#include "BatchOptions.h"

#include "BuildConfig.h"

using namespace Qt::StringLiterals;

namespace {

struct Option
{
    QStringView longName;
    QChar shortName;
    bool takesValue;
};

constexpr Option Options[] = {
    { u"address", u'a', true },
    { u"sample", QChar(), false },
    { u"format", u'f', true },
    { u"output", u'o', true },
    { u"tick", u't', true },
    { u"help", u'h', false },
    { u"version", u'V', false },
    { u"embedding", u'e', true },
    { u"rfc5952", QChar(), false },
    { u"decode", u'd', false },
    { u"reverse-dns", QChar(), false },
};

const Option* findLong(QStringView name)
{
    for (const Option& option : Options) {
        if (option.longName == name)
            return &option;
    }
    return nullptr;
}

const Option* findShort(QChar name)
{
    for (const Option& option : Options) {
        if (!option.shortName.isNull() && option.shortName == name)
            return &option;
    }
    return nullptr;
}

constexpr struct
{
    QStringView name;
    BatchOptions::Format format;
} FormatNames[] = {
    { u"text", BatchOptions::Format::Text }, { u"clipboard", BatchOptions::Format::Clipboard },
    { u"tsv", BatchOptions::Format::Tsv },   { u"xlsx", BatchOptions::Format::Xlsx },
    { u"csv", BatchOptions::Format::Csv },   { u"jsonl", BatchOptions::Format::JsonLines },
};

std::optional<BatchOptions::Format> formatNamed(QStringView name)
{
    for (const auto& known : FormatNames) {
        if (known.name == name)
            return known.format;
    }
    return std::nullopt;
}

QString formatNames()
{
    QStringList names;
    for (const auto& known : FormatNames)
        names.append(known.name.toString());
    return names.join(u", "_s);
}

// Applies one option with its value; returns what is wrong, or nothing.
QString applyEmbedding(BatchOptions& options, const QString& value, bool& embeddingSet)
{
    if (embeddingSet)
        return u"--embedding is given twice"_s;
    QString error;
    const std::optional<MapIP::Embedding> embedding = MapIP::Embedding::parse(value, &error);
    if (!embedding)
        return u"--embedding: "_s + error + u" (or name one: compatible, mapped or nat64)"_s;
    options.embedding = *embedding;
    options.embeddingChosen = true;
    embeddingSet = true;
    return {};
}

QString apply(BatchOptions& options, const Option& option, const QString& value, bool& formatSet,
              bool& outputSet, bool& tickSet, bool& embeddingSet)
{
    const QString name = u"--"_s + option.longName.toString();
    if (option.longName == u"address") {
        options.inputs.push_back({ BatchOptions::Input::Kind::Address, value });
    } else if (option.longName == u"sample") {
        options.inputs.push_back({ BatchOptions::Input::Kind::Sample, {} });
    } else if (option.longName == u"format") {
        if (formatSet)
            return name + u" is given twice"_s;
        const std::optional<BatchOptions::Format> format = formatNamed(value);
        if (!format)
            return u"unknown format '"_s + value + u"' ("_s + formatNames() + u')';
        options.format = *format;
        formatSet = true;
    } else if (option.longName == u"output") {
        if (outputSet)
            return name + u" is given twice"_s;
        if (value.isEmpty())
            return name + u" needs a file name (or - for standard output)"_s;
        options.output = value;
        outputSet = true;
    } else if (option.longName == u"tick") {
        QString error;
        const std::optional<RowSelection> ticks = RowSelection::parse(value, error);
        if (!ticks)
            return name + u": "_s + error;
        if (tickSet)
            options.ticks.add(*ticks);
        else
            options.ticks = *ticks;
        tickSet = true;
    } else if (option.longName == u"embedding") {
        return applyEmbedding(options, value, embeddingSet);
    } else if (option.longName == u"rfc5952") {
        options.style = MapIP::TextStyle::Rfc5952;
    } else if (option.longName == u"decode") {
        options.decode = true;
    } else if (option.longName == u"reverse-dns") {
        options.reverseDns = true;
    } else if (option.longName == u"help") {
        options.help = true;
    } else if (option.longName == u"version") {
        options.version = true;
    }
    return {};
}

} // namespace

namespace {

// One option word as given: "--name", "--name=value", "-x" or "-xvalue".
struct OptionWord
{
    const Option* option = nullptr;
    QString shownName;
    std::optional<QString> attached; // a value given in the same argument
};

OptionWord readOptionWord(const QString& argument)
{
    OptionWord word;
    if (argument.startsWith(u"--")) {
        const qsizetype equals = argument.indexOf(u'=');
        const QString name = argument.mid(2, equals < 0 ? -1 : equals - 2);
        word.option = findLong(name);
        word.shownName = u"--"_s + name;
        if (equals >= 0)
            word.attached = argument.mid(equals + 1);
    } else {
        word.option = findShort(argument[1]);
        word.shownName = argument.left(2);
        if (argument.size() > 2)
            word.attached = argument.mid(2);
    }
    return word;
}

// The option's value: attached to it, or the next argument (`i` moves on).
// Sets `error` when a value is missing or not wanted.
QString takeValue(const OptionWord& word, const QStringList& arguments, qsizetype& i, QString& error)
{
    if (!word.option->takesValue) {
        if (word.attached)
            error = u"option '"_s + word.shownName + u"' takes no value"_s;
        return {};
    }
    if (word.attached)
        return *word.attached;
    if (i + 1 < arguments.size())
        return arguments[++i];
    error = u"option '"_s + word.shownName + u"' needs a value"_s;
    return {};
}

QString checkCombination(const BatchOptions& options)
{
    if (options.help || options.version)
        return {};
    if (options.format == BatchOptions::Format::Xlsx && options.writesToStandardOutput())
        return u"the xlsx format needs an output file (-o FILE); a workbook is not written to standard "
               u"output"_s;
    return {};
}

} // namespace

ParsedArguments parseBatchArguments(const QStringList& arguments)
{
    ParsedArguments parsed;
    BatchOptions& options = parsed.options;
    bool formatSet = false;
    bool outputSet = false;
    bool tickSet = false;
    bool embeddingSet = false;
    bool optionsEnded = false;

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        // "-" alone is standard input, and after "--" every argument is a file.
        if (optionsEnded || argument == u"-" || !argument.startsWith(u'-')) {
            options.inputs.push_back({ BatchOptions::Input::Kind::File, argument });
            continue;
        }
        if (argument == u"--") {
            optionsEnded = true;
            continue;
        }
        const OptionWord word = readOptionWord(argument);
        if (!word.option) {
            parsed.error = u"unknown option '"_s + word.shownName + u"'"_s;
            return parsed;
        }
        const QString value = takeValue(word, arguments, i, parsed.error);
        if (parsed.error.isEmpty())
            parsed.error = apply(options, *word.option, value, formatSet, outputSet, tickSet, embeddingSet);
        if (!parsed.error.isEmpty())
            return parsed;
    }
    parsed.error = checkCombination(options);
    return parsed;
}

std::optional<QString> undecodableArgument(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView bytes(argv[i]);
        const QString text = QString::fromUtf8(bytes);
        if (text.toUtf8() != bytes)
            return u"the argument \""_s + text
                + u"\" is not valid UTF-8 text; a file of that name cannot be opened as given (rename it, "
                  u"or give it on standard input)"_s;
    }
    return std::nullopt;
}

QString batchVersionText()
{
    return u"quadrix-batch "_s + QStringLiteral(QUADRIX_VERSION) + u'\n';
}

QString batchHelpText()
{
    return uR"(Usage: quadrix-batch [OPTION]... [FILE]...
Convert IPv4 dotted quads into their four IPv6 text forms, as the batch window
of Quadrix does, and write the results table.

Each FILE is a list file, read as the batch window reads it: a CR or a CR LF
ends a line, a bare LF splits one, nothing is trimmed or skipped, and every
byte is one windows-1252 character. "-" is standard input. Several files are
read in order into one table. Arguments are always list files; to convert an
address given on the command line, use --address.

Input:
  -a, --address=ADDRESS  add ADDRESS as a row (may be repeated)
      --sample           add the three sample rows 204.93.240.0, 199.27.128.43
                         and 173.245.48.111
Rows from files, --address and --sample are added in command-line order.
Without any of them, rows are read from standard input.

Output:
  -f, --format=FORMAT    what to write:
                           text       the column-aligned text file, as "Save
                                      Results As Text File" writes it (default)
                           clipboard  the text "Copy Results To Clipboard" gives
                           tsv        one line per row: the row and its four
                                      forms separated by TABs, no padding,
                                      ending in LF; written as rows are read.
                                      In a field, backslash, TAB, LF and CR
                                      are written \\, \t, \n and \r (as
                                      PostgreSQL's text COPY format does)
                           xlsx       the workbook of the spreadsheet export
                                      (needs -o FILE)
                           csv        RFC 4180 CSV: a caption line, then the
                                      row and its forms; quoted where needed,
                                      lines ending in CR LF
                           jsonl      JSON Lines: an object per row, keyed
                                      original, full, shorthand, dot_full and
                                      dot_shorthand; a form that failed is
                                      null
  -o, --output=FILE      write to FILE, which is replaced only once complete;
                         without -o, or with "-", write to standard output
  -t, --tick=LIST        tick only the rows in LIST (row numbers from 1, and
                         ranges: 1,3-5); only ticked rows are written, and
                         every row is ticked by default. Rows past the last
                         one tick nothing. May be repeated.

Forms:
  -e, --embedding=BLOCK  the /96 block the addresses are embedded in:
                           compatible ::/96, the IPv4-compatible block
                                      (default)
                           mapped     ::ffff:0:0/96, the IPv4-mapped block
                           nat64      64:ff9b::/96, the NAT64 well-known
                                      prefix
                           PREFIX/96  any other /96 prefix, such as the one
                                      of a NAT64 gateway: 2001:db8:64::/96
      --rfc5952          write the forms as RFC 5952 text: lower case, zeros
                         shortened, the dotted quad written canonically; a
                         row that is not exactly four octets of 0 to 255 fails
                         all four forms

Direction and rows:
  -d, --decode           read IPv6 rows and write the IPv4 address each
                         carries: columns original, ipv4, embedding and
                         detail (captions "Original", "IPv4 Address",
                         "Embedding", "Detail"). Without --embedding the first
                         of mapped, nat64, 6to4, teredo, isatap and compatible
                         that matches decodes a row; with it, only that one.
                         A row IPv6/M decodes into an IPv4 prefix.
                         Example: quadrix-batch -d -f tsv -a 64:ff9b::c000:221
      --reverse-dns      add a last column reverse_dns ("Reverse DNS Name"):
                         the ip6.arpa name of the address (or the zones that
                         cover a prefix), or when decoding the in-addr.arpa
                         name. Example: quadrix-batch --reverse-dns -a 10.0.0.0/8
Rows are addresses (a.b.c.d), prefixes (a.b.c.d/n, written as each form
followed by its length, such as ::FFFF:0A00:0000/104 for 10.0.0.0/8 mapped)
or ranges (a.b.c.d-e.f.g.h, one output row for each prefix of the smallest
list that covers it, each with the range as its original). Example:
  quadrix-batch -f tsv -e mapped -a 10.0.0.0-10.0.2.255

  -h, --help             show this help and exit
  -V, --version          show the version and exit

Text, clipboard and tsv output is windows-1252 text, as the text file is; a
character it cannot hold is written as "?". CSV and JSON Lines are UTF-8. A row whose IPv6 full and
shorthand forms fail to convert keeps those cells empty, as in the window,
and each failure is reported on standard error with its row number, the row
and the reason. When standard error is a terminal, a progress bar shows there
once the work takes longer than half a second.

Exit status:
  0  every row converted
  1  some rows failed to convert
  2  a usage error, or a file that could not be read or written (this wins
     over 1); the rows of the other files are still converted and written.
     Also: the output is an input file ("input file is output file"; nothing
     is written), an argument is not valid UTF-8, or memory ran out
)"_s;
}
