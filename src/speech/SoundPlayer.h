#pragma once

// Plays the program's short sound cues ("ir_begin.wav", "ir_end.wav") by file
// name. GUI-free interface; the Qt Multimedia player implements it.

#include <QString>

class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;

    // With synchronous, returns when the sound has ended or a short time-out
    // has passed, letting events run meanwhile. False when the sound was not
    // played (no such file, no audio output).
    virtual bool play(const QString& fileName, bool synchronous) = 0;
};
