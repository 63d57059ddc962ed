#pragma once

// Line and column of the caret and the font metrics of the text field the
// reader is attached to. GUI-free: the field comes through TextBoxField.

#include <QString>

class TextBoxField;

class CTextBoxInfo
{
public:
    // Stores the field and reads its font metrics.
    void Initialize(TextBoxField* field);

    // Number of lines (an empty text has one).
    int Get_LineNum() const;
    // The caret's line and column, from 0.
    int Get_CurrentRow() const;
    int Get_CurrentCol() const;

    int Get_TextHeight() const { return m_height; }

    int Get_TextWidth() const { return m_width; }

    int Get_LimitText() const;
    int Get_Size() const;

    // Line of a position in a text, from 0, and where that line starts and ends.
    static int rowOf(const QString& text, int pos);
    static int lineStart(const QString& text, int pos);
    static int lineEnd(const QString& text, int pos);

private:
    TextBoxField* m_field = nullptr;
    int m_height = 0;
    int m_width = 0;
};
