#include "LibreOfficeCalc.h"

#include "XlsxWorkbook.h"
#include "shell/AppError.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>

using namespace Qt::StringLiterals;

// A workbook for Calc: gathered by libxlsxwriter, handed over when shown.
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

    void setCellText(qsizetype row, int column, const QString& text) override
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
    const bool handedOn = QProcess::startDetached(
        u"/bin/sh"_s, { u"-c"_s, u"sleep \"$1\" && rm -rf -- \"$2\""_s, u"sh"_s, seconds, m_folder->path() });
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
    if (executable.isEmpty() || !QProcess::startDetached(executable, { u"--calc"_s, u"-n"_s, file }))
        throw AppError(u"LibreOffice Calc could not be started"_s);
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
