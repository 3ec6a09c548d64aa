#include "FileReplacement.h"

#include "shell/AppError.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>

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

// How many bytes write() takes before it starts their writeback: a few
// milliseconds of a disk's time.
constexpr qint64 WritebackBytes = 8 * 1024 * 1024;

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

// A descriptor closed when it goes out of scope.
struct Descriptor
{
    explicit Descriptor(int descriptor)
        : fd(descriptor)
    {
    }
    ~Descriptor() { ::close(fd); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    const int fd;
};

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
    m_way = openWorkingFile(folderOf(m_target));
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
        m_way = Way::DeviceInPlace;
        return;
    }
    m_deviceFd = device;
    m_way = Way::DeviceByCopy;
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
        if (::access(m_target.constData(), W_OK) != 0) {
            if (errno == EACCES)
                throw AppError(u"Cannot create "_s + m_name + u": it is not writable"_s);
            failToCreate(errno, folderOf(m_target));
        }
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

// Names what stopped a file being made in `folder`: the system's reason
// alone would blame the file.
void FileReplacement::failToCreate(int error, const QByteArray& folder) const
{
    if (error == EROFS)
        throw AppError(u"Cannot create "_s + m_name + u": it is on a read-only file system"_s);
    const char* path = folder.constData();
    if (error == EACCES && ::access(path, F_OK) == 0 && ::access(path, W_OK | X_OK) != 0) {
        throw AppError(u"Cannot create "_s + m_name + u": the folder "_s
                       + QDir(QFile::decodeName(folder)).absolutePath() + u" is not writable"_s);
    }
    fail(u"Cannot create "_s, error);
}

FileReplacement::Way FileReplacement::openWorkingFile(const QByteArray& folder)
{
    m_fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (m_fd >= 0)
        return Way::UnnamedFile;
    // Only a file system without unnamed files is a reason to name one.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        failToCreate(errno, folder);
    QByteArray pattern = folder + "/.quadrix-XXXXXX";
    m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd < 0)
        failToCreate(errno, folder);
    m_namedWorkingFile = pattern;
    return Way::NamedFile;
}

void FileReplacement::write(QByteArrayView bytes)
{
    if (m_fd < 0)
        throw AppError(u"Cannot write "_s + m_name + u": it is not open"_s);
    const int error = writeAll(m_fd, bytes);
    if (error != 0)
        fail(u"Cannot write "_s, error);
    m_unsubmitted += bytes.size();
    if (m_unsubmitted >= WritebackBytes)
        startWriteback();
}

void FileReplacement::startWriteback()
{
    m_unsubmitted = 0;
    if (m_fd < 0 || m_way == Way::DeviceInPlace)
        return;
    // Only a head start: where the system cannot take it (EINVAL, ESPIPE),
    // or takes it and fails, commit()'s sync writes the bytes and its result
    // decides whether the file is saved.
    ::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

void FileReplacement::commit()
{
    if (m_fd < 0)
        throw AppError(u"Cannot write "_s + m_name + u": it is not open"_s);
    // Whatever happens, the replacement ends here; a named working file
    // still there was not put in place (or only fed a device).
    const auto end = qScopeGuard([this] { abandon(); });
    switch (m_way) {
    case Way::DeviceInPlace:
        closeDevice(std::exchange(m_fd, -1));
        break;
    case Way::DeviceByCopy:
        copyToDevice();
        closeDevice(std::exchange(m_deviceFd, -1));
        break;
    case Way::UnnamedFile: {
        settleOnDisk();
        const Descriptor folder(openTargetFolder());
        // A link cannot replace a file; a rename can, from a name of our own.
        if (m_existed || !linkAsNewTarget()) {
            linkUnderHiddenName();
            renameIntoPlace();
        }
        syncFolder(folder.fd);
        break;
    }
    case Way::NamedFile: {
        settleOnDisk();
        const Descriptor folder(openTargetFolder());
        renameIntoPlace();
        syncFolder(folder.fd);
        break;
    }
    }
}

void FileReplacement::closeDevice(int device)
{
    if (::close(device) != 0)
        fail(u"Cannot write "_s, errno);
}

void FileReplacement::copyToDevice()
{
    if (::lseek(m_fd, 0, SEEK_SET) != 0)
        fail(u"Cannot write "_s, errno);
    QByteArray block(256 * 1024, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::read(m_fd, block.data(), size_t(block.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail(u"Cannot write "_s, errno);
        if (got == 0)
            break;
        const int error = writeAll(m_deviceFd, QByteArrayView(block.constData(), got));
        if (error != 0)
            fail(u"Cannot write "_s, error);
    }
}

// The mode and owner are set first, so that the sync covers them with the
// bytes. A sync that fails means the bytes may never reach the disk: the old
// file must then stay.
void FileReplacement::settleOnDisk()
{
    if (m_existed && (m_owner != ::geteuid() || m_group != ::getegid())) {
        // Only a privileged process may give a file away; others keep theirs.
        if (::fchown(m_fd, m_owner, m_group) != 0 && errno != EPERM)
            fail(u"Cannot save "_s, errno);
    }
    if (::fchmod(m_fd, m_mode) != 0)
        fail(u"Cannot save "_s, errno);
    if (::fsync(m_fd) != 0)
        fail(u"Cannot save "_s, errno);
}

// Opened before any name changes: a folder that cannot be opened still
// leaves the old file in place.
int FileReplacement::openTargetFolder() const
{
    const int folder = ::open(folderOf(m_target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        fail(u"Cannot save "_s, errno);
    return folder;
}

bool FileReplacement::linkAsNewTarget() const
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
    return ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, m_target.constData(), AT_SYMLINK_FOLLOW) == 0;
}

void FileReplacement::linkUnderHiddenName()
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
    for (int attempt = 1;; ++attempt) {
        const QByteArray hidden = hiddenNameIn(folderOf(m_target));
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, hidden.constData(), AT_SYMLINK_FOLLOW) == 0) {
            m_namedWorkingFile = hidden;
            return;
        }
        if (errno != EEXIST || attempt == 100)
            fail(u"Cannot save "_s, errno);
    }
}

void FileReplacement::renameIntoPlace()
{
    if (::rename(m_namedWorkingFile.constData(), m_target.constData()) != 0)
        fail(u"Cannot save "_s, errno);
    m_namedWorkingFile.clear();
}

// The new file is in place by now; a folder that does not reach the disk
// may lose its name again in a crash, so the save is not reported as done,
// but neither as the old file kept.
void FileReplacement::syncFolder(int folder) const
{
    if (::fsync(folder) != 0) {
        throw AppError(m_name + u": the new file is in place, but its folder could not be synced ("_s
                       + reason(errno) + u"), so it may not survive a crash"_s);
    }
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
