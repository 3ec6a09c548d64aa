#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// What the windows ask of the platform, one small interface each. Every
// interface has one Qt implementation (QtPlatform) and one test fake
// (tests/support/FakePlatform) that records calls and returns scripted answers.

// Information and validation messages as the user sees them: OK only, no
// icon, the application title. What a procedure needs when all it does with
// the platform is tell the user something.
class UserMessages
{
public:
    virtual ~UserMessages() = default;
    virtual void showMessage(const QString& text) = 0;
};

// Modal message boxes with an OK button.
class MessageBoxes
{
public:
    enum class Icon { None, Warning };

    virtual ~MessageBoxes() = default;
    // Shows the box and returns when the user has pressed OK.
    virtual void show(const QString& text, const QString& title, Icon icon) = 0;
    // Shows the box with a second button captioned `otherChoice` beside OK:
    // true when the user pressed that one, false on OK or when the box was
    // closed.
    virtual bool showWithChoice(const QString& text, const QString& title, Icon icon,
                                const QString& otherChoice)
        = 0;
};

// The modal input box: returns the text, or the empty text on Cancel.
class InputBoxes
{
public:
    virtual ~InputBoxes() = default;
    virtual QString ask(const QString& prompt, const QString& title, const QString& defaultText) = 0;
};

// A kind of file the user may pick in a file dialog: the name the dialog
// shows and the name patterns it matches ("*" matches every file).
struct FileTypeFilter
{
    QString name;
    QStringList patterns;

    bool operator==(const FileTypeFilter&) const = default;
};

// What a window asks of the open dialog.
struct OpenFilesRequest
{
    QString title;
    // The first one is chosen when the dialog opens.
    QList<FileTypeFilter> filters;
    // Whether the user may pick several files at once.
    bool severalFiles = false;
};

// What a window asks of the save dialog.
struct SaveFileRequest
{
    QString title;
    QList<FileTypeFilter> filters;
    // The name the dialog offers; none when empty.
    QString suggestedName;
    // Whether the dialog asks before the user picks a file that exists.
    bool confirmReplacing = false;
};

class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    // The open dialog: the full paths of the chosen files in the order the
    // user chose them, none on Cancel.
    virtual QStringList openFileNames(const OpenFilesRequest& request) = 0;
    // The save dialog: the chosen full path, or the empty text on Cancel.
    virtual QString saveFileName(const SaveFileRequest& request) = 0;
};

// Opens a web address in the user's browser.
class WebBrowser
{
public:
    enum class WindowMode { Normal, MinimisedWithFocus };

    virtual ~WebBrowser() = default;
    virtual void open(const QUrl& url, WindowMode mode) = 0;
};

// One attempt at a clipboard operation. An attempt fails when another program
// holds the clipboard; the retry rule around it lives in the export code.
class ClipboardAccess
{
public:
    virtual ~ClipboardAccess() = default;
    virtual bool tryClear() = 0;
    virtual bool trySetText(const QString& text) = 0;
    // The clipboard's plain text, for a paste; empty when it holds none. A
    // clipboard that only takes text gives none back.
    virtual QString readText() { return {}; }
};

// The pseudo-random generator of the home-page draw.
class RandomSource
{
public:
    virtual ~RandomSource() = default;
    virtual void seedFromTimeOfDay() = 0;
    // A fraction in [0, 1).
    virtual double nextFraction() = 0;
};

// Where the program file lives, without a trailing separator.
class ProgramLocation
{
public:
    virtual ~ProgramLocation() = default;
    virtual QString programFolder() const = 0;
};
