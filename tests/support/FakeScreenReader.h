#pragma once

// A screen reader for tests: present or not as the test says, counting the
// calls made to it.

#include "speech/ScreenReader.h"

class FakeScreenReader : public ScreenReader
{
public:
    FakeScreenReader(qint16 kind, bool present)
        : m_kind(kind)
        , m_present(present)
    {}

    qint16 kind() const override { return m_kind; }

    bool detect() override
    {
        ++detectCalls;
        return m_present;
    }

    void silence() override { ++silenceCalls; }

    void end() override { ++endCalls; }

    int detectCalls = 0;
    int silenceCalls = 0;
    int endCalls = 0;

private:
    qint16 m_kind;
    bool m_present;
};
