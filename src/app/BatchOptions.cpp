#include "BatchOptions.h"

#include "BatchOptionTable.h"
#include "BuildConfig.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const OptionRow* findLong(QStringView name)
{
    for (const OptionRow& option : BatchOptionTable) {
        if (option.longName == name)
            return &option;
    }
    return nullptr;
}

const OptionRow* findShort(QStringView name)
{
    for (const OptionRow& option : BatchOptionTable) {
        if (!option.shortName.isEmpty() && option.shortName == name)
            return &option;
    }
    return nullptr;
}

QCommandLineOption commandLineOption(const OptionRow& option)
{
    QStringList names { option.longName.toString() };
    if (!option.shortName.isEmpty())
        names.prepend(option.shortName.toString());
    return QCommandLineOption(names, option.description.toString(), option.valueName.toString());
}

// The value of an option given at most once; what is wrong, or nothing.
QString singleValue(const QCommandLineParser& parser, QStringView name, QString& value)
{
    const QStringList values = parser.values(name.toString());
    if (values.size() > 1)
        return u"--"_s + name.toString() + u" is given twice"_s;
    value = values.value(0);
    return {};
}

QString readFormat(const QCommandLineParser& parser, BatchOptions& options)
{
    const QStringList values = parser.values(u"format"_s);
    if (values.isEmpty())
        return {};
    options.format = outputFormatNamed(values.front());
    if (!options.format)
        return u"unknown format '"_s + values.front() + u"' ("_s + outputFormatNames() + u')';
    return values.size() > 1 ? u"--format is given twice"_s : QString();
}

QString readOutput(const QCommandLineParser& parser, BatchOptions& options)
{
    if (!parser.isSet(u"output"_s))
        return {};
    if (QString error = singleValue(parser, u"output", options.output); !error.isEmpty())
        return error;
    return options.output.isEmpty() ? u"--output needs a file name (or - for standard output)"_s : QString();
}

QString readTicks(const QCommandLineParser& parser, BatchOptions& options)
{
    const QStringList values = parser.values(u"tick"_s);
    for (qsizetype i = 0; i < values.size(); ++i) {
        QString error;
        const std::optional<RowSelection> ticks = RowSelection::parse(values[i], error);
        if (!ticks)
            return u"--tick: "_s + error;
        if (i == 0)
            options.ticks = *ticks;
        else
            options.ticks.add(*ticks);
    }
    return {};
}

QString readEmbedding(const QCommandLineParser& parser, BatchOptions& options)
{
    const QStringList values = parser.values(u"embedding"_s);
    if (values.isEmpty())
        return {};
    QString error;
    const std::optional<MapIP::Embedding> embedding = MapIP::Embedding::parse(values.front(), &error);
    if (!embedding)
        return u"--embedding: "_s + error + u" (or name one: compatible, mapped or nat64)"_s;
    options.embedding = *embedding;
    options.embeddingGiven = true;
    return values.size() > 1 ? u"--embedding is given twice"_s : QString();
}

// The kinds of the inputs in command-line order. The parser keeps the values
// of each option in order, but not the order between options and files, so
// the words are walked once more the way it walks them: "--" ends the
// options, "-" is a file, and short options may be run together ("-ftsv"),
// the first one that takes a value taking the rest of the word.
std::vector<BatchOptions::Input::Kind> inputOrder(const QStringList& arguments)
{
    using Kind = BatchOptions::Input::Kind;
    std::vector<Kind> kinds;
    const auto note = [&kinds](const OptionRow* option) {
        if (option && option->longName == u"address")
            kinds.push_back(Kind::Address);
        else if (option && option->longName == u"sample")
            kinds.push_back(Kind::Sample);
    };
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        if (optionsEnded || word == u"-" || !word.startsWith(u'-')) {
            kinds.push_back(Kind::File);
        } else if (word == u"--") {
            optionsEnded = true;
        } else if (word.startsWith(u"--")) {
            const OptionRow* option = findLong(QStringView(word).sliced(2).split(u'=').front());
            note(option);
            if (option && option->takesValue() && !word.contains(u'='))
                ++i;
        } else {
            for (qsizetype at = 1; at < word.size(); ++at) {
                const OptionRow* option = findShort(QStringView(word).sliced(at, 1));
                note(option);
                if (option && option->takesValue()) {
                    i += at + 1 == word.size() ? 1 : 0;
                    break;
                }
                if (at + 1 < word.size() && word[at + 1] == u'=')
                    break;
            }
        }
    }
    return kinds;
}

