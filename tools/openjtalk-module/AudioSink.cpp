#include "AudioSink.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <thread>

namespace ojt {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBufferMs = 30;  // what the device holds ahead: the first sound waits for no more

// The sound server through its simple interface. The stream is opened at
// once, again when the rate changes, and again after an idle release; its
// buffer is small so that speech starts at once and a flush silences it at
// once.
class PulseSink : public AudioSink
{
public:
    // Opens the stream at once, so that a sound server that cannot be
    // reached is known before anything is to be spoken.
    PulseSink(std::string device, std::string clientName, int rate)
        : m_device(std::move(device))
        , m_clientName(std::move(clientName))
    {
        open(rate);
    }

    ~PulseSink() override { close(); }

    bool write(const int16_t* samples, std::size_t count, int rate) override
    {
        if (!m_stream || rate != m_rate) {
            close();
            if (!open(rate)) {
                return false;
            }
        }
        int error = 0;
        if (pa_simple_write(m_stream, samples, count * sizeof(int16_t), &error) < 0) {
            m_error = pa_strerror(error);
            close();
            return false;
        }
        const pa_usec_t latency = pa_simple_get_latency(m_stream, &error);
        m_heardAt =
            Clock::now() + std::chrono::microseconds(latency == static_cast<pa_usec_t>(-1) ? 0 : latency);
        return true;
    }

    bool drainStep(int stepMs) override
    {
        const auto now = Clock::now();
        if (!m_stream || now >= m_heardAt) {
            return true;
        }
        std::this_thread::sleep_for(
            std::min<Clock::duration>(m_heardAt - now, std::chrono::milliseconds(stepMs)));
        return Clock::now() >= m_heardAt;
    }

    void flush() override
    {
        if (m_stream) {
            int error = 0;
            pa_simple_flush(m_stream, &error);
        }
        m_heardAt = Clock::now();
    }

    void release() override { close(); }

    void prepare(int rate) override
    {
        if (!m_stream) {
            open(rate);
        }
    }

    std::string error() const override { return m_error; }

private:
    bool open(int rate)
    {
        pa_sample_spec spec;
        spec.format = PA_SAMPLE_S16LE;
        spec.rate = static_cast<uint32_t>(rate);
        spec.channels = 1;
        const uint32_t bytesPerMs = static_cast<uint32_t>(rate) * 2 / 1000;
        pa_buffer_attr attr;
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = bytesPerMs * kBufferMs;
        attr.prebuf = bytesPerMs * 5;
        attr.minreq = bytesPerMs * 5;
        attr.fragsize = static_cast<uint32_t>(-1);
        int error = 0;
        m_stream = pa_simple_new(nullptr, m_clientName.c_str(), PA_STREAM_PLAYBACK,
                                 m_device.empty() ? nullptr : m_device.c_str(), "speech", &spec, nullptr,
                                 &attr, &error);
        if (!m_stream) {
            m_error = pa_strerror(error);
            return false;
        }
        m_rate = rate;
        return true;
    }

    void close()
    {
        if (m_stream) {
            pa_simple_free(m_stream);
            m_stream = nullptr;
        }
    }

    std::string m_device;
    std::string m_clientName;
    pa_simple* m_stream = nullptr;
    int m_rate = 0;
    Clock::time_point m_heardAt;
    std::string m_error;
};

// No sound: each block is written to a file as a line "<µs> write <samples>
// <rate> <peak>", at the time a device with the same buffer would start to
// play it, and a flush as "<µs> flush". The times are of the steady clock.
class TraceSink : public AudioSink
{
public:
    explicit TraceSink(const std::string& path)
        : m_file(std::fopen(path.c_str(), "w"))
    {
        if (!m_file) {
            m_error = "cannot write " + path;
        }
    }

    ~TraceSink() override
    {
        if (m_file) {
            std::fclose(m_file);
        }
    }

    bool write(const int16_t* samples, std::size_t count, int rate) override
    {
        if (!m_file || rate <= 0) {
            return false;
        }
        const auto now = Clock::now();
        m_clock = std::max(m_clock, now);
        int peak = 0;
        for (std::size_t i = 0; i < count; ++i) {
            peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
        }
        std::fprintf(m_file, "%lld write %zu %d %d\n", micros(m_clock), count, rate, peak);
        std::fflush(m_file);
        m_clock += std::chrono::microseconds(static_cast<long long>(count) * 1000000 / rate);
        const auto ahead = m_clock - std::chrono::milliseconds(kBufferMs);
        if (ahead > Clock::now()) {
            std::this_thread::sleep_until(ahead);
        }
        return true;
    }

    bool drainStep(int stepMs) override
    {
        const auto now = Clock::now();
        if (now >= m_clock) {
            return true;
        }
        std::this_thread::sleep_for(
            std::min<Clock::duration>(m_clock - now, std::chrono::milliseconds(stepMs)));
        return Clock::now() >= m_clock;
    }

    void flush() override
    {
        const auto now = Clock::now();
        if (m_file) {
            std::fprintf(m_file, "%lld flush\n", micros(now));
            std::fflush(m_file);
        }
        m_clock = now;
    }

    std::string error() const override { return m_error; }

private:
    static long long micros(Clock::time_point t)
    {
        return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
    }

    std::FILE* m_file;
    Clock::time_point m_clock;
    std::string m_error;
};

}  // namespace

std::unique_ptr<AudioSink> createAudioSink(const std::string& spec, const std::string& clientName, int rate)
{
    if (spec.rfind("trace:", 0) == 0) {
        return std::make_unique<TraceSink>(spec.substr(6));
    }
    std::string device;
    if (spec.rfind("pulse:", 0) == 0) {
        device = spec.substr(6);
    }
    return std::make_unique<PulseSink>(device, clientName, rate);
}

}  // namespace ojt
