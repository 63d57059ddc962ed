#pragma once

// The Orca screen reader. It is found through the accessibility bus's
// "screen reader enabled" state or an Orca process of this user. It is kept
// quiet in two ways: our speech goes at "important" priority, which cuts Orca
// off, and while our windows are active we hand the accessibility layer no
// updates, so Orca has nothing to say about them. When our windows are not
// active the updates flow again, so Orca keeps working everywhere else.

#include <QString>

#include "speech/ScreenReader.h"

class QAccessibleEvent;

class OrcaScreenReader : public ScreenReader
{
public:
    static constexpr qint16 kKind = 5;

    OrcaScreenReader() = default;
    ~OrcaScreenReader() override;

    qint16 kind() const override { return kKind; }

    bool detect() override;
    void silence() override;
    void end() override;

    // The accessibility bus says a screen reader is enabled.
    static bool screenReaderEnabledOnBus(int timeoutMs);
    // An Orca process of the user uid runs, looking in a /proc-like folder.
    static bool orcaProcessRunning(const QString& procRoot, uint uid);

    // Withholds the updates while our windows are active, lets them flow
    // otherwise; silence() passes the application's state.
    void followActivity(bool active);

    bool isWithholding() const { return m_withholding; }

private:
    void withhold(bool on);

    bool m_withholding = false;
    void (*m_previousHandler)(QAccessibleEvent*) = nullptr;
};