void readInputs(const QCommandLineParser& parser, const QStringList& arguments, BatchOptions& options)
{
    const QStringList files = parser.positionalArguments();
    const QStringList addresses = parser.values(u"address"_s);
    qsizetype file = 0;
    qsizetype address = 0;
    for (const BatchOptions::Input::Kind kind : inputOrder(arguments)) {
        QString text;
        if (kind == BatchOptions::Input::Kind::File)
            text = files.value(file++);
        else if (kind == BatchOptions::Input::Kind::Address)
            text = addresses.value(address++);
        options.inputs.push_back({ kind, text });
    }
}

// The parser's complaint in the tool's words, the option named as given.
QString usageError(const QCommandLineParser& parser, const QStringList& arguments)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString longForm = u"--"_s + unknown.front();
        const bool givenLong = unknown.front().size() > 1
            || std::any_of(arguments.begin(), arguments.end(), [&](const QString& word) {
                                   return word == longForm || word.startsWith(longForm + u'=');
                               });
        return u"unknown option '"_s + (givenLong ? longForm : u'-' + unknown.front()) + u'\'';
    }
    // Qt names the option as given, in quotes.
    static const QRegularExpression quoted(u"'(.*)'"_s);
    const QString text = parser.errorText();
    const QString name = quoted.match(text).captured(1);
    if (text.startsWith(u"Missing value"))
        return u"option '"_s + name + u"' needs a value"_s;
    if (text.startsWith(u"Unexpected value"))
        return u"option '"_s + name + u"' takes no value"_s;
    return text;
}

QString checkCombination(const BatchOptions& options)
{
    if (options.help || options.version)
        return {};
    if (options.decode && options.style == MapIP::TextStyle::Rfc5952)
        return u"--rfc5952 is the style of IPv6 text written; --decode writes IPv4 addresses"_s;
    if (options.decode && options.expand)
        return u"--expand turns IPv4 prefixes and ranges into addresses; --decode reads IPv6 rows"_s;
    if (options.format->needsFile && options.writesToStandardOutput())
        return u"the "_s + options.format->name.toString()
            + u" format needs an output file (-o FILE); it is not written "
              u"to standard output"_s;
    return {};
}

} // namespace

ParsedArguments parseBatchArguments(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const OptionRow& option : BatchOptionTable)
        parser.addOption(commandLineOption(option));

    ParsedArguments parsed;
    BatchOptions& options = parsed.options;
    if (!parser.parse(QStringList { u"quadrix-batch"_s } + arguments)) {
        parsed.error = usageError(parser, arguments);
        return parsed;
    }
    for (const auto read : { readFormat, readOutput, readTicks, readEmbedding }) {
        parsed.error = read(parser, options);
        if (!parsed.error.isEmpty())
            return parsed;
    }
    readInputs(parser, arguments, options);
    options.style = parser.isSet(u"rfc5952"_s) ? MapIP::TextStyle::Rfc5952 : MapIP::TextStyle::Program;
    options.settings.csvSafe = parser.isSet(u"csv-safe"_s);
    options.decode = parser.isSet(u"decode"_s);
    options.expand = parser.isSet(u"expand"_s);
    options.settings.reverseDns = parser.isSet(u"reverse-dns"_s);
    options.help = parser.isSet(u"help"_s);
    options.version = parser.isSet(u"version"_s);
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
