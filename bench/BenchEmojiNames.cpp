// What naming emoji costs each utterance: a message unit without emoji (the
// common case, only the quick scan), the same with a few emoji, a long text of
// nothing but emoji, and loading the table once at start-up.

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include "speech/EmojiNames.h"

using namespace Qt::StringLiterals;

namespace {

QString tablePath()
{
    return QString::fromUtf8(YOMIMARU_RESOURCES_DIR) + u'/' + EmojiNames::kFileName.toString();
}

const EmojiNames& names()
{
    static const EmojiNames table = [] {
        EmojiNames t;
        t.load(tablePath());
        return t;
    }();
    return table;
}

// 100 characters of an ordinary message unit: kana, kanji, ASCII, digits,
// full-width signs and the "…" and "※" of the symbol blocks.
QString plainUnit()
{
    QString unit =
        u">>123 それはないわｗｗｗ　詳しくはttp://example.com/test/read.cgi/news/1234567890/ を見ろ…※今日は良い天気ですね、乙。"_s;
    while (unit.size() < 100) {
        unit += u'あ';
    }
    return unit.left(100);
}

QString unitWithEmoji()
{
    return plainUnit().left(90) + u"😅🤯🐰👍🏻🇯🇵"_s;
}

void convert(benchmark::State& state, const QString& text)
{
    const EmojiNames& table = names();
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.convert(text));
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["chars"] = double(text.size());
    state.counters["entries"] = table.count();
}

void BM_PlainUnit(benchmark::State& state)
{
    QString text;
    for (int i = 0; i < state.range(0); ++i) {
        text += plainUnit();
    }
    convert(state, text);
}

void BM_UnitWithEmoji(benchmark::State& state)
{
    convert(state, unitWithEmoji());
}

void BM_MixedEmoji16K(benchmark::State& state)
{
    QString text;
    while (text.size() < 16 * 1024) {
        text += u"😅あ🐰👨‍👩‍👧"_s;
    }
    convert(state, text);
}

void BM_LoadTable(benchmark::State& state)
{
    for (auto _ : state) {
        EmojiNames table;
        benchmark::DoNotOptimize(table.load(tablePath()));
    }
}

}  // namespace

BENCHMARK(BM_PlainUnit)->Arg(1)->Arg(10)->Arg(100);
BENCHMARK(BM_UnitWithEmoji);
BENCHMARK(BM_MixedEmoji16K);
BENCHMARK(BM_LoadTable)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
