#include "OutputFormats.h"

#include "ClipboardText.h"
#include "ExportTarget.h"
#include "ListModel.h"
#include "ResultsTable.h"
#include "TableFormats.h"
#include "TsvFormat.h"
#include "XlsxWorkbook.h"
#include "shell/AppError.h"
#include "shell/Yielder.h"

#include <QBuffer>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

using Encoding = EncodedBlocks::Encoding;

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

// The rows a table of the text file or the clipboard may be given by an
// expansion: a /8, about 1.5 GB of table and text.
constexpr quint64 TableRowLimit = quint64(1) << 24;
constexpr quint64 SheetRows = 1048576;

const OutputFormat Formats[] = {
    { u"text", u"the column-aligned text file, as \"Save Results As Text File\" writes it (the default)",
      Encoding::AnsiCodePage, false, nullptr, nullptr, nullptr, std::nullopt, TableRowLimit, true },
    { u"clipboard", u"the text \"Copy Results To Clipboard\" gives", Encoding::AnsiCodePage, false, nullptr,
      writeClipboardText, nullptr, std::nullopt, TableRowLimit },
    { u"tsv",
      u"one line per row: the row and its four forms separated by TABs, no padding, ending in LF; written as "
      u"rows are read. In a field, backslash, TAB, LF and CR are written \\\\, \\t, \\n and \\r (as "
      u"PostgreSQL's text COPY format does)",
      Encoding::AnsiCodePage, false, openTsvStream, nullptr, nullptr, Expansion::StreamFormat::Tsv },
    { u"xlsx", u"the workbook of the spreadsheet export (needs -o FILE)", Encoding::Utf8, true, nullptr,
      nullptr, writeWorkbook, std::nullopt, SheetRows - 1 },
    { u"csv",
      u"RFC 4180 CSV: a caption line, then the row and its forms; quoted where needed, lines ending in CR "
      u"LF. Fields are written exactly as they are, so a spreadsheet that opens the file may run a row "
      u"that starts with \"=\" as a formula (see --csv-safe)",
      Encoding::Utf8, false, nullptr, writeCsvFields, nullptr, Expansion::StreamFormat::Csv },
    { u"jsonl",
      u"JSON Lines: an object per row, keyed original, full, shorthand, dot_full and dot_shorthand; a form "
      u"that failed is null",
      Encoding::Utf8, false, nullptr, writeJsonObjects, nullptr, Expansion::StreamFormat::JsonLines },
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

Expansion::KeptRowWriter keptRowWriter(const OutputFormat& format, const MapIP::ConversionOptions& options,
                                       const OutputSettings& settings)
{
    // The row goes through the format's own writer as a table of one row,
    // into memory; for CSV without the caption line, which the stream
    // writes once. Kept rows are few beside the addresses an expansion
    // makes, so a table each costs little.
    return [&format, &options, settings](QStringView row, QByteArray& out) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        ExportTarget target(buffer, u"memory"_s);
        try {
            target.create();
            EncodedBlocks blocks(target, format.encoding);
            if (format.openStream) {
                format.openStream(blocks, settings)->write(MapIP::RowConversion(row, options));
            } else if (format.writeEncoded) {
                ListModel table(ListModel::CheckBoxes::OnEveryRow);
                ResultsTable::apply(table,
                                    { ResultsTable::Direction::Convert, options, {}, settings.reverseDns });
                const qsizetype index = table.appendRow(row);
                table.deriveSubItems(index);
                table.setChecked(index, true);
                NoYield yielder;
                format.writeEncoded(table, yielder, blocks, settings);
            }
            blocks.flush();
        } catch (const AppError&) {
            // Memory takes every byte; nothing to report.
        }
        out = buffer.data();
        if (format.expansion == Expansion::StreamFormat::Csv)
            out.remove(0, out.indexOf("\r\n") + 2);
    };
}
