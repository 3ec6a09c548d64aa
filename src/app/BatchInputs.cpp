#include "BatchInputs.h"

#include "TerminalProgress.h"
#include "export/BatchLists.h"
#include "shell/AppError.h"
#include "shell/PathHelpers.h"

#include <QFile>

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView StandardInput = u"standard input";

// How often, in rows, reading tells the progress bar how far it is.
constexpr qsizetype RowsPerProgressStep = 4096;

// True for a text such as 10.0.0.1: something meant as an address rather
// than a file.
bool looksLikeAddress(const QString& text)
{
    if (text.count(u'.') != 3)
        return false;
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c == u'.' || (c >= u'0' && c <= u'9'); });
}

} // namespace

BatchInputs::BatchInputs(QIODevice& standardInput, TerminalProgress* bar, Problem problem)
    : m_standardInput(standardInput)
    , m_bar(bar)
    , m_problem(std::move(problem))
{
}

void BatchInputs::read(const std::vector<BatchOptions::Input>& inputs, const RowSink& sink)
{
    if (inputs.empty()) {
        readDevice(m_standardInput, StandardInput.toString(), sink);
        return;
    }
    for (const BatchOptions::Input& input : inputs) {
        switch (input.kind) {
        case BatchOptions::Input::Kind::File:
            readFile(input.text, sink);
            break;
        case BatchOptions::Input::Kind::Address:
            sink(input.text);
            break;
        case BatchOptions::Input::Kind::Sample:
            for (const QString& row : BatchLists::SampleAddresses)
                sink(row);
            break;
        }
    }
}

void BatchInputs::readFile(const QString& path, const RowSink& sink)
{
    if (path == u"-") {
        readDevice(m_standardInput, StandardInput.toString(), sink);
        return;
    }
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        const int error = errno;
        // Only a name that leads nowhere is not found; anything else is
        // named as the system names it (a disk that cannot be read).
        if (error == ENOENT || error == ENOTDIR || path.isEmpty())
            m_problem(u"File not found: "_s + path
                      + (looksLikeAddress(path) ? u" (to convert an address, use --address "_s + path + u')'
                                                : QString()));
        else
            m_problem(u"Cannot read \""_s + path + u"\": "_s + qt_error_string(error));
        return;
    }
    // A folder or a device is not a list (a device may never end); a named
    // pipe is, as process substitution hands one over.
    if (S_ISDIR(status.st_mode)) {
        m_problem(u"Cannot read \""_s + path + u"\": it is a folder"_s);
        return;
    }
    if (!S_ISREG(status.st_mode) && !S_ISFIFO(status.st_mode)) {
        m_problem(u"Cannot read \""_s + path + u"\": it is not a file"_s);
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_problem(u"Cannot open \""_s + path + u"\": "_s + file.errorString());
        return;
    }
    readDevice(file, path, sink);
}

void BatchInputs::readDevice(QIODevice& device, const QString& name, const RowSink& sink)
{
    TerminalProgress* bar = m_bar;
    const qint64 size = device.isSequential() ? 0 : device.size();
    if (bar) {
        bar->setValue(-1);
        bar->setText(u"Reading "_s + (name == StandardInput ? name : NativeFileName(name)));
    }
    qsizetype rowsRead = 0;
    const RowSink counted = [&](QStringView row) {
        sink(row);
        if (bar && ++rowsRead % RowsPerProgressStep == 0)
            bar->setValue(size > 0 ? double(device.pos()) / double(size) * 100.0 : -1.0);
    };
    try {
        if (!device.isOpen() || !device.isReadable())
            throw AppError(u"Cannot read "_s + name + u": it is not open"_s);
        // Every input of the tool ends its lines, the last one too: a final
        // line end adds no empty row.
        readListRows(device, name, bar ? counted : sink, FinalLineFeed::EndsLastLine);
    } catch (const AppError& error) {
        m_problem(error.description());
    }
}
