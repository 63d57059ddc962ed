// Reading a whole 1000-message thread through the voice menu, unit after
// unit, as the reading timer drives it, with a speech engine that finishes
// every utterance at once. Offline, from the thread's log.
// The read position is saved as it goes, so the figure is on wall time.

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
#include "voicemenu/VoiceMenu.h"
#include "voicemenu/VoiceMenuHost.h"

using namespace Qt::StringLiterals;

namespace {

class SilentHost : public VoiceMenuHost
{
public:
    void Update_List() override {}

    void Update_Tree() override {}

    void selectListRow(int) override {}

    void setProgress(double) override {}

    void showMessageText(const QString&) override {}

    void showMessageBox(MessageIcon, const QString&) override {}

    QString runLineEditDialog(const QString&, const QString&, const QString&) override { return {}; }

    void runWriteDialog() override {}

    void Switch_FontSize() override {}

    void Switch_Color() override {}

    void setFormState(int) override {}

    void setClipboardText(const QString&) override {}

    bool openWithDesktop(const QString&) override { return true; }

    bool startCommand(const QString&) override { return true; }
};

const QString kKey = u"1714300000"_s;

// A data root holding the sample service's 1000-message thread as a log.
bool prepare(const QString& root)
{
    QFile dat(QStringLiteral(YOMIMARU_SAMPLES_DIR) + u"/board/zatsudan/dat/"_s + kKey + u".dat"_s);
    if (!dat.open(QIODevice::ReadOnly)) {
        return false;
    }
    const auto messages = ThreadData::parseDat(TextCodec::fromCp932(dat.readAll()));
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
           && TextFile::writeLines(folder + u"/thread.list"_s, {kKey + u",1から1000まで数えるスレ,"_s
                                                                + QString::number(messages->size())})
           && TextFile::writeLines(folder + u'/' + kKey + u".log"_s, log);
}

void BM_ReadWholeThread(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString root = dir.filePath(u"data"_s);
    if (!prepare(root)) {
        state.SkipWithError("sample thread missing");
        return;
    }
    SettingsStore store(dir.filePath(u"config"_s));
    CSettings settings(store);
    settings.InitInstance();
    settings.Set_(CSettings::VoiceEngine, u"1"_s);
    SpySpeechEngine engine;
    ReadConv readconv(QStringLiteral(YOMIMARU_RESOURCES_DIR) + u"/readconv.txt"_s);
    readconv.InitInstance();
    SpeechOutput speech(engine, settings, readconv);
    SilentHost host;
    VoiceMenu menu(AppPaths(root, dir.filePath(u"config"_s)), settings, speech, engine, nullptr, host, true);
    if (!menu.Initialize()) {
        state.SkipWithError("the voice menu did not start");
        return;
    }
    menu.JumpCategory();
    for (int step = 0; step < 3; ++step) {
        menu.Select_(1, true);
        menu.Entry();
    }
    if (menu.Get_MenuNo() != VoiceMenu::ReadingMenu) {
        state.SkipWithError("the thread did not open");
        return;
    }
    qint64 units = 0;
    for (auto _ : state) {
        menu.threadData().Move_Index(-100000);
        menu.threadData().Rewind_Index();
        if (!menu.IsReadable()) {
            menu.Entry();  // start reading again from the top
        }
        while (menu.Read_Message(false)) {
            engine.finishCurrent();
            ++units;
        }
        engine.clear();
    }
    state.counters["units/thread"] = double(units) / double(state.iterations());
    state.counters["messages"] = menu.threadData().Get_MessageLoadedNum();
}

BENCHMARK(BM_ReadWholeThread)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
