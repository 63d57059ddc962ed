#pragma once

// A dialog for typing one line of text, with a spoken prompt: the proxy
// setting uses it. The caption and the prompt are spoken once when it first
// comes up; "設定" confirms, Escape cancels (the result is then empty), F1
// speaks the dialog's help.

#include <QDialog>

class HelpMenu;
class QLabel;
class QLineEdit;
class QPushButton;
class SoundPlayer;
class SpeechOutput;
class TextBoxSpeaker;
class mSpeakTextBox;

class LineEditDlg : public QDialog
{
    Q_OBJECT

public:
    LineEditDlg(SpeechOutput* speech, SoundPlayer* sounds, const HelpMenu* help, QWidget* parent = nullptr);
    ~LineEditDlg() override;

    // Sets the caption and the prompt; the announcement is due again.
    void Initialize(const QString& caption, const QString& comment);
    void setText(const QString& text);

    // The confirmed text without surrounding blanks; empty when cancelled.
    QString result() const { return m_result; }

    // Makes the text field speak while it has the focus.
    void setTextBoxReader(mSpeakTextBox* reader);

    // Applies the colour scheme of the settings ("1" low vision).
    void setLowVision(bool lowVision);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void done(int r) override;

private:
    void announce();

    SpeechOutput* m_speech;
    SoundPlayer* m_sounds;
    const HelpMenu* m_help;
    QLabel* Label_Comment = nullptr;
    QLineEdit* Text_Msg = nullptr;
    QPushButton* Command_OK = nullptr;
    TextBoxSpeaker* m_textBox = nullptr;
    bool m_announced = false;
    QString m_result;
};
