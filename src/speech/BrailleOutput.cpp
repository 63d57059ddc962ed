#include "BrailleOutput.h"

#include <QRegularExpression>

#include "base/CSettings.h"

using namespace Qt::StringLiterals;

BrailleOutput::BrailleOutput(BrailleDisplay& display, const JapaneseFrontEnd* frontEnd)
    : m_display(display)
    , m_frontEnd(frontEnd)
{
    m_display.onKey = [this](BrailleDisplay::Key k, int argument) { key(k, argument); };
    m_display.onConnected = [this] { render(); };
}

QString BrailleOutput::displayText(const QString& spoken)
{
    // The same markers the reading front end steps round.
    static const QRegularExpression markers(
        u"<&&(?:前|眼|添|引[0-9]+用)|(?:後|瑠|付|引[0-9]+用)&&>|&&pitch;[0-9]?"_s);
    QString text = spoken;
    text.remove(markers);
    text.replace(u"\r\n"_s, u" "_s);
    text.replace(u'\n', u' ');
    return text.trimmed().left(kMaxChars);
}

void BrailleOutput::applySettings(const CSettings& settings)
{
    setMode(settings.Get_Named(QString::fromUtf16(kTextKey)) == u"1"_s ? Mode::Text : Mode::Kana);
    setEnabled(settings.Get_Named(QString::fromUtf16(kOffKey)) != u"1"_s);
}

void BrailleOutput::setEnabled(bool enabled)
{
    if (enabled == m_enabled) {
        return;
    }
    m_enabled = enabled;
    if (enabled) {
        render();
    } else {
        m_display.release();
    }
}

void BrailleOutput::setMode(Mode mode)
{
    if (mode == m_mode) {
        return;
    }
    m_mode = mode;
    setLine(m_text);
    render();
}

void BrailleOutput::show(const QString& spoken)
{
    // What a routing key asked to be spoken leaves the line as it is.
    if (m_routing) {
        return;
    }
    const QString text = displayText(spoken);
    if (text.isEmpty()) {
        return;
    }
    m_history.append(text);
    if (m_history.size() > kHistory) {
        m_history.removeFirst();
    }
    m_historyAt = m_history.size() - 1;
    setLine(text);
    render();
}

void BrailleOutput::setLine(const QString& text)
{
    m_text = text;
    m_window = 0;
    m_cursor = -1;
    // The cells are made only where they are shown: without a display the
    // voice pays nothing for them.
    const bool shown = m_mode == Mode::Kana && m_enabled && m_display.isConnected();
    m_line = shown ? KanaBraille::translate(text, m_frontEnd) : KanaBraille::Line{};
}

int BrailleOutput::lineLength() const
{
    return int(m_mode == Mode::Kana ? m_line.cells.size() : m_text.size());
}

void BrailleOutput::render()
{
    const int width = m_display.cellCount();
    if (!m_enabled || width <= 0 || !m_display.isConnected()) {
        return;
    }
    if (m_mode == Mode::Text) {
        const int cursor =
            m_cursor >= m_window && m_cursor < m_window + width ? int(m_cursor - m_window) : -1;
        m_display.writeText(m_text.mid(m_window, width), cursor);
        return;
    }
    if (m_line.cells.isEmpty() && !m_text.isEmpty()) {
        m_line = KanaBraille::translate(m_text, m_frontEnd);
    }
    QByteArray cells = m_line.cells.mid(m_window, width);
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (m_cursor >= 0 && m_line.source.at(m_window + i) == m_cursor) {
            cells[i] = char(cells.at(i) | kCursorDots);
        }
    }
    cells.resize(width, 0);
    m_display.writeDots(cells);
}

void BrailleOutput::key(BrailleDisplay::Key key, int argument)
{
    if (!m_enabled) {
        return;
    }
    const int width = qMax(m_display.cellCount(), 1);
    switch (key) {
    case BrailleDisplay::Key::PanRight:
        if (m_window + width < lineLength()) {
            m_window += width;
        }
        break;
    case BrailleDisplay::Key::PanLeft:
        m_window = qMax(0, m_window - width);
        break;
    case BrailleDisplay::Key::LineUp:
    case BrailleDisplay::Key::LineDown: {
        const qsizetype to = m_historyAt + (key == BrailleDisplay::Key::LineUp ? -1 : 1);
        if (to < 0 || to >= m_history.size()) {
            return;
        }
        m_historyAt = to;
        setLine(m_history.at(to));
        break;
    }
    case BrailleDisplay::Key::Route: {
        const int at = m_window + argument;
        if (argument < 0 || at >= lineLength()) {
            return;
        }
        m_cursor = m_mode == Mode::Kana ? m_line.source.at(at) : at;
        render();
        if (onRoute) {
            m_routing = true;
            onRoute(m_text, m_cursor);
            m_routing = false;
        }
        return;
    }
    }
    render();
}
