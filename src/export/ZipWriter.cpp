#include "ZipWriter.h"

#include "shell/AppError.h"

#include <minizip/zip.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// An entry without Zip64 records holds less than 4 GiB; spreadsheets read
// such archives everywhere.
constexpr std::uint64_t MaxEntrySize = 0xFFFFFFFFu;

using Output = ZipWriter::Output;

voidpf ZCALLBACK openOutput(voidpf opaque, const void*, int)
{
    return opaque;
}

uLong ZCALLBACK readOutput(voidpf, voidpf, void*, uLong)
{
    // The archive is only ever created, never read.
    return 0;
}

uLong ZCALLBACK writeOutput(voidpf, voidpf stream, const void* bytes, uLong size)
{
    auto& output = *static_cast<Output*>(stream);
    if (output.error != 0)
        return 0;
    const char* from = static_cast<const char*>(bytes);
    uLong done = 0;
    while (done < size) {
        const ssize_t written = ::pwrite(output.fd, from + done, size - done, off_t(output.position + done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            output.error = written == 0 ? ENOSPC : errno;
            break;
        }
        done += uLong(written);
    }
    output.position += done;
    output.end = std::max(output.end, output.position);
    return done;
}

ZPOS64_T ZCALLBACK tellOutput(voidpf, voidpf stream)
{
    return static_cast<Output*>(stream)->position;
}

long ZCALLBACK seekOutput(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto& output = *static_cast<Output*>(stream);
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        output.position = offset;
        return 0;
    case ZLIB_FILEFUNC_SEEK_CUR:
        output.position += offset;
        return 0;
    case ZLIB_FILEFUNC_SEEK_END:
        output.position = output.end + offset;
        return 0;
    default:
        return -1;
    }
}

int ZCALLBACK closeOutput(voidpf, voidpf)
{
    // The descriptor is the caller's.
    return 0;
}

int ZCALLBACK outputError(voidpf, voidpf stream)
{
    return static_cast<Output*>(stream)->error;
}

zip_fileinfo stampedNow()
{
    zip_fileinfo info {};
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    if (::localtime_r(&now, &local)) {
        info.tmz_date.tm_sec = uInt(local.tm_sec);
        info.tmz_date.tm_min = uInt(local.tm_min);
        info.tmz_date.tm_hour = uInt(local.tm_hour);
        info.tmz_date.tm_mday = uInt(local.tm_mday);
        info.tmz_date.tm_mon = uInt(local.tm_mon);
        info.tmz_date.tm_year = uInt(local.tm_year + 1900);
    }
    return info;
}

} // namespace

ZipWriter::ZipWriter(int fd, const QString& name)
    : m_name(name)
{
    m_output.fd = fd;
    zlib_filefunc64_def functions {};
    functions.zopen64_file = openOutput;
    functions.zread_file = readOutput;
    functions.zwrite_file = writeOutput;
    functions.ztell64_file = tellOutput;
    functions.zseek64_file = seekOutput;
    functions.zclose_file = closeOutput;
    functions.zerror_file = outputError;
    functions.opaque = &m_output;
    // The name is only handed to openOutput, which ignores it.
    m_zip = zipOpen2_64("", APPEND_STATUS_CREATE, nullptr, &functions);
    if (!m_zip)
        fail(ZIP_INTERNALERROR);
}

ZipWriter::~ZipWriter()
{
    // An archive given up: the library's memory goes, the file is the
    // caller's to drop.
    if (m_zip) {
        m_output.error = m_output.error != 0 ? m_output.error : ECANCELED;
        zipClose(m_zip, nullptr);
    }
}

void ZipWriter::fail(int result) const
{
    QString why;
    if (m_output.error != 0)
        why = QString::fromLocal8Bit(std::strerror(m_output.error));
    else if (result == ZIP_ERRNO && errno != 0)
        why = QString::fromLocal8Bit(std::strerror(errno));
    else
        why = u"the zip library failed (error %1)"_s.arg(result);
    throw AppError(u"Cannot save "_s + m_name + u": "_s + why);
}

void ZipWriter::beginEntry(const char* entryName, int level)
{
    if (!m_zip || m_inEntry)
        throw AppError(u"Cannot save "_s + m_name + u": an entry was begun out of order"_s);
    const zip_fileinfo info = stampedNow();
    errno = 0;
    const int result
        = zipOpenNewFileInZip3_64(m_zip, entryName, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, level,
                                  0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0, 0);
    if (result != ZIP_OK || m_output.error != 0)
        fail(result);
    m_inEntry = true;
    m_entrySize = 0;
}

void ZipWriter::write(QByteArrayView bytes)
{
    if (!m_inEntry)
        throw AppError(u"Cannot save "_s + m_name + u": bytes came outside an entry"_s);
    m_entrySize += std::uint64_t(bytes.size());
    if (m_entrySize > MaxEntrySize)
        throw AppError(u"Cannot save "_s + m_name
                       + u": a part of it would be larger than the 4 GB a "
                         u"workbook's part holds"_s);
    // zipWriteInFileInZip takes at most 4 GiB - 1 at once.
    while (!bytes.isEmpty()) {
        const qsizetype piece = std::min<qsizetype>(bytes.size(), 1 << 30);
        errno = 0;
        const int result = zipWriteInFileInZip(m_zip, bytes.data(), unsigned(piece));
        if (result != ZIP_OK || m_output.error != 0)
            fail(result);
        bytes = bytes.sliced(piece);
    }
}

void ZipWriter::endEntry()
{
    if (!m_inEntry)
        throw AppError(u"Cannot save "_s + m_name + u": an entry was ended out of order"_s);
    m_inEntry = false;
    errno = 0;
    const int result = zipCloseFileInZip(m_zip);
    if (result != ZIP_OK || m_output.error != 0)
        fail(result);
}

void ZipWriter::addEntry(const char* entryName, QByteArrayView bytes, int level)
{
    beginEntry(entryName, level);
    write(bytes);
    endEntry();
}

void ZipWriter::finish()
{
    if (!m_zip || m_inEntry)
        throw AppError(u"Cannot save "_s + m_name + u": the archive was finished out of order"_s);
    errno = 0;
    const int result = zipClose(std::exchange(m_zip, nullptr), nullptr);
    if (result != ZIP_OK || m_output.error != 0)
        fail(result);
    // The file must end where the archive ends: the directory at its end is
    // what every reader looks for first.
    struct stat status
    {
    };
    if (::fstat(m_output.fd, &status) != 0)
        fail(ZIP_ERRNO);
    if (std::uint64_t(status.st_size) != m_output.end) {
        throw AppError(
            u"Cannot save "_s + m_name
            + u": the file holds %1 bytes where the archive has %2"_s.arg(status.st_size).arg(m_output.end));
    }
}

std::uint64_t ZipWriter::size() const
{
    return m_output.end;
}
