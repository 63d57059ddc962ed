#pragma once

// The message being read, shown as plain text in one box, so that the user can
// walk through it with the ordinary editing keys while the text-box reader
// speaks the characters and lines the caret passes. It comes up with the caret
// on the line that was being read and speaks its caption; F1 speaks its help,
// and when no key has been used for five seconds a short help is given once.
// Escape closes it. Changes to the text are not kept.

#include <memory>

#include <QDialog>

class CFormState;
class CSrCntl;
class HelpMenu;
class QPlainTextEdit;
class SettingsStore;
class SoundPlayer;
class SpeechOutput;
class TextBoxSpeaker;
class Ticker;
class WidgetFormWindow;
class mSpeakTextBox;

class EditModeViewer : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char16_t* kCaption = u"編集モードビューア";
    static constexpr int kHelpDelayMs = 5000;

    // helpTimer: the timer of the delayed help; a Qt timer when none is given
    // (tests give one whose time they move on themselves). Not owned.
    EditModeViewer(SpeechOutput* speech,
                   SoundPlayer* sounds,
                   const HelpMenu* help,
                   QWidget* parent = nullptr,
                   Ticker* helpTimer = nullptr);
    ~EditModeViewer() override;

    // The caret's place (an offset into the text given to setText) whenever
    // the viewer comes to the front.
    void Initialize(qint32 cur_pos);
    void setText(const QString& text);

    // Makes the text box speak while it has the focus.
    void setTextBoxReader(mSpeakTextBox* reader);

    // A running screen reader is silenced whenever the viewer comes to the front.
    void setScreenReaders(CSrCntl* screenReaders) { m_screenReaders = screenReaders; }

    // Applies the colour scheme of the settings ("1" low vision).
    void setLowVision(bool lowVision);
    // The text's type size in points.
    void setFontSize(int points);
    // Restores the window's place now and saves it on closing.
    void setFormStore(SettingsStore* store);

    // The delayed help's tick: the short help, when speech is idle and it is
    // still due.
    void Timer_Help_Tick();

    // What F1 speaks for a window of this caption.
    static QString helpText(const HelpMenu& help, const QString& caption);
    // The caret's place in the text box for the start of the unit being
    // read: a unit begins with the line break before its line, and the caret
    // goes to the line itself.
    static int caretPosition(const QString& text, qint32 unitStart);
    // The text box's place in a window of this inner size, kept left pixels
    // from the left edge and as far from the right and bottom edges.
    static QRect textViewGeometry(const QSize& inner, int left);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void done(int r) override;

private:
    void activated();
    void removeKeyFilter();
    // Handles one key of the viewer's window; true when the key goes no further.
    bool viewerKey(QKeyEvent* key, bool pressed);

    SpeechOutput* m_speech;
    SoundPlayer* m_sounds;
    const HelpMenu* m_help;
    QPlainTextEdit* Text_View = nullptr;
    std::unique_ptr<Ticker> m_ownTimer;
    Ticker* Timer_Help = nullptr;
    TextBoxSpeaker* m_textBox = nullptr;
    CSrCntl* m_screenReaders = nullptr;
    std::unique_ptr<WidgetFormWindow> m_formWindow;
    std::unique_ptr<CFormState> m_fstate;
    QString m_text;
    qint32 cur_pos = 0;
    bool m_keyFilter = false;
    bool m_helpDue = false;
    bool m_keyPressed = false;
};
