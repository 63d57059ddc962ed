#pragma once

// A QLineEdit or QPlainTextEdit as the text-box reader sees it, and the wide
// caret drawn in it while the reader is attached.

#include <memory>

#include <QPointer>

#include "speech/TextBoxField.h"

class QLineEdit;
class QPlainTextEdit;
class QStyle;
class QWidget;

class QtTextBoxField : public TextBoxField
{
public:
    explicit QtTextBoxField(QLineEdit* edit);
    explicit QtTextBoxField(QPlainTextEdit* edit);
    ~QtTextBoxField() override;

    QWidget* widget() const;

    QString text() const override;
    int caretPosition() const override;
    QString selectedText() const override;
    int selectionStart() const override;
    bool isReadOnly() const override;
    int limitText() const override;
    int textHeight() const override;
    int textWidth() const override;
    QString clipboardText() const override;
    void setClipboardText(const QString& text) override;
    void setCaretWidth(int width) override;
    void restoreCaret() override;

    // The width the caret is drawn with now.
    int caretWidth() const;

private:
    QLineEdit* line() const { return m_widget ? m_lineEdit : nullptr; }

    QPlainTextEdit* plain() const { return m_widget ? m_plainEdit : nullptr; }

    // The field may go before this object; the typed pointers are used only
    // while the widget lives.
    QPointer<QWidget> m_widget;
    QLineEdit* m_lineEdit = nullptr;
    QPlainTextEdit* m_plainEdit = nullptr;
    // A line edit takes its caret width from its style.
    std::unique_ptr<QStyle> m_caretStyle;
    int m_originalWidth = -1;
};
