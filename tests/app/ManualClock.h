#pragma once

// Timers for tests of the window's logic: time moves only when the test says
// so, and the timers that fall due meanwhile fire in the order of their due
// times.

#include <QList>

#include "app/Ticker.h"

class ManualTicker;

class ManualClock
{
public:
    qint64 now() const { return m_now; }

    // Moves time on by ms, firing every timer that falls due on the way.
    void advance(int ms);

private:
    friend class ManualTicker;
    qint64 m_now = 0;
    QList<ManualTicker*> m_tickers;
};

class ManualTicker : public Ticker
{
public:
    explicit ManualTicker(ManualClock& clock)
        : m_clock(clock)
    {
        m_clock.m_tickers.append(this);
    }

    ~ManualTicker() override { m_clock.m_tickers.removeOne(this); }

    void start(int intervalMs) override
    {
        m_active = true;
        m_interval = intervalMs;
        m_due = m_clock.m_now + intervalMs;
    }

    void stop() override { m_active = false; }

    bool isActive() const override { return m_active; }

    int interval() const { return m_interval; }

private:
    friend class ManualClock;
    ManualClock& m_clock;
    bool m_active = false;
    int m_interval = 0;
    qint64 m_due = 0;
};

inline void ManualClock::advance(int ms)
{
    const qint64 until = m_now + ms;
    for (;;) {
        ManualTicker* next = nullptr;
        for (ManualTicker* ticker : std::as_const(m_tickers)) {
            if (ticker->m_active && ticker->m_due <= until && (!next || ticker->m_due < next->m_due)) {
                next = ticker;
            }
        }
        if (!next) {
            break;
        }
        m_now = next->m_due;
        // A repeating timer, as QTimer is: due again one interval later.
        next->m_due += qMax(next->m_interval, 1);
        next->fire();
    }
    m_now = until;
}
