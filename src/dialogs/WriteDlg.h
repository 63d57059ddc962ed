#pragma once

// The window in which a reply or a new thread is written by ear. Every field
// announces itself when it takes the focus, the voice-check button reads back
// what has been typed, and the write button hands the post to the writing
// sequence (notice, post, outcome). The dialog closes after an accepted post
// (the caller then reloads) and stays open, fields intact, after a failure.

#include <QDialog>

#include "voicemenu/WriteSequence.h"

class CFormState;
class CSrCntl;
class CHttp;
class CSettings;
class HelpMenu;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class SettingsStore;
class SoundPlayer;
class SpeechOutput;
class TextBoxSpeaker;
class WidgetFormWindow;
class mSpeakTextBox;

class WriteDlg : public QDialog
{
    Q_OBJECT

public:
    WriteDlg(SpeechOutput* speech,
             SoundPlayer* sounds,
             const HelpMenu* help,
             CSettings& settings,
             CHttp* http,
             QWidget* parent = nullptr);
    ~WriteDlg() override;

    // The target from the main window's Get_Url: clears the fields, sets
    // caption and buttons for the mode and speaks the caption.
    void Initialize(const QString& url, bool machibbs, bool suretate);

    void setTextBoxReader(mSpeakTextBox* reader);

    // Silenced whenever the dialog is activated.
    void setScreenReaders(CSrCntl* screenReaders) { m_screenReaders = screenReaders; }

    void setLowVision(bool lowVision);
    // Restores the window's place now and saves it on closing.
    void setFormStore(SettingsStore* store);

    bool postSucceeded() const { return m_sequence.postSucceeded(); }

    WriteSequence& sequence() { return m_sequence; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void done(int r) override;

private:
    WriteSequence::Texts texts() const;
    QWidget* widgetOf(WriteSequence::Field field) const;

    SpeechOutput* m_speech;
    SoundPlayer* m_sounds;
    const HelpMenu* m_help;
    WriteSequence m_sequence;
    QLabel* Label_Title = nullptr;
    QLineEdit* Text_Title = nullptr;
    QLabel* Label_Name = nullptr;
    QLineEdit* Text_Name = nullptr;
    QLabel* Label_Mail = nullptr;
    QLineEdit* Text_Mail = nullptr;
    QPlainTextEdit* Text_Edit = nullptr;
    QPushButton* Command_Write[2] = {nullptr, nullptr};
    TextBoxSpeaker* m_textBox = nullptr;
    CSrCntl* m_screenReaders = nullptr;
    std::unique_ptr<WidgetFormWindow> m_formWindow;
    std::unique_ptr<CFormState> m_formState;
    bool m_activated = false;
};
