#pragma once

// The braille line beside the voice: every unit the program speaks is shown
// as one line on the braille display, in Japanese kana braille or as text
// for the display's own braille table. The display's keys pan through a line
// wider than the display, go back and forth through the last units said,
// and a routing key places the reading position on that cell's character
// (marked with dots 7 and 8) and asks for the character to be spoken.
// GUI-free.

#include <functional>

#include <QList>
#include <QString>
#include <QStringList>

#include "speech/BrailleDisplay.h"
#include "speech/KanaBraille.h"

class CSettings;
class JapaneseFrontEnd;

class BrailleOutput
{
public:
    enum class Mode
    {
        Kana,  // six-dot Japanese braille made here
        Text,  // the text, for the display's own braille table
    };

    // Units kept for going back with the line keys.
    static constexpr int kHistory = 50;
    // The longest unit shown; longer ones are cut (a character-art message
    // is no line to pan through).
    static constexpr int kMaxChars = 2000;
    // Dots 7 and 8 under the reading position.
    static constexpr char kCursorDots = char(0xC0);

    // Named settings: "1" turns braille off (it is on by default, shown
    // whenever a display answers), "1" sends the text instead of kana braille.
    static constexpr const char16_t* kOffKey = u"BrailleOff";
    static constexpr const char16_t* kTextKey = u"BrailleText";

    BrailleOutput(BrailleDisplay& display, const JapaneseFrontEnd* frontEnd);

    // Takes the two settings above.
    void applySettings(const CSettings& settings);

    void setEnabled(bool enabled);

    bool enabled() const { return m_enabled; }

    void setMode(Mode mode);

    Mode mode() const { return m_mode; }

    bool connected() const { return m_display.isConnected(); }

    int cellCount() const { return m_display.cellCount(); }

    // A unit just handed to the voice: shown from its start. Markers of the
    // speech (pitch segments, quotation marks of the text model) are left out.
    void show(const QString& text);

    // Asked for with a routing key: the text shown and the index of the
    // character chosen. Whatever is spoken for it is not shown.
    std::function<void(const QString& text, qsizetype index)> onRoute;

    // What the display shows: the unit, and the first cell (kana) or
    // character (text) in the window.
    QString currentText() const { return m_text; }

    int windowStart() const { return m_window; }

    qsizetype readingPosition() const { return m_cursor; }

    // The text as it is shown: speech markers removed.
    static QString displayText(const QString& spoken);

private:
    void key(BrailleDisplay::Key key, int argument);
    void setLine(const QString& text);
    void render();
    int lineLength() const;

    BrailleDisplay& m_display;
    const JapaneseFrontEnd* m_frontEnd;
    bool m_enabled = true;
    Mode m_mode = Mode::Kana;
    QString m_text;
    KanaBraille::Line m_line;
    int m_window = 0;
    qsizetype m_cursor = -1;
    QStringList m_history;
    qsizetype m_historyAt = -1;  // the unit shown, in m_history
    bool m_routing = false;
};
