#pragma once

// The speech engine on speech-dispatcher (libspeechd), the speech service that
// Linux screen readers use. Our messages go at priority "important", so they
// cut off a screen reader that is talking; an audio reset cancels only our own.
// All protocol calls run on a worker thread, so a daemon that stops answering
// never freezes the program; notifications come back on the GUI thread. A
// watchdog ends an utterance that the daemon never finishes (no audio device),
// so reading goes on, and reports once that speech is not heard.

#include <memory>

#include <QHash>
#include <QList>
#include <QString>

#include "speech/LeveledSpeechEngine.h"

class QThread;
class QTimer;
class SpeechdBridge;
class SpeechdWorker;

class SpeechdEngine : public LeveledSpeechEngine
{
    Q_OBJECT

public:
    using Voice = VoiceInfo;

    explicit SpeechdEngine(QObject* parent = nullptr);
    ~SpeechdEngine() override;

    // Connects (starting the daemon when needed) and lists the voice modes:
    // the Japanese voices of every output module, then each module's default
    // voice. Waits at most timeoutMs; false when speech-dispatcher does not
    // answer in time.
    bool open(int timeoutMs = 8000);

    bool isOpen() const { return m_open; }

    QString errorString() const { return m_error; }

    // The first Japanese mode, or 0.
    int firstJapaneseMode() const;

    // Notifications kept for messages the worker has not answered yet (for
    // the audio test: interruptions must not leave any behind).
    int heldNotifications() const { return int(m_early.size()); }

    // The mode to speak with when the user has chosen none (Open JTalk before
    // other Japanese voices, espeak last), or 0; open() selects it.
    int defaultMode() const;

    // The watchdog allows an utterance its estimated duration (characters
    // times msPerChar at speed 0) twice over plus marginMs.
    void setWatchdog(int msPerChar, int marginMs);

    // How long the watchdog waits for the end of a text. A synthesizer that
    // renders the whole utterance before playing it (slowStart) is allowed
    // its synthesis time on top: Open JTalk's first audio comes 0.6 to 1.3 s
    // after the request and its end is reported 0.6 s after the sound.
    static int watchdogMs(const QString& text, int speed, int msPerChar, int marginMs, bool slowStart);
    static constexpr int kSlowStartMs = 600;
    static constexpr int kSlowStartMsPerChar = 10;

    // The markup sent for a text: speech-dispatcher drops 「。」 and 「、」
    // before the synthesizer sees them, so their pauses are written as breaks.
    static QString toSsml(const QString& text);

    int modeCount() const override { return int(m_voices.size()); }

    QString modeName(int mode) const override;
    QString productName(int mode) const override;
    bool isJapanese(int mode) const override;
    bool selectMode(int mode) override;
    VoiceInfo voiceInfo(int mode) const override;

    int currentMode() const override { return m_mode; }

    UtteranceId speak(const QString& text) override;
    void audioReset() override;

    bool isSpeaking() const override { return !m_utterances.isEmpty(); }

    // Our messages share one priority, and speech-dispatcher plays messages
    // of one priority one after another.
    bool queuesUtterances() const override { return true; }

    // Called on the GUI thread by the connection: a notification of the daemon
    // (begin, end, cancel), and the daemon's message id for a queued utterance
    // (not positive when it refused it).
    void notify(int msgId, int type);
    void onQueued(UtteranceId id, int msgId);

private:
    void levelsChanged() override;

    struct Utterance
    {
        int msgId = 0;  // 0 until the daemon has queued it
        bool started = false;
        QTimer* watchdog = nullptr;
        int watchdogMs = 0;  // armed when the utterance is the oldest one left
    };

    void finish(UtteranceId id);
    void onWatchdog(UtteranceId id);
    // Starts the watchdog of the oldest utterance left: one waiting behind
    // another has its time counted from when the one before it ended.
    void armOldestWatchdog();
    template <typename F> void post(F&& call);

    std::shared_ptr<SpeechdBridge> m_bridge;
    std::unique_ptr<QThread> m_thread;
    SpeechdWorker* m_worker = nullptr;  // lives on m_thread
    bool m_open = false;
    QString m_error;
    QList<Voice> m_voices;  // element i is mode i + 1
    int m_mode = 0;
    int m_msPerChar = 150;
    int m_marginMs = 4000;
    UtteranceId m_lastId = 0;
    QHash<UtteranceId, Utterance> m_utterances;  // not yet finished
    QHash<int, UtteranceId> m_byMessage;
    QHash<int, QList<int>> m_early;  // notifications that beat the message id back
    int m_lastAnswered = 0;          // the highest message id the worker reported
    // Utterances on their way at once are few; a bound all the same.
    static constexpr int kMaxEarly = 256;
    bool m_audioFailureReported = false;
};
