#include "BatchOptions.h"
#include "BatchTool.h"
#include "TerminalProgress.h"

#include <QCoreApplication>
#include <QFile>

#include <memory>
#include <optional>

#include <cerrno>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A standard stream the caller closed (quadrix-batch >&-) keeps its number
// taken: otherwise the next descriptor the program opens (the event loop's
// own) gets it, and output meant for the stream goes there. A socket holds
// the place, as nothing can reopen it through /dev/stdout. Returns whether
// the stream was open.
bool holdClosedStream(int stream)
{
    if (::fcntl(stream, F_GETFD) != -1 || errno != EBADF)
        return true;
    const int holder = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (holder >= 0 && holder != stream) {
        ::dup3(holder, stream, O_CLOEXEC);
        ::close(holder);
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    const bool inputOpen = holdClosedStream(STDIN_FILENO);
    const bool outputOpen = holdClosedStream(STDOUT_FILENO);
    const bool errorsOpen = holdClosedStream(STDERR_FILENO);
    QCoreApplication app(argc, argv);
    // A closed stream stays a closed device: a read or write names it so.
    QFile input;
    QFile output;
    QFile errors;
    // Unbuffered: a write error shows at the write, and messages keep their
    // place among the output when both go to one terminal.
    if (inputOpen)
        (void)input.open(STDIN_FILENO, QIODevice::ReadOnly);
    if (outputOpen)
        (void)output.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (errorsOpen)
        (void)errors.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);

    // Checked on the bytes themselves: the arguments Qt hands on are already
    // decoded, and a name that could not be decoded names another file.
    if (const std::optional<QString> problem = undecodableArgument(argc, argv)) {
        writeBatchMessage(errors, *problem);
        return int(BatchStatus::Trouble);
    }

    std::unique_ptr<TerminalProgress> progress;
    if (::isatty(STDERR_FILENO) && qgetenv("TERM") != "dumb")
        progress = std::make_unique<TerminalProgress>(errors, steadyClockMs(), terminalWidth(STDERR_FILENO));

    return runBatchTool(QCoreApplication::arguments().mid(1),
                        BatchStreams { input, output, errors, progress.get() });
}
