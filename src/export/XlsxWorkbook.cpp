#include "XlsxWorkbook.h"

#include "FileReplacement.h"
#include "SpreadsheetExport.h"
#include "ZipWriter.h"
#include "shell/AppError.h"

#include <algorithm>
#include <charconv>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// The fixed parts packed at zlib's default level; the sheet, which is nearly
// all of the file, at the fastest, which packs a sheet of addresses several
// times as fast for a file about half as large again.
constexpr int PartLevel = 6;
constexpr int SheetLevel = 1;
// The sheet's XML is packed in blocks of about this size.
constexpr qsizetype SheetBlock = 256 * 1024;

// How much of the file is written before its writeback is started, so that
// the sync at the end waits for the last of it only.
constexpr std::uint64_t WritebackBytes = 8 * 1024 * 1024;

constexpr const char* SheetPart = "xl/worksheets/sheet1.xml";

constexpr QByteArrayView ContentTypes
    = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
      R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
      R"(<Default Extension="xml" ContentType="application/xml"/>)"
      R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
      R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
      R"(<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)"
      R"(</Types>)";

constexpr QByteArrayView PackageRelationships
    = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
      R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
      R"(</Relationships>)";

constexpr QByteArrayView Workbook
    = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
      R"(<sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>)";

constexpr QByteArrayView WorkbookRelationships
    = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
      R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
      R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)"
      R"(</Relationships>)";

// One font, Calibri 11, as spreadsheets start a new workbook; the column
// widths below are measured in its digits.
constexpr QByteArrayView Styles
    = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
      R"(<fonts count="1"><font><sz val="11"/><name val="Calibri"/><family val="2"/></font></fonts>)"
      R"(<fills count="2"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill></fills>)"
      R"(<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>)"
      R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)"
      R"(<cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs>)"
      R"(<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles>)"
      R"(</styleSheet>)";

constexpr QByteArrayView SheetStart = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
                                      R"(<sheetFormatPr defaultRowHeight="15"/>)";

// A width in characters as the file gives it: whole pixels of a 7-pixel
// digit with 5 pixels of padding, in 256ths of a character.
double fileWidth(qsizetype characters)
{
    const double pixels = std::floor(double(characters) * 7 + 0.5) + 5;
    return std::floor(pixels / 7 * 256) / 256;
}

char* writeNumber(char* out, qint64 number)
{
    return std::to_chars(out, out + 20, number).ptr;
}

// A column's letters: 1 is A, 27 is AA, 16384 is XFD.
char* writeColumnName(char* out, int column)
{
    char letters[4];
    int count = 0;
    for (; column > 0; column = (column - 1) / 26)
        letters[count++] = char('A' + (column - 1) % 26);
    while (count > 0)
        *out++ = letters[--count];
    return out;
}

template<size_t N> char* writeLiteral(char* out, const char (&text)[N])
{
    return std::copy_n(text, N - 1, out);
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

char* writeEscape(char* out, char16_t unit)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    *out++ = '_';
    *out++ = 'x';
    for (int shift = 12; shift >= 0; shift -= 4)
        *out++ = Hex[(unit >> shift) & 0xF];
    *out++ = '_';
    return out;
}

