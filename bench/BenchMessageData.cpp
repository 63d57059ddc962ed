// Cutting every message of a 1000-message thread into units, as reading a
// whole thread does. Uses a 1000-message sample thread when samples/board has
// one, otherwise a generated thread of the same size and a realistic mix.

#include <benchmark/benchmark.h>
#include <random>
#include <thread>

#include <QDirIterator>
#include <QFile>
#include <QStringList>

#include "base/TextCodec.h"
#include "speech/CMessageData.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kThreadSize = 1000;

QString displayBody(QString body)
{
    body.replace(u"&gt;"_s, u">"_s).replace(u"&lt;"_s, u"<"_s).replace(u"&amp;"_s, u"&"_s);
    return body.replace(u"<br>"_s, u"\r\n    "_s);
}

QStringList sampleThread()
{
    QDirIterator it(QStringLiteral(YOMIMARU_SAMPLES_DIR "/board"), {u"*.dat"_s}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        QList<QByteArray> lines = file.readAll().split('\n');
        if (!lines.isEmpty() && lines.constLast().isEmpty()) {
            lines.removeLast();
        }
        if (lines.size() != kThreadSize) {
            continue;
        }
        QStringList bodies;
        for (const QByteArray& line : lines) {
            bodies.append(displayBody(TextCodec::fromCp932(line).split(u"<>"_s).value(3)));
        }
        return bodies;
    }
    return {};
}

QStringList generatedThread()
{
    const QStringList sentences = {
        u"今日は朝から雨が降っていて、駅まで歩くのが大変だった。"_s,
        u"それは違うと思うけどな"_s,
        u"マジかよｗｗｗ"_s,
        u"詳しくはこちらを見てください。"_s,
        u"値段は1．5倍になったらしい！本当？"_s,
        u"ageてる奴は何なの"_s,
        u"乙です"_s,
    };
    std::mt19937 rng(20090115);
    QStringList bodies;
    for (int n = 1; n <= kThreadSize; ++n) {
        QString body = u" "_s;
        if (rng() % 3 == 0) {
            body += u">>%1<br>"_s.arg(1 + rng() % n);
        }
        if (rng() % 6 == 0) {
            body += u"> "_s + sentences.at(rng() % sentences.size()) + u"<br>>> "_s
                    + sentences.at(rng() % sentences.size()) + u"<br><br>"_s;
        }
        const int lines = 1 + int(rng() % 5);
        for (int i = 0; i < lines; ++i) {
            body += sentences.at(rng() % sentences.size()) + u"<br>"_s;
        }
        if (rng() % 10 == 0) {
            body += u"ttp://www.example.com/test/read.cgi/news/1231808850/%1<br>"_s.arg(n);
        }
        if (rng() % 50 == 0) {
            body += u"連絡先 someone@example.jp<br>"_s;
        }
        if (rng() % 40 == 0) {
            body += u"　 ∧＿∧<br>　（　´∀｀）<br>　（　　　　）<br>　｜ ｜　|<br>"_s;
        }
        body += u" "_s;
        bodies.append(displayBody(body));
    }
    return bodies;
}

struct Thread
{
    QStringList bodies;
    const char* source = "";
};

const Thread& thread()
{
    static const Thread loaded = [] {
        QStringList sample = sampleThread();
        if (sample.isEmpty()) {
            return Thread{generatedThread(), "generated thread"};
        }
        return Thread{sample, "sample thread"};
    }();
    return loaded;
}

// The voice menu keeps one model and refills it for every message.
void BM_ThreadOneModel(benchmark::State& state)
{
    const QStringList& bodies = thread().bodies;
    state.SetLabel(thread().source);
    CMessageData model;
    qint64 units = 0;
    for (auto _ : state) {
        for (const QString& body : bodies) {
            model.InitInstance(u"1"_s, u"1"_s, body, u"1 名無しさん ：2009/01/15(木) 12:00:00"_s, u"1 "_s);
            units += model.Get_MessageMaxNum();
        }
    }
    state.counters["messages"] = double(bodies.size());
    state.counters["units/thread"] = double(units) / double(state.iterations());
}

BENCHMARK(BM_ThreadOneModel)->Unit(benchmark::kMillisecond);

// A new model for every message costs no more: the rules are compiled once.
void BM_ThreadModelPerMessage(benchmark::State& state)
{
    const QStringList& bodies = thread().bodies;
    state.SetLabel(thread().source);
    for (auto _ : state) {
        for (const QString& body : bodies) {
            CMessageData model;
            model.InitInstance(u"1"_s, u"1"_s, body, u"1 名無しさん ：2009/01/15(木) 12:00:00"_s, u"1 "_s);
            benchmark::DoNotOptimize(model.Get_MessageMaxNum());
        }
    }
}

BENCHMARK(BM_ThreadModelPerMessage)->Unit(benchmark::kMillisecond);

// What compiling the rules costs: the first message on a fresh thread builds
// them. Were they built for every message, a thread would pay this 1000 times.
void BM_FirstMessageOnNewThread(benchmark::State& state)
{
    const QString body = thread().bodies.value(0);
    for (auto _ : state) {
        std::thread worker([&body] {
            CMessageData model;
            model.InitInstance(u"1"_s, u"1"_s, body, u"1"_s, u"1"_s);
            benchmark::DoNotOptimize(model.Get_MessageMaxNum());
        });
        worker.join();
    }
}

BENCHMARK(BM_FirstMessageOnNewThread)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
