#pragma once

#include "shell/SpreadsheetApplication.h"

#include <QElapsedTimer>
#include <QStringList>

#include <chrono>
#include <memory>
#include <vector>

class QTemporaryDir;

// The spreadsheet application on Linux: LibreOffice Calc. A workbook is
// written as an .xlsx file (XlsxWorkbook) in a private folder and, when made
// visible, opened with "soffice --calc -n FILE", which makes a
// new, untitled and unsaved document from it; the program does not wait for
// Calc.
//
// Calc counts as installed when "soffice" or "libreoffice" is an executable
// file on the search path. That is all canStart() checks: starting Calc just
// to see whether it starts would take seconds and open a window.
//
// The handed-over files live in a private folder (mode 0700) of the temporary
// folder. Calc reads a file some time after it was launched (a first start can
// take a while), so each file is kept for `keepFiles` after its launch: a later
// export removes the files whose time is up, and at the program's end the
// folder goes at once when every file's time is up, or else a detached
// "sleep; rm" removes it when the last file's time is up. A file that was
// never handed over (a failed export) goes at once.
class LibreOfficeCalc final : public SpreadsheetApplication
{
public:
    struct Settings
    {
        // Executables tried in this order, looked up on the search path (or
        // taken as they are when given as absolute paths).
        QStringList programs { QStringLiteral("soffice"), QStringLiteral("libreoffice") };
        std::chrono::seconds keepFiles { 600 };
        // How long to watch a launch for an early end with an error; window
        // events run meanwhile.
        std::chrono::milliseconds watchStart { 1500 };
    };

    LibreOfficeCalc();
    explicit LibreOfficeCalc(Settings settings);
    ~LibreOfficeCalc() override;
    LibreOfficeCalc(const LibreOfficeCalc&) = delete;
    LibreOfficeCalc& operator=(const LibreOfficeCalc&) = delete;

    bool canStart() override;
    std::unique_ptr<SpreadsheetWorkbook> start() override;

    // The executable that would be started, or the empty text.
    QString program() const;
    // The files handed to Calc that are still kept.
    QStringList keptFiles() const;

private:
    friend class CalcWorkbook;

    // Writes nothing; opens the file in Calc. Throws AppError.
    void open(const QString& file);
    void removeExpiredFiles();

    Settings m_settings;
    std::unique_ptr<QTemporaryDir> m_folder;
    struct HandedOver
    {
        QString path;
        QElapsedTimer since;
    };
    std::vector<HandedOver> m_handedOver;
    int m_exports = 0;
};
