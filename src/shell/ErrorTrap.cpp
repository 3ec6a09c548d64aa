#include "ErrorTrap.h"

#include "BuildConfig.h"

QString errorReportText(const QString& description, const QString& object, const QString& procedure, int line)
{
    return description + QStringLiteral("\r\nin Hexmap2021/08/31.") + object + u'.' + procedure
        + QStringLiteral(" at line ") + QString::number(line)
        + QStringLiteral("\r\rPlease email screenshot of this message to ")
        + QStringLiteral(QUADRIX_SUPPORT_EMAIL);
}

void ErrorTrap::report(const QString& description)
{
    ++m_errors;
    m_reporter.reportFailure(description, m_object, m_procedure, m_line);
}
