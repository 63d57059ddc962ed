// Re-opening a thread of 1000 realistic messages to which 5 were added,
// against the local board server: the client asks only for the added bytes
// (a range from its last line feed), against a whole download of the file
// (packed with gzip, as the client asks). Timed: the download as the
// program makes it on entering the thread (request, answer, unpacking,
// parsing, the log written); loading the log held beforehand is the same for
// both and is not timed. Counters: bytes over the network per download.
// Wall time (UseRealTime): much of it is waiting for the server and the disk.
// Twice: over loopback, where a round trip and the writes cost about what the
// transfer does, and over a link of 1 Mbit/s (the server's throttle fault),
// closer to what a user's line takes for a thread.

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

// Messages as boards write them: varied bodies of one to six lines,
// anchors, links, entities, IDs of eight random characters, times that move
// on. Fixed seed: the same thread on every run. (A body repeated line after
// line would pack far better than real threads do and flatter the whole
// download.)
QByteArray messages(int first, int count)
{
    static const QStringList phrases{u"それは知らなかった"_s,
                                     u"今日は朝から雨で電車が遅れていた"_s,
                                     u"ソースはどこ？"_s,
                                     u"昔の話だけど、あの店はもう閉まったらしい"_s,
                                     u"わかる"_s,
                                     u"さすがにそれはないだろ &amp; 冷静になれ"_s,
                                     u"&gt;&gt;1 乙です"_s,
                                     u"晩ご飯はカレーにした。"_s,
                                     u"明日から三連休だな"_s,
                                     u"バッテリーの持ちが悪くなってきた気がする"_s,
                                     u"まとめると、設定画面から変更できる"_s,
                                     u"（´・ω・｀）"_s,
                                     u"それで結局どうなったの？"_s,
                                     u"駅前の再開発、完成は二年後だそうだ"_s,
                                     u"&quot;公式&quot;の発表を待とう"_s,
                                     u"ワロタ"_s};
    static const QString idChars = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"_s;
    quint32 seed = 12345u + quint32(first) * 7919u;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    QString text;
    for (int i = first; i < first + count; ++i) {
        QString id;
        for (int c = 0; c < 8; ++c) {
            id += idChars.at(int(next() % idChars.size()));
        }
        const int seconds = i * 37;
        QString body;
        const int lines = 1 + int(next() % 6);
        for (int l = 0; l < lines; ++l) {
            body += (l ? u" <br> "_s : u" "_s) + phrases.at(int(next() % phrases.size()));
        }
        if (next() % 4 == 0) {
            const int to = qMax(1, i - 1 - int(next() % 20));
            body = u" <a href=\"../test/read.cgi/zatsudan/1714300000/"_s + QString::number(to)
                   + u"\" target=\"_blank\">&gt;&gt;"_s + QString::number(to) + u"</a>"_s + body;
        }
        if (next() % 10 == 0) {
            body += u" <br> http://example.com/news/"_s + QString::number(next() * 7 + i);
        }
        text += u"名無しさん<>"_s + (next() % 3 ? QString() : u"sage"_s) + u"<>2026/12/08(火) "_s
                + QString::number(seconds / 3600 % 24).rightJustified(2, u'0') + u':'
                + QString::number(seconds / 60 % 60).rightJustified(2, u'0') + u':'
                + QString::number(seconds % 60).rightJustified(2, u'0') + u'.'
                + QString::number(next() % 100).rightJustified(2, u'0') + u" ID:"_s + id + u"<>"_s + body
                + u" <>"_s + (i == 1 ? u"スレッドの題"_s : QString()) + u'\n';
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

    bool start(const QStringList& serverOptions)
    {
        dat = served.path() + u"/zatsudan/dat/"_s + kKey + u".dat"_s;
        if (!QDir().mkpath(served.path() + u"/zatsudan/dat"_s)
            || !writeFile(served.path() + u"/zatsudan/subject.txt"_s,
                          TextCodec::toCp932(kKey + u".dat<>スレッドの題 (1005)\n"_s))
            || !writeFile(dat, messages(1, 1000))) {
            return false;
        }
        if (!server.start(QStringLiteral(BOARDSERVER_PATH), served.path(), serverOptions)) {
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
        return thread.InitInstance(nullptr, &http, u"スレッドの題"_s, kThreadUrl, u"雑談"_s,
                                   u"なんでも雑談"_s, 1005, false);
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
    const bool slowLink = state.range(0) != 0;
    if (!setup.start(slowLink ? QStringList{u"--fault=throttle:125000@.dat"_s} : QStringList())) {
        state.SkipWithError("the board server or the first download failed");
        return;
    }
    qint64 bytes = 0;
    ThreadData thread(setup.profile.dataRoot(), setup.profile.settings());
    for (auto _ : state) {
        state.PauseTiming();
        setup.reset(added);
        // The log as held, without a download (as offline).
        thread.InitInstance(nullptr, &setup.http, u"スレッドの題"_s, kThreadUrl, u"雑談"_s, u"なんでも雑談"_s,
                            -1, false);
        state.ResumeTiming();
        if (!thread.Download(true) || thread.Get_MessageLoadedNum() != 1005) {
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

// Argument: 0 over loopback, 1 over a 1 Mbit/s link.
BENCHMARK(BM_ReopenFiveAdded)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReopenWholeDownload)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
