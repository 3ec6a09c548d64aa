#pragma once

#include <QString>

class ErrorReporter;
class ExportTarget;
class ProgressDisplay;
class TableSource;
class Yielder;

// Writes the table as a column-aligned text file: a caption line, then one
// line for each checked row. Every cell is padded with spaces to the widest
// text of its column (captions and all rows count, checked or not) and
// followed by a TAB; every line ends with CR LF. The text is single-byte, in
// the ANSI code page (AnsiCodePage): a character it cannot hold becomes "?".
//
// It runs under its own error trap (location Main.SaveListviewProperlySpaced),
// so nothing reaches the caller; a failure is reported once, at the statement
// where it arose:
//   156 the file cannot be created (missing folder, access refused, a folder
//       of that name),
//   170 the caption line cannot be written,
//   222 the lines of the rows cannot be written (a full disk); they are
//       gathered and written in large blocks, so this names the row whose
//       line completed a block,
//   232 closing: the last lines cannot be written or the complete file
//       cannot be put in place.
// After a failure nothing more is written but the progress steps run to the
// end, as they do after a success.
//
// The user's existing file of that name is never destroyed: the text goes to
// a temporary file beside it that replaces the old one only once it is
// complete, so a failure or a stop leaves the old file exactly as it was. A
// target that exists but is not a regular file (a device such as /dev/null)
// is written directly; nothing is ever renamed over it.
//
// `progress` may be null. When given, it shows "Writing file: " and the file's
// name, the share done, then "Done." and at last "Progress Bar" again.
//
// The writer lets window events run at every cell through `yielder`. When
// `yielder.stopRequested()` turns true after one of those turns (the window is
// going away), the write is abandoned at once: the old file stays as it was and
// neither the table nor the progress display is touched again.
//
// The table is read live, as the user may change it meanwhile. Rows are read
// by index and the table's current row count is read again at every row and
// cell, so nothing past its current end is ever read: when the table shrinks,
// the writer stops at its new end, and a row that is gone before its line is
// complete is not written. Rows added meanwhile are written when checked. The
// widths are those measured before the caption line; a cell that has since
// grown past its width is followed directly by its TAB. The number of columns
// is taken once at the start (a window's lists keep their columns).
void SaveListviewProperlySpaced(const TableSource& table, const QString& path, ProgressDisplay* progress,
                                Yielder& yielder, ErrorReporter& reporter);

// The same text written to `target`, a file or a device that is already open
// (ExportTarget.h), which the writer creates and finishes; the progress text
// names target.name(). A failure is reported as above.
void SaveListviewProperlySpaced(const TableSource& table, ExportTarget& target, ProgressDisplay* progress,
                                Yielder& yielder, ErrorReporter& reporter);
