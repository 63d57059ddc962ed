#pragma once

// Every word the program says goes through SpeakText here. It prepares the
// text (reading conversion, widening of half-width katakana), sets the pitch
// of the utterance's mode, speaks pitch-marked texts segment by segment and
// keeps the speech state that the reading timer and the voice menu follow.
// The main window owns the one instance. GUI-free.

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "speech/SpeechEngine.h"

class BrailleOutput;
class CSettings;
class EmojiNames;
class JapaneseFrontEnd;
class ReadConv;

class SpeechOutput : public QObject
{
    Q_OBJECT

public:
    // Speech modes of SpeakText.
    static constexpr qint16 kModeNormal = 0;
    static constexpr qint16 kModePitchMarkup = 3;

    // The marker that opens a pitch segment; one digit follows (0 as set,
    // 1 lowered, 2 raised).
    static constexpr const char16_t* kPitchMarker = u"&&pitch;";

    SpeechOutput(SpeechEngine& engine, CSettings& settings, ReadConv& readconv, QObject* parent = nullptr);
    ~SpeechOutput() override;

    // Speaks one utterance in place of whatever is being spoken. Empty texts,
    // texts the reading conversion empties, normal texts while another
    // program is in front and anything while an uninterruptible utterance
    // plays are dropped.
    void SpeakText(const QString& text, bool uninterruptible = false, qint16 mode = kModeNormal);
    // A sentence the user must hear (a save that failed) without cutting what
    // is being said: it goes in front of the next utterance, or is spoken on
    // its own by SpeakNotices when nothing else comes. Each sentence is kept
    // once.
    void addNotice(const QString& sentence);
    // Hands a text over to follow the current utterance without a gap, where
    // the engine queues: continuous reading gives the next unit this way while
    // the current one plays. Prepared as SpeakText prepares it. Returns the
    // utterance, or 0 when it was not taken (nothing plays, the engine does
    // not queue, one is already waiting, notices wait, pitch markup, another
    // program in front, an uninterruptible utterance plays); the caller then
    // speaks it with SpeakText once the current one has ended. Any later
    // SpeakText or StopSpeech drops it with the current one.
    SpeechEngine::UtteranceId QueueText(const QString& text, qint16 mode = kModeNormal);

    // The utterance handed over by QueueText that has not started yet; 0 when none.
    SpeechEngine::UtteranceId queuedUtterance() const { return m_next; }

    // Speaks the waiting notices now; false when there were none.
    bool SpeakNotices();

    bool hasNotices() const { return !m_notices.isEmpty(); }

    // Cuts the current utterance short; does nothing when speech is idle.
    void StopSpeech();

    // Levels 1..10 (out-of-range levels are clamped) mapped onto the engine's
    // ranges.
    void ApplyVolume(int level);
    void ApplySpeed(int level);
    // Sets the pitch level the program speaks at (the stored setting, or a
    // level the user is trying out) and writes it shifted: 1 lowers by 4,
    // 2 raises by 2, within 1..10.
    void ApplyPitch(int level, int pitchShift = 0);

    void SpeakPitchMarkup(const QString& text);
    void SpeakNextSegment();

    // The reading front end that voices without kanji readings (espeak,
    // espeak-ng) need; null for none. Not owned.
    void setReadingFrontEnd(const JapaneseFrontEnd* frontEnd) { m_frontEnd = frontEnd; }

    // The braille line that shows every utterance as it goes to the voice;
    // null for none. Not owned.
    void setBraille(BrailleOutput* braille) { m_braille = braille; }

    BrailleOutput* braille() const { return m_braille; }

    // True when the last text handed to the engine went through the front end.
    bool frontEndActive() const { return m_frontEndActive; }

    static QString WidenHalfwidthKana(const QString& text);
    // Every narrow character that has a wide form: ASCII, space, the yen and
    // other narrow signs, half-width katakana (voiced pairs joined).
    static QString toFullWidth(const QString& text);
    // min + (max - min) * level / 10, rounded to the nearest, halves to even.
    static int levelValue(SpeechEngine::Range range, int level);
    static int shiftedLevel(int level, int pitchShift);

    bool speechDone() const { return m_SpeechDone; }

    bool blockSpeak() const { return m_block_speak; }

    bool inBackground() const { return m_in_background; }

    // Set by the reading timer while another program has the foreground.
    void setInBackground(bool inBackground) { m_in_background = inBackground; }

    // Emoji are spoken by these names (in every mode, pitch segments one by
    // one) before anything else happens to the text; without a table they
    // pass through.
    void setEmojiNames(const EmojiNames* names) { m_emojiNames = names; }

    bool segmentModeActive() const { return m_segmentMode; }

    int segmentsLeft() const { return m_segmentsLeft; }

    int pitchLevel() const;

    // The engine's own view: an utterance is queued or playing.
    bool isEngineSpeaking() const { return m_engine.isSpeaking(); }

    // The speech-finished handling for the current utterance. The reading
    // timer calls it when the engine is idle but no end was reported.
    void handleSpeechFinished();

Q_SIGNALS:
    // The display follows these: highlight what is spoken, colour the
    // speaking label, end help reading.
    void speechStarted();
    void speechFinished();
    // An utterance handed over by QueueText has begun: it is what the
    // listener hears now (after speechStarted).
    void queuedStarted(SpeechEngine::UtteranceId id);
    // The engine found that its speech is never heard.
    void audioOutputFailed();

private:
    void onStarted(SpeechEngine::UtteranceId id);
    void onFinished(SpeechEngine::UtteranceId id);
    bool speakNow(const QString& text);
    // The text as the current voice should get it: through the reading front
    // end when the voice needs it.
    QString forVoice(const QString& text);
    void resetEngine();
    // Whether an utterance may be handed over behind the current one.
    bool canQueue() const;
    // The waiting utterance becomes the current one.
    void promoteQueued();
    // With a queueing engine the next pitch segment waits behind the one
    // that plays, so the segments follow each other without a gap.
    void queueNextSegment();

    SpeechEngine& m_engine;
    CSettings& m_settings;
    ReadConv& m_readconv;
    const EmojiNames* m_emojiNames = nullptr;
    const JapaneseFrontEnd* m_frontEnd = nullptr;
    BrailleOutput* m_braille = nullptr;
    QString m_nextBraille;  // the text of the utterance handed over behind the current one
    bool m_frontEndActive = false;

    QStringList m_notices;
    bool m_SpeechDone = true;
    bool m_block_speak = false;
    bool m_in_background = false;

    // Pending segments of a marked-up utterance, in reverse order: the next
    // one to speak is at index m_segmentsLeft. Element 0 is unused; segments
    // count from 1.
    QList<QString> m_segments;
    int m_segmentsLeft = 0;
    bool m_segmentMode = false;

    int m_pitchLevel = 0;  // 0: not applied yet, the stored setting holds
    SpeechEngine::UtteranceId m_current = 0;
    // The current utterance was cut short: its end must not start the next
    // segment.
    bool m_currentCancelled = false;
    // Handed over behind the current one and not started yet.
    SpeechEngine::UtteranceId m_next = 0;
    // The current utterance came from the queue and its start is still to
    // be announced.
    bool m_currentWasQueued = false;
};
