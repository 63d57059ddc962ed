#pragma once

// The three levels every engine keeps the same way: pitch, speed and volume,
// each clamped to its range and applied to the utterances queued afterwards.
// An engine that must pass the levels on (to a daemon, say) is told through
// levelsChanged().

#include "speech/SpeechEngine.h"

class LeveledSpeechEngine : public SpeechEngine
{
    Q_OBJECT

public:
    Range pitchRange() const final { return m_pitchRange; }

    Range speedRange() const final { return m_speedRange; }

    Range volumeRange() const final { return m_volumeRange; }

    void setPitch(int value) final;
    void setSpeed(int value) final;
    void setVolume(int value) final;

    int pitch() const final { return m_pitch; }

    int speed() const final { return m_speed; }

    int volume() const final { return m_volume; }

protected:
    // Every range is -100 to 100 until setRanges(); the volume starts at the
    // given value, pitch and speed at 0.
    explicit LeveledSpeechEngine(int volume, QObject* parent = nullptr);

    // Changes the ranges; the current levels are kept as they are until set.
    void setRanges(Range pitch, Range speed, Range volume);

    // Called after a setter stored its clamped value.
    virtual void levelsChanged() {}

private:
    Range m_pitchRange{-100, 100};
    Range m_speedRange{-100, 100};
    Range m_volumeRange{-100, 100};
    int m_pitch = 0;
    int m_speed = 0;
    int m_volume = 0;
};
