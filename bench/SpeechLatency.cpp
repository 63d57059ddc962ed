// How soon speech is heard, measured on the sound itself: a private sound
// server's null sink is recorded from its monitor in blocks of 5 ms, and the
// times of the blocks with sound are compared with the times of the requests.
// Run by speech-latency.sh, which sets the sound server and speech-dispatcher
// up; by hand:
//
//   speech-latency speechd MODULE          the program's own speech output
//                                          (SpeechOutput and the speech-
//                                          dispatcher engine) with the first
//                                          Japanese voice of MODULE
//   speech-latency direct PROGRAM CONFIG   an output module program driven
//                                          over its protocol, as the daemon
//                                          drives it
//
// It measures, and prints as "name p50 p90 (n)":
// - first sound: request to the first audible block, for 20 menu items
//   spoken one after the other, each cutting the one before after 350 ms of
//   its sound, as a listener moving through a menu at about two items a
//   second hears them; each is asked for once the one before is silent, so
//   when an item cuts another one the stop time below comes on top;
// - gap: between the sound of one unit and the next in continuous reading
//   (the next unit is handed over as the program hands it over), minus the
//   400 ms pause that the program asks for after 「。」;
// - stop: the request to stop a long message to the end of the last audible
//   block, ten times.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "base/CSettings.h"
#include "base/SettingsStore.h"
#include "platform/SpeechdEngine.h"
#include "speech/JapaneseFrontEnd.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRate = 24000;
constexpr int kBlockMs = 5;
constexpr int kAudible = 300;  // a block whose peak is above this holds sound
constexpr int kNaturalPauseMs = 400;

qint64 micros(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

qint64 nowUs()
{
    return micros(Clock::now());
}

// The monitor of the null sink, read in a thread; each block is stamped with
// the time it was heard (the time it was read, less its length and the
// recording's latency).
class Recorder
{
public:
    Recorder()
    {
        pa_sample_spec spec{PA_SAMPLE_S16LE, kRate, 1};
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.fragsize = kRate * 2 * kBlockMs / 1000;
        int error = 0;
        m_stream = pa_simple_new(nullptr, "speech-latency", PA_STREAM_RECORD, "nullsink.monitor", "monitor",
                                 &spec, nullptr, &attr, &error);
        if (!m_stream) {
            std::fprintf(stderr, "speech-latency: cannot record nullsink.monitor: %s\n", pa_strerror(error));
            return;
        }
        m_thread = std::thread([this] { run(); });
    }

    ~Recorder()
    {
        m_quit = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
        if (m_stream) {
            pa_simple_free(m_stream);
        }
    }

    bool ok() const { return m_stream != nullptr; }

    // The start of the first audible block heard after `from`, or -1.
    qint64 firstSound(qint64 from) const
    {
        std::lock_guard lock(m_mutex);
        for (const Block& b : m_blocks) {
            if (b.us >= from && b.peak > kAudible) {
                return b.us;
            }
        }
        return -1;
    }

    // The end of the last audible block heard after `from`, or -1.
    qint64 lastSound(qint64 from) const
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_blocks.rbegin(); it != m_blocks.rend() && it->us + kBlockMs * 1000 > from; ++it) {
            if (it->peak > kAudible) {
                return it->us + kBlockMs * 1000;
            }
        }
        return -1;
    }

    // The silences of at least `minMs` between sounds in [from, to).
    std::vector<qint64> silences(qint64 from, qint64 to, int minMs) const
    {
        std::lock_guard lock(m_mutex);
        std::vector<qint64> found;
        qint64 lastLoud = -1;
        for (const Block& b : m_blocks) {
            if (b.us < from || b.us >= to || b.peak <= kAudible) {
                continue;
            }
            if (lastLoud >= 0 && b.us - lastLoud >= minMs * 1000) {
                found.push_back(b.us - lastLoud);
            }
            lastLoud = b.us + kBlockMs * 1000;
        }
        return found;
    }

