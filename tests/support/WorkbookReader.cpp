#include "WorkbookReader.h"

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <minizip/unzip.h>

#include <set>

using namespace Qt::StringLiterals;

namespace {

const std::set<QString> Parts { u"[Content_Types].xml"_s, u"_rels/.rels"_s,
                                u"xl/workbook.xml"_s,     u"xl/_rels/workbook.xml.rels"_s,
                                u"xl/styles.xml"_s,       u"xl/worksheets/sheet1.xml"_s };
const QString MainType = u"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"_s;
const QString SheetType = u"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"_s;
const QString StylesType = u"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"_s;

struct Failure
{
    QString what;
};

// Every entry, by name, read through the central directory.
std::map<QString, QByteArray> readEntries(const QString& path)
{
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (!zip)
        throw Failure { u"no zip central directory"_s };
    std::map<QString, QByteArray> entries;
    try {
        unz_global_info64 global {};
        if (unzGetGlobalInfo64(zip, &global) != UNZ_OK)
            throw Failure { u"unreadable central directory"_s };
        int result = unzGoToFirstFile(zip);
        for (ZPOS64_T index = 0; index < global.number_entry; ++index) {
            if (result != UNZ_OK)
                throw Failure {
                    u"the directory lists %1 entries, %2 found"_s.arg(global.number_entry).arg(index)
                };
            char name[512] = {};
            unz_file_info64 info {};
            if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
                throw Failure { u"unreadable directory entry %1"_s.arg(index) };
            const QString entry = QString::fromUtf8(name);
            // Opening reads the local header, which must agree with the
            // directory; closing checks the checksum of all the data read.
            if (unzOpenCurrentFile(zip) != UNZ_OK)
                throw Failure { entry + u": its local header is not where the directory says"_s };
            QByteArray bytes;
            char block[65536];
            int got = 0;
            while ((got = unzReadCurrentFile(zip, block, sizeof block)) > 0)
                bytes.append(block, got);
            const int closed = unzCloseCurrentFile(zip);
            if (got < 0 || closed != UNZ_OK)
                throw Failure { entry + u": its data does not inflate to its checksum"_s };
            if (quint64(bytes.size()) != info.uncompressed_size)
                throw Failure { entry
                                + u": %1 bytes where the directory says %2"_s.arg(bytes.size())
                                      .arg(info.uncompressed_size) };
            if (!entries.emplace(entry, bytes).second)
                throw Failure { entry + u": listed twice"_s };
            result = unzGoToNextFile(zip);
        }
        if (result != UNZ_END_OF_LIST_OF_FILE)
            throw Failure { u"the directory goes on past its count"_s };
    } catch (...) {
        unzClose(zip);
        throw;
    }
    if (unzClose(zip) != UNZ_OK)
        throw Failure { u"the archive does not close"_s };
    return entries;
}

// The attributes of each element with this name, in a well-formed part.
QList<QXmlStreamAttributes> elements(const QString& part, const QByteArray& xml, QStringView name)
{
    QList<QXmlStreamAttributes> found;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == name)
            found.append(reader.attributes());
    }
    if (reader.hasError())
        throw Failure { part + u": "_s + reader.errorString() };
    return found;
}

void checkPackage(const std::map<QString, QByteArray>& entries)
{
    for (const QString& part : Parts) {
        if (!entries.count(part))
            throw Failure { part + u" is missing"_s };
    }
    for (const auto& [name, bytes] : entries)
        elements(name, bytes, u"none");

    // Every part has a type: its own, or its extension's.
    std::map<QString, QString> types;
    const QByteArray& contentTypes = entries.at(u"[Content_Types].xml"_s);
    for (const QXmlStreamAttributes& type : elements(u"[Content_Types].xml"_s, contentTypes, u"Default"))
        types[u"*."_s + type.value(u"Extension"_s).toString()] = type.value(u"ContentType"_s).toString();
    for (const QXmlStreamAttributes& type : elements(u"[Content_Types].xml"_s, contentTypes, u"Override"))
        types[type.value(u"PartName"_s).toString()] = type.value(u"ContentType"_s).toString();
    for (const auto& [name, bytes] : entries) {
        if (name != u"[Content_Types].xml" && !types.count(u'/' + name)
            && !types.count(u"*."_s + name.section(u'.', -1)))
            throw Failure { name + u" has no content type"_s };
    }
    if (types[u"/xl/workbook.xml"_s] != MainType || types[u"/xl/worksheets/sheet1.xml"_s] != SheetType
        || types[u"/xl/styles.xml"_s] != StylesType)
        throw Failure { u"[Content_Types].xml does not type the workbook, sheet and styles"_s };

    // The relationships lead to parts that are there, from the package to
    // the workbook and from it to the sheet and the styles.
    const auto targets = [&](const QString& part, const QString& folder) {
        QStringList found;
        for (const QXmlStreamAttributes& relation : elements(part, entries.at(part), u"Relationship")) {
            const QString target = folder + relation.value(u"Target"_s).toString();
            if (!entries.count(target))
                throw Failure { part + u" leads to "_s + target + u", which is missing"_s };
            found.append(target);
        }
        return found;
    };
    if (!targets(u"_rels/.rels"_s, QString()).contains(u"xl/workbook.xml"_s))
        throw Failure { u"_rels/.rels does not lead to the workbook"_s };
    const QStringList fromWorkbook = targets(u"xl/_rels/workbook.xml.rels"_s, u"xl/"_s);
    if (!fromWorkbook.contains(u"xl/styles.xml"_s) || !fromWorkbook.contains(u"xl/worksheets/sheet1.xml"_s))
        throw Failure { u"the workbook's relationships lead to "_s + fromWorkbook.join(u", "_s) };
    if (elements(u"xl/workbook.xml"_s, entries.at(u"xl/workbook.xml"_s), u"sheet").size() != 1)
        throw Failure { u"the workbook does not list one sheet"_s };
}

