#pragma once

// A speech engine that writes what it would say: one line per utterance with
// the time, voice mode, pitch, speed, volume and text, to a file or to stdout,
// flushed at once. Start and end are reported after a simulated duration, so
// continuous reading is paced as with a real voice. Used where no speech
// service answers, by demos and by end-to-end tests that compare transcripts.
//
// An utterance is written when it is handed over; one handed over while
// another plays is written when it starts, so the transcript holds what was
// heard, in order.
//
// Line format (tab-separated; the text escapes backslash, tab, CR and LF as
// \\, \t, \r, \n):
//   2026-12-08T01:50:00.123<TAB>mode=1<TAB>pitch=0<TAB>speed=0<TAB>volume=100<TAB>text=...

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QTimer>

#include "speech/LeveledSpeechEngine.h"

class TranscriptEngine : public LeveledSpeechEngine
{
    Q_OBJECT

public:
    // The simulated speaking time per character at speed 0.
    static constexpr int kDefaultMsPerChar = 120;

    explicit TranscriptEngine(QObject* parent = nullptr);
    ~TranscriptEngine() override;

    // Writes to the file (created or emptied), or to stdout for an empty path.
    // False when the file cannot be opened; stdout is used then.
    bool open(const QString& filePath);

    // 0 makes every utterance end on the next turn of the event loop.
    void setMsPerChar(int ms) { m_msPerChar = qMax(0, ms); }

    int msPerChar() const { return m_msPerChar; }

    // The simulated duration of a text at a speed: characters times the time
    // per character, halved at the fastest speed and doubled at the slowest.
    static qint64 durationMs(qsizetype chars, int msPerChar, int speed);

    // The line written for one utterance (without its line end).
    static QString
    formatLine(const QDateTime& time, int mode, int pitch, int speed, int volume, const QString& text);

    int modeCount() const override { return 1; }

    QString modeName(int mode) const override;
    QString productName(int mode) const override;

    bool isJapanese(int mode) const override { return mode == 1; }

    bool selectMode(int mode) override { return mode == 1; }

    int currentMode() const override { return 1; }

    UtteranceId speak(const QString& text) override;
    void audioReset() override;

    bool isSpeaking() const override { return !m_queue.isEmpty() || m_playing != 0; }

    bool queuesUtterances() const override { return true; }

private:
    struct Utterance
    {
        UtteranceId id = 0;
        qint64 durationMs = 0;
        // The line of an utterance that waits behind another, written when
        // it starts: one dropped before it was heard leaves no line.
        QString line;
    };

    void writeLine(const QString& line);
    void startNext();
    void finishPlaying();

    QFile m_file;
    int m_msPerChar = kDefaultMsPerChar;
    UtteranceId m_lastId = 0;
    QList<Utterance> m_queue;   // waiting, oldest first
    UtteranceId m_playing = 0;  // 0 when nothing plays
    QTimer m_timer;
    bool m_startPending = false;
};
