#include "LibreOfficeCalc.h"

#include "XlsxWorkbook.h"
#include "shell/AppError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Starts a shell command that outlives the program. It gets no terminal or
// pipe of ours, so nothing waits on it for output it never writes.
bool startShellDetached(const QString& command, const QStringList& arguments)
{
    QProcess process;
    process.setProgram(u"/bin/sh"_s);
    process.setArguments(QStringList { u"-c"_s, command, u"sh"_s } + arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

} // namespace

// A workbook for Calc: written as an .xlsx file, handed over when shown.
class CalcWorkbook final : public SpreadsheetWorkbook
{
public:
    CalcWorkbook(LibreOfficeCalc& calc, const QString& path)
        : m_calc(calc)
        , m_workbook(path)
    {
    }

    ~CalcWorkbook() override
    {
        if (!m_handedOver)
            QFile::remove(m_workbook.path());
    }

    void setColumnWidths(const std::vector<qsizetype>& longestTexts) override
    {
        m_workbook.setColumnWidths(longestTexts);
    }

    void setCellText(qsizetype row, int column, QStringView text) override
    {
        m_workbook.setCellText(row, column, text);
    }

    void autofitColumns() override { m_workbook.autofitColumns(); }

    void makeVisible() override
    {
        if (m_handedOver)
            return;
        m_workbook.makeVisible();
        m_calc.open(m_workbook.path());
        m_handedOver = true;
    }

private:
    LibreOfficeCalc& m_calc;
    XlsxWorkbook m_workbook;
    bool m_handedOver = false;
};

LibreOfficeCalc::LibreOfficeCalc()
    : LibreOfficeCalc(Settings())
{
}

LibreOfficeCalc::LibreOfficeCalc(Settings settings)
    : m_settings(std::move(settings))
{
}

LibreOfficeCalc::~LibreOfficeCalc()
{
    if (!m_folder)
        return;
    qint64 longestWaitMs = 0;
    const qint64 keepMs = qint64(m_settings.keepFiles.count()) * 1000;
    for (const HandedOver& file : m_handedOver)
        longestWaitMs = std::max(longestWaitMs, keepMs - file.since.elapsed());
    if (longestWaitMs <= 0)
        return; // the folder removes itself
    const QString seconds = QString::number((longestWaitMs + 999) / 1000);
    m_folder->setAutoRemove(false);
    const bool handedOn
        = startShellDetached(u"sleep \"$1\" && rm -rf -- \"$2\""_s, { seconds, m_folder->path() });
    if (!handedOn)
        m_folder->remove();
}

QString LibreOfficeCalc::program() const
{
    for (const QString& name : m_settings.programs) {
        const QString found = QStandardPaths::findExecutable(name);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

bool LibreOfficeCalc::canStart()
{
    return !program().isEmpty();
}

std::unique_ptr<SpreadsheetWorkbook> LibreOfficeCalc::start()
{
    if (program().isEmpty())
        throw AppError(u"LibreOffice Calc (soffice) was not found on the search path"_s);
    removeExpiredFiles();
    if (!m_folder) {
        auto folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + u"/quadrix-calc-XXXXXX"_s);
        if (!folder->isValid())
            throw AppError(u"Cannot create a folder for the workbook: "_s + folder->errorString());
        m_folder = std::move(folder);
    }
    ++m_exports;
    return std::make_unique<CalcWorkbook>(*this, m_folder->filePath(u"results-%1.xlsx"_s.arg(m_exports)));
}

void LibreOfficeCalc::open(const QString& file)
{
    const QString executable = program();
    // soffice passes the file to a Calc already running and ends, or starts
    // Calc and stays until it closes. Calc is not ours to wait for, so a small
    // shell runs it and notes how it ended; an end with an error in the first
    // moments means Calc could not take the workbook, and the user is told.
    const QString status = file + u".status"_s;
    const QString errors = file + u".errors"_s;
    const bool started = !executable.isEmpty()
        && startShellDetached(
            u"\"$1\" --calc -n \"$2\" 2> \"$4\"; echo $? > \"$3.part\" && mv \"$3.part\" \"$3\""_s,
            { executable, file, status, errors });
    if (!started)
        throw AppError(u"LibreOffice Calc could not be started"_s);

    QElapsedTimer watching;
    watching.start();
    while (watching.elapsed() < m_settings.watchStart.count() && !QFileInfo::exists(status)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    QFile statusFile(status);
    if (statusFile.open(QIODevice::ReadOnly)) {
        const int exitCode = statusFile.readAll().trimmed().toInt();
        QFile errorFile(errors);
        const QString said = errorFile.open(QIODevice::ReadOnly)
            ? QString::fromLocal8Bit(errorFile.read(4096)).trimmed().section(u'\n', 0, 0)
            : QString();
        statusFile.remove();
        errorFile.remove();
        if (exitCode != 0) {
            QFile::remove(file);
            throw AppError(
                said.isEmpty()
                    ? u"LibreOffice Calc ended with an error (exit code %1)"_s.arg(exitCode)
                    : u"LibreOffice Calc ended with an error (exit code %1): %2"_s.arg(exitCode).arg(said));
        }
    }
    HandedOver handedOver { file, {} };
    handedOver.since.start();
    m_handedOver.push_back(std::move(handedOver));
}

void LibreOfficeCalc::removeExpiredFiles()
{
    const qint64 keepMs = qint64(m_settings.keepFiles.count()) * 1000;
    std::erase_if(m_handedOver, [keepMs](const HandedOver& file) {
        if (file.since.elapsed() < keepMs)
            return false;
        QFile::remove(file.path);
        return true;
    });
}

QStringList LibreOfficeCalc::keptFiles() const
{
    QStringList files;
    for (const HandedOver& file : m_handedOver)
        files.append(file.path);
    return files;
}