QString unescaped(QString text)
{
    static const QRegularExpression escape(u"_x([0-9A-Fa-f]{4})_"_s);
    QString result;
    qsizetype from = 0;
    for (auto match = escape.globalMatch(text); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        result += QStringView(text).sliced(from, found.capturedStart() - from);
        result += QChar(char16_t(found.captured(1).toUShort(nullptr, 16)));
        from = found.capturedEnd();
    }
    result += QStringView(text).sliced(from);
    return result;
}

// "BC12" as column 55, row 12; {0, 0} when it is no cell reference.
std::pair<int, qsizetype> parseReference(QStringView reference)
{
    int column = 0;
    qsizetype at = 0;
    while (at < reference.size() && reference[at] >= u'A' && reference[at] <= u'Z')
        column = column * 26 + (reference[at++].unicode() - u'A' + 1);
    bool ok = false;
    const qsizetype row = reference.sliced(at).toLongLong(&ok);
    return ok && at > 0 ? std::pair { column, row } : std::pair { 0, qsizetype(0) };
}

void readSheet(const QByteArray& xml, ReadWorkbook& workbook)
{
    QXmlStreamReader reader(xml);
    qsizetype row = 0;
    int column = 0;
    QString text;
    bool inText = false;
    bool preserve = false;
    qsizetype runStart = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = reader.name();
            const QXmlStreamAttributes attributes = reader.attributes();
            if (name == u"col") {
                const int first = attributes.value(u"min"_s).toInt();
                const int last = attributes.value(u"max"_s).toInt();
                for (int k = first; k <= last; ++k)
                    workbook.widths[k] = attributes.value(u"width"_s).toDouble();
            } else if (name == u"row") {
                const qsizetype next = attributes.value(u"r"_s).toLongLong();
                if (next <= row)
                    throw Failure { u"sheet row %1 after row %2"_s.arg(next).arg(row) };
                row = next;
                column = 0;
                while (workbook.rows.size() < row)
                    workbook.rows.append(QStringList());
            } else if (name == u"c") {
                // A cell without a reference is the one right of the last.
                const auto [cellColumn, cellRow] = attributes.hasAttribute(u"r"_s)
                    ? parseReference(attributes.value(u"r"_s))
                    : std::pair { column + 1, row };
                if (cellRow != row || cellColumn <= column)
                    throw Failure { u"cell "_s + attributes.value(u"r"_s).toString()
                                    + u" out of place in row "_s + QString::number(row) };
                if (attributes.value(u"t"_s) != u"inlineStr")
                    throw Failure { u"cell "_s + attributes.value(u"r"_s).toString()
                                    + u" is no inline string"_s };
                column = cellColumn;
                text.clear();
            } else if (name == u"t") {
                inText = true;
                preserve = attributes.value(u"xml:space"_s) == u"preserve";
                runStart = text.size();
            }
        } else if (token == QXmlStreamReader::Characters && inText) {
            text += reader.text();
        } else if (token == QXmlStreamReader::EndElement) {
            if (reader.name() == u"t") {
                inText = false;
                // Without xml:space="preserve" a spreadsheet drops the blanks
                // at either end of the text.
                if (!preserve) {
                    const auto isXmlBlank
                        = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
                    qsizetype end = text.size();
                    while (end > runStart && isXmlBlank(text[end - 1]))
                        --end;
                    qsizetype from = runStart;
                    while (from < end && isXmlBlank(text[from]))
                        ++from;
                    text = text.first(end).remove(runStart, from - runStart);
                }
            } else if (reader.name() == u"c") {
                QStringList& cells = workbook.rows[row - 1];
                while (cells.size() < column - 1)
                    cells.append(QString());
                cells.append(unescaped(text));
            }
        }
    }
    if (reader.hasError())
        throw Failure { u"the sheet: "_s + reader.errorString() };
}

} // namespace

ReadWorkbook readWorkbook(const QString& path)
{
    ReadWorkbook workbook;
    try {
        const std::map<QString, QByteArray> entries = readEntries(path);
        checkPackage(entries);
        readSheet(entries.at(u"xl/worksheets/sheet1.xml"_s), workbook);
    } catch (const Failure& failure) {
        workbook.problem = failure.what;
    }
    return workbook;
}