private:
    struct Block
    {
        qint64 us;
        int peak;
    };

    void run()
    {
        std::vector<int16_t> samples(kRate * kBlockMs / 1000);
        while (!m_quit) {
            int error = 0;
            if (pa_simple_read(m_stream, samples.data(), samples.size() * 2, &error) < 0) {
                return;
            }
            const pa_usec_t latency = pa_simple_get_latency(m_stream, &error);
            int peak = 0;
            for (int16_t s : samples) {
                peak = std::max(peak, std::abs(int(s)));
            }
            const qint64 heard = nowUs() - kBlockMs * 1000 - qint64(latency == pa_usec_t(-1) ? 0 : latency);
            std::lock_guard lock(m_mutex);
            m_blocks.push_back({heard, peak});
        }
    }

    pa_simple* m_stream = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_quit{false};
    mutable std::mutex m_mutex;
    std::vector<Block> m_blocks;
};

// What a measurement asks of a voice.
class Voice
{
public:
    virtual ~Voice() = default;
    virtual void speak(const QString& text) = 0;  // in place of whatever is spoken
    virtual void stop() = 0;
    // Speaks the units one after the other as continuous reading does.
    virtual void read(const QStringList& units) = 0;
    virtual QString name() const = 0;
};

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds or `ms` have passed.
bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

// The program's own way: SpeechOutput over the speech-dispatcher engine.
class SpeechdVoice : public Voice
{
public:
    explicit SpeechdVoice(const QString& module)
        : m_settings(m_store)
        , m_output(m_engine, m_settings, m_readconv)
    {
        m_settings.InitInstance();
        if (!m_engine.open(20000)) {
            std::fprintf(stderr, "speech-dispatcher: %s\n", qPrintable(m_engine.errorString()));
            return;
        }
        for (int m = 1; m <= m_engine.modeCount() && m_mode == 0; ++m) {
            if (m_engine.isJapanese(m) && m_engine.voiceInfo(m).module == module) {
                m_mode = m;
            }
        }
        if (m_mode != 0) {
            m_engine.selectMode(m_mode);
        }
        m_output.ApplyVolume(10);
        m_output.ApplySpeed(5);
        m_output.ApplyPitch(5);
        // espeak-ng hears kanji as the program gives them to it: in kana.
        QString warning;
        if (m_frontEnd.open(&warning)) {
            m_output.setReadingFrontEnd(&m_frontEnd);
        }
        m_name = module;
    }

    bool ok() const { return m_mode != 0; }

    void speak(const QString& text) override { m_output.SpeakText(text); }

    void stop() override { m_output.StopSpeech(); }

    void read(const QStringList& units) override
    {
        // As the reading timer does: the next unit is handed over while the
        // current one plays, and the one after once that one has started.
        int next = 0;
        m_output.SpeakText(units.at(next++));
        auto handOver = [&] {
            if (next < units.size() && m_output.queuedUtterance() == 0
                && m_output.QueueText(units.at(next)) != 0) {
                ++next;
            }
        };
        const auto started = QObject::connect(&m_output, &SpeechOutput::speechStarted, handOver);
        const auto queued = QObject::connect(&m_output, &SpeechOutput::queuedStarted, handOver);
        waitFor(
            [&] { return next >= units.size() && m_output.speechDone() && m_output.queuedUtterance() == 0; },
            60000);
        QObject::disconnect(started);
        QObject::disconnect(queued);
    }

    QString name() const override { return m_name + u" via speech-dispatcher"_s; }

private:
    QTemporaryDir m_config;
    SettingsStore m_store{m_config.path()};
    CSettings m_settings;
    ReadConv m_readconv;
    SpeechdEngine m_engine;
    JapaneseFrontEnd m_frontEnd;
    SpeechOutput m_output;
    int m_mode = 0;
    QString m_name;
};

