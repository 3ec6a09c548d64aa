#pragma once

#include "shell/Platform.h"

#include <QStringList>

#include <memory>

// The platform services on Qt: QMessageBox, QInputDialog, QFileDialog,
// QDesktopServices, QClipboard, a Mersenne Twister and the executable's folder.
// The spreadsheet application is left for the program to choose.
Platform::Services qtPlatformServices();

// The common dialog's filter ("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|")
// as Qt name filters. "*.*" becomes "*": a Linux user expects "All Files" to
// include names without a dot.
QStringList toQtNameFilters(const QString& filter);

// A message text as a Qt label shows it: a bare carriage return breaks the line.
QString toDisplayText(const QString& text);
