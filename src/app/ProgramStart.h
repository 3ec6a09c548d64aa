#pragma once

#include <QStringList>

class Form1;
class QWidget;

// What the program's command line asks for.
struct ProgramStart
{
    // Exit once the first window is on screen (for start checks).
    bool smoke = false;
    // List files to open in the batch window, as given (the desktop's %F).
    QStringList listFiles;
};

// Reads the command line (the program's name first). --help, --version and
// an unknown option print their text and end the program, as
// QCommandLineParser::process does.
ProgramStart readProgramStart(const QStringList& arguments);

// Shows the program's first window: the single-address window, or with list
// files the batch window holding them, loaded as its load button loads the
// files chosen in its dialog (a file that cannot be read gets the same
// message). Returns the window shown.
QWidget& showFirstWindow(Form1& singleWindow, const QStringList& listFiles);
