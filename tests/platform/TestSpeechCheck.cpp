// yomimaru --speech-check: which voice it speaks with, what it reports and
// its exit status, on an engine whose start and end the test controls.

#include <QtTest>

#include "base/CSettings.h"
#include "base/SettingsStore.h"
#include "platform/SpeechCheck.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"
#include "support/SpySpeechEngine.h"

using namespace Qt::StringLiterals;

class TestSpeechCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void check_data();
    void check();
    void frontEndLine_data();
    void frontEndLine();
};

namespace {

enum class Engine
{
    Reports,
    Silent,
    AudioFails
};

}  // namespace

void TestSpeechCheck::check_data()
{
    QTest::addColumn<QStringList>("modules");  // one Japanese voice each, "-" for a non-Japanese one
    QTest::addColumn<QString>("saved");        // setting 13 as stored, empty when never stored
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("engine");
    QTest::addColumn<int>("mode");  // the voice that spoke, 0 for none
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("exitCode");

    const QStringList both = {u"espeak-ng"_s, u"openjtalk-generic"_s, u"-"_s};
    const QString spoken = u"result: spoken"_s;
    QTest::newRow("Open JTalk by default")
        << both << QString() << u"speechd"_s << int(Engine::Reports) << 2
        << QStringList{u"module: openjtalk-generic"_s, u"chosen by: default (no saved choice)"_s, spoken}
        << 0;
    QTest::newRow("the program's Open JTalk module tells its first sound")
        << QStringList{u"espeak-ng"_s, u"yomimaru-openjtalk"_s} << QString() << u"speechd"_s
        << int(Engine::Reports) << 2 << QStringList{u"module: yomimaru-openjtalk"_s, spoken} << 0;
    QTest::newRow("the saved espeak voice") << both << u"1"_s << u"speechd"_s << int(Engine::Reports) << 1
                                            << QStringList{u"voice: J1  (Spy)"_s, u"module: espeak-ng"_s,
                                                           u"chosen by: the saved choice (1)"_s, spoken}
                                            << 0;
    QTest::newRow("a saved voice that is gone")
        << both << u"7"_s << u"speechd"_s << int(Engine::Reports) << 2
        << QStringList{u"module: openjtalk-generic"_s,
                       u"chosen by: default (the saved choice 7 is not usable)"_s, spoken}
        << 0;
    QTest::newRow("a saved voice that is not Japanese")
        << both << u"3"_s << u"speechd"_s << int(Engine::Reports) << 2
        << QStringList{u"chosen by: default (the saved choice 3 is not usable)"_s, spoken} << 0;
    QTest::newRow("no Japanese voice")
        << QStringList{u"-"_s} << QString() << u"speechd"_s << int(Engine::Reports) << 0
        << QStringList{u"voice: none (no Japanese voice)"_s} << 1;
    QTest::newRow("the transcript is no speech")
        << QStringList{u"transcript"_s} << QString() << u"transcript"_s << int(Engine::Reports) << 1
        << QStringList{u"result: no speech (the transcript engine only writes text)"_s} << 1;
    QTest::newRow("an engine that never reports")
        << both << QString() << u"speechd"_s << int(Engine::Silent) << 2
        << QStringList{u"start after: never"_s, u"end after: never"_s,
                       u"result: no speech (the engine did not report it)"_s}
        << 1;
    QTest::newRow("no audio output") << both << QString() << u"speechd"_s << int(Engine::AudioFails) << 2
                                     << QStringList{u"result: no speech (no audio output works)"_s} << 1;
}

void TestSpeechCheck::check()
{
    QFETCH(QStringList, modules);
    QFETCH(QString, saved);
    QFETCH(QString, kind);
    QFETCH(int, engine);
    QFETCH(int, mode);
    QFETCH(QStringList, lines);
    QFETCH(int, exitCode);

    QTemporaryDir dir;
    SettingsStore store(dir.path());
    CSettings settings(store);
    settings.InitInstance();
    if (!saved.isEmpty()) {
        settings.Set_(CSettings::VoiceEngine, saved);
    }
    SpySpeechEngine spy;
    QList<QPair<QString, bool>> modes;
    for (int i = 0; i < modules.size(); ++i) {
        modes.append({u"J%1"_s.arg(i + 1), modules.at(i) != u"-"_s});
    }
    spy.setModes(modes);
    spy.setModules(modules);
    spy.setAutomatic(engine == int(Engine::Reports));
    if (engine == int(Engine::AudioFails)) {
        // The watchdog's way: the failure is reported, then the end.
        QTimer::singleShot(0, &spy, [&spy] {
            spy.startCurrent();
            Q_EMIT spy.audioOutputFailed();
            spy.finishCurrent();
        });
    }
    ReadConv readconv;
    SpeechOutput output(spy, settings, readconv);

    const SpeechCheck::Result result = SpeechCheck::check(
        spy, kind, settings, output, [] { return SpeechCheck::FrontEnd(); }, 300);

    for (const QString& line : std::as_const(lines)) {
        QVERIFY2(result.lines.contains(line), qPrintable(line + u" not in:\n"_s + result.lines.join(u'\n')));
    }
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.lines.first(), u"engine: "_s + kind);
    if (mode == 0) {
        QVERIFY(spy.spoken().isEmpty());
        return;
    }
    QCOMPARE(spy.texts(), QStringList{QString::fromUtf16(SpeechCheck::kSentence)});
    QCOMPARE(spy.last().mode, mode);
    QVERIFY(result.lines.contains(u"front end: not built"_s));
    const bool started = !result.lines.contains(u"start after: never"_s);
    QCOMPARE(started, engine != int(Engine::Silent));
    const bool firstSound = std::any_of(result.lines.cbegin(), result.lines.cend(), [](const QString& l) {
        return l.startsWith(u"first sound after: "_s);
    });
    QCOMPARE(firstSound, started && modules.at(mode - 1) == u"yomimaru-openjtalk"_s);
    // The check stores nothing: the saved choice stays as it was.
    QCOMPARE(settings.isStored(CSettings::VoiceEngine), !saved.isEmpty());
}

void TestSpeechCheck::frontEndLine_data()
{
    QTest::addColumn<bool>("built");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QString>("line");
    QTest::newRow("not built") << false << false << u"front end: not built"_s;
    QTest::newRow("ran") << true << true << u"front end: ran (kanji turned into katakana for this voice)"_s;
    QTest::newRow("not needed") << true << false << u"front end: not used (this voice reads kanji itself)"_s;
}

void TestSpeechCheck::frontEndLine()
{
    QFETCH(bool, built);
    QFETCH(bool, active);
    QFETCH(QString, line);
    QCOMPARE(SpeechCheck::frontEndLine({built, active}), line);
}

QTEST_GUILESS_MAIN(TestSpeechCheck)
#include "TestSpeechCheck.moc"
