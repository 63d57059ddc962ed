#pragma once

// A timer as the window's logic sees it: started with an interval (a start
// while running starts it over), stopped, and calling its handler each time
// the interval has passed. The window gives its logic Qt timers; tests give
// it timers whose time they move on by hand.

#include <functional>

#include <QString>
#include <QTimer>

class Ticker
{
public:
    virtual ~Ticker() = default;

    virtual void start(int intervalMs) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

    void setHandler(std::function<void()> handler) { m_handler = std::move(handler); }

protected:
    void fire()
    {
        if (m_handler) {
            m_handler();
        }
    }

private:
    std::function<void()> m_handler;
};

class QtTicker : public Ticker
{
public:
    // A timer whose handler always stops it can be single-shot: it then
    // never wakes the program again by itself.
    enum Repeat
    {
        Repeating,
        SingleShot
    };

    explicit QtTicker(const QString& name, Repeat repeat = Repeating)
    {
        m_timer.setObjectName(name);
        m_timer.setSingleShot(repeat == SingleShot);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { fire(); });
    }

    void start(int intervalMs) override { m_timer.start(intervalMs); }

    void stop() override { m_timer.stop(); }

    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};
