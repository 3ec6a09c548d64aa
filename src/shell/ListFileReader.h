#pragma once

#include <QString>
#include <QStringView>

#include <functional>

class QIODevice;
class UserMessages;

using RowSink = std::function<void(QStringView row)>;

// What a line feed at the very end of a text does. In a list file loaded into
// the window it splits the line like any bare LF, so an empty row follows
// (the list file rule). Text that comes with a line end after every line (a
// pipe, a file given to the command-line tool, a paste) ends its last line
// there instead; an empty line the user wrote before it is still a row.
enum class FinalLineFeed { SplitsLine, EndsLastLine };

// Turns the text of a list file into rows, piece by piece as it arrives.
//
// A CR or a CR LF pair ends a line and is not part of it. A bare LF does not end
// a line, it splits one: the text before it is a row of its own. So an LF-only
// file gives one row per line and an empty row after a final LF, while a CR LF
// file gives one row per line and nothing after the last CR LF (and, with
// FinalLineFeed::EndsLastLine, nothing after a final LF either). Nothing is
// trimmed or skipped; an empty line is an empty row.
class ListLineSplitter
{
public:
    explicit ListLineSplitter(RowSink sink, FinalLineFeed finalLineFeed = FinalLineFeed::SplitsLine);

    void feed(QStringView text);
    // Ends the text: a line still open becomes the last row.
    void finish();

private:
    void emitRow(QStringView tail);

    RowSink m_sink;
    QString m_pending; // the start of a row that continues in the next piece
    FinalLineFeed m_finalLineFeed;
    bool m_afterCr = false;
    bool m_afterLf = false;
    bool m_lineOpen = false;
};

// Passes on the rows of a text that is already whole, such as a paste, by the
// same rules as a list file's lines.
void readListText(QStringView text, const RowSink& sink,
                  FinalLineFeed finalLineFeed = FinalLineFeed::SplitsLine);

// Reads an open device to its end as single-byte text and passes its rows on.
// Raises AppError when a read fails; the rows passed on before stay.
void readListRows(QIODevice& device, const QString& name, const RowSink& sink,
                  FinalLineFeed finalLineFeed = FinalLineFeed::SplitsLine);

// Reads the list file at `path` as single-byte text and passes its rows on.
// Raises AppError when the file cannot be opened or read, or is not a regular
// file; the file is closed by then and the rows passed on before stay.
void readListFile(const QString& path, const RowSink& sink);

// Appends the rows of a list file to a list, through `list`. A path that does
// not exist gets the message "File not found" and adds nothing.
void LoadListviewFromTextFile(const RowSink& list, const QString& path, UserMessages& messages);
