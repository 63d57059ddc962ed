// The default voice ranking over plain voice lists, the names the engine menu
// gives the voices, and the watchdog's allowance for a slow synthesizer.

#include <QtTest>

#include "platform/SpeechdEngine.h"
#include "speech/VoiceChoice.h"

using namespace Qt::StringLiterals;

namespace {

VoiceInfo espeakJa()
{
    return {u"espeak-ng"_s, u"Japanese"_s, u"ja"_s, QString()};
}

VoiceInfo openJTalk()
{
    return {u"openjtalk-generic"_s, u"nitech-m001"_s, u"ja"_s, u"MALE1"_s};
}

VoiceInfo otherJa()
{
    return {u"kali"_s, u"Haruka"_s, u"ja-JP"_s, u"FEMALE1"_s};
}

VoiceInfo moduleDefault(const QString& module)
{
    return {module, QString(), QString(), QString()};
}

}  // namespace

class TestVoiceChoice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaultMode_data();
    void defaultMode();
    void labels_data();
    void labels();
    void watchdog_data();
    void watchdog();
};

void TestVoiceChoice::defaultMode_data()
{
    QTest::addColumn<QList<VoiceInfo>>("voices");
    QTest::addColumn<int>("saved");
    QTest::addColumn<int>("expected");

    // The order speech-dispatcher gives: Japanese voices of each module, then
    // every module's default voice.
    const QList<VoiceInfo> everything = {espeakJa(), otherJa(), openJTalk(), moduleDefault(u"espeak-ng"_s),
                                         moduleDefault(u"openjtalk-generic"_s)};
    QTest::newRow("Open JTalk wins wherever it is listed") << everything << 0 << 3;
    QTest::newRow("a saved espeak choice wins") << everything << 1 << 1;
    QTest::newRow("a saved other voice wins") << everything << 2 << 2;
    QTest::newRow("a saved voice that is gone does not") << everything << 9 << 3;
    QTest::newRow("a saved voice that is not Japanese does not") << everything << 4 << 3;
    QTest::newRow("a saved zero is no choice") << everything << 0 << 3;
    QTest::newRow("without Open JTalk, another Japanese voice before espeak")
        << QList<VoiceInfo>{espeakJa(), moduleDefault(u"espeak-ng"_s), otherJa()} << 0 << 3;
    QTest::newRow("espeak alone") << QList<VoiceInfo>{moduleDefault(u"flite"_s), espeakJa()} << 0 << 2;
    QTest::newRow("old espeak module counts as espeak")
        << QList<VoiceInfo>{{u"espeak"_s, u"japanese"_s, u"ja"_s, QString()}, otherJa()} << 0 << 2;
    QTest::newRow("a native openjtalk module too")
        << QList<VoiceInfo>{espeakJa(), {u"openjtalk"_s, u"mei"_s, u"ja"_s, QString()}} << 0 << 2;
    QTest::newRow("the first of two equal voices")
        << QList<VoiceInfo>{espeakJa(), openJTalk(), {u"openjtalk"_s, u"mei"_s, u"ja"_s, QString()}} << 0
        << 2;
    QTest::newRow("the program's own Open JTalk module before the others")
        << QList<VoiceInfo>{openJTalk(),
                            {u"yomimaru-openjtalk"_s, u"nitech_jp_atr503_m001"_s, u"ja"_s, u"MALE1"_s}}
        << 0 << 2;
    QTest::newRow("no Japanese voice") << QList<VoiceInfo>{moduleDefault(u"espeak-ng"_s)} << 0 << 0;
    QTest::newRow("no Japanese voice, saved choice ignored")
        << QList<VoiceInfo>{moduleDefault(u"espeak-ng"_s)} << 1 << 0;
    QTest::newRow("no voices") << QList<VoiceInfo>{} << 1 << 0;
}

void TestVoiceChoice::defaultMode()
{
    QFETCH(QList<VoiceInfo>, voices);
    QFETCH(int, saved);
    QFETCH(int, expected);
    QCOMPARE(VoiceChoice::defaultMode(voices, saved), expected);
}

void TestVoiceChoice::labels_data()
{
    QTest::addColumn<VoiceInfo>("voice");
    QTest::addColumn<QString>("item");  // as the engine menu says it

    QTest::newRow("Open JTalk") << openJTalk() << u"Open JTalk 男性の声  (nitech-m001)"_s;
    QTest::newRow("espeak-ng Japanese") << espeakJa() << u"eSpeak NG  (日本語、漢字はカナに変換)"_s;
    QTest::newRow("another Japanese voice") << otherJa() << u"kali 女性の声  (Haruka)"_s;
    QTest::newRow("a voice without a kind")
        << VoiceInfo{u"openjtalk"_s, u"mei"_s, u"ja"_s, QString()} << u"Open JTalk  (mei)"_s;
    QTest::newRow("a module's default voice") << moduleDefault(u"espeak-ng"_s) << u"eSpeak NG  (既定の声)"_s;
    QTest::newRow("an unknown module's default voice") << moduleDefault(u"flite"_s) << u"flite  (既定の声)"_s;
}

void TestVoiceChoice::labels()
{
    QFETCH(VoiceInfo, voice);
    QFETCH(QString, item);
    QCOMPARE(VoiceChoice::modeLabel(voice) + u"  ("_s + VoiceChoice::productLabel(voice) + u')', item);
}

void TestVoiceChoice::watchdog_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("msPerChar");
    QTest::addColumn<int>("marginMs");
    QTest::addColumn<int>("fast");  // espeak
    QTest::addColumn<int>("slow");  // a synthesizer that renders before it plays

    // Twice (characters × ms per char + written pauses) plus the margin; a
    // slow synthesizer gets 600 ms plus 10 ms per character more.
    QTest::newRow("short sentence") << u"今日は良い天気ですね。"_s << 0 << 150 << 4000
                                    << 2 * (11 * 150 + 400) + 4000
                                    << 2 * (11 * 150 + 400) + 4000 + 600 + 11 * 10;
    QTest::newRow("no margin, no time per character") << u"あいう"_s << 0 << 0 << 0 << 0 << 600 + 30;
    QTest::newRow("twice the speed halves the speaking time")
        << u"ああああ"_s << 100 << 100 << 0 << 2 * 200 << 2 * 200 + 600 + 40;
    QTest::newRow("half the speed doubles it")
        << u"ああああ"_s << -100 << 100 << 0 << 2 * 800 << 2 * 800 + 600 + 40;
    QTest::newRow("pauses count") << u"、。"_s << 0 << 0 << 0 << 2 * (200 + 400)
                                  << 2 * (200 + 400) + 600 + 20;
    QTest::newRow("empty text") << QString() << 0 << 150 << 1000 << 1000 << 1600;
    QTest::newRow("huge text stays in range")
        << QString(2'000'000, u'あ') << -100 << 1000 << 0 << std::numeric_limits<int>::max()
        << std::numeric_limits<int>::max();
}

void TestVoiceChoice::watchdog()
{
    QFETCH(QString, text);
    QFETCH(int, speed);
    QFETCH(int, msPerChar);
    QFETCH(int, marginMs);
    QFETCH(int, fast);
    QFETCH(int, slow);
    QCOMPARE(SpeechdEngine::watchdogMs(text, speed, msPerChar, marginMs, false), fast);
    QCOMPARE(SpeechdEngine::watchdogMs(text, speed, msPerChar, marginMs, true), slow);
}

QTEST_GUILESS_MAIN(TestVoiceChoice)
#include "TestVoiceChoice.moc"
