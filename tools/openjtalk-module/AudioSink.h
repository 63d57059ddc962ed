#pragma once

// Where the module's sound goes: the sound server, or, for the tests and the
// benchmark, a trace file that records when each block would have been heard.

#include <cstdint>
#include <memory>
#include <string>

namespace ojt {

class AudioSink
{
public:
    virtual ~AudioSink() = default;
    // Blocks while the device's small buffer is full, so a block of 5 ms
    // returns about when the block before it starts to be heard.
    virtual bool write(const int16_t* samples, std::size_t count, int rate) = 0;
    // True once what was written has been heard; else waits at most
    // `stepMs` and says false, so that the caller can look for a stop.
    virtual bool drainStep(int stepMs) = 0;
    // Drops what was written and not yet heard, at once.
    virtual void flush() = 0;

    // Lets go of the device while nothing is to be said (the next write
    // takes it again), so that an idle module is woken by nothing.
    virtual void release() {}

    // Takes the device again after a release, ahead of the first block.
    virtual void prepare(int /*rate*/) {}

    virtual std::string error() const = 0;
};

// "pulse" or "pulse:DEVICE" (the sound server, PipeWire's too), opened at
// once at `rate`, or "trace:FILE" (no sound: a line for each block, written
// as it would play).
std::unique_ptr<AudioSink> createAudioSink(const std::string& spec, const std::string& clientName, int rate);

}  // namespace ojt
