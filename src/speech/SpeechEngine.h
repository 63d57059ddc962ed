#pragma once

// What the program needs from a text-to-speech engine: voice modes, three
// levels with their ranges, queued speaking of identified utterances and the
// notifications that pace reading. The main window owns the one engine; the
// speech output drives it. GUI-free, so the core can use it.

#include <QObject>
#include <QString>

#include "speech/VoiceChoice.h"

class SpeechEngine : public QObject
{
    Q_OBJECT

public:
    // Identifies one utterance from speak() to its finished() notification.
    // 0 is never a valid id.
    using UtteranceId = quint64;

    struct Range
    {
        int min = 0;
        int max = 0;
    };

    explicit SpeechEngine(QObject* parent = nullptr);
    ~SpeechEngine() override;

    // Voice modes count from 1; 0 is "none".
    virtual int modeCount() const = 0;
    virtual QString modeName(int mode) const = 0;
    virtual QString productName(int mode) const = 0;
    virtual bool isJapanese(int mode) const = 0;
    // Applies to the utterances queued afterwards; false for an unknown mode.
    virtual bool selectMode(int mode) = 0;
    virtual int currentMode() const = 0;
    // The output module, voice name and language behind a mode; an engine
    // without modules reports its product name as the module.
    virtual VoiceInfo voiceInfo(int mode) const;

    virtual Range pitchRange() const = 0;
    virtual Range speedRange() const = 0;
    virtual Range volumeRange() const = 0;
    // Values are clamped to their range and apply to the utterances queued
    // afterwards.
    virtual void setPitch(int value) = 0;
    virtual void setSpeed(int value) = 0;
    virtual void setVolume(int value) = 0;
    virtual int pitch() const = 0;
    virtual int speed() const = 0;
    virtual int volume() const = 0;

    // Queues one text and returns at once. Every id returned is later reported
    // by exactly one finished(), also when it was cancelled or never started;
    // 0 means nothing was queued and nothing will be reported.
    virtual UtteranceId speak(const QString& text) = 0;
    // Stops what is playing and discards what is queued. The finished()
    // notifications of the discarded utterances arrive later, from the event
    // loop, never from inside this call.
    virtual void audioReset() = 0;
    // True from speak() until the last queued utterance has been finished.
    virtual bool isSpeaking() const = 0;

    // True when an utterance spoken while another plays follows it without a
    // gap, so continuous reading can hand over the next unit early. An engine
    // that plays only the newest utterance says false.
    virtual bool queuesUtterances() const { return false; }

Q_SIGNALS:
    void started(SpeechEngine::UtteranceId id);
    void finished(SpeechEngine::UtteranceId id);
    // Reported once when the engine finds that its speech is never heard (no
    // audio output), so the user can be told.
    void audioOutputFailed();
};
