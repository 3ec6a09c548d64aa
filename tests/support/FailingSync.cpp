// Loaded with LD_PRELOAD into a program under test: while QUADRIX_FAIL_SYNC
// is set, every fsync and fdatasync fails with EIO, as on a disk that lost
// the bytes; QUADRIX_FAIL_FOLDER_SYNC fails only those of folders, and
// QUADRIX_FAIL_FOLDER_OPEN fails opening a folder (O_DIRECTORY) with EIO;
// while QUADRIX_NO_TMPFILE is set, unnamed files (O_TMPFILE) are refused
// with EOPNOTSUPP, as on a file system without them; QUADRIX_FAIL_STAT names
// a path whose stat fails with EIO, as on a disk that cannot be read. Without
// these the calls pass through to the C library.

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

using SyncFunction = int (*)(int);

int failOrPass(const char* name, int fd)
{
    struct stat status
    {
    };
    const bool folder = ::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode);
    if (std::getenv("QUADRIX_FAIL_SYNC") || (folder && std::getenv("QUADRIX_FAIL_FOLDER_SYNC"))) {
        errno = EIO;
        return -1;
    }
    auto real = reinterpret_cast<SyncFunction>(dlsym(RTLD_NEXT, name));
    return real ? real(fd) : 0;
}

using OpenFunction = int (*)(const char*, int, ...);

int openOrRefuse(const char* name, const char* path, int flags, mode_t mode)
{
    if (std::getenv("QUADRIX_NO_TMPFILE") && (flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    // O_TMPFILE carries O_DIRECTORY too, but opens a file.
    const bool folder = (flags & O_DIRECTORY) == O_DIRECTORY && (flags & O_TMPFILE) != O_TMPFILE;
    if (folder && std::getenv("QUADRIX_FAIL_FOLDER_OPEN")) {
        errno = EIO;
        return -1;
    }
    auto real = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, name));
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    return real(path, flags, mode);
}

mode_t modeArgument(int flags, va_list arguments)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? mode_t(va_arg(arguments, int)) : 0;
}

} // namespace

extern "C" int open(const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openOrRefuse("open", path, flags, mode);
}

extern "C" int open64(const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openOrRefuse("open64", path, flags, mode);
}

extern "C" int fdatasync(int fd)
{
    return failOrPass("fdatasync", fd);
}

extern "C" int fsync(int fd)
{
    return failOrPass("fsync", fd);
}

namespace {

template<typename Status> int statOrFail(const char* name, const char* path, Status* status)
{
    const char* failing = std::getenv("QUADRIX_FAIL_STAT");
    if (failing && path && std::strcmp(failing, path) == 0) {
        errno = EIO;
        return -1;
    }
    using StatFunction = int (*)(const char*, Status*);
    auto real = reinterpret_cast<StatFunction>(dlsym(RTLD_NEXT, name));
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    return real(path, status);
}

} // namespace

extern "C" int stat(const char* path, struct stat* status)
{
    return statOrFail("stat", path, status);
}

extern "C" int stat64(const char* path, struct stat64* status)
{
    return statOrFail("stat64", path, status);
}
