#pragma once

// Speaks one utterance at a time: one thread synthesizes its phrases in order,
// ahead of the sound, another plays them. The events the server follows
// (701 BEGIN, 700 INDEX MARK, 702 END, 703 STOP, 704 PAUSE) are sent from here.
//
// The first sound of an utterance is the first phrase's synthesis after the
// request; the next phrases are ready before the sound reaches them. The end
// is reported when the speech has been heard, not after the pause that
// follows its last 「。」: that pause is kept before the next utterance instead,
// so continuous reading keeps its rhythm while the next unit is synthesized
// inside it. A stop drops what is queued and silences the device at once; no
// pause is owed after it.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AudioSink.h"
#include "Phrases.h"
#include "Synthesizer.h"

namespace ojt {

class Speaker
{
public:
    // Sends one event (its lines, each ending in "\n") to the server.
    using Send = std::function<void(const std::string&)>;
    // Writes a line to the module's log.
    using Log = std::function<void(const std::string&)>;

    Speaker(Synthesizer& synthesizer, Send send, Log log);
    ~Speaker();
    Speaker(const Speaker&) = delete;
    Speaker& operator=(const Speaker&) = delete;

    // Only while nothing is spoken.
    void setAudio(std::unique_ptr<AudioSink> sink);

    // False while an utterance is still being spoken or stopped. `accepted`
    // runs before any event of the new utterance can be sent (the server
    // must read "200 OK SPEAKING" first).
    bool speak(std::vector<Phrase> phrases,
               const VoiceSettings& voice,
               double gain,
               const std::function<void()>& accepted);
    void stop();
    void pause();
    bool idle() const;

private:
    enum class State
    {
        Idle,
        Pending,
        Speaking,
        Stopping
    };

    struct Chunk
    {
        uint64_t generation = 0;
        Pcm pcm;
        int pauseMs = 0;
        std::vector<std::string> marks;
        bool last = false;
    };

    void halt(const char* event);
    void synthesisLoop();
    void playbackLoop();
    // Plays the samples (with the gain) in blocks of 5 ms; false once the
    // utterance is no longer the current one.
    bool play(const int16_t* samples, std::size_t count, int rate, uint64_t generation, double gain);
    bool playSilence(int ms, int rate, uint64_t generation);

    bool current(uint64_t generation) const { return m_generation.load() == generation; }

    Synthesizer& m_synthesizer;
    Send m_send;
    Log m_log;
    std::unique_ptr<AudioSink> m_sink;

    mutable std::mutex m_mutex;
    std::condition_variable m_synthesisWake;
    std::condition_variable m_playbackWake;
    std::atomic<uint64_t> m_generation{0};
    State m_state = State::Idle;
    const char* m_haltEvent = nullptr;  // the event a pending stop ends with
    bool m_quit = false;

    std::vector<Phrase> m_phrases;
    std::size_t m_nextPhrase = 0;
    VoiceSettings m_voice;
    double m_gain = 1.0;
    std::deque<Chunk> m_queue;
    long long m_queuedMs = 0;

    // Only the playback thread.
    int m_rate = 24000;
    std::chrono::steady_clock::time_point m_pauseUntil;
    bool m_audioFailed = false;
    bool m_released = false;  // the device was let go while idle (under m_mutex)

    std::thread m_synthesisThread;
    std::thread m_playbackThread;
};

}  // namespace ojt
