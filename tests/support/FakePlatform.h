#pragma once

#include "shell/Platform.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <memory>

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
    };

    void show(const QString& text, const QString& title, Icon icon) override;

    std::vector<Shown> shown;
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
    QString openFileSelection(const FileDialogSetup& setup) override;
    QString saveFileName(const FileDialogSetup& setup) override;

    std::vector<FileDialogSetup> openSetups;
    std::vector<FileDialogSetup> saveSetups;
    std::deque<QString> openAnswers; // empty answer = Cancel
    std::deque<QString> saveAnswers;
};

class FakeWebBrowser final : public WebBrowser
{
public:
    struct Opened
    {
        QString quotedAddress;
        WindowMode mode;
    };

    void open(const QString& quotedAddress, WindowMode mode) override;

    std::vector<Opened> opened;
    // When set, the request fails with this description.
    QString failWith;
};

class FakeClipboard final : public ClipboardAccess
{
public:
    bool tryClear() override;
    bool trySetText(const QString& text) override;

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
    std::unique_ptr<Platform> platform;
};
