// What the character readings cost: the detailed and the smooth reading of a
// 100-character line (spoken on every caret move and line move), and loading
// the three dictionaries once at start-up.

#include <benchmark/benchmark.h>

#include "speech/CShosaiYomi.h"

using namespace Qt::StringLiterals;

namespace {

QString dir()
{
    return QString::fromUtf8(YOMIMARU_RESOURCES_DIR) + u'/';
}

bool loadInto(CShosaiYomi& yomi)
{
    return yomi.InitInstance(dir() + CShosaiYomi::kKigouBFile.toString(),
                             dir() + CShosaiYomi::kKigouAFile.toString(),
                             dir() + CShosaiYomi::kTankanFile.toString());
}

const CShosaiYomi& yomi()
{
    static const CShosaiYomi y = [] {
        CShosaiYomi loaded;
        loadInto(loaded);
        return loaded;
    }();
    return y;
}

// 100 characters of a line as users type it: kana of both widths, kanji,
// Latin, digits, brackets, punctuation and a run of symbols.
QString line()
{
    QString text = u"「>>123 それはないわｗｗｗ」　詳しくはABCｶﾀｶﾅを見ろ…※今日は良い天気ですね、乙。★★★★★"_s;
    while (text.size() < 100) {
        text += u"漢字かなカナ"_s;
    }
    return text.left(100);
}

void BM_ShosaiYomi(benchmark::State& state)
{
    const QString text = line();
    for (auto _ : state) {
        benchmark::DoNotOptimize(yomi().Get_ShosaiYomi(text, false, false, state.range(0) != 0));
    }
}

BENCHMARK(BM_ShosaiYomi)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_NamerakaYomi(benchmark::State& state)
{
    const QString text = line();
    for (auto _ : state) {
        benchmark::DoNotOptimize(yomi().Get_NamerakaYomi(text, u"1", u"1", u"1"));
    }
}

BENCHMARK(BM_NamerakaYomi)->Unit(benchmark::kMicrosecond);

void BM_LoadDictionaries(benchmark::State& state)
{
    for (auto _ : state) {
        CShosaiYomi loaded;
        if (!loadInto(loaded)) {
            state.SkipWithError("the dictionaries did not load");
            break;
        }
        benchmark::DoNotOptimize(loaded.entryCount());
    }
}

BENCHMARK(BM_LoadDictionaries)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
