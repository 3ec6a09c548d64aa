#include "QtPlatform.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTime>
#include <QUrl>

#include <random>

QStringList toQtNameFilters(const QList<FileTypeFilter>& filters)
{
    QStringList nameFilters;
    for (const FileTypeFilter& filter : filters)
        nameFilters.append(filter.name + QStringLiteral(" (") + filter.patterns.join(u' ') + u')');
    return nameFilters;
}

QString toDisplayText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}

namespace {

QWidget* dialogParent()
{
    return QApplication::activeWindow();
}

class QtMessageBoxes final : public MessageBoxes
{
public:
    void show(const QString& text, const QString& title, Icon icon) override
    {
        QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title,
                        toDisplayText(text), QMessageBox::Ok, dialogParent());
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }

    bool showWithChoice(const QString& text, const QString& title, Icon icon,
                        const QString& otherChoice) override
    {
        QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title,
                        toDisplayText(text), QMessageBox::Ok, dialogParent());
        box.setTextFormat(Qt::PlainText);
        QPushButton* other = box.addButton(otherChoice, QMessageBox::RejectRole);
        box.setDefaultButton(QMessageBox::Ok);
        // Escape and the close box answer OK, as on a box with OK alone.
        box.setEscapeButton(QMessageBox::Ok);
        box.exec();
        return box.clickedButton() == other;
    }
};

class QtInputBoxes final : public InputBoxes
{
public:
    QString ask(const QString& prompt, const QString& title, const QString& defaultText) override
    {
        bool accepted = false;
        const QString text
            = QInputDialog::getText(dialogParent(), title, prompt, QLineEdit::Normal, defaultText, &accepted);
        return accepted ? text : QString();
    }
};

class QtFileDialogs final : public FileDialogs
{
public:
    QStringList openFileNames(const OpenFilesRequest& request) override
    {
        QFileDialog dialog(dialogParent(), request.title);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(request.severalFiles ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        dialog.setNameFilters(toQtNameFilters(request.filters));
        if (dialog.exec() != QDialog::Accepted)
            return {};
        return dialog.selectedFiles();
    }

    QString saveFileName(const SaveFileRequest& request) override
    {
        QFileDialog dialog(dialogParent(), request.title);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilters(toQtNameFilters(request.filters));
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmReplacing);
        if (!request.suggestedName.isEmpty())
            dialog.selectFile(request.suggestedName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().front();
    }
};

class QtWebBrowser final : public WebBrowser
{
public:
    // The desktop decides how the browser's window appears; a minimised start
    // cannot be requested through the freedesktop opener.
    void open(const QUrl& url, WindowMode) override { QDesktopServices::openUrl(url); }
};

class QtClipboardAccess final : public ClipboardAccess
{
public:
    bool tryClear() override
    {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (!clipboard)
            return false;
        clipboard->clear();
        return true;
    }

    bool trySetText(const QString& text) override
    {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (!clipboard)
            return false;
        clipboard->setText(text);
        return true;
    }

    QString readText() override
    {
        const QClipboard* clipboard = QGuiApplication::clipboard();
        return clipboard ? clipboard->text() : QString();
    }
};

class TimeOfDayRandom final : public RandomSource
{
public:
    void seedFromTimeOfDay() override
    {
        m_engine.seed(static_cast<std::mt19937::result_type>(QTime::currentTime().msecsSinceStartOfDay()));
    }

    double nextFraction() override { return std::uniform_real_distribution<double>(0.0, 1.0)(m_engine); }

private:
    std::mt19937 m_engine;
};

class ExecutableLocation final : public ProgramLocation
{
public:
    QString programFolder() const override { return QCoreApplication::applicationDirPath(); }
};

} // namespace

Platform::Services qtPlatformServices()
{
    // Qt's file dialog stores its history and last folder in the user's
    // settings ("QtProject.conf") whenever one closes. The program keeps
    // nothing between runs, so the user's settings lead where no file can be
    // made: the dialogs start afresh each time and write nothing.
    for (const QSettings::Format format : { QSettings::NativeFormat, QSettings::IniFormat })
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));

    Platform::Services services;
    services.messageBoxes = std::make_unique<QtMessageBoxes>();
    services.inputBoxes = std::make_unique<QtInputBoxes>();
    services.fileDialogs = std::make_unique<QtFileDialogs>();
    services.webBrowser = std::make_unique<QtWebBrowser>();
    services.clipboard = std::make_unique<QtClipboardAccess>();
    services.random = std::make_unique<TimeOfDayRandom>();
    services.programLocation = std::make_unique<ExecutableLocation>();
    services.skinFramework = std::make_unique<RecordingSkinFramework>();
    return services;
}
