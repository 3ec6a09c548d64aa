#include "ListFileReader.h"

#include "conversion/CharacterSearch.h"
#include "shell/AnsiCodePage.h"
#include "shell/AppError.h"
#include "shell/PathHelpers.h"
#include "shell/PlatformServices.h"

#include <QFile>
#include <QFileInfo>

ListLineSplitter::ListLineSplitter(RowSink sink, FinalLineFeed finalLineFeed)
    : m_sink(std::move(sink))
    , m_finalLineFeed(finalLineFeed)
{
}

void ListLineSplitter::emitRow(QStringView tail)
{
    if (m_pending.isEmpty()) {
        m_sink(tail);
        return;
    }
    m_pending.append(tail);
    m_sink(m_pending);
    m_pending.clear();
}

void ListLineSplitter::feed(QStringView text)
{
    const char16_t* const end = text.utf16() + text.size();
    const char16_t* cursor = text.utf16();
    const char16_t* start = cursor;
    while (cursor != end) {
        if (m_afterCr) {
            m_afterCr = false;
            if (*cursor == u'\n') {
                start = ++cursor;
                continue;
            }
        }
        const char16_t* const lineEnd = findEither(cursor, end, u'\r', u'\n');
        if (lineEnd != cursor) {
            m_afterLf = false;
            m_lineOpen = true;
        }
        if (lineEnd == end)
            break;
        emitRow(QStringView(start, lineEnd));
        const char16_t c = *lineEnd;
        start = cursor = lineEnd + 1;
        m_afterCr = c == u'\r';
        m_afterLf = c == u'\n';
        // After an LF the line goes on, so the end of the text closes it
        // with a row (unless a final LF ends the last line).
        m_lineOpen = c == u'\n';
    }
    if (start != end)
        m_pending.append(QStringView(start, end));
}

void ListLineSplitter::finish()
{
    if (m_lineOpen && !(m_afterLf && m_finalLineFeed == FinalLineFeed::EndsLastLine))
        emitRow({});
    m_pending.clear();
    m_afterCr = false;
    m_afterLf = false;
    m_lineOpen = false;
}

void readListText(QStringView text, const RowSink& sink, FinalLineFeed finalLineFeed)
{
    ListLineSplitter splitter(sink, finalLineFeed);
    splitter.feed(text);
    splitter.finish();
}

void readListFile(const QString& path, const RowSink& sink)
{
    // A folder, a pipe or a device is not a list: a pipe could block for ever
    // and a device never end.
    if (!QFileInfo(path).isFile())
        throw AppError(QStringLiteral("Cannot read \"%1\": it is not a file").arg(path));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot open \"%1\": %2").arg(path, file.errorString()));

    readListRows(file, path, sink);
}

void readListRows(QIODevice& device, const QString& name, const RowSink& sink, FinalLineFeed finalLineFeed)
{
    constexpr qint64 ChunkSize = 1 << 20;
    QByteArray bytes(ChunkSize, Qt::Uninitialized);
    QString text;
    ListLineSplitter splitter(sink, finalLineFeed);
    while (true) {
        const qint64 read = device.read(bytes.data(), ChunkSize);
        if (read < 0)
            throw AppError(QStringLiteral("Cannot read \"%1\": %2").arg(name, device.errorString()));
        if (read == 0)
            break;
        // Emptied, not cleared: the text keeps its memory from piece to piece.
        text.resize(0);
        AnsiCodePage::decodeAppend(QByteArrayView(bytes.constData(), read), text);
        splitter.feed(text);
    }
    splitter.finish();
}

void LoadListviewFromTextFile(const RowSink& list, const QString& path, UserMessages& messages)
{
    if (!FileExists(path)) {
        messages.showMessage(QStringLiteral("File not found"));
        return;
    }
    readListFile(path, list);
}
