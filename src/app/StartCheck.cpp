#include "StartCheck.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>

namespace {

// Whether the exposure has happened is asked, not listened for: the window's
// QWindow exists only once it is shown, and an expose event may come before
// anything could subscribe to it.
constexpr std::chrono::milliseconds PollInterval { 20 };

bool isExposed(const QWidget* window)
{
    return window && window->windowHandle() && window->windowHandle()->isExposed();
}

} // namespace

void exitOnceShown(QWidget& window, std::chrono::milliseconds limit)
{
    auto* poll = new QTimer(QCoreApplication::instance());
    const QDeadlineTimer deadline(limit);
    const QPointer<QWidget> watched(&window);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, deadline, watched, limit] {
        if (isExposed(watched)) {
            poll->deleteLater();
            QCoreApplication::exit(0);
        } else if (deadline.hasExpired()) {
            poll->deleteLater();
            std::fprintf(stderr, "quadrix: the window was not shown within %lld ms\n",
                         static_cast<long long>(limit.count()));
            QCoreApplication::exit(1);
        }
    });
    poll->start(PollInterval);
}
