#include "Speaker.h"

#include <algorithm>
#include <cmath>

namespace ojt {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBlockMs = 5;
constexpr long long kAheadMs = 20000;                     // sound synthesized ahead of the playback at most
constexpr auto kReleaseAfter = std::chrono::seconds(10);  // of silence, before the device is let go

long long durationMs(const Pcm& pcm)
{
    return pcm.rate > 0 ? static_cast<long long>(pcm.samples.size()) * 1000 / pcm.rate : 0;
}

}  // namespace

Speaker::Speaker(Synthesizer& synthesizer, Send send, Log log)
    : m_synthesizer(synthesizer)
    , m_send(std::move(send))
    , m_log(std::move(log))
{
    m_synthesisThread = std::thread([this] { synthesisLoop(); });
    m_playbackThread = std::thread([this] { playbackLoop(); });
}

Speaker::~Speaker()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        ++m_generation;
    }
    m_synthesizer.wake();
    m_synthesisWake.notify_all();
    m_playbackWake.notify_all();
    m_synthesisThread.join();
    m_playbackThread.join();
}

void Speaker::setAudio(std::unique_ptr<AudioSink> sink)
{
    std::lock_guard lock(m_mutex);
    if (m_state == State::Idle) {
        m_sink = std::move(sink);
        m_audioFailed = false;
    }
}

bool Speaker::idle() const
{
    std::lock_guard lock(m_mutex);
    return m_state == State::Idle;
}

bool Speaker::speak(std::vector<Phrase> phrases,
                    const VoiceSettings& voice,
                    double gain,
                    const std::function<void()>& accepted)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_state != State::Idle || !m_sink) {
            return false;
        }
        ++m_generation;
        m_state = State::Pending;
        m_phrases = std::move(phrases);
        m_nextPhrase = 0;
        m_voice = voice;
        m_gain = gain;
        m_queue.clear();
        m_queuedMs = 0;
        if (m_phrases.empty()) {
            m_phrases.push_back({});
        }
        accepted();
    }
    m_synthesisWake.notify_all();
    m_playbackWake.notify_all();
    return true;
}

void Speaker::stop()
{
    halt("703 STOP\n");
}

void Speaker::pause()
{
    halt("704 PAUSE\n");
}

void Speaker::halt(const char* event)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_state == State::Idle || m_state == State::Stopping) {
            return;
        }
        ++m_generation;
        m_queue.clear();
        m_queuedMs = 0;
        if (m_state == State::Pending) {
            // Nothing has been heard: the stop is over at once.
            m_state = State::Idle;
            m_send(event);
        } else {
            // The playback thread silences the device and then reports.
            m_state = State::Stopping;
            m_haltEvent = event;
        }
    }
    m_synthesizer.wake();
    m_playbackWake.notify_all();
    m_synthesisWake.notify_all();
}

void Speaker::synthesisLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_synthesisWake.wait(lock, [&] {
            return m_quit
                   || ((m_state == State::Pending || m_state == State::Speaking)
                       && m_nextPhrase < m_phrases.size() && m_queuedMs < kAheadMs);
        });
        if (m_quit) {
            return;
        }
        const uint64_t generation = m_generation.load();
        const std::size_t index = m_nextPhrase++;
        Chunk chunk;
        chunk.generation = generation;
        chunk.pauseMs = m_phrases[index].pauseMs;
        chunk.marks = m_phrases[index].marks;
        chunk.last = index + 1 == m_phrases.size();
        const std::string text = m_phrases[index].text;
        const VoiceSettings voice = m_voice;
        lock.unlock();

        if (!text.empty()) {
            Synthesis synthesis = m_synthesizer.synthesize(text, voice, m_generation, generation);
            if (synthesis.pcm) {
                chunk.pcm = std::move(*synthesis.pcm);
                trimSilence(chunk.pcm);
            } else if (!synthesis.cancelled) {
                m_log("synthesis failed: " + synthesis.error);
            }
        }
        if (chunk.last) {
            m_synthesizer.prepare(voice);
        }

        lock.lock();
        if (current(generation) && !m_quit) {
            m_queuedMs += durationMs(chunk.pcm);
            m_queue.push_back(std::move(chunk));
            m_playbackWake.notify_all();
        }
    }
}

