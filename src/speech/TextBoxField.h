#pragma once

// A text field as the text-box reader sees it: its text, caret and
// selection, its limits, its font and the clipboard it copies to. The
// dialogs give the reader their QLineEdit or QPlainTextEdit through this, so
// the reader itself stays free of widgets. Positions count UTF-16 units of
// text(); lines are separated by "\n".

#include <QString>

class TextBoxField
{
public:
    virtual ~TextBoxField() = default;

    virtual QString text() const = 0;
    virtual int caretPosition() const = 0;
    virtual QString selectedText() const = 0;
    // Where the selection starts; the caret position when nothing is selected.
    virtual int selectionStart() const = 0;
    virtual bool isReadOnly() const = 0;
    // The most characters the field takes.
    virtual int limitText() const = 0;
    // Character height and average width of the field's font, in pixels.
    virtual int textHeight() const = 0;
    virtual int textWidth() const = 0;

    virtual QString clipboardText() const = 0;
    virtual void setClipboardText(const QString& text) = 0;

    // Draws the caret this many pixels wide, or as the field had it.
    virtual void setCaretWidth(int width) = 0;
    virtual void restoreCaret() = 0;
};
