#include "Yielder.h"

#include <QCoreApplication>

EventLoopYielder::EventLoopYielder(int budgetMs, std::function<bool()> stop)
    : m_budgetMs(budgetMs)
    , m_stop(std::move(stop))
{
    m_sinceTurn.start();
}

void EventLoopYielder::yield()
{
    if (m_budgetMs <= 0) {
        yieldNow();
        return;
    }
    // Reading the clock costs more than some yield points' work; look at it
    // every few calls only.
    if ((++m_calls & 0x1F) != 0)
        return;
    if (m_sinceTurn.elapsed() >= m_budgetMs)
        yieldNow();
}

void EventLoopYielder::yieldNow()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_sinceTurn.restart();
}
