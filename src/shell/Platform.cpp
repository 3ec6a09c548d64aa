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

void Platform::MessageBoxReporter::reportError(const QString& reportText)
{
    m_platform.messageBoxes().show(reportText, QStringLiteral("Application Error"),
                                   MessageBoxes::Icon::Warning);
}
