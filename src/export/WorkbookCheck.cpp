#include "WorkbookCheck.h"

#include "shell/AppError.h"

#include <QByteArray>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

using namespace Qt::StringLiterals;

namespace {

constexpr std::string_view SheetName = "xl/worksheets/sheet1.xml";
constexpr std::string_view RowStart = "<row ";
constexpr std::string_view SheetEnd = "</worksheet>";
constexpr qsizetype ChunkBytes = 256 * 1024;

// Where the sheet's compressed bytes lie, and what they must inflate to.
struct Entry
{
    quint64 dataOffset = 0;
    quint64 compressedSize = 0;
    quint64 size = 0;
    quint32 crc = 0;
    int method = 0;
};

class Reader
{
public:
    Reader(int fd, const QString& name)
        : m_fd(fd)
        , m_name(name)
    {
    }

    [[noreturn]] void fail(const QString& why) const
    {
        throw AppError(u"Cannot save "_s + m_name + u": the workbook came out incomplete ("_s + why + u')');
    }

    QByteArray read(quint64 offset, qsizetype length) const
    {
        QByteArray bytes(length, Qt::Uninitialized);
        qsizetype got = 0;
        while (got < length) {
            const ssize_t n
                = ::pread(m_fd, bytes.data() + got, size_t(length - got), off_t(offset + quint64(got)));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw AppError(u"Cannot read back "_s + m_name + u": "_s
                               + QString::fromLocal8Bit(std::strerror(errno)));
            if (n == 0)
                fail(u"it ends early"_s);
            got += n;
        }
        return bytes;
    }

    Entry findSheet() const;
    void inflateSheet(const Entry& entry, qsizetype expectedRows) const;

private:
    int m_fd;
    const QString& m_name;
};

quint32 little(const QByteArray& bytes, qsizetype at, int width)
{
    quint32 value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

Entry Reader::findSheet() const
{
    struct stat status
    {
    };
    if (::fstat(m_fd, &status) != 0 || status.st_size < 22)
        fail(u"no zip directory"_s);
    const quint64 size = quint64(status.st_size);
    const qsizetype tailLength = qsizetype(std::min<quint64>(size, 22 + 65535));
    const QByteArray tail = read(size - quint64(tailLength), tailLength);
    qsizetype end = tail.lastIndexOf(QByteArrayView("PK\x05\x06", 4));
    if (end < 0 || end + 22 > tail.size())
        fail(u"no zip directory"_s);
    const quint32 directorySize = little(tail, end + 12, 4);
    const quint32 directoryOffset = little(tail, end + 16, 4);
    if (quint64(directoryOffset) + directorySize > size)
        fail(u"a broken zip directory"_s);
    const QByteArray directory = read(directoryOffset, qsizetype(directorySize));
    for (qsizetype at = 0; at + 46 <= directory.size();) {
        if (little(directory, at, 4) != 0x02014b50)
            fail(u"a broken zip directory"_s);
        const qsizetype nameLength = little(directory, at + 28, 2);
        const qsizetype skip
            = 46 + nameLength + little(directory, at + 30, 2) + little(directory, at + 32, 2);
        if (at + 46 + nameLength > directory.size())
            fail(u"a broken zip directory"_s);
        if (std::string_view(directory.constData() + at + 46, size_t(nameLength)) == SheetName) {
            Entry entry;
            entry.method = int(little(directory, at + 10, 2));
            entry.crc = little(directory, at + 16, 4);
            entry.compressedSize = little(directory, at + 20, 4);
            entry.size = little(directory, at + 24, 4);
            const quint32 local = little(directory, at + 42, 4);
            const QByteArray header = read(local, 30);
            if (little(header, 0, 4) != 0x04034b50)
                fail(u"a broken sheet entry"_s);
            entry.dataOffset = local + 30 + little(header, 26, 2) + little(header, 28, 2);
            return entry;
        }
        at += skip;
    }
    fail(u"no sheet"_s);
}

void Reader::inflateSheet(const Entry& entry, qsizetype expectedRows) const
{
    if (entry.method != Z_DEFLATED)
        fail(u"a sheet stored in an unknown way"_s);
    z_stream stream {};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        fail(u"the sheet cannot be unpacked"_s);
    struct End
    {
        z_stream& stream;
        ~End() { inflateEnd(&stream); }
    } end { stream };

    QByteArray out(ChunkBytes + qsizetype(RowStart.size()), Qt::Uninitialized);
    qsizetype carry = 0; // the last bytes of the chunk before, for a match across the edge
    qsizetype rows = 0;
    uLong crc = crc32(0, nullptr, 0);
    std::string tail;
    quint64 offset = entry.dataOffset;
    quint64 left = entry.compressedSize;
    int status = Z_OK;
    QByteArray in;
    while (status != Z_STREAM_END) {
        if (stream.avail_in == 0) {
            if (left == 0)
                fail(u"the sheet ends early"_s);
            in = read(offset, qsizetype(std::min<quint64>(left, ChunkBytes)));
            offset += quint64(in.size());
            left -= quint64(in.size());
            stream.next_in = reinterpret_cast<Bytef*>(in.data());
            stream.avail_in = uInt(in.size());
        }
        Bytef* const start = reinterpret_cast<Bytef*>(out.data() + carry);
        stream.next_out = start;
        stream.avail_out = uInt(ChunkBytes);
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            fail(u"the sheet does not unpack"_s);
        const qsizetype produced = qsizetype(stream.next_out - start);
        crc = crc32(crc, start, uInt(produced));
        const std::string_view text(out.constData(), size_t(carry + produced));
        for (size_t at = text.find(RowStart); at != std::string_view::npos; at = text.find(RowStart, at + 1))
            ++rows;
        tail.append(text.substr(size_t(carry)));
        if (tail.size() > SheetEnd.size() * 4)
            tail.erase(0, tail.size() - SheetEnd.size() * 2);
        // "<row " cannot overlap itself, so fewer bytes than it never hold a
        // match already counted.
        carry = std::min<qsizetype>(qsizetype(RowStart.size()) - 1, qsizetype(text.size()));
        std::memmove(out.data(), text.data() + text.size() - size_t(carry), size_t(carry));
    }
    if (stream.total_out != entry.size || crc != entry.crc)
        fail(u"the sheet's size or checksum is wrong"_s);
    while (!tail.empty() && std::isspace(static_cast<unsigned char>(tail.back())))
        tail.pop_back();
    if (!tail.ends_with(SheetEnd))
        fail(u"the sheet is cut short"_s);
    if (rows != expectedRows)
        fail(u"%1 rows in the sheet, %2 written"_s.arg(rows).arg(expectedRows));
}

} // namespace

void checkWorkbook(int fd, qsizetype expectedRows, const QString& name)
{
    const Reader reader(fd, name);
    reader.inflateSheet(reader.findSheet(), expectedRows);
}
