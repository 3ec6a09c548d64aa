#pragma once

#include "shell/Platform.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <utility>

// Test doubles for the platform services: each records what the program asked
// and answers from a script, so a test can press a button that opens a modal
// box without blocking.

class FakeMessageBoxes final : public MessageBoxes
{
public:
    struct Shown
    {
        QString text;
        QString title;
        Icon icon;
        // The caption of the button beside OK; empty on a box with OK alone.
        QString otherChoice;
    };

    void show(const QString& text, const QString& title, Icon icon) override;
    bool showWithChoice(const QString& text, const QString& title, Icon icon,
                        const QString& otherChoice) override;

    std::vector<Shown> shown;
    // Scripted answers of the boxes with a second choice (true: that choice);
    // with none left the user presses OK.
    std::deque<bool> choices;
    // Runs while a box is "open", as the user could act while a real one is up.
    std::function<void(const Shown&)> whileOpen;

    QStringList texts() const;
    // Texts of the "Application Error" reports only.
    QStringList errorReports() const;
};

class FakeInputBoxes final : public InputBoxes
{
public:
    struct Asked
    {
        QString prompt;
        QString title;
        QString defaultText;
    };

    QString ask(const QString& prompt, const QString& title, const QString& defaultText) override;

    std::vector<Asked> asked;
    // Scripted answers; with none left the box is accepted unchanged.
    std::deque<QString> answers;
};

class FakeFileDialogs final : public FileDialogs
{
public:
    QStringList openFileNames(const OpenFilesRequest& request) override;
    QString saveFileName(const SaveFileRequest& request) override;

    std::vector<OpenFilesRequest> openRequests;
    std::vector<SaveFileRequest> saveRequests;
    std::deque<QStringList> openAnswers; // empty answer = Cancel
    std::deque<QString> saveAnswers;
};

class FakeWebBrowser final : public WebBrowser
{
public:
    struct Opened
    {
        QUrl url;
        WindowMode mode;
    };

    void open(const QUrl& url, WindowMode mode) override;

    std::vector<Opened> opened;
    // When set, the request fails with this description.
    QString failWith;
};

class FakeClipboard final : public ClipboardAccess
{
public:
    bool tryClear() override;
    bool trySetText(const QString& text) override;
    QString readText() override { return text; }

    QString text;
    bool hasText = false;
    int clearAttempts = 0;
    int setAttempts = 0;
    // The clipboard is held by another program for this many more attempts.
    int busyAttempts = 0;
};

class FakeRandom final : public RandomSource
{
public:
    void seedFromTimeOfDay() override { ++seeds; }
    double nextFraction() override;

    int seeds = 0;
    std::deque<double> fractions; // with none left, 0.5
};

class FakeProgramLocation final : public ProgramLocation
{
public:
    QString programFolder() const override { return folder; }
    QString folder;
};

// The spreadsheet application: records every call of the program, in order,
// and keeps the cells of the workbooks it started. It can be scripted as not
// installed, as failing to start, or as failing one of the workbook's calls.
class FakeSpreadsheet final : public SpreadsheetApplication
{
public:
    enum class CallKind { CanStart, Start, SetCell, Autofit, MakeVisible };
    struct Call
    {
        CallKind kind;
        qsizetype row = 0;
        int column = 0;
        QString text;
    };

    bool canStart() override;
    std::unique_ptr<SpreadsheetWorkbook> start() override;

    // Not installed: canStart() answers false and start() fails.
    bool installed = true;
    // canStart() throws this instead of answering (when not empty).
    QString canStartThrows;
    // start() fails with this description (when not empty).
    QString failStartWith;
    // The workbook's call with this number (from 1, counting setCellText,
    // autofitColumns and makeVisible) fails with failCallWith.
    int failCallNumber = 0;
    QString failCallWith = QStringLiteral("The spreadsheet refused the call");
    // setCellText refuses this text (when not empty) with CellRefused, as a
    // workbook refuses a text it cannot hold.
    QString refuseText;

    std::vector<Call> calls;
    // The longest texts the workbook was given for its columns (not counted
    // as a call).
    std::vector<qsizetype> widths;
    // The cells set so far, by (sheet row, sheet column), from 1.
    std::map<std::pair<qsizetype, int>, QString> cells;
    int workbooksStarted = 0;
    bool visible = false;

    // The cell's text, or a null string when it was never set.
    QString cell(qsizetype row, int column) const;
    // The cells of one sheet row, from column 1 to the last one set; unset
    // ones in between are null strings.
    QStringList sheetRow(qsizetype row) const;
    int callsOf(CallKind kind) const;

private:
    friend class FakeWorkbook;
    void workbookCall(Call call);
    int m_workbookCalls = 0;
};

// A Platform made of fakes, with typed access to each of them.
struct FakePlatform
{
    FakePlatform();

    FakeMessageBoxes* messageBoxes;
    FakeInputBoxes* inputBoxes;
    FakeFileDialogs* fileDialogs;
    FakeWebBrowser* webBrowser;
    FakeClipboard* clipboard;
    FakeRandom* random;
    FakeProgramLocation* programLocation;
    FakeSpreadsheet* spreadsheet;
    RecordingSkinFramework* skinFramework;
    std::unique_ptr<Platform> platform;
};
