#pragma once

#include <QElapsedTimer>

#include <functional>

// Long work (the batch run, the exports) lets pending window events run now and
// then so the window repaints and stays usable; other handlers of the window
// may run meanwhile.
class Yielder
{
public:
    virtual ~Yielder() = default;

    // A point where pending events may run.
    virtual void yield() = 0;
    // True once the work should end early because its window is going away.
    virtual bool stopRequested() const = 0;
};

// For work without a window: never yields, never stops.
class NoYield final : public Yielder
{
public:
    void yield() override { }
    bool stopRequested() const override { return false; }
};

// Lets the event loop run once a time budget has passed since its last turn,
// rather than at every yield point: a turn costs far more than converting a
// row, and a window that gets a turn every 15 ms looks and feels live. A
// budget of 0 runs the event loop at every yield point.
class EventLoopYielder final : public Yielder
{
public:
    static constexpr int DefaultBudgetMs = 15;

    explicit EventLoopYielder(int budgetMs = DefaultBudgetMs, std::function<bool()> stop = {});

    void yield() override;
    bool stopRequested() const override { return m_stop && m_stop(); }

    // Runs the event loop now, whatever the budget.
    void yieldNow();

private:
    int m_budgetMs;
    std::function<bool()> m_stop;
    QElapsedTimer m_sinceTurn;
    unsigned m_calls = 0;
};
