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
    : m_widget(edit)
    , m_lineEdit(edit)
{}

QtTextBoxField::QtTextBoxField(QPlainTextEdit* edit)
    : m_widget(edit)
    , m_plainEdit(edit)
{}

QtTextBoxField::~QtTextBoxField()
{
    restoreCaret();
}

QWidget* QtTextBoxField::widget() const
{
    return m_widget.data();
}

QString QtTextBoxField::text() const
{
    if (line()) {
        return line()->text();
    }
    return plain() ? plain()->toPlainText() : QString();
}

int QtTextBoxField::caretPosition() const
{
    if (line()) {
        return line()->cursorPosition();
    }
    return plain() ? plain()->textCursor().position() : 0;
}

QString QtTextBoxField::selectedText() const
{
    if (line()) {
        return line()->selectedText();
    }
    return plain() ? plainLines(plain()->textCursor().selectedText()) : QString();
}

int QtTextBoxField::selectionStart() const
{
    if (line()) {
        return line()->hasSelectedText() ? line()->selectionStart() : line()->cursorPosition();
    }
    return plain() ? plain()->textCursor().selectionStart() : 0;
}

bool QtTextBoxField::isReadOnly() const
{
    if (line()) {
        return line()->isReadOnly();
    }
    return plain() ? plain()->isReadOnly() : true;
}

int QtTextBoxField::limitText() const
{
    if (line()) {
        return line()->maxLength();
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
    if (plain()) {
        if (m_originalWidth < 0) {
            m_originalWidth = plain()->cursorWidth();
        }
        plain()->setCursorWidth(width);
    } else if (line()) {
        // The style is the line edit's only; its own style (if any) is not
        // replaced.
        if (!line()->testAttribute(Qt::WA_SetStyle) || m_caretStyle) {
            auto style = std::make_unique<WideCaretStyle>(width);
            line()->setStyle(style.get());
            m_caretStyle = std::move(style);
        }
    }
}

void QtTextBoxField::restoreCaret()
{
    if (plain() && m_originalWidth >= 0) {
        plain()->setCursorWidth(m_originalWidth);
        m_originalWidth = -1;
    }
    if (m_caretStyle) {
        if (m_widget) {
            m_widget->setStyle(nullptr);
            m_widget->setAttribute(Qt::WA_SetStyle, false);
        }
        m_caretStyle.reset();
    }
}

int QtTextBoxField::caretWidth() const
{
    if (plain()) {
        return plain()->cursorWidth();
    }
    return line() ? line()->style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, line()) : 0;
}
