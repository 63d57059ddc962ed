// Searching by voice over big domains, offline from a prepared data root:
// the 1000-message sample thread (with the romaji dictionary and literally),
// a thread of 32,767 messages with hostile keys, and a board menu of 1,000
// boards. Each iteration is one find command and its result list; the way
// back to the origin menu is not timed.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/AppPaths.h"
#include "base/CSettings.h"
#include "base/SettingsStore.h"
#include "base/TextCodec.h"
#include "base/TextFile.h"
#include "bbs/ThreadData.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"
#include "support/SpySpeechEngine.h"
#include "voicemenu/Migemo.h"
#include "voicemenu/VoiceMenu.h"
#include "voicemenu/VoiceMenuHost.h"

using namespace Qt::StringLiterals;

namespace {

// Answers every find dialog with the key; the dictionary when there is one.
class SearchHost : public VoiceMenuHost
{
public:
    QString key;
    const Migemo* migemo = nullptr;

    void Update_List() override {}

    void Update_Tree() override {}

    void selectListRow(int) override {}

    void setProgress(double) override {}

    void showMessageText(const QString&) override {}

    void showMessageBox(MessageIcon, const QString&) override {}

    QString runLineEditDialog(const QString&, const QString&, const QString&) override { return {}; }

    QString runFindDialog() override { return key; }

    void runWriteDialog() override {}

    QString migemoQuery(const QString& k) override { return migemo ? migemo->query(k) : QString(); }

    void Switch_FontSize() override {}

    void Switch_Color() override {}

    void setFormState(int) override {}

    void setClipboardText(const QString&) override {}

    bool openWithDesktop(const QString&) override { return true; }

    bool startCommand(const QString&) override { return true; }
};

const QString kKey = u"1714300000"_s;

// A data root with one thread of `count` messages (the sample thread's
// messages over and over) and `boards` boards in ten categories.
bool prepare(const QString& root, int count, int boards)
{
    QFile dat(QStringLiteral(YOMIMARU_SAMPLES_DIR) + u"/board/zatsudan/dat/"_s + kKey + u".dat"_s);
    if (!dat.open(QIODevice::ReadOnly)) {
        return false;
    }
    const auto messages = ThreadData::parseDat(TextCodec::fromCp932(dat.readAll()));
    if (!messages || messages->isEmpty()) {
        return false;
    }
    QStringList log;
    for (int n = 0; n < count; ++n) {
        log << ThreadData::logLine(messages->at(n % messages->size()));
    }
    QStringList list{u"10"_s, u"雑談"_s};
    for (int c = 2; c <= 10; ++c) {
        list << u"カテゴリー"_s + QString::number(c);
    }
    list << QString::number(boards / 10 * 10);
    for (int c = 1; c <= 10; ++c) {
        for (int b = 1; b <= boards / 10; ++b) {
            const QString name =
                c == 1 && b == 1 ? u"なんでも雑談"_s : u"板"_s + QString::number(c * 1000 + b);
            list << QString::number(c) + u",http://uni.2ch.example/b"_s + QString::number(c * 1000 + b)
                        + u"/,"_s + name;
        }
    }
    const QString folder = root + u"/雑談/なんでも雑談"_s;
    QDir().mkpath(folder);
    return TextFile::writeLines(root + u"/board.list"_s, list)
           && TextFile::writeLines(folder + u"/thread.list"_s,
                                   {kKey + u",1から1000まで数えるスレ,"_s + QString::number(count)})
           && TextFile::writeLines(folder + u'/' + kKey + u".log"_s, log);
}

struct Program
{
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(u"config"_s)};
    CSettings settings{store};
    SpySpeechEngine engine;
    ReadConv readconv{QStringLiteral(YOMIMARU_RESOURCES_DIR) + u"/readconv.txt"_s};
    std::unique_ptr<SpeechOutput> speech;
    SearchHost host;
    Migemo migemo;
    std::unique_ptr<VoiceMenu> menu;

    // Started offline in the reading menu of the thread, or in the category menu.
    QString start(int messages, int boards, bool reading, bool romaji)
    {
        const QString root = dir.filePath(u"data"_s);
        if (!prepare(root, messages, boards)) {
            return u"sample thread missing"_s;
        }
        if (romaji) {
            if (!migemo.open(QString::fromLatin1(Migemo::kSystemDictionary))) {
                return u"no romaji dictionary"_s;
            }
            host.migemo = &migemo;
        }
        settings.InitInstance();
        settings.Set_(CSettings::VoiceEngine, u"1"_s);
        readconv.InitInstance();
        speech = std::make_unique<SpeechOutput>(engine, settings, readconv);
        menu = std::make_unique<VoiceMenu>(AppPaths(root, dir.filePath(u"config"_s)), settings, *speech,
                                           engine, nullptr, host, true);
        if (!menu->Initialize()) {
            return u"the voice menu did not start"_s;
        }
        menu->JumpCategory();
        if (reading) {
            for (int step = 0; step < 3; ++step) {
                menu->Select_(1, true);
                menu->Entry();
            }
            if (menu->Get_MenuNo() != VoiceMenu::ReadingMenu) {
                return u"the thread did not open"_s;
            }
        }
        return {};
    }
};

// state.range(0): 0 literal, 1 romaji; the key is the benchmark's argument.
void runSearch(benchmark::State& state, int messages, int boards, bool reading, const QString& key)
{
    Program program;
    const QString error = program.start(messages, boards, reading, state.range(0) == 1);
    if (!error.isEmpty()) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    const qint16 origin = program.menu->Get_MenuNo();
    program.host.key = key;
    qint64 hits = 0;
    for (auto _ : state) {
        program.menu->find();
        state.PauseTiming();
        if (program.menu->Get_MenuNo() == VoiceMenu::SearchResultMenu) {
            hits = program.menu->Get_ItemNum();
        } else {
            hits = program.engine.texts().constLast() == u"見つかりません"_s ? 0 : 1;
        }
        while (program.menu->Get_MenuNo() != origin) {
            program.menu->GoBack();
        }
        program.engine.clear();
        state.ResumeTiming();
    }
    state.counters["hits"] = double(hits);
}

// The 1000-message thread: "kazu" (数, かず ...) with the dictionary, "ゲット" literally.
void BM_SearchThread(benchmark::State& state)
{
    runSearch(state, 1000, 10, true, state.range(0) == 1 ? u"kazu"_s : u"ゲット"_s);
}

BENCHMARK(BM_SearchThread)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// All boards of a 1,000-board menu: "ita" with the dictionary (板 everywhere), "板1005" literally.
void BM_SearchBoards(benchmark::State& state)
{
    runSearch(state, 10, 1000, false, state.range(0) == 1 ? u"ita"_s : u"板1005"_s);
}

BENCHMARK(BM_SearchBoards)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Hostile keys over a thread of 32,767 messages: 10,000 romaji characters
// (with the dictionary), 10,000 kana and a key of metacharacters only.
void BM_SearchHugeThread(benchmark::State& state)
{
    static const QString keys[] = {QString(10000, u'a'), QString(10000, u'あ'),
                                   u"()[]{}\\|.+?/$^*"_s.repeated(700)};
    runSearch(state, 32767, 10, true, keys[state.range(1)]);
}

BENCHMARK(BM_SearchHugeThread)
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({0, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
