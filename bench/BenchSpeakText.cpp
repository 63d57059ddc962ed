// How long SpeakText takes to prepare an utterance before the engine gets it:
// the user's reading conversion ("readconv.txt" as shipped) and the widening
// of half-width katakana, for short menu items and for long message units.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "base/CSettings.h"
#include "base/SettingsStore.h"
#include "speech/ReadConv.h"
#include "speech/SpeechEngine.h"
#include "speech/SpeechOutput.h"

using namespace Qt::StringLiterals;

namespace {

// Takes every utterance and reports nothing back: only the preparation is timed.
class SilentEngine : public SpeechEngine
{
public:
    int modeCount() const override { return 1; }

    QString modeName(int) const override { return u"silent"_s; }

    QString productName(int) const override { return u"silent"_s; }

    bool isJapanese(int) const override { return true; }

    bool selectMode(int) override { return true; }

    int currentMode() const override { return 1; }

    Range pitchRange() const override { return {-100, 100}; }

    Range speedRange() const override { return {-100, 100}; }

    Range volumeRange() const override { return {-100, 100}; }

    void setPitch(int) override {}

    void setSpeed(int) override {}

    void setVolume(int) override {}

    int pitch() const override { return 0; }

    int speed() const override { return 0; }

    int volume() const override { return 0; }

    UtteranceId speak(const QString& text) override
    {
        benchmark::DoNotOptimize(text.size());
        return ++m_id;
    }

    void audioReset() override {}

    bool isSpeaking() const override { return false; }

private:
    UtteranceId m_id = 0;
};

const ReadConv& readconv()
{
    static const ReadConv table = [] {
        ReadConv t(QString::fromUtf8(YOMIMARU_RESOURCES_DIR) + u"/readconv.txt"_s);
        t.InitInstance();
        if (t.count() == 0) {
            // Without the shipped file: a few rules of the usual kinds.
            t.loadLines({u"/(ｗ|w){2,}/わらわら/"_s, u"/orz/がっくり/"_s, u"/ｷﾀ━+/きたー/"_s,
                         u"/>>(\\d+)/アンカー$1/"_s, u"/ttps?:\\/\\/[^ ]+/URL/"_s, u"/（笑）/わら/"_s,
                         u"/ぬるぽ/ヌルポ/"_s, u"/乙/おつ/"_s});
        }
        return t;
    }();
    return table;
}

QString menuItem()
{
    return u"12,【速報】新型ｽﾏﾎ発表ｷﾀ━━━━(ﾟ∀ﾟ)━━━━!!  (1001)"_s;
}

QString messageUnit(int repeat)
{
    QString unit;
    for (int i = 0; i < repeat; ++i) {
        unit += u">>123 それはないわｗｗｗ　ﾜﾛﾀ orz 詳しくはttp://example.com/test/read.cgi/news/1234567890/ "
                u"を見ろ。"
                u"今日は良い天気ですね、ｶﾞｲｼﾞﾝも来てるし（笑）。乙"_s;
    }
    return unit;
}

void convertOnly(benchmark::State& state, const QString& text)
{
    const ReadConv& table = readconv();
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.Convert(text));
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["rules"] = table.count();
}

void widenOnly(benchmark::State& state, const QString& text)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(SpeechOutput::WidenHalfwidthKana(text));
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}

void speakText(benchmark::State& state, const QString& text)
{
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    CSettings settings(store);
    settings.InitInstance();
    ReadConv table(QString::fromUtf8(YOMIMARU_RESOURCES_DIR) + u"/readconv.txt"_s);
    table.InitInstance();
    SilentEngine engine;
    SpeechOutput output(engine, settings, table);
    for (auto _ : state) {
        output.SpeakText(text);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ConvertMenuItem(benchmark::State& state)
{
    convertOnly(state, menuItem());
}

void BM_ConvertMessageUnit(benchmark::State& state)
{
    convertOnly(state, messageUnit(int(state.range(0))));
}

void BM_WidenMessageUnit(benchmark::State& state)
{
    widenOnly(state, messageUnit(int(state.range(0))));
}

void BM_SpeakTextMenuItem(benchmark::State& state)
{
    speakText(state, menuItem());
}

void BM_SpeakTextMessageUnit(benchmark::State& state)
{
    speakText(state, messageUnit(int(state.range(0))));
}

}  // namespace

BENCHMARK(BM_ConvertMenuItem);
BENCHMARK(BM_ConvertMessageUnit)->Arg(1)->Arg(10)->Arg(100);
BENCHMARK(BM_WidenMessageUnit)->Arg(1)->Arg(100);
BENCHMARK(BM_SpeakTextMenuItem);
BENCHMARK(BM_SpeakTextMessageUnit)->Arg(1)->Arg(100);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
