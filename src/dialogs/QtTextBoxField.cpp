#include "QtTextBoxField.h"

#include <limits>

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QTextCursor>

namespace {

class WideCaretStyle : public QProxyStyle
{
public:
    explicit WideCaretStyle(int width)
        : m_width(width)
    {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_TextCursorWidth) {
            return m_width;
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

private:
    int m_width;
};

// QTextCursor separates paragraphs with U+2029; the reader counts "\n".
QString plainLines(QString text)
{
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

}  // namespace

QtTextBoxField::QtTextBoxField(QLineEdit* edit)
    : m_line(edit)
{}

QtTextBoxField::QtTextBoxField(QPlainTextEdit* edit)
    : m_plain(edit)
{}

QtTextBoxField::~QtTextBoxField()
{
    restoreCaret();
}

QWidget* QtTextBoxField::widget() const
{
    if (m_line) {
        return m_line;
    }
    return m_plain;
}

QString QtTextBoxField::text() const
{
    if (m_line) {
        return m_line->text();
    }
    return m_plain ? m_plain->toPlainText() : QString();
}

int QtTextBoxField::caretPosition() const
{
    if (m_line) {
        return m_line->cursorPosition();
    }
    return m_plain ? m_plain->textCursor().position() : 0;
}

QString QtTextBoxField::selectedText() const
{
    if (m_line) {
        return m_line->selectedText();
    }
    return m_plain ? plainLines(m_plain->textCursor().selectedText()) : QString();
}

int QtTextBoxField::selectionStart() const
{
    if (m_line) {
        return m_line->hasSelectedText() ? m_line->selectionStart() : m_line->cursorPosition();
    }
    return m_plain ? m_plain->textCursor().selectionStart() : 0;
}

bool QtTextBoxField::isReadOnly() const
{
    if (m_line) {
        return m_line->isReadOnly();
    }
    return m_plain ? m_plain->isReadOnly() : true;
}

int QtTextBoxField::limitText() const
{
    if (m_line) {
        return m_line->maxLength();
    }
    return std::numeric_limits<int>::max();
}

int QtTextBoxField::textHeight() const
{
    const QWidget* w = widget();
    return w ? QFontMetrics(w->font()).height() : 0;
}

int QtTextBoxField::textWidth() const
{
    const QWidget* w = widget();
    return w ? QFontMetrics(w->font()).averageCharWidth() : 0;
}

QString QtTextBoxField::clipboardText() const
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}

void QtTextBoxField::setClipboardText(const QString& text)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->setText(text);
    }
}

void QtTextBoxField::setCaretWidth(int width)
{
    if (m_plain) {
        if (m_originalWidth < 0) {
            m_originalWidth = m_plain->cursorWidth();
        }
        m_plain->setCursorWidth(width);
    } else if (m_line) {
        // The style is the line edit's only; its own style (if any) is not
        // replaced.
        if (!m_line->testAttribute(Qt::WA_SetStyle) || m_caretStyle) {
            auto style = std::make_unique<WideCaretStyle>(width);
            m_line->setStyle(style.get());
            m_caretStyle = std::move(style);
        }
    }
}

void QtTextBoxField::restoreCaret()
{
    if (m_plain && m_originalWidth >= 0) {
        m_plain->setCursorWidth(m_originalWidth);
        m_originalWidth = -1;
    }
    if (m_caretStyle) {
        if (m_line) {
            m_line->setStyle(nullptr);
            m_line->setAttribute(Qt::WA_SetStyle, false);
        }
        m_caretStyle.reset();
    }
}

int QtTextBoxField::caretWidth() const
{
    if (m_plain) {
        return m_plain->cursorWidth();
    }
    return m_line ? m_line->style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, m_line) : 0;
}
