// Re-opening a thread of 1000 realistic messages to which 5 were added,
// against the local board server: the client asks only for the added bytes
// (a range from its last line feed), against a whole download of the file
// (packed with gzip, as the client asks). Both run the whole way: request,
// answer, parse, log written. Counters: bytes over the network per open.
// Wall time (UseRealTime): most of it is waiting for the server and the disk.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/TextCodec.h"
#include "bbs/CHttp.h"
#include "bbs/ThreadData.h"
#include "support/BoardServerProcess.h"
#include "support/TempProfile.h"

using namespace Qt::StringLiterals;

namespace {

const QString kKey = u"1714300000"_s;
const QString kThreadUrl = u"http://uni.2ch.example/test/read.cgi/zatsudan/"_s + kKey;

// Messages as boards write them: anchors, links, entities, line breaks.
QByteArray messages(int first, int count)
{
    QString text;
    for (int i = first; i < first + count; ++i) {
        text += u"名無しさん<>"_s + (i % 3 ? QString() : u"sage"_s) + u"<>2026/12/08(火) 01:23:"_s
                + QString::number(i % 60).rightJustified(2, u'0') + u".12 ID:abcDEF"_s + QString::number(i % 1000)
                + u"0<> <a href=\"../test/read.cgi/zatsudan/1714300000/"_s + QString::number(qMax(1, i - 1))
                + u"\" target=\"_blank\">&gt;&gt;"_s + QString::number(qMax(1, i - 1))
                + u"</a> そうだね &amp; 本当に <br> 二行目の文章です。"_s
                  u"&#128517; http://example.com/page"_s
                + QString::number(i) + u" <br> ＞引用の行 <>"_s + (i == 1 ? u"スレッドの題"_s : QString())
                + u'\n';
    }
    return TextCodec::toCp932(text);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A served board with the 1000-message thread, and a profile whose log and
// download state hold those 1000 messages; the server's copy has 5 more.
struct Setup
{
    QTemporaryDir served;
    TempProfile profile;
    BoardServerProcess server;
    CHttp http;
    QString dat;
    QString logPath;
    QString statePath;
    QByteArray log1000;
    QByteArray state1000;
    qint64 datSize = 0;

    bool start()
    {
        dat = served.path() + u"/zatsudan/dat/"_s + kKey + u".dat"_s;
        if (!QDir().mkpath(served.path() + u"/zatsudan/dat"_s)
            || !writeFile(served.path() + u"/zatsudan/subject.txt"_s,
                          TextCodec::toCp932(kKey + u".dat<>スレッドの題 (1005)\n"_s))
            || !writeFile(dat, messages(1, 1000))) {
            return false;
        }
        if (!server.start(QStringLiteral(BOARDSERVER_PATH), served.path())) {
            return false;
        }
        http.InitInstance(u"Monazilla/1.00 (Yomimaru/1.11) "_s, server.address(), 10000, 10000, 10000);
        ThreadData thread(profile.dataRoot(), profile.settings());
        if (!open(thread) || thread.Get_MessageLoadedNum() != 1000) {
            return false;
        }
        logPath = thread.logPath();
        statePath = thread.datStatePath();
        log1000 = readFile(logPath);
        state1000 = readFile(statePath);
        QByteArray whole = messages(1, 1000) + messages(1001, 5);
        datSize = whole.size();
        return writeFile(dat, whole);
    }

    bool open(ThreadData& thread)
    {
        return thread.InitInstance(nullptr, &http, u"スレッドの題"_s, kThreadUrl, u"雑談"_s, u"なんでも雑談"_s,
                                   1005, false);
    }

    // Back to the log of the first visit: 1000 messages and, for the
    // re-open, the state of that download.
    void reset(bool withState)
    {
        writeFile(logPath, log1000);
        if (withState) {
            writeFile(statePath, state1000);
        } else {
            QFile::remove(statePath);
        }
    }
};

void reopen(benchmark::State& state, bool added)
{
    Setup setup;
    if (!setup.start()) {
        state.SkipWithError("the board server or the first download failed");
        return;
    }
    qint64 bytes = 0;
    ThreadData thread(setup.profile.dataRoot(), setup.profile.settings());
    for (auto _ : state) {
        state.PauseTiming();
        setup.reset(added);
        state.ResumeTiming();
        if (!setup.open(thread) || thread.Get_MessageLoadedNum() != 1005) {
            state.SkipWithError("the thread did not load whole");
            return;
        }
        bytes = thread.lastBytesTransferred();
    }
    state.counters["bytes"] = double(bytes);
    state.counters["dat_bytes"] = double(setup.datSize);
}

void BM_ReopenFiveAdded(benchmark::State& state)
{
    reopen(state, true);
}

void BM_ReopenWholeDownload(benchmark::State& state)
{
    reopen(state, false);
}

BENCHMARK(BM_ReopenFiveAdded)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReopenWholeDownload)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
