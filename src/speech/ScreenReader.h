#pragma once

// One kind of screen reader that the program keeps quiet while it speaks
// itself. CSrCntl holds the kinds found at start-up. GUI-free.

#include <QtGlobal>

class ScreenReader
{
public:
    virtual ~ScreenReader() = default;

    // The number stored in CSrCntl's list for this kind.
    virtual qint16 kind() const = 0;
    // True when this reader is running for the user.
    virtual bool detect() = 0;
    // Keeps the reader from talking over the program. Called every 10 ms, so
    // it must be cheap; failures are ignored.
    virtual void silence() = 0;

    // Releases what detect() took; safe to call more than once.
    virtual void end() {}
};
