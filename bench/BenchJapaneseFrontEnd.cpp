// How long the Japanese reading front end takes per message before espeak-ng
// gets it: 100-character pieces of the sample service's message bodies
// (kanji, kana, ASCII and symbols as posted), and opening MeCab once; and
// what the braille line adds to each such unit (kanji read, words
// separated, cells made).

#include <benchmark/benchmark.h>

#include <QDirIterator>
#include <QFile>
#include <QStringList>

#include "base/TextCodec.h"
#include "bbs/ThreadData.h"
#include "speech/JapaneseFrontEnd.h"
#include "speech/KanaBraille.h"

using namespace Qt::StringLiterals;

namespace {

// Bodies of the sample threads joined and cut into 100-character messages.
QStringList hundredCharacterMessages()
{
    QString all;
    QDirIterator it(QStringLiteral(YOMIMARU_SAMPLES_DIR "/board"), {u"*.dat"_s}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        const auto messages = ThreadData::parseDat(TextCodec::fromCp932(file.readAll()));
        for (const ThreadData::Message& m : messages.value_or(QList<ThreadData::Message>())) {
            all += QString(m.body).replace(u"<br>"_s, u" "_s);
        }
    }
    QStringList pieces;
    for (qsizetype i = 0; i + 100 <= all.size(); i += 100) {
        QString piece = all.mid(i, 100);
        if (JapaneseFrontEnd::containsKanji(piece)) {
            pieces.append(piece);
        }
    }
    return pieces;
}

// MeCab opened and the messages read; false (and the benchmark skipped) when
// either cannot be had.
bool prepare(benchmark::State& state, JapaneseFrontEnd& frontEnd, QStringList& messages)
{
    QString warning;
    if (!frontEnd.open(&warning)) {
        state.SkipWithError(qPrintable(warning));
        return false;
    }
    messages = hundredCharacterMessages();
    if (messages.isEmpty()) {
        state.SkipWithError("no sample messages");
        return false;
    }
    return true;
}

void BM_ConvertMessage(benchmark::State& state)
{
    JapaneseFrontEnd frontEnd;
    QStringList messages;
    if (!prepare(state, frontEnd, messages)) {
        return;
    }
    qsizetype i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(frontEnd.convert(messages.at(i)));
        i = (i + 1) % messages.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["messages"] = double(messages.size());
}

BENCHMARK(BM_ConvertMessage)->Unit(benchmark::kMicrosecond);

void BM_KanaBrailleMessage(benchmark::State& state)
{
    JapaneseFrontEnd frontEnd;
    QStringList messages;
    if (!prepare(state, frontEnd, messages)) {
        return;
    }
    qsizetype i = 0;
    qsizetype cells = 0;
    for (auto _ : state) {
        const KanaBraille::Line line = KanaBraille::translate(messages.at(i), &frontEnd);
        cells += line.cells.size();
        benchmark::DoNotOptimize(line);
        i = (i + 1) % messages.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["cells_per_message"] = double(cells) / double(qMax<qint64>(state.iterations(), 1));
}

BENCHMARK(BM_KanaBrailleMessage)->Unit(benchmark::kMicrosecond);

void BM_Open(benchmark::State& state)
{
    for (auto _ : state) {
        JapaneseFrontEnd frontEnd;
        benchmark::DoNotOptimize(frontEnd.open());
    }
}

BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
