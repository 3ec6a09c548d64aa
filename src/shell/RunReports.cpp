#include "RunReports.h"

bool RunReports::counts()
{
    ++m_reports;
    if (m_stopped)
        ++m_heldBack;
    return !m_stopped;
}

void RunReports::reportError(const QString& reportText)
{
    if (counts())
        m_reporter.reportError(reportText);
}

void RunReports::reportFailure(const QString& description, const QString& object, const QString& procedure,
                               int line)
{
    if (!counts())
        return;
    if (m_reports <= PlainReports)
        m_reporter.reportFailure(description, object, procedure, line);
    else
        m_stopped = m_reporter.reportFailureOfferingStop(description, object, procedure, line);
}

void RunReports::reportOutOfMemory(const QString& object, const QString& procedure, int line)
{
    if (counts())
        m_reporter.reportOutOfMemory(object, procedure, line);
}
