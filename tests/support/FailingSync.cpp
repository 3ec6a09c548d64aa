// Loaded with LD_PRELOAD into a program under test: while QUADRIX_FAIL_SYNC
// is set, every fsync and fdatasync fails with EIO, as on a disk that lost
// the bytes. Without it they pass through to the C library.

#include <cerrno>
#include <cstdlib>

#include <dlfcn.h>

namespace {

using SyncFunction = int (*)(int);

int failOrPass(const char* name, int fd)
{
    if (std::getenv("QUADRIX_FAIL_SYNC")) {
        errno = EIO;
        return -1;
    }
    auto real = reinterpret_cast<SyncFunction>(dlsym(RTLD_NEXT, name));
    return real ? real(fd) : 0;
}

} // namespace

extern "C" int fdatasync(int fd)
{
    return failOrPass("fdatasync", fd);
}

extern "C" int fsync(int fd)
{
    return failOrPass("fsync", fd);
}
