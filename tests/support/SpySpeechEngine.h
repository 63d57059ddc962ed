#pragma once

// A speech engine for tests: records every utterance with the voice mode and
// levels it was spoken with, and reports start and end when the test says so,
// or on its own on the next turn of the event loop.

#include <QList>
#include <QString>

#include "speech/LeveledSpeechEngine.h"

class SpySpeechEngine : public LeveledSpeechEngine
{
    Q_OBJECT

public:
    struct Utterance
    {
        UtteranceId id = 0;
        QString text;
        int mode = 0;
        int pitch = 0;
        int speed = 0;
        int volume = 0;
    };

    explicit SpySpeechEngine(QObject* parent = nullptr);

    // Every utterance, oldest first.
    const QList<Utterance>& spoken() const { return m_spoken; }

    QStringList texts() const;

    Utterance last() const { return m_spoken.isEmpty() ? Utterance() : m_spoken.last(); }

    int resetCount() const { return m_resets; }

    void clear();

    // With automatic, each utterance starts and ends from the event loop.
    void setAutomatic(bool automatic) { m_automatic = automatic; }

    // Reports the start, or the end, of the oldest utterance not yet reported.
    void startCurrent();
    void finishCurrent();

    // Whether the engine plays utterances one after another (as
    // speech-dispatcher does) so that reading may hand over the next early.
    void setQueuing(bool queuing) { m_queuing = queuing; }

    bool queuesUtterances() const override { return m_queuing; }

    // The utterances queued or playing, oldest first.
    QList<UtteranceId> pending() const;

    // Refuses the next speak() calls (returns 0), as a failing engine does.
    void setRefusing(bool refusing) { m_refusing = refusing; }

    using LeveledSpeechEngine::setRanges;

    void setModes(const QList<QPair<QString, bool>>& modes) { m_modes = modes; }

    // The product (speech-dispatcher module) of each mode, from mode 1; modes
    // not listed are "Spy".
    void setProductNames(const QStringList& products) { m_products = products; }

    // The output module behind each mode, as speech-dispatcher would name it
    // (default: the product name).
    void setModules(const QStringList& modules) { m_modules = modules; }

    VoiceInfo voiceInfo(int mode) const override;

    int modeCount() const override { return int(m_modes.size()); }

    QString modeName(int mode) const override;
    QString productName(int mode) const override;
    bool isJapanese(int mode) const override;
    bool selectMode(int mode) override;

    int currentMode() const override { return m_mode; }

    UtteranceId speak(const QString& text) override;
    void audioReset() override;

    bool isSpeaking() const override { return !m_pending.isEmpty(); }

private:
    struct Pending
    {
        UtteranceId id = 0;
        bool started = false;
    };

    void finish(UtteranceId id);

    QList<Utterance> m_spoken;
    QList<Pending> m_pending;  // queued or playing, oldest first
    QStringList m_modules;
    QList<QPair<QString, bool>> m_modes;
    QStringList m_products;
    int m_mode = 1;
    int m_resets = 0;
    UtteranceId m_lastId = 0;
    bool m_automatic = false;
    bool m_refusing = false;
    bool m_queuing = false;
};