// The text as the sheet's XML holds it, in UTF-8; no unit takes more than
// an escape's seven bytes.
char* writeCellText(char* to, QStringView text)
{
    const char16_t* from = text.utf16();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = from[i];
        if (unit < 0x80) {
            switch (unit) {
            case u'&':
                to = writeLiteral(to, "&amp;");
                break;
            case u'<':
                to = writeLiteral(to, "&lt;");
                break;
            case u'>':
                to = writeLiteral(to, "&gt;");
                break;
            case u'_':
                // Keeps a "_x" of the text from being read as an escape.
                if (i + 1 < size && (from[i + 1] == u'x' || from[i + 1] == u'X'))
                    to = writeEscape(to, unit);
                else
                    *to++ = '_';
                break;
            default:
                // XML keeps TAB and LF; a CR would be read as a line end, the
                // other controls not at all.
                if (unit < 0x20 && unit != u'\t' && unit != u'\n')
                    to = writeEscape(to, unit);
                else
                    *to++ = char(unit);
            }
        } else if (unit < 0x800) {
            *to++ = char(0xC0 | (unit >> 6));
            *to++ = char(0x80 | (unit & 0x3F));
        } else if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(from[i + 1])) {
            const char32_t code = QChar::surrogateToUcs4(unit, from[++i]);
            *to++ = char(0xF0 | (code >> 18));
            *to++ = char(0x80 | ((code >> 12) & 0x3F));
            *to++ = char(0x80 | ((code >> 6) & 0x3F));
            *to++ = char(0x80 | (code & 0x3F));
        } else if (QChar::isSurrogate(unit) || unit == 0xFFFE || unit == 0xFFFF) {
            to = writeEscape(to, unit);
        } else {
            *to++ = char(0xE0 | (unit >> 12));
            *to++ = char(0x80 | ((unit >> 6) & 0x3F));
            *to++ = char(0x80 | (unit & 0x3F));
        }
    }
    return to;
}

void refuseIfNotStorable(QStringView text)
{
    if (text.size() > XlsxWorkbook::MaxCellLength)
        throw CellRefused(u"%1 characters, more than the %2 a cell holds"_s.arg(text.size())
                              .arg(XlsxWorkbook::MaxCellLength));
    if (text.contains(QChar(u'\0')))
        throw CellRefused(u"it holds a NUL character, which a cell cannot hold"_s);
}

} // namespace

XlsxWorkbook::XlsxWorkbook(const QString& path)
    : m_path(path)
    , m_file(std::make_unique<FileReplacement>(path, true))
    , m_zip(std::make_unique<ZipWriter>(m_file->descriptor(), path))
{
    m_zip->addEntry("[Content_Types].xml", ContentTypes, PartLevel);
    m_zip->addEntry("_rels/.rels", PackageRelationships, PartLevel);
    m_zip->addEntry("xl/workbook.xml", Workbook, PartLevel);
    m_zip->addEntry("xl/_rels/workbook.xml.rels", WorkbookRelationships, PartLevel);
    m_zip->addEntry("xl/styles.xml", Styles, PartLevel);
    m_pending.reserve(SheetBlock + 64 * 1024);
}

// A workbook never made visible is dropped: the zip first, then the working
// file, without touching the path.
XlsxWorkbook::~XlsxWorkbook() = default;

void XlsxWorkbook::ensureWritable() const
{
    if (!m_failure.isEmpty())
        throw AppError(m_failure);
    if (m_finished)
        throw AppError(u"The workbook has already been written"_s);
}

// A failure of the file leaves nothing to go on with: later calls report it
// again instead of writing after a gap.
template<typename Step> void XlsxWorkbook::guarded(Step step)
{
    try {
        step();
    } catch (const AppError& error) {
        m_failure = error.description();
        m_zip.reset();
        m_file->abandon();
        throw;
    }
}

void XlsxWorkbook::setColumnWidths(const std::vector<qsizetype>& longestTexts)
{
    ensureWritable();
    if (m_sheetBegun)
        throw AppError(u"The columns' widths come before the cells of a workbook"_s);
    m_widths = longestTexts;
    m_widths.resize(std::min(m_widths.size(), size_t(MaxColumns)));
}

