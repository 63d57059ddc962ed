#pragma once

// Keeps running screen readers quiet while the program speaks itself. The
// readers are looked for once, at start-up; afterwards Block_SRVoice silences
// each one found, every 10 ms and whenever one of our windows is activated.
// The main window owns the one instance; the reader kinds it can look for are
// handed in, so the core never sees how a reader is reached.

#include <QList>

class ScreenReader;

class CSrCntl
{
public:
    // The kinds are looked for in this order; CSrCntl does not own them.
    explicit CSrCntl(const QList<ScreenReader*>& readers = {});
    ~CSrCntl();

    void setReaders(const QList<ScreenReader*>& readers) { m_readers = readers; }

    // Looks for the readers; returns the number found.
    int InitInstance();
    // Releases the readers found. Safe to call more than once.
    void ExitInstance();
    // Silences every reader found; does nothing before InitInstance or when
    // none was found. Cheap enough for a 10 ms timer.
    void Block_SRVoice();

    // The kinds found, in detection order, counting from 1.
    qint16 count() const { return m_count; }

    qint16 kind(int index) const;

    bool isInitialised() const { return m_initialised; }

private:
    QList<ScreenReader*> m_readers;
    QList<ScreenReader*> m_found;  // parallel to m_kinds, without its sentinel
    QList<qint16> m_kinds;         // element 0 is an empty sentinel; kinds count from 1
    qint16 m_count = 0;
    bool m_initialised = false;
};
