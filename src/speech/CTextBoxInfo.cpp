#include "CTextBoxInfo.h"

#include <algorithm>

#include "speech/TextBoxField.h"

void CTextBoxInfo::Initialize(TextBoxField* field)
{
    m_field = field;
    m_height = field != nullptr ? field->textHeight() : 0;
    m_width = field != nullptr ? field->textWidth() : 0;
}

int CTextBoxInfo::Get_LineNum() const
{
    return m_field != nullptr ? int(m_field->text().count(u'\n')) + 1 : 0;
}

int CTextBoxInfo::Get_CurrentRow() const
{
    return m_field != nullptr ? rowOf(m_field->text(), m_field->caretPosition()) : 0;
}

int CTextBoxInfo::Get_CurrentCol() const
{
    if (m_field == nullptr) {
        return 0;
    }
    const QString text = m_field->text();
    const int pos = m_field->caretPosition();
    return pos - lineStart(text, pos);
}

int CTextBoxInfo::Get_LimitText() const
{
    return m_field != nullptr ? m_field->limitText() : 0;
}

int CTextBoxInfo::Get_Size() const
{
    return m_field != nullptr ? int(m_field->text().size()) : 0;
}

int CTextBoxInfo::rowOf(const QString& text, int pos)
{
    pos = std::clamp(pos, 0, int(text.size()));
    return int(QStringView(text).first(pos).count(u'\n'));
}

int CTextBoxInfo::lineStart(const QString& text, int pos)
{
    pos = std::clamp(pos, 0, int(text.size()));
    return pos == 0 ? 0 : int(text.lastIndexOf(u'\n', pos - 1)) + 1;
}

int CTextBoxInfo::lineEnd(const QString& text, int pos)
{
    pos = std::clamp(pos, 0, int(text.size()));
    const qsizetype end = text.indexOf(u'\n', pos);
    return end < 0 ? int(text.size()) : int(end);
}
