#pragma once

#include "Platform.h"

#include <QStringList>

#include <memory>

// The platform services on Qt: QMessageBox, QInputDialog, QFileDialog,
// QDesktopServices, QClipboard, a Mersenne Twister, the executable's folder and
// LibreOffice Calc as the spreadsheet application.
std::unique_ptr<Platform> createQtPlatform();

// The same services one by one, for a caller that swaps some of them.
Platform::Services createQtServices();

// The common dialog's filter ("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|")
// as Qt name filters. "*.*" becomes "*": a Linux user expects "All Files" to
// include names without a dot.
QStringList toQtNameFilters(const QString& filter);

// The selection text of a chosen set of files: empty, the one full path, or the
// folder and the bare names separated by NUL characters.
QString toListFileSelection(const QStringList& paths);

// A message text as a Qt label shows it: a bare carriage return breaks the line.
QString toDisplayText(const QString& text);