bool Speaker::play(const int16_t* samples, std::size_t count, int rate, uint64_t generation, double gain)
{
    const std::size_t block = static_cast<std::size_t>(rate) * kBlockMs / 1000;
    std::vector<int16_t> scaled;
    for (std::size_t at = 0; at < count; at += block) {
        if (!current(generation)) {
            return false;
        }
        const std::size_t n = std::min(block, count - at);
        const int16_t* data = samples + at;
        if (gain != 1.0) {
            scaled.assign(data, data + n);
            for (int16_t& s : scaled) {
                s = static_cast<int16_t>(std::clamp(std::lround(s * gain), -32768L, 32767L));
            }
            data = scaled.data();
        }
        if (!m_sink->write(data, n, rate)) {
            if (!m_audioFailed) {
                m_log("audio output failed: " + m_sink->error());
                m_audioFailed = true;
            }
            return current(generation);
        }
        m_audioFailed = false;
    }
    return current(generation);
}

bool Speaker::playSilence(int ms, int rate, uint64_t generation)
{
    if (ms <= 0) {
        return current(generation);
    }
    const std::vector<int16_t> silence(static_cast<std::size_t>(rate) * ms / 1000, 0);
    return play(silence.data(), silence.size(), rate, generation, 1.0);
}

void Speaker::playbackLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        const auto work = [&] {
            return m_quit || m_state == State::Stopping || !m_queue.empty()
                   || (m_released && m_state == State::Pending);
        };
        if (!m_playbackWake.wait_for(lock, kReleaseAfter, work)) {
            if (m_state == State::Idle && m_sink) {
                m_sink->release();
                m_released = true;
            }
            m_playbackWake.wait(lock, work);
        }
        if (m_released && m_state == State::Pending && m_queue.empty()) {
            // The device is taken again while the first phrase is synthesized.
            m_released = false;
            lock.unlock();
            m_sink->prepare(m_rate);
            lock.lock();
            continue;
        }
        m_released = false;
        if (m_quit) {
            return;
        }
        if (m_state == State::Stopping) {
            lock.unlock();
            m_sink->flush();
            lock.lock();
            m_pauseUntil = Clock::now();
            m_state = State::Idle;
            m_send(m_haltEvent);
            continue;
        }
        Chunk chunk = std::move(m_queue.front());
        m_queue.pop_front();
        m_queuedMs -= durationMs(chunk.pcm);
        m_synthesisWake.notify_all();
        if (!current(chunk.generation)) {
            continue;
        }
        const uint64_t generation = chunk.generation;
        const bool first = m_state == State::Pending;
        if (chunk.pcm.rate > 0) {
            m_rate = chunk.pcm.rate;
        }
        const double gain = m_gain;
        lock.unlock();

        bool going = true;
        if (first) {
            // The pause after the last utterance's final 「。」 is heard first.
            while (going && Clock::now() < m_pauseUntil) {
                std::this_thread::sleep_for(std::min<Clock::duration>(m_pauseUntil - Clock::now(),
                                                                      std::chrono::milliseconds(kBlockMs)));
                going = current(generation);
            }
            lock.lock();
            going = going && current(generation);
            if (going) {
                m_state = State::Speaking;
                m_send("701 BEGIN\n");
            }
            lock.unlock();
        }
        going = going && play(chunk.pcm.samples.data(), chunk.pcm.samples.size(), m_rate, generation, gain);
        if (going && !chunk.marks.empty()) {
            // A mark is reported when the sound before it has been heard.
            while (!m_sink->drainStep(kBlockMs) && current(generation)) {
            }
            lock.lock();
            for (const std::string& mark : chunk.marks) {
                if (current(generation)) {
                    m_send("700-" + mark + "\n700 INDEX MARK\n");
                }
            }
            lock.unlock();
        }
        if (going && !chunk.last) {
            going = playSilence(chunk.pauseMs, m_rate, generation);
        } else if (going) {
            while (!m_sink->drainStep(kBlockMs) && current(generation)) {
            }
            lock.lock();
            if (current(generation)) {
                m_state = State::Idle;
                m_pauseUntil = Clock::now() + std::chrono::milliseconds(chunk.pauseMs);
                m_send("702 END\n");
            }
            lock.unlock();
        }
        lock.lock();
    }
}

}  // namespace ojt