// An output module program, spoken to as the daemon speaks to it.
class DirectVoice : public Voice
{
public:
    DirectVoice(const QString& program, const QString& config)
    {
        m_name = program.section(u'/', -1).remove(u"sd_"_s);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, {config});
        m_process.waitForStarted();
        m_ok =
            command(u"INIT\n"_s, u"299 "_s)
            && command(
                u"AUDIO\naudio_output_method=pulse\naudio_pulse_device=default\naudio_pulse_min_length=10\n.\n"_s,
                u"203 "_s)
            && command(u"SET\nrate=0\npitch=0\nvolume=100\nvoice=MALE1\nlanguage=ja\n.\n"_s, u"203 "_s);
    }

    ~DirectVoice() override
    {
        m_process.write("QUIT\n");
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    bool ok() const { return m_ok; }

    void speak(const QString& text) override
    {
        stop();
        command(u"SPEAK\n"_s + ssml(text) + u"\n.\n"_s, u"20"_s);
        m_speaking = true;
    }

    void stop() override
    {
        m_process.waitForReadyRead(0);
        while (m_process.canReadLine()) {
            m_events << QString::fromUtf8(m_process.readLine());
        }
        for (const QString& event : std::as_const(m_events)) {
            if (event.startsWith(u"702"_s) || event.startsWith(u"703"_s)) {
                m_speaking = false;  // it has ended by itself
            }
        }
        m_events.clear();
        if (m_speaking) {
            m_process.write("STOP\n");
            // The daemon waits for the module to say it stopped.
            waitEvent(u"703"_s, 3000);
            m_speaking = false;
        }
    }

    void read(const QStringList& units) override
    {
        stop();
        for (const QString& unit : units) {
            // The daemon hands over a queued message once the last one ended.
            command(u"SPEAK\n"_s + ssml(unit) + u"\n.\n"_s, u"20"_s);
            m_speaking = true;
            waitEvent(u"702"_s, 30000);
            m_speaking = false;
        }
    }

    QString name() const override { return m_name + u" over its protocol"_s; }

private:
    static QString ssml(const QString& text)
    {
        QString out = text;
        out.replace(u"。"_s, u"。<break time=\"400ms\"/>"_s);
        return u"<speak>"_s + out + u"</speak>"_s;
    }

    QString line(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (!m_process.canReadLine() && clock.elapsed() < ms) {
            m_process.waitForReadyRead(5);
        }
        return m_process.canReadLine() ? QString::fromUtf8(m_process.readLine()) : QString();
    }

    // Sends the lines of a command and reads the answer to the final line
    // that starts with `answer` (events met on the way are set aside).
    bool command(const QString& lines, const QString& answer)
    {
        bool ok = true;
        const QStringList parts = lines.split(u'\n', Qt::SkipEmptyParts);
        for (int i = 0; i < parts.size(); ++i) {
            m_process.write((parts.at(i) + u'\n').toUtf8());
            const bool firstOfMulti = i == 0 && parts.size() > 1;
            if (firstOfMulti) {
                readReply();  // 202 or 207
            }
        }
        const QString reply = readReply();
        ok = reply.startsWith(answer);
        return ok;
    }

    QString readReply()
    {
        for (;;) {
            const QString l = line(5000);
            if (l.isEmpty()) {
                return {};
            }
            if (l.startsWith(u'7')) {
                m_events << l;
                continue;
            }
            if (l.size() > 3 && l.at(3) == u' ') {
                return l;
            }
        }
    }

    bool waitEvent(const QString& code, int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            for (qsizetype i = 0; i < m_events.size(); ++i) {
                if (m_events.at(i).startsWith(code)) {
                    m_events.remove(0, i + 1);
                    return true;
                }
            }
            const QString l = line(5);
            if (!l.isEmpty()) {
                m_events << l;
            }
        }
        return false;
    }

    QProcess m_process;
    QStringList m_events;
    bool m_ok = false;
    bool m_speaking = false;
    QString m_name;
};

struct Figures
{
    std::vector<double> values;
    int missed = 0;
};

void report(const char* what, Figures f)
{
    std::sort(f.values.begin(), f.values.end());
    auto at = [&](double q) {
        return f.values.empty() ? 0.0 : f.values[std::min(f.values.size() - 1, size_t(q * f.values.size()))];
    };
    std::printf("  %-34s p50 %6.0f ms  p90 %6.0f ms  (n %zu%s)\n", what, at(0.5), at(0.9), f.values.size(),
                f.missed ? qPrintable(u", %1 without sound"_s.arg(f.missed)) : "");
    std::fflush(stdout);
}

// Speaks the text; the time of the request and of the first sound after it
// (-1: none within `timeoutMs`).
std::pair<qint64, qint64>
speakAndListen(Voice& voice, const Recorder& recorder, const QString& text, int timeoutMs)
{
    const qint64 asked = nowUs();
    voice.speak(text);
    waitFor([&] { return recorder.firstSound(asked) >= 0; }, timeoutMs);
    return {asked, recorder.firstSound(asked)};
}

