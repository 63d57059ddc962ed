#include "LeveledSpeechEngine.h"

LeveledSpeechEngine::LeveledSpeechEngine(int volume, QObject* parent)
    : SpeechEngine(parent)
    , m_volume(volume)
{}

void LeveledSpeechEngine::setRanges(Range pitch, Range speed, Range volume)
{
    m_pitchRange = pitch;
    m_speedRange = speed;
    m_volumeRange = volume;
}

void LeveledSpeechEngine::setPitch(int value)
{
    m_pitch = qBound(m_pitchRange.min, value, m_pitchRange.max);
    levelsChanged();
}

void LeveledSpeechEngine::setSpeed(int value)
{
    m_speed = qBound(m_speedRange.min, value, m_speedRange.max);
    levelsChanged();
}

void LeveledSpeechEngine::setVolume(int value)
{
    m_volume = qBound(m_volumeRange.min, value, m_volumeRange.max);
    levelsChanged();
}