void XlsxWorkbook::beginSheet()
{
    m_sheetBegun = true;
    guarded([this] { m_zip->beginEntry(SheetPart, SheetLevel); });
    m_pending.append(SheetStart);
    bool anyWidth = false;
    for (size_t column = 0; column < m_widths.size(); ++column) {
        if (m_widths[column] <= 0)
            continue;
        m_pending.append(anyWidth ? "" : "<cols>");
        anyWidth = true;
        const QByteArray number = QByteArray::number(qulonglong(column + 1));
        const qsizetype characters = std::min(m_widths[column] + 1, MaxColumnWidth);
        m_pending.append("<col min=\"" + number + "\" max=\"" + number + "\" width=\""
                         + QByteArray::number(fileWidth(characters), 'g', 16) + "\" customWidth=\"1\"/>");
    }
    if (anyWidth)
        m_pending.append("</cols>");
    m_pending.append("<sheetData>");
}

void XlsxWorkbook::flush()
{
    guarded([this] { m_zip->write(m_pending); });
    // Keeps its memory for the next block.
    m_pending.resize(0);
    if (m_zip->size() - m_submitted >= WritebackBytes) {
        m_submitted = m_zip->size();
        m_file->startWriteback();
    }
}

void XlsxWorkbook::setCellText(qsizetype row, int column, QStringView text)
{
    ensureWritable();
    if (row < 1 || row > MaxRows || column < 1 || column > MaxColumns)
        throw AppError(u"A sheet has no cell at row "_s + QString::number(row) + u", column "_s
                       + QString::number(column));
    if (row < m_lastRow || (row == m_lastRow && column <= m_lastColumn))
        throw AppError(u"Row %1, column %2 comes after row %3, column %4; a workbook's cells are written "
                       u"in order"_s.arg(row)
                           .arg(column)
                           .arg(m_lastRow)
                           .arg(m_lastColumn));
    refuseIfNotStorable(text);
    if (!m_sheetBegun)
        beginSheet();
    // The most the cell's XML takes: its row's tags, the cell's tags with
    // its reference, and the text.
    const qsizetype start = m_pending.size();
    m_pending.resize(start + 128 + 7 * text.size());
    char* to = m_pending.data() + start;
    if (row != m_lastRow) {
        if (m_lastRow > 0)
            to = writeLiteral(to, "</row>");
        to = writeLiteral(to, "<row r=\"");
        to = writeNumber(to, row);
        to = writeLiteral(to, "\">");
        m_lastRow = row;
        m_lastColumn = 0;
    }
    // A cell right of the last one needs no reference: readers place it there.
    to = writeLiteral(to, "<c ");
    if (column != m_lastColumn + 1) {
        to = writeLiteral(to, "r=\"");
        to = writeColumnName(to, column);
        to = writeNumber(to, row);
        to = writeLiteral(to, "\" ");
    }
    m_lastColumn = column;
    const bool keepBlanks = !text.isEmpty() && (isBlank(text.front()) || isBlank(text.back()));
    to = keepBlanks ? writeLiteral(to, R"(t="inlineStr"><is><t xml:space="preserve">)")
                    : writeLiteral(to, R"(t="inlineStr"><is><t>)");
    to = writeCellText(to, text);
    to = writeLiteral(to, "</t></is></c>");
    m_pending.truncate(to - m_pending.constData());
    if (m_pending.size() >= SheetBlock)
        flush();
}

void XlsxWorkbook::autofitColumns()
{
    // The widths went into the sheet before its first row; a failure of the
    // file is told by the step that met it and by makeVisible().
}

void XlsxWorkbook::makeVisible()
{
    if (!m_failure.isEmpty())
        throw AppError(m_failure);
    if (m_finished)
        return;
    if (!m_sheetBegun)
        beginSheet();
    if (m_lastRow > 0)
        m_pending.append("</row>");
    m_pending.append("</sheetData></worksheet>");
    flush();
    guarded([this] {
        m_zip->endEntry();
        m_zip->finish();
        m_zip.reset();
        m_file->commit();
    });
    m_finished = true;
}

bool writeWorkbookFile(const TableSource& table, const QString& path, Yielder& yielder)
{
    XlsxWorkbook workbook(path);
    return fillWorkbook(table, workbook, yielder);
}
