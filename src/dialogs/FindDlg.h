#pragma once

// The find dialog: asks for one search key. Its caption is spoken when it
// comes up; Enter on the field or the "検索" button hands back the typed text
// (which may be empty: the last key is searched again), Escape hands back
// kCancelled unless the input method is composing, F1 speaks the dialog's
// help. The field is one text line high at every font size.

#include <QDialog>
#include <QTimer>

class CSrCntl;
class HelpMenu;
class QLineEdit;
class QPushButton;
class SpeechOutput;
class TextBoxSpeaker;
class mSpeakTextBox;

class FindDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char16_t* kCaption = u"検索ダイアログ";
    static constexpr const char16_t* kCancelled = u"__escape_cancel__";

    FindDlg(SpeechOutput* speech, const HelpMenu* help, QWidget* parent = nullptr);
    ~FindDlg() override;

    // The typed key, or kCancelled.
    QString result() const { return m_result; }

    // Makes the key field speak while it has the focus.
    void setTextBoxReader(mSpeakTextBox* reader);

    // Applies the colour scheme of the settings ("1" low vision).
    void setLowVision(bool lowVision);

    // The key field's type size in points; the dialog is sized to one line of it.
    void setFontSize(int points);

    // A running screen reader is silenced whenever the dialog comes to the front.
    void setScreenReaders(CSrCntl* screenReaders) { m_screenReaders = screenReaders; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void done(int r) override;

private:
    void fitToOneLine();

    SpeechOutput* m_speech;
    const HelpMenu* m_help;
    QLineEdit* Text_Key = nullptr;
    QPushButton* Command_Find = nullptr;
    QTimer Timer1;
    TextBoxSpeaker* m_textBox = nullptr;
    CSrCntl* m_screenReaders = nullptr;
    bool m_announced = false;
    QString m_result;
};
