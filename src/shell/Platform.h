#pragma once

#include "ErrorTrap.h"
#include "PlatformServices.h"
#include "SkinFramework.h"
#include "SpreadsheetApplication.h"

#include <memory>

// The platform services of one running program, handed to each window. The
// program builds it from the Qt implementations (QtPlatform.h); tests build it
// from fakes.
class Platform final : public UserMessages
{
public:
    struct Services
    {
        std::unique_ptr<MessageBoxes> messageBoxes;
        std::unique_ptr<InputBoxes> inputBoxes;
        std::unique_ptr<FileDialogs> fileDialogs;
        std::unique_ptr<WebBrowser> webBrowser;
        std::unique_ptr<ClipboardAccess> clipboard;
        std::unique_ptr<RandomSource> random;
        std::unique_ptr<ProgramLocation> programLocation;
        std::unique_ptr<SpreadsheetApplication> spreadsheet;
        std::unique_ptr<SkinFramework> skinFramework;
    };

    explicit Platform(Services services);
    ~Platform();
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    MessageBoxes& messageBoxes() { return *m_services.messageBoxes; }
    InputBoxes& inputBoxes() { return *m_services.inputBoxes; }
    FileDialogs& fileDialogs() { return *m_services.fileDialogs; }
    WebBrowser& webBrowser() { return *m_services.webBrowser; }
    ClipboardAccess& clipboard() { return *m_services.clipboard; }
    RandomSource& random() { return *m_services.random; }
    const ProgramLocation& programLocation() const { return *m_services.programLocation; }
    SpreadsheetApplication& spreadsheet() { return *m_services.spreadsheet; }
    SkinFramework& skinFramework() { return *m_services.skinFramework; }

    // The title of every message box and input box that gives none of its own.
    const QString& applicationTitle() const { return m_applicationTitle; }
    void setApplicationTitle(const QString& title) { m_applicationTitle = title; }

    void showMessage(const QString& text) override;

    // Error reports as modal "Application Error" boxes with the warning icon;
    // a report that offers to stop the reports has the button
    // StopReportsChoice beside OK.
    ErrorReporter& errorReporter() { return m_errorReporter; }
    static const QString StopReportsChoice;

private:
    class MessageBoxReporter final : public ErrorReporter
    {
    public:
        explicit MessageBoxReporter(Platform& platform)
            : m_platform(platform)
        {
        }
        void reportError(const QString& reportText) override;
        bool reportFailureOfferingStop(const QString& description, const QString& object,
                                       const QString& procedure, int line) override;

    private:
        Platform& m_platform;
    };

    Services m_services;
    QString m_applicationTitle;
    MessageBoxReporter m_errorReporter { *this };
};
