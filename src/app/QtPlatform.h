#pragma once

#include "shell/Platform.h"

#include <QStringList>

#include <memory>

// The platform services on Qt: QMessageBox, QInputDialog, QFileDialog,
// QDesktopServices, QClipboard, a Mersenne Twister and the executable's folder.
// The spreadsheet application is left for the program to choose.
Platform::Services qtPlatformServices();

// File type filters as Qt name filters: the name, then the patterns in
// brackets ("Text Files (*.txt)").
QStringList toQtNameFilters(const QList<FileTypeFilter>& filters);

// A message text as a Qt label shows it: a bare carriage return breaks the line.
QString toDisplayText(const QString& text);