void measure(Voice& voice, const Recorder& recorder)
{
    std::printf("%s\n", qPrintable(voice.name()));
    const QStringList items = {u"板一覧"_s,       u"ニュース速報"_s,   u"雑談"_s,       u"ゲーム"_s,
                               u"趣味"_s,         u"生活"_s,           u"お気に入り"_s, u"オプション設定"_s,
                               u"ヘルプ"_s,       u"終了"_s,           u"音声設定"_s,   u"読み上げ速度 5"_s,
                               u"スレッド一覧"_s, u"新着スレッド"_s,   u"書き込み"_s,   u"検索"_s,
                               u"ブックマーク"_s, u"板ブックマーク"_s, u"ログ削除"_s,   u"接続設定"_s};
    Figures first;
    wait(500);
    for (const QString& item : items) {
        // The item before is cut off, and the new one asked for once that is
        // silent, so that no tail of the old sound counts as the new one.
        voice.stop();
        waitFor([&] { return recorder.lastSound(nowUs() - 100000) < 0; }, 2000);
        const auto [asked, heard] = speakAndListen(voice, recorder, item, 3000);
        if (heard < 0) {
            ++first.missed;
            std::printf("  (no sound for 「%s」)\n", qPrintable(item));
        } else {
            first.values.push_back((heard - asked) / 1000.0);
        }
        wait(350);
    }
    voice.stop();
    report("menu item: first sound", first);

    const QStringList units = {u"今日は良い天気ですね。"_s,         u"明日は雨が降るそうです。"_s,
                               u"このスレッドは千まで続きます。"_s, u"次の書き込みを読みます。"_s,
                               u"名無しさんが答えました。"_s,       u"ありがとうございました。"_s,
                               u"読み上げを続けます。"_s,           u"最後の書き込みです。"_s};
    Figures gaps;
    for (int round = 0; round < 2; ++round) {
        wait(800);
        const qint64 from = nowUs();
        voice.read(units);
        wait(300);
        const std::vector<qint64> found = recorder.silences(from, nowUs(), 150);
        for (qint64 us : found) {
            gaps.values.push_back(us / 1000.0 - kNaturalPauseMs);
        }
        if (found.size() != size_t(units.size() - 1)) {
            std::printf("  (round %d: %zu silences of 150 ms or more for %lld unit boundaries)\n", round + 1,
                        found.size(), static_cast<long long>(units.size() - 1));
        }
    }
    report("continuous reading: gap - 400 ms", gaps);

    Figures stops;
    const QString message = u"本日のレス数は全体で一万二千三百四十五件でした。明日も良い天気になるでしょう。"
                            "読み丸の音声確認を続けています。"_s;
    for (int i = 0; i < 10; ++i) {
        wait(600);
        const qint64 heard = speakAndListen(voice, recorder, message, 5000).second;
        if (heard < 0) {
            ++stops.missed;
            continue;
        }
        waitFor([&] { return nowUs() > heard + 800000 + i * 37000; }, 5000);
        const qint64 stopped = nowUs();
        voice.stop();
        wait(1000);
        const qint64 last = recorder.lastSound(stopped);
        stops.values.push_back(last < 0 ? 0.0 : (last - stopped) / 1000.0);
    }
    report("stop: last sound after the request", stops);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2 || (args.at(0) == u"direct"_s && args.size() < 3)) {
        std::fprintf(stderr, "usage: speech-latency speechd MODULE | direct PROGRAM CONFIG\n");
        return 2;
    }
    Recorder recorder;
    if (!recorder.ok()) {
        return 1;
    }
    if (args.at(0) == u"speechd"_s) {
        SpeechdVoice voice(args.at(1));
        if (!voice.ok()) {
            std::fprintf(stderr, "speech-latency: no Japanese voice of the module %s\n",
                         qPrintable(args.at(1)));
            return 1;
        }
        measure(voice, recorder);
    } else {
        DirectVoice voice(args.at(1), args.at(2));
        if (!voice.ok()) {
            std::fprintf(stderr, "speech-latency: %s did not start\n", qPrintable(args.at(1)));
            return 1;
        }
        measure(voice, recorder);
    }
    return 0;
}
