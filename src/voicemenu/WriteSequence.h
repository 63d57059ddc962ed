#pragma once

// What the posting dialog does, without its widgets: the caption and the
// button's text for the mode, the sentences spoken when a field takes the
// focus and for the voice check, the write button's refusals, the posting
// notice before the first post of 24 hours, and the timer that carries out
// the post and waits for its outcome to be spoken. The dialog only shows the
// fields and passes on presses and focus changes.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

class CHttp;
class CSettings;
class SpeechOutput;

class WriteSequence : public QObject
{
    Q_OBJECT

public:
    enum class Field
    {
        Title,
        Name,
        Mail,
        Body,
        VoiceCheckButton,
        WriteButton,
    };

    struct Texts
    {
        QString title;
        QString name;
        QString mail;
        QString body;
    };

    static constexpr int kTickMs = 300;

    WriteSequence(SpeechOutput* speech, CSettings& settings, CHttp* http, QObject* parent = nullptr);

    // The target: the thread's URL for a reply, the board's for a new thread
    // (suretate). The caption is due again as a prefix.
    void setTarget(const QString& url, bool machibbs, bool suretate);

    bool suretate() const { return m_suretate; }

    QString caption() const;
    QString writeButtonText() const;

    // The sentence for a field that took the focus; the first one after the
    // opening starts with the caption.
    QString focusAnnouncement(Field field, const QString& text);

    static QString voiceCheck(const Texts& texts, bool suretate);

    // The voice-check button: stops speech and speaks the check.
    void pressVoiceCheck(const Texts& texts);

    // The write button. A refusal is spoken and names the field that takes
    // the focus (emitted through focusWanted).
    void pressWrite(const Texts& texts);

    // The timer's step (as the dialog's Timer_Write).
    void tick();

    int writeStep() const { return m_writeStep; }

    bool timerActive() const { return m_timer.isActive(); }

    bool postSucceeded() const { return m_succeeded; }

    QString spokenText() const { return m_spokenText; }

    // The clock (tests set it).
    void setNow(const QDateTime& now) { m_fixedNow = now; }

    static QString noticeText();

signals:
    void focusWanted(WriteSequence::Field field);
    // The post was accepted and its outcome spoken: reload and close.
    void posted();

private:
    QDateTime now() const;
    void speak(const QString& text, bool uninterruptible = false);

    SpeechOutput* m_speech;
    CSettings& m_settings;
    CHttp* m_http;
    QTimer m_timer;
    QString m_url;
    bool m_machibbs = false;
    bool m_suretate = false;
    bool m_captionAnnounced = false;
    int m_writeStep = 0;
    bool m_succeeded = false;
    QString m_spokenText;
    Texts m_texts;
    QDateTime m_fixedNow;
};
