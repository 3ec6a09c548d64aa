#include "FakePlatform.h"

#include "shell/AppError.h"

#include <algorithm>

void FakeMessageBoxes::show(const QString& text, const QString& title, Icon icon)
{
    shown.push_back({ text, title, icon, {} });
    if (whileOpen)
        whileOpen(shown.back());
}

bool FakeMessageBoxes::showWithChoice(const QString& text, const QString& title, Icon icon,
                                      const QString& otherChoice)
{
    shown.push_back({ text, title, icon, otherChoice });
    if (whileOpen)
        whileOpen(shown.back());
    if (choices.empty())
        return false;
    const bool chosen = choices.front();
    choices.pop_front();
    return chosen;
}

QStringList FakeMessageBoxes::texts() const
{
    QStringList result;
    for (const Shown& box : shown)
        result.append(box.text);
    return result;
}

QStringList FakeMessageBoxes::errorReports() const
{
    QStringList result;
    for (const Shown& box : shown) {
        if (box.title == u"Application Error")
            result.append(box.text);
    }
    return result;
}

QString FakeInputBoxes::ask(const QString& prompt, const QString& title, const QString& defaultText)
{
    asked.push_back({ prompt, title, defaultText });
    if (answers.empty())
        return defaultText;
    QString answer = answers.front();
    answers.pop_front();
    return answer;
}

namespace {

template<typename Answer> Answer nextAnswer(std::deque<Answer>& answers)
{
    if (answers.empty())
        return {};
    Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace

QStringList FakeFileDialogs::openFileNames(const OpenFilesRequest& request)
{
    openRequests.push_back(request);
    return nextAnswer(openAnswers);
}

QString FakeFileDialogs::saveFileName(const SaveFileRequest& request)
{
    saveRequests.push_back(request);
    return nextAnswer(saveAnswers);
}

void FakeWebBrowser::open(const QUrl& url, WindowMode mode)
{
    if (!failWith.isEmpty())
        throw AppError(failWith);
    opened.push_back({ url, mode });
}

bool FakeClipboard::tryClear()
{
    ++clearAttempts;
    if (busyAttempts > 0) {
        --busyAttempts;
        return false;
    }
    text.clear();
    hasText = false;
    return true;
}

bool FakeClipboard::trySetText(const QString& newText)
{
    ++setAttempts;
    if (busyAttempts > 0) {
        --busyAttempts;
        return false;
    }
    text = newText;
    hasText = true;
    return true;
}

double FakeRandom::nextFraction()
{
    if (fractions.empty())
        return 0.5;
    const double fraction = fractions.front();
    fractions.pop_front();
    return fraction;
}

class FakeWorkbook final : public SpreadsheetWorkbook
{
public:
    explicit FakeWorkbook(FakeSpreadsheet& application)
        : m_application(application)
    {
    }

    void setColumnWidths(const std::vector<qsizetype>& longestTexts) override
    {
        m_application.widths = longestTexts;
    }

    void setCellText(qsizetype row, int column, QStringView text) override
    {
        m_application.workbookCall({ FakeSpreadsheet::CallKind::SetCell, row, column, text.toString() });
        if (!m_application.refuseText.isEmpty() && text == m_application.refuseText)
            throw CellRefused(QStringLiteral("refused"));
        m_application.cells[{ row, column }] = text.toString();
    }

    void autofitColumns() override
    {
        m_application.workbookCall({ FakeSpreadsheet::CallKind::Autofit, 0, 0, {} });
    }

    void makeVisible() override
    {
        m_application.workbookCall({ FakeSpreadsheet::CallKind::MakeVisible, 0, 0, {} });
        m_application.visible = true;
    }

private:
    FakeSpreadsheet& m_application;
};

bool FakeSpreadsheet::canStart()
{
    calls.push_back({ CallKind::CanStart, 0, 0, {} });
    if (!canStartThrows.isEmpty())
        throw AppError(canStartThrows);
    return installed;
}

std::unique_ptr<SpreadsheetWorkbook> FakeSpreadsheet::start()
{
    calls.push_back({ CallKind::Start, 0, 0, {} });
    if (!installed)
        throw AppError(QStringLiteral("Cannot create the spreadsheet application"));
    if (!failStartWith.isEmpty())
        throw AppError(failStartWith);
    ++workbooksStarted;
    cells.clear();
    visible = false;
    m_workbookCalls = 0;
    return std::make_unique<FakeWorkbook>(*this);
}

void FakeSpreadsheet::workbookCall(Call call)
{
    calls.push_back(call);
    if (++m_workbookCalls == failCallNumber)
        throw AppError(failCallWith);
}

QString FakeSpreadsheet::cell(qsizetype row, int column) const
{
    const auto found = cells.find({ row, column });
    return found == cells.end() ? QString() : found->second;
}

QStringList FakeSpreadsheet::sheetRow(qsizetype row) const
{
    QStringList texts;
    for (const auto& [at, text] : cells) {
        if (at.first != row)
            continue;
        while (texts.size() < at.second - 1)
            texts.append(QString());
        texts.append(text);
    }
    return texts;
}

int FakeSpreadsheet::callsOf(CallKind kind) const
{
    return int(
        std::count_if(calls.begin(), calls.end(), [kind](const Call& call) { return call.kind == kind; }));
}

FakePlatform::FakePlatform()
{
    Platform::Services services;
    auto messages = std::make_unique<FakeMessageBoxes>();
    auto inputs = std::make_unique<FakeInputBoxes>();
    auto dialogs = std::make_unique<FakeFileDialogs>();
    auto browser = std::make_unique<FakeWebBrowser>();
    auto clip = std::make_unique<FakeClipboard>();
    auto draws = std::make_unique<FakeRandom>();
    auto location = std::make_unique<FakeProgramLocation>();
    auto sheets = std::make_unique<FakeSpreadsheet>();
    messageBoxes = messages.get();
    inputBoxes = inputs.get();
    fileDialogs = dialogs.get();
    webBrowser = browser.get();
    clipboard = clip.get();
    random = draws.get();
    programLocation = location.get();
    spreadsheet = sheets.get();
    services.messageBoxes = std::move(messages);
    services.inputBoxes = std::move(inputs);
    services.fileDialogs = std::move(dialogs);
    services.webBrowser = std::move(browser);
    services.clipboard = std::move(clip);
    services.random = std::move(draws);
    services.programLocation = std::move(location);
    services.spreadsheet = std::move(sheets);
    auto skin = std::make_unique<RecordingSkinFramework>();
    skinFramework = skin.get();
    services.skinFramework = std::move(skin);
    platform = std::make_unique<Platform>(std::move(services));
}
