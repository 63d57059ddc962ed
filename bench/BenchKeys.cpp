// A key pressed while a thread is read: from the main window's key handler to
// the text handed to the speech engine, with a spy engine in place of a voice
// and the window drawn offscreen. The thread is a realistic 1000-message one,
// opened from its log. The Down key moves to the next message and starts
// reading it; every press is timed on the wall clock (reading positions and
// the list follow as they do in the program), and p50, p99 and the slowest
// press are given besides the mean. Goal: p99 under 5 ms.

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "RealisticThread.h"
#include "app/MainForm.h"
#include "base/AppPaths.h"
#include "base/CSettings.h"
#include "base/SettingsStore.h"
#include "base/TextCodec.h"
#include "base/TextFile.h"
#include "bbs/ThreadData.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"
#include "support/SpySpeechEngine.h"
#include "voicemenu/VoiceMenu.h"

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 kDown = 40;
const QString kKey = u"1765000000"_s;

bool prepare(const QString& root)
{
    const auto messages = ThreadData::parseDat(TextCodec::decodeServerText(RealisticThread::datBytes()));
    if (!messages) {
        return false;
    }
    QStringList log;
    for (const ThreadData::Message& m : *messages) {
        log << ThreadData::logLine(m);
    }
    const QString folder = root + u"/雑談/なんでも雑談"_s;
    QDir().mkpath(folder);
    return TextFile::writeLines(
               root + u"/board.list"_s,
               {u"1"_s, u"雑談"_s, u"1"_s, u"1,http://uni.2ch.example/zatsudan/,なんでも雑談"_s})
           && TextFile::writeLines(folder + u"/thread.list"_s,
                                   {kKey + u",実況しながら語るスレ,"_s + QString::number(messages->size())})
           && TextFile::writeLines(folder + u'/' + kKey + u".log"_s, log);
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty()) {
        return 0.0;
    }
    std::sort(v.begin(), v.end());
    return v.at(std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5)));
}

void BM_DownKeyWhileReading(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString root = dir.filePath(u"data"_s);
    if (!prepare(root)) {
        state.SkipWithError("thread not prepared");
        return;
    }
    SettingsStore store(dir.filePath(u"config"_s));
    CSettings settings(store);
    settings.InitInstance();
    settings.Set_(CSettings::VoiceEngine, u"1"_s);
    SpySpeechEngine engine;
    engine.setQueuing(true);
    ReadConv readconv(QStringLiteral(YOMIMARU_RESOURCES_DIR) + u"/readconv.txt"_s);
    readconv.InitInstance();
    SpeechOutput speech(engine, settings, readconv);
    MainForm::Services services;
    services.speech = &speech;
    services.engine = &engine;
    services.readconv = &readconv;
    services.offline = true;
    services.isForeground = [] { return true; };
    services.isWindowActive = [] { return true; };
    services.messageBox = [](VoiceMenuHost::MessageIcon, const QString&) {};
    MainForm form(AppPaths(root, dir.filePath(u"config"_s)), store, settings, services);
    if (!form.start()) {
        state.SkipWithError("the window did not start");
        return;
    }
    VoiceMenu& menu = *form.voiceMenu();
    menu.JumpCategory();
    for (int step = 0; step < 3; ++step) {
        menu.Select_(1, true);
        menu.Entry();
    }
    if (menu.Get_MenuNo() != VoiceMenu::ReadingMenu) {
        state.SkipWithError("the thread did not open");
        return;
    }
    const int last = menu.threadData().Get_MessageLoadedNum();
    std::vector<double> ms;
    for (auto _ : state) {
        if (menu.Get_Index() >= last - 1) {
            menu.Select_(1, true);
        }
        // Reading goes on: the current unit starts, the next one waits.
        engine.startCurrent();
        QCoreApplication::processEvents();
        const qsizetype before = engine.spoken().size();
        const auto start = std::chrono::steady_clock::now();
        form.handleKey(kDown, true, false, false, false);
        const auto end = std::chrono::steady_clock::now();
        form.handleKey(kDown, false, false, false, false);
        if (engine.spoken().size() == before) {
            state.SkipWithError("the key said nothing");
            break;
        }
        const double seconds = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(seconds);
        ms.push_back(seconds * 1000.0);
        engine.clear();
    }
    state.counters["p50_ms"] = percentile(ms, 0.50);
    state.counters["p99_ms"] = percentile(ms, 0.99);
    state.counters["max_ms"] = ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end());
    state.counters["messages"] = last;
}

BENCHMARK(BM_DownKeyWhileReading)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2000);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
