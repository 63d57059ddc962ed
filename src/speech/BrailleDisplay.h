#pragma once

// What the braille output needs of a refreshable braille display: its
// width, a line of cells or of text to show, and the display's own keys.
// The platform layer gives it through BrlAPI; tests give a recorder.

#include <functional>

#include <QByteArray>
#include <QString>

class BrailleDisplay
{
public:
    enum class Key
    {
        PanLeft,   // the previous window of the line
        PanRight,  // the next window of the line
        LineUp,    // the unit before (already said)
        LineDown,  // the unit after
        Route,     // a routing key: the argument is its cell, from 0
    };

    virtual ~BrailleDisplay() = default;

    virtual bool isConnected() const = 0;
    // Cells on the display's one line; 0 while not connected.
    virtual int cellCount() const = 0;
    // Dots for every cell of the display (bit n - 1 for dot n).
    virtual bool writeDots(const QByteArray& cells) = 0;
    // Text that the display's own braille table turns into cells; the
    // cursor is a character of it, -1 for none.
    virtual bool writeText(const QString& text, int cursor) = 0;
    // Gives the display back to the screen reader or console (braille
    // turned off); the next write takes it again.
    virtual void release() = 0;

    // The keys pressed on the display, and a display that has just come
    // (the line is shown again).
    std::function<void(Key key, int argument)> onKey;
    std::function<void()> onConnected;
};
