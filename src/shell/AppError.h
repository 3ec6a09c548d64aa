#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// An error raised by one of the program's own operations. It carries the
// description that the error report shows to the user; the report adds where
// it happened.
class AppError : public std::exception
{
public:
    explicit AppError(QString description)
        : m_description(std::move(description))
        , m_utf8(m_description.toUtf8())
    {
    }

    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};
