#include "OutputFormats.h"

#include "ClipboardText.h"
#include "ExportTarget.h"
#include "TableFormats.h"
#include "TextFileWriter.h"
#include "TsvFormat.h"
#include "XlsxWorkbook.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

using Encoding = EncodedBlocks::Encoding;

void writeTextFile(const TableSource& table, const TableOutput& output)
{
    SaveListviewProperlySpaced(table, output.target, output.progress, output.yielder, output.reporter);
}

bool writeClipboardText(const TableSource& table, Yielder& yielder, EncodedBlocks& output,
                        const OutputSettings&)
{
    return forEachClipboardLine(table, yielder, [&output](QStringView line) { output.append(line); });
}

void writeWorkbook(const TableSource& table, const TableOutput& output)
{
    writeWorkbookFile(table, output.target.name(), output.yielder);
}

bool writeCsvFields(const TableSource& table, Yielder& yielder, EncodedBlocks& output,
                    const OutputSettings& settings)
{
    return writeCsv(table, yielder, output, settings.csvSafe ? CsvFields::FormulaSafe : CsvFields::Exact);
}

bool writeJsonObjects(const TableSource& table, Yielder& yielder, EncodedBlocks& output,
                      const OutputSettings&)
{
    return writeJsonLines(table, yielder, output);
}

const OutputFormat Formats[] = {
    { u"text", u"the column-aligned text file, as \"Save Results As Text File\" writes it (the default)",
      Encoding::AnsiCodePage, false, nullptr, nullptr, writeTextFile },
    { u"clipboard", u"the text \"Copy Results To Clipboard\" gives", Encoding::AnsiCodePage, false, nullptr,
      writeClipboardText, nullptr },
    { u"tsv",
      u"one line per row: the row and its four forms separated by TABs, no padding, ending in LF; written as "
      u"rows are read. In a field, backslash, TAB, LF and CR are written \\\\, \\t, \\n and \\r (as "
      u"PostgreSQL's text COPY format does)",
      Encoding::AnsiCodePage, false, openTsvStream, nullptr, nullptr },
    { u"xlsx", u"the workbook of the spreadsheet export (needs -o FILE)", Encoding::Utf8, true, nullptr,
      nullptr, writeWorkbook },
    { u"csv",
      u"RFC 4180 CSV: a caption line, then the row and its forms; quoted where needed, lines ending in CR "
      u"LF. Fields are written exactly as they are, so a spreadsheet that opens the file may run a row "
      u"that starts with \"=\" as a formula (see --csv-safe)",
      Encoding::Utf8, false, nullptr, writeCsvFields, nullptr },
    { u"jsonl",
      u"JSON Lines: an object per row, keyed original, full, shorthand, dot_full and dot_shorthand; a form "
      u"that failed is null",
      Encoding::Utf8, false, nullptr, writeJsonObjects, nullptr },
};

} // namespace

std::span<const OutputFormat> outputFormats()
{
    return Formats;
}

const OutputFormat& defaultOutputFormat()
{
    return Formats[0];
}

const OutputFormat* outputFormatNamed(QStringView name)
{
    for (const OutputFormat& format : Formats) {
        if (format.name == name)
            return &format;
    }
    return nullptr;
}

QString outputFormatNames()
{
    QStringList names;
    for (const OutputFormat& format : Formats)
        names.append(format.name.toString());
    return names.join(u", "_s);
}
