#pragma once

#include <QString>

#include <functional>
#include <optional>

class ClipboardAccess;
class TableSource;
class Yielder;

// The checked rows of a table as clipboard text, ready to paste into a
// document or a spreadsheet: no caption line; each cell padded with spaces to
// the longest cell of its column (captions do not count, every row does,
// checked or not) and followed by a TAB, except that each line loses its last
// TAB and then every space at its end; CR LF after every line. With rows but
// none checked the text is empty.
//
// Returns nothing when the table has no rows, and nothing when the yielder
// asks to stop (the window is going away). Lets window events run at every row
// and cell. No error trap of its own: an error goes to the caller's trap.
//
// The table is read live, as the text file writer reads it: the row count is
// read again at every row and cell so nothing past the table's current end is
// read; when the table shrinks the text ends at its new end, without the row
// that was being built, and a cell that has grown past its column's width is
// followed directly by its TAB.
std::optional<QString> buildClipboardText(const TableSource& table, Yielder& yielder);

// The same text handed over line by line as it is built, each line with its
// CR LF, for a caller that writes it out rather than keeping it whole (a
// million rows make a text of some 280 MB). A table without rows gives no
// lines. Returns false when the yielder asks to stop; the lines handed over
// by then stand.
using ClipboardLineSink = std::function<void(QStringView line)>;
bool forEachClipboardLine(const TableSource& table, Yielder& yielder, const ClipboardLineSink& sink);

// Builds the text above and puts it on the clipboard (ClipboardClear, then
// ClipboardSetText). A table without rows, or a stop, leaves the clipboard as
// it was; a table with rows but none checked leaves it holding the empty text.
void CopyListviewProperlySpaced(const TableSource& table, ClipboardAccess& clipboard, Yielder& yielder);
