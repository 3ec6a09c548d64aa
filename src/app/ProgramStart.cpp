#include "ProgramStart.h"

#include "batch_window/Form2.h"
#include "single_window/Form1.h"

#include <QCommandLineParser>

using namespace Qt::StringLiterals;

ProgramStart readProgramStart(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Turns IPv4 addresses into their IPv6 text forms."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption smoke(u"smoke"_s,
                                   u"Exit once the window is on screen (0), or after 30 s (1)."_s);
    parser.addOption(smoke);
    parser.addPositionalArgument(u"files"_s, u"Address lists to load into the batch window."_s,
                                 u"[FILE...]"_s);
    parser.process(arguments);
    return { parser.isSet(smoke), parser.positionalArguments() };
}

QWidget& showFirstWindow(Form1& singleWindow, const QStringList& listFiles)
{
    if (!listFiles.isEmpty()) {
        if (Form2* batchWindow = singleWindow.showBatchWindow()) {
            batchWindow->openListFiles(listFiles);
            return *batchWindow;
        }
    }
    singleWindow.show();
    return singleWindow;
}
