#pragma once

// Turns one phrase into sound. The module's one implementation runs
// open_jtalk; the tests give their own.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "Wave.h"

namespace ojt {

struct VoiceSettings
{
    std::string voiceFile;  // the .htsvoice
    double speed = 1.0;     // open_jtalk -r
    double halfTones = 0;   // open_jtalk -fm

    bool operator==(const VoiceSettings&) const = default;
};

struct Synthesis
{
    std::optional<Pcm> pcm;  // nothing: cancelled, or the synthesizer failed
    bool cancelled = false;
    std::string error;  // why it failed, for the log
};

class Synthesizer
{
public:
    virtual ~Synthesizer() = default;

    // Blocks until the phrase is synthesized, or until `current` no longer
    // equals `generation` and wake() has been called (a stop).
    virtual Synthesis synthesize(const std::string& text,
                                 const VoiceSettings& voice,
                                 const std::atomic<uint64_t>& current,
                                 uint64_t generation) = 0;
    // Makes a running synthesize() look at its generation again; any thread.
    virtual void wake() = 0;

    // Gets ready for the next phrases with this voice (starts processes ahead).
    virtual void prepare(const VoiceSettings& /*voice*/) {}
};

}  // namespace ojt
