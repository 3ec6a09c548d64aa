#include "BatchOptionTable.h"
#include "BatchOptions.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype Width = 79;
// Where an option's description starts, and where an item's does.
constexpr qsizetype DescriptionColumn = 25;
constexpr qsizetype ItemNameColumn = 27;
constexpr qsizetype ItemTextColumn = 38;

const QString Introduction = uR"(Usage: quadrix-batch [OPTION]... [FILE]...
Convert IPv4 dotted quads into their four IPv6 text forms, as the batch window
of Quadrix does, and write the results table.

Each FILE is a list file, read as the batch window reads it: a CR or a CR LF
ends a line, a bare LF splits one, nothing is trimmed or skipped, and every
byte is one windows-1252 character; only a line end at the very end of an
input ends the last line without adding an empty row. "-" is standard input.
Several files are read in order into one table. Arguments are always list
files; to convert an address given on the command line, use --address.
)"_s;

const QString InputNote = uR"(Rows from files, --address and --sample are added in command-line order.
Without any of them, rows are read from standard input.
)"_s;

const QString Failures = uR"(A row whose IPv6 full and shorthand forms fail to convert keeps those cells
empty, as in the window, and each failure is reported on standard error with
its row number, the row and the reason. When standard error is a terminal, a
progress bar shows there once the work takes longer than half a second.

Exit status:
  0  every row converted
  1  some rows failed to convert
  2  a usage error, or a file that could not be read or written (this wins
     over 1); the rows of the other files are still converted and written.
     Also: the output is an input file ("input file is output file"; nothing
     is written), an argument is not valid UTF-8, or memory ran out
)"_s;

struct Item
{
    QString name;
    QString text;
};

// The blocks --embedding names.
const Item Embeddings[] = {
    { u"compatible"_s, u"::/96, the IPv4-compatible block (default)"_s },
    { u"mapped"_s, u"::ffff:0:0/96, the IPv4-mapped block"_s },
    { u"nat64"_s, u"64:ff9b::/96, the NAT64 well-known prefix"_s },
    { u"PREFIX/N"_s,
      u"any other prefix of a NAT64 gateway, /32, /40, /48, /56, /64 or /96 (RFC 6052): "
      u"2001:db8:64::/96, 2001:db8:122::/48; below /96 the dot forms are not written"_s },
};

// `text` in lines that end before column Width, the first after `head`
// (padded to `column`, or on a line of its own when too long) and the others
// indented to `column`.
QString wrapped(const QString& head, qsizetype column, QStringView text)
{
    QString out = head;
    if (column > 0 && out.size() >= column)
        out += u'\n' + QString(column, u' ');
    else
        out = out.leftJustified(column);
    qsizetype lineStart = out.lastIndexOf(u'\n') + 1;
    bool lineEmpty = true;
    for (const QStringView word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (!lineEmpty && out.size() - lineStart + 1 + word.size() >= Width) {
            out += u'\n' + QString(column, u' ');
            lineStart = out.size() - column;
            lineEmpty = true;
        }
        if (!lineEmpty)
            out += u' ';
        out += word;
        lineEmpty = false;
    }
    return out + u'\n';
}

QString optionHead(const OptionRow& option)
{
    QString head
        = option.shortName.isEmpty() ? u"      "_s : u"  -"_s + option.shortName.toString() + u", "_s;
    head += u"--"_s + option.longName.toString();
    if (option.takesValue())
        head += u'=' + option.valueName.toString();
    return head;
}

QString itemsOf(OptionItems items)
{
    QString text;
    const auto add = [&text](const QString& name, QStringView description) {
        text += wrapped(QString(ItemNameColumn, u' ') + name, ItemTextColumn, description);
    };
    if (items == OptionItems::Formats) {
        for (const OutputFormat& format : outputFormats())
            add(format.name.toString(), format.description);
    } else if (items == OptionItems::Embeddings) {
        for (const Item& item : Embeddings)
            add(item.name, item.text);
    }
    return text;
}

QString section(OptionSection which, const QString& title)
{
    QString text = title.isEmpty() ? QString() : title + u'\n';
    for (const OptionRow& option : BatchOptionTable) {
        if (option.section == which)
            text
                += wrapped(optionHead(option), DescriptionColumn, option.description) + itemsOf(option.items);
    }
    return text;
}

// Which formats are in which encoding, from the table of formats.
QString encodings()
{
    QStringList singleByte;
    QStringList utf8;
    for (const OutputFormat& format : outputFormats()) {
        if (format.needsFile)
            continue;
        (format.encoding == EncodedBlocks::Encoding::Utf8 ? utf8 : singleByte).append(format.name.toString());
    }
    const auto listed = [](QStringList names) {
        const QString last = names.takeLast();
        return names.isEmpty() ? last : names.join(u", "_s) + u" and "_s + last;
    };
    return wrapped(
        {}, 0,
        u"The "_s + listed(singleByte)
            + u" outputs are windows-1252 text, as the text file is; a character it cannot hold is "
              u"written as \"?\". The "_s
            + listed(utf8) + u" outputs are UTF-8."_s);
}

} // namespace

QString batchHelpText()
{
    return Introduction + u'\n' + section(OptionSection::Input, u"Input:"_s) + InputNote + u'\n'
        + section(OptionSection::Output, u"Output:"_s) + u'\n' + section(OptionSection::Forms, u"Forms:"_s)
        + section(OptionSection::Other, {}) + u'\n' + encodings() + u'\n' + Failures;
}
