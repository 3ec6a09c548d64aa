#include "Platform.h"

Platform::Platform(Services services)
    : m_services(std::move(services))
{
}

Platform::~Platform() = default;

void Platform::showMessage(const QString& text)
{
    messageBoxes().show(text, m_applicationTitle, MessageBoxes::Icon::None);
}

namespace {
const QString ErrorReportTitle = QStringLiteral("Application Error");
}

const QString Platform::StopReportsChoice = QStringLiteral("Stop Error Reports For This Run");

void Platform::MessageBoxReporter::reportError(const QString& reportText)
{
    m_platform.messageBoxes().show(reportText, ErrorReportTitle, MessageBoxes::Icon::Warning);
}

bool Platform::MessageBoxReporter::reportFailureOfferingStop(const QString& description,
                                                             const QString& object, const QString& procedure,
                                                             int line)
{
    return m_platform.messageBoxes().showWithChoice(errorReportText(description, object, procedure, line),
                                                    ErrorReportTitle, MessageBoxes::Icon::Warning,
                                                    StopReportsChoice);
}
