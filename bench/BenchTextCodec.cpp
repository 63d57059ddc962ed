// Decoding and encoding of board text, and the reading conversion, at the
// sizes a large thread brings.

#include <benchmark/benchmark.h>

#include <QString>

#include "base/TextCodec.h"
#include "base/VbRegExp.h"
#include "speech/ReadConv.h"

using namespace Qt::StringLiterals;

namespace {

// About the size of a 1000-message thread's log.
QString sampleText()
{
    QString text;
    for (int i = 1; i <= 1000; ++i) {
        text += u"名無しさん<><>2026/12/08(火) 01:23:45.67 ID:abcdEFGH<>"_s
                u"&gt;&gt;"_s
                + QString::number(i)
                + u" それはないわｗｗｗ <br> ＞＞ 引用です。 😅 http://example.com/a "_s
                  u"<br> ﾊﾝｶｸｶﾅもある。<>\n"_s;
    }
    return text;
}

void BM_EncodeCp932(benchmark::State& state)
{
    const QString text = sampleText();
    for (auto _ : state) {
        benchmark::DoNotOptimize(TextCodec::toCp932(text));
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}

BENCHMARK(BM_EncodeCp932);

void BM_DecodeCp932(benchmark::State& state)
{
    const QByteArray bytes = TextCodec::toCp932(sampleText());
    for (auto _ : state) {
        benchmark::DoNotOptimize(TextCodec::fromCp932(bytes));
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

BENCHMARK(BM_DecodeCp932);

void BM_DecodeServerText(benchmark::State& state)
{
    const QByteArray bytes = TextCodec::toCp932(sampleText());
    for (auto _ : state) {
        benchmark::DoNotOptimize(TextCodec::decodeServerText(bytes));
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

BENCHMARK(BM_DecodeServerText);

void BM_DecodeReferences(benchmark::State& state)
{
    const QString text = TextCodec::fromCp932(TextCodec::toCp932(sampleText()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(TextCodec::decodeNumericReferences(text));
    }
}

BENCHMARK(BM_DecodeReferences);

// A replacement rule run over every message of a thread, as the text model does.
void BM_ReplaceOverThread(benchmark::State& state)
{
    const QStringList lines = sampleText().split(u'\n');
    const VbRegExp anchor(u"&gt;&gt;([0-9]+)"_s, true, true);
    for (auto _ : state) {
        for (const QString& line : lines) {
            benchmark::DoNotOptimize(anchor.Replace(line, u"＞＞$1"_s));
        }
    }
}

BENCHMARK(BM_ReplaceOverThread);

void BM_ReadConvShippedRules(benchmark::State& state)
{
    ReadConv conv(QStringLiteral(YOMIMARU_RESOURCES_DIR) + u"/readconv.txt"_s);
    conv.InitInstance();
    const QString utterance = u"それはないわｗｗｗ　ｋｗｓｋ　orz 乙です。http://example.com/"_s;
    for (auto _ : state) {
        benchmark::DoNotOptimize(conv.Convert(utterance));
    }
    state.counters["rules"] = conv.count();
}

BENCHMARK(BM_ReadConvShippedRules);

}  // namespace

BENCHMARK_MAIN();
