#pragma once

// The text-box reader: while a dialog's text field has the focus it speaks
// what the user does there. Moving the caret reads the character or line
// reached, deleting reads what goes, the clipboard keys say how many bytes
// they moved, Ctrl with a digit reports where the caret is, Ctrl+Alt with a
// digit switches a reading option and says so, typed characters are read one
// by one, and the input method's conversions are read in detail so that
// homophone kanji can be told apart.
//
// One reader serves the whole program (only one field has the focus). It is
// GUI-free: the dialogs hand it their keys and input-method events (see
// TextBoxSpeaker) and the field through TextBoxField. Key-down calls come
// before the field handles the key, key-up calls after it has moved the
// caret or changed the text. Every announcement goes through SpeakText in
// the pitch-marked speech mode. Counts are bytes of code page 932.

#include <QHash>
#include <QString>

#include "speech/CImeManager.h"
#include "speech/CTextBoxInfo.h"

class CSettings;
class CShosaiYomi;
class SpeechOutput;
class TextBoxField;

class mSpeakTextBox
{
public:
    // Parts of the line around a position (Get_CurrentLine).
    enum class LinePart
    {
        Whole,
        Before,
        After
    };

    // Positions past this are announced instead of read.
    static constexpr int kCaretLimit = 65535;

    mSpeakTextBox(SpeechOutput& speech, CSettings& settings, const CShosaiYomi& yomi);

    // Takes over a field that got the focus: a caret a third of the
    // character height wide, the composition forgotten.
    void Attach(TextBoxField* field);
    // Gives the field back as it was; its keys are no longer read.
    void Detach();

    TextBoxField* attachedField() const { return m_field; }

    // The reader's record of the input method's state: on once it was seen
    // composing, off once a typed character came past it.
    bool imeOpen() const { return m_ime.IsOpen(); }

    // A composition is open: Escape belongs to the input method then, not to
    // the dialog.
    bool imeComposing() const { return m_composing; }

    // True when the key was the reader's own command (an option switch),
    // which the field must not see (it would type the digit).
    bool keyDown(int key, Qt::KeyboardModifiers modifiers);
    void keyUp(int key, Qt::KeyboardModifiers modifiers);
    // A character the field received from the keyboard (not from the input
    // method).
    void charInput(const QString& text);
    // An input-method event delivered to the field.
    void imeComposition(const CImeManager::Composition& composition);

    // The field was emptied.
    void announceCleared();

    static QString Get_CurrentLine(const QString& text, int pos, LinePart part);
    // The copied text with "> " before every line, carrying over the quote
    // marks that open the caret's line.
    static QString quotedCopy(const QString& caretLine, const QString& copied);
    // Bytes in code page 932; a character it cannot hold counts as the one
    // byte that stands in for it.
    static int byteLength(QStringView text);

private:
    // The reading of one character with the caret options.
    QString oneCharReading(const QString& ch) const;
    void say(const QString& text);
    bool setting(qint16 index) const;
    bool screenReaderUse() const;
    void switchOption(int digit);
    void report(int digit);
    QString withWordAfterMarker(const QString& reading, const QString& word) const;
    QString lineReading(const QString& line) const;
    void readDelete(bool backspace);
    void readHorizontal(bool left);
    void readVertical(bool up);
    void readPaste();

    SpeechOutput& m_speech;
    CSettings& m_settings;
    const CShosaiYomi& m_yomi;
    TextBoxField* m_field = nullptr;
    CTextBoxInfo m_info;
    CImeManager m_ime;
    bool m_composing = false;
    // Keys whose press the reader saw: the release of a key the input
    // method consumed is not read.
    QHash<int, Qt::KeyboardModifiers> m_pressed;
    int m_caretAtKeyDown = 0;
    int m_rowAtKeyDown = 0;
    bool m_caretTooFar = false;
    // Paste: the text length, selection and clipboard before the field pasted.
    int m_lengthBeforePaste = 0;
    int m_selectionBeforePaste = 0;
    int m_selectionStartBeforePaste = 0;
    QString m_clipboardBeforePaste;
    // Conversion reading: whether this composition was read converted yet,
    // and which clause was the target then.
    bool m_converted = false;
    CImeManager::TargetClauseInfo m_lastTarget;
};
