#include "FileReplacement.h"

#include "shell/AppError.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// As the kernel allows before it gives up with ELOOP.
constexpr int MaxLinkHops = 40;

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// Follows symbolic links to the file that is to be written, which need not
// exist yet. Returns the empty array with errno set when the chain is broken
// by a loop or an unreadable link.
QByteArray resolveLinks(QByteArray path)
{
    for (int hop = 0; hop < MaxLinkHops; ++hop) {
        struct stat status
        {
        };
        if (::lstat(path.constData(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
        QByteArray target(qsizetype(status.st_size > 0 ? status.st_size : 4096) + 1, '\0');
        const ssize_t length = ::readlink(path.constData(), target.data(), size_t(target.size()));
        if (length < 0 || length >= target.size())
            return {};
        target.truncate(length);
        path = target.startsWith('/') ? target : folderOf(path) + '/' + target;
    }
    errno = ELOOP;
    return {};
}

QByteArray hiddenNameIn(const QByteArray& folder)
{
    const quint32 random = QRandomGenerator::global()->generate() & 0xFFFFFF;
    return folder + "/.quadrix-" + QByteArray::number(random, 16).rightJustified(6, '0');
}

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Returns 0, or the errno of the write that failed. A write may take only
// part of the bytes (a file size limit, a pipe); the next one then tells why.
int writeAll(int fd, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const ssize_t written = ::write(fd, bytes.data(), size_t(bytes.size()));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written == 0 ? ENOSPC : errno;
        bytes = bytes.sliced(written);
    }
    return 0;
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

FileReplacement::FileReplacement(const QString& path, bool seekable)
    : m_name(path)
{
    if (path.isEmpty())
        throw AppError(u"Cannot create a file without a name"_s);
    const QByteArray given = QFile::encodeName(path);
    struct stat status
    {
    };
    m_existed = ::stat(given.constData(), &status) == 0;
    if (m_existed && S_ISDIR(status.st_mode))
        throw AppError(u"Cannot create "_s + m_name + u": it is a folder"_s);
    if (m_existed && !S_ISREG(status.st_mode)) {
        openDevice(given, seekable);
        return;
    }
    resolveTarget(given, status);
    openWorkingFile(folderOf(m_target));
}

void FileReplacement::openDevice(const QByteArray& given, bool seekable)
{
    // A device keeps its name; only its contents are ours to give. It is
    // opened by the name given, which also reaches a pipe behind /dev/stdout.
    const int device = ::open(given.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (device < 0)
        fail(u"Cannot create "_s, errno);
    if (!seekable) {
        m_fd = device;
        m_inPlace = true;
        return;
    }
    m_deviceFd = device;
    openWorkingFile(QFile::encodeName(QDir::tempPath()));
}

// The file the name stands for, through any links, and what the new file
// takes over from an old one there.
void FileReplacement::resolveTarget(const QByteArray& given, const struct stat& status)
{
    if (m_existed) {
        char* resolved = ::realpath(given.constData(), nullptr);
        if (!resolved)
            fail(u"Cannot create "_s, errno);
        m_target = resolved;
        std::free(resolved);
    } else {
        // A new file, or a link to one yet to be made.
        m_target = resolveLinks(given);
        if (m_target.isEmpty())
            fail(u"Cannot create "_s, errno);
    }
    if (m_existed) {
        if (::access(m_target.constData(), W_OK) != 0)
            throw AppError(u"Cannot create "_s + m_name + u": it is not writable"_s);
        m_mode = status.st_mode & 07777;
        m_owner = status.st_uid;
        m_group = status.st_gid;
    } else {
        m_mode = 0666 & ~currentUmask();
    }
}

FileReplacement::~FileReplacement()
{
    abandon();
}

void FileReplacement::fail(const QString& what, int error) const
{
    throw AppError(what + m_name + u": "_s + reason(error));
}

void FileReplacement::openWorkingFile(const QByteArray& folder)
{
    m_workingFolder = QFile::decodeName(folder);
    m_fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (m_fd >= 0)
        return;
    // Only a file system without unnamed files is a reason to name one.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        fail(u"Cannot create "_s, errno);
    QByteArray pattern = folder + "/.quadrix-XXXXXX";
    m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd < 0)
        fail(u"Cannot create "_s, errno);
    m_namedWorkingFile = pattern;
}

QString FileReplacement::reopenPath() const
{
    return u"/proc/self/fd/%1"_s.arg(m_fd);
}

void FileReplacement::write(QByteArrayView bytes)
{
    if (m_fd < 0)
        throw AppError(u"Cannot write "_s + m_name + u": it is not open"_s);
    const int error = writeAll(m_fd, bytes);
    if (error != 0)
        fail(u"Cannot write "_s, error);
}

void FileReplacement::commit()
{
    if (m_fd < 0)
        throw AppError(u"Cannot write "_s + m_name + u": it is not open"_s);
    try {
        if (m_inPlace) {
            const int fd = std::exchange(m_fd, -1);
            if (::close(fd) != 0)
                fail(u"Cannot write "_s, errno);
        } else if (m_deviceFd >= 0) {
            copyToDevice();
        } else {
            putInPlace();
        }
    } catch (...) {
        abandon();
        throw;
    }
    close();
}

void FileReplacement::putInPlace()
{
    // A sync that fails means the bytes may never reach the disk: the old
    // file must then stay.
    if (::fdatasync(m_fd) != 0)
        fail(u"Cannot save "_s, errno);
    if (m_existed && (m_owner != ::geteuid() || m_group != ::getegid())) {
        // Only a privileged process may give a file away; others keep theirs.
        if (::fchown(m_fd, m_owner, m_group) != 0 && errno != EPERM)
            fail(u"Cannot save "_s, errno);
    }
    if (::fchmod(m_fd, m_mode) != 0)
        fail(u"Cannot save "_s, errno);

    if (m_namedWorkingFile.isEmpty()) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        const bool linkedAsTarget = !m_existed
            && ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, m_target.constData(), AT_SYMLINK_FOLLOW) == 0;
        if (!linkedAsTarget) {
            // A link cannot replace a file; a rename can, from a name of our own.
            QByteArray hidden;
            for (int attempt = 1;; ++attempt) {
                hidden = hiddenNameIn(folderOf(m_target));
                if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, hidden.constData(), AT_SYMLINK_FOLLOW)
                    == 0)
                    break;
                if (errno != EEXIST || attempt == 100)
                    fail(u"Cannot save "_s, errno);
            }
            m_namedWorkingFile = hidden;
        }
    }
    if (!m_namedWorkingFile.isEmpty()) {
        if (::rename(m_namedWorkingFile.constData(), m_target.constData()) != 0)
            fail(u"Cannot save "_s, errno);
        m_namedWorkingFile.clear();
    }

    const int folder = ::open(folderOf(m_target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = folder >= 0 && ::fsync(folder) == 0;
    const int error = errno;
    if (folder >= 0)
        ::close(folder);
    if (!synced)
        fail(u"Cannot save "_s, error);
}

void FileReplacement::copyToDevice()
{
    if (::lseek(m_fd, 0, SEEK_SET) != 0)
        fail(u"Cannot write "_s, errno);
    const int device = m_deviceFd;
    QByteArray block(256 * 1024, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::read(m_fd, block.data(), size_t(block.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail(u"Cannot write "_s, errno);
        if (got == 0)
            break;
        const int error = writeAll(device, QByteArrayView(block.constData(), got));
        if (error != 0)
            fail(u"Cannot write "_s, error);
    }
    m_deviceFd = -1;
    if (::close(device) != 0)
        fail(u"Cannot write "_s, errno);
}

void FileReplacement::abandon()
{
    if (!m_namedWorkingFile.isEmpty())
        ::unlink(m_namedWorkingFile.constData());
    m_namedWorkingFile.clear();
    close();
}

void FileReplacement::close()
{
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    if (m_deviceFd >= 0)
        ::close(std::exchange(m_deviceFd, -1));
}
