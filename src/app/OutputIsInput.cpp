#include "OutputIsInput.h"

#include <QFile>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// A regular file, as the system knows it whatever its name.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;

    bool operator==(const FileIdentity&) const = default;
};

// Only regular files count: a terminal or a pipe on both sides is common and
// harmless, a file read while it is written may grow without end.
std::optional<FileIdentity> regularFileIdentity(const struct stat& status)
{
    if (!S_ISREG(status.st_mode))
        return std::nullopt;
    return FileIdentity { status.st_dev, status.st_ino };
}

std::optional<FileIdentity> identityOfPath(const QString& path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return regularFileIdentity(status);
}

std::optional<FileIdentity> identityOfDevice(QIODevice& device)
{
    const auto* file = qobject_cast<QFileDevice*>(&device);
    struct stat status = {};
    if (!file || file->handle() < 0 || ::fstat(file->handle(), &status) != 0)
        return std::nullopt;
    return regularFileIdentity(status);
}

} // namespace

std::optional<QString> inputThatIsTheOutput(const BatchOptions& options, QIODevice& input, QIODevice& output)
{
    const std::optional<FileIdentity> written
        = options.writesToStandardOutput() ? identityOfDevice(output) : identityOfPath(options.output);
    if (!written)
        return std::nullopt;
    const QString standardInput = u"standard input"_s;
    if (options.inputs.empty())
        return identityOfDevice(input) == written ? std::optional(standardInput) : std::nullopt;
    for (const BatchOptions::Input& source : options.inputs) {
        if (source.kind != BatchOptions::Input::Kind::File)
            continue;
        if (source.text == u"-") {
            if (identityOfDevice(input) == written)
                return standardInput;
        } else if (identityOfPath(source.text) == written) {
            return u'"' + source.text + u'"';
        }
    }
    return std::nullopt;
}
