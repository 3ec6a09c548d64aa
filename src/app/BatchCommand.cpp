#include "BatchTool.h"

#include "TerminalProgress.h"
#include "export/ExportTarget.h"
#include "shell/AppError.h"
#include "shell/VisibleText.h"

#include <QIODevice>

#include <new>

using namespace Qt::StringLiterals;

namespace {

// Written without building a text: there may be no memory left for one.
void writeOutOfMemory(QIODevice& errors)
{
    errors.write("quadrix-batch: out of memory\n");
}

// Reading the command line runs Qt's vectorised string code, which on some
// processors (a Xeon with AVX-512 here) leaves the upper halves of the vector
// registers in use. Every SSE instruction after it then waits on them, and
// converting and writing a large table took twice as long. One vzeroupper
// clears them; it changes no value the program holds.
void clearUpperVectorState()
{
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (__builtin_cpu_supports("avx"))
        asm volatile("vzeroupper");
#endif
}

// --help or --version on standard output.
int writeInformation(const BatchOptions& options, const BatchStreams& streams)
{
    const QByteArray text = (options.help ? batchHelpText() : batchVersionText()).toUtf8();
    ExportTarget target(streams.output, u"standard output"_s);
    try {
        target.create();
        target.write(text);
        target.finish();
    } catch (const AppError& error) {
        writeBatchMessage(streams.errors, error.description());
        return int(BatchStatus::Trouble);
    }
    return int(BatchStatus::Converted);
}

int runParsedBatchTool(const QStringList& arguments, const BatchStreams& streams)
{
    const ParsedArguments parsed = parseBatchArguments(arguments);
    if (!parsed.error.isEmpty()) {
        writeBatchMessage(streams.errors, parsed.error);
        streams.errors.write("Try 'quadrix-batch --help' for more information.\n");
        return int(BatchStatus::Trouble);
    }
    if (parsed.options.help || parsed.options.version)
        return writeInformation(parsed.options, streams);
    clearUpperVectorState();
    BatchTool tool(parsed.options, streams);
    return int(tool.run());
}

} // namespace

void writeBatchMessage(QIODevice& errors, const QString& text)
{
    errors.write((u"quadrix-batch: "_s + withVisibleControls(text) + u'\n').toUtf8());
}

int runBatchTool(const QStringList& arguments, const BatchStreams& streams)
{
    try {
        return runParsedBatchTool(arguments, streams);
    } catch (const std::bad_alloc&) {
        // By now the output is abandoned and the memory of the run is free.
        if (streams.progress)
            streams.progress->clear();
        writeOutOfMemory(streams.errors);
        return int(BatchStatus::Trouble);
    }
}
