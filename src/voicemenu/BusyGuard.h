#pragma once

// Holds the voice menu fixed (its busy flag set) while a download or the
// opening of a thread runs, however it ends; a guard inside another leaves
// the flag as the outer one set it.

class BusyGuard
{
public:
    explicit BusyGuard(bool& busy)
        : m_busy(busy)
        , m_before(busy)
    {
        m_busy = true;
    }

    ~BusyGuard() { m_busy = m_before; }

    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    bool& m_busy;
    bool m_before;
};
