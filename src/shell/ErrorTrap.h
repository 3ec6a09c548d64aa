#pragma once

#include "AppError.h"

#include <QString>

#include <new>
#include <utility>

// The text of an error report: the description, then where it happened and
// whom to tell. Bare carriage returns separate the last piece.
QString errorReportText(const QString& description, const QString& object, const QString& procedure,
                        int line);

// Shows an error report to the user and returns once it has been acknowledged.
class ErrorReporter
{
public:
    virtual ~ErrorReporter() = default;
    virtual void reportError(const QString& reportText) = 0;

    // What the error trap calls: the pieces of the report. By default they
    // are joined into the report text above; a reporter that is not a message
    // box (the command-line tool's) may show them its own way.
    virtual void reportFailure(const QString& description, const QString& object, const QString& procedure,
                               int line)
    {
        reportError(errorReportText(description, object, procedure, line));
    }

    // The report of reportFailure with a second choice beside OK: stop showing
    // reports for the rest of the work under way. True when the user took it.
    // A reporter that cannot offer the choice shows the plain report.
    virtual bool reportFailureOfferingStop(const QString& description, const QString& object,
                                           const QString& procedure, int line)
    {
        reportFailure(description, object, procedure, line);
        return false;
    }

    // Memory ran out inside a statement. A window reports it like any error
    // and stays usable; a reporter may instead end the procedure by throwing
    // (the command-line tool abandons its output rather than write on
    // without the statement that failed).
    virtual void reportOutOfMemory(const QString& object, const QString& procedure, int line)
    {
        reportFailure(QStringLiteral("Out of memory"), object, procedure, line);
    }
};

// The error trap of a procedure that does a user's work. Each numbered
// statement runs through it; an error raised inside one is reported with the
// statement's number and the procedure goes on with the next statement.
//
//     ErrorTrap trap(reporter, u"Form1"_s, u"PushButton5_Click"_s);
//     trap(100, [&] { ... });
//     trap(102, [&] { ... });
class ErrorTrap
{
public:
    ErrorTrap(ErrorReporter& reporter, QString object, QString procedure)
        : m_reporter(reporter)
        , m_object(std::move(object))
        , m_procedure(std::move(procedure))
    {
    }

    // Runs one statement; false when it raised an error (already reported).
    template<typename Statement> bool operator()(int line, Statement&& statement)
    {
        m_line = line;
        try {
            std::forward<Statement>(statement)();
            return true;
        } catch (const AppError& error) {
            report(error.description());
        } catch (const std::bad_alloc&) {
            ++m_errors;
            m_reporter.reportOutOfMemory(m_object, m_procedure, m_line);
        } catch (const std::exception& error) {
            report(QString::fromUtf8(error.what()));
        }
        return false;
    }

    // The number of the last statement reached.
    int line() const { return m_line; }
    int errorCount() const { return m_errors; }

private:
    void report(const QString& description);

    ErrorReporter& m_reporter;
    QString m_object;
    QString m_procedure;
    int m_line = 0;
    int m_errors = 0;
};
