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
