#include "BatchOptions.h"
#include "BatchTool.h"
#include "TerminalProgress.h"

#include <QCoreApplication>
#include <QFile>

#include <memory>
#include <optional>

#include <unistd.h>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QFile input;
    QFile output;
    QFile errors;
    // Unbuffered: a write error shows at the write, and messages keep their
    // place among the output when both go to one terminal.
    (void)input.open(STDIN_FILENO, QIODevice::ReadOnly);
    (void)output.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
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
