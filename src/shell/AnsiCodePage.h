#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Single-byte text as list files are read and the text file is written: the
// system's ANSI code page on Windows, windows-1252 everywhere else (what such
// files hold when they come from Windows machines). No byte-order mark is
// recognised or written; a BOM's bytes are ordinary characters.
namespace AnsiCodePage {

// Appends the decoded bytes to `out`. Every byte gives exactly one character;
// the five bytes windows-1252 leaves undefined map to the C1 controls of the
// same value, as Windows itself decodes them.
void decodeAppend(QByteArrayView bytes, QString& out);
QString decode(QByteArrayView bytes);

// Appends the encoded text to `out`, one byte for every UTF-16 unit: a
// character the code page cannot hold becomes "?", and one outside the Basic
// Multilingual Plane (two units, so two characters to the column widths) "??".
void encodeAppend(QStringView text, QByteArray& out);
// Writes the encoded text to `target`, which has room for text.size()
// bytes; returns the bytes written (text.size() off Windows).
qsizetype encodeInto(QStringView text, char* target) noexcept;
QByteArray encode(QStringView text);

} // namespace AnsiCodePage
