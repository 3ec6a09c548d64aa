#pragma once

#include "ErrorTrap.h"

// The error reports of one run over many rows, passed on to `reporter`. The
// first PlainReports are shown as ever; each later one also offers to stop
// the reports, and once the user takes that offer the rest of the run's
// reports are held back and only counted.
class RunReports final : public ErrorReporter
{
public:
    static constexpr int PlainReports = 10;

    explicit RunReports(ErrorReporter& reporter)
        : m_reporter(reporter)
    {
    }

    void reportError(const QString& reportText) override;
    void reportFailure(const QString& description, const QString& object, const QString& procedure,
                       int line) override;
    void reportOutOfMemory(const QString& object, const QString& procedure, int line) override;

    // The reports not shown since the user stopped them.
    int heldBack() const { return m_heldBack; }

private:
    // Counts a report; true when it is to be shown.
    bool counts();

    ErrorReporter& m_reporter;
    int m_reports = 0;
    bool m_stopped = false;
    int m_heldBack = 0;
};
