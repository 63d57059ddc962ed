#pragma once

// Open JTalk through its command: open_jtalk reads one line of text, so each
// phrase gets a process of its own. The processes are started ahead, with the
// voice's settings on their command lines, and wait on their standard input
// with the dictionary and the voice loaded: a phrase costs only its synthesis.

#include <deque>
#include <mutex>
#include <string>
#include <sys/types.h>

#include "Synthesizer.h"

namespace ojt {

class OpenJTalkSynthesizer : public Synthesizer
{
public:
    struct Options
    {
        std::string command = "open_jtalk";
        std::string dictionary = "/var/lib/mecab/dic/open-jtalk/naist-jdic";
        // Samples a second. The voice is made for 48 kHz; at 24 kHz Open
        // JTalk needs half the time, and speech sounds as clear.
        int samplingRate = 24000;
        int ready = 2;                      // processes kept waiting
        std::size_t maxOutput = 64u << 20;  // bytes of WAVE one phrase may give
        int timeoutMs = 30000;              // for one phrase
    };

    explicit OpenJTalkSynthesizer(Options options);
    ~OpenJTalkSynthesizer() override;
    OpenJTalkSynthesizer(const OpenJTalkSynthesizer&) = delete;
    OpenJTalkSynthesizer& operator=(const OpenJTalkSynthesizer&) = delete;

    Synthesis synthesize(const std::string& text,
                         const VoiceSettings& voice,
                         const std::atomic<uint64_t>& current,
                         uint64_t generation) override;
    void wake() override;
    void prepare(const VoiceSettings& voice) override;

private:
    struct Process
    {
        pid_t pid = -1;
        int input = -1;   // its standard input
        int output = -1;  // its standard output
        VoiceSettings voice;
    };

    Process spawn(const VoiceSettings& voice, std::string* error);
    static void finish(Process& process, bool kill);
    void fill(const VoiceSettings& voice);

    Options m_options;
    int m_wake = -1;     // eventfd
    std::mutex m_mutex;  // the ready processes
    std::deque<Process> m_ready;
};

}  // namespace ojt
