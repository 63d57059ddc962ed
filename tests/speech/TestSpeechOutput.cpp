#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "base/CSettings.h"
#include "base/SettingsStore.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"
#include "support/SpySpeechEngine.h"

using namespace Qt::StringLiterals;

class TestSpeechOutput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void dropsOrSpeaks_data();
    void dropsOrSpeaks();
    void uninterruptibleIsHeardToItsEnd();
    void replacedUtteranceEndKeepsTheBlock();
    void uninterruptibleThatSaysNothingDoesNotBlock();
    void refusedUtteranceDoesNotBlock();
    void speechStateFollowsTheCurrentUtterance();
    void stopSpeechOnlyWhileSpeaking();
    void pitchSegmentsOneAfterAnother();
    void queuedTextFollowsWithoutAGap();
    void queuedTextStartsBeforeTheEndIsReported();
    void anyNewUtteranceDropsTheQueued();
    void queueRefused_data();
    void queueRefused();
    void pitchSegmentsQueuedAhead();
    void cancelledSegmentDoesNotAdvance();
    void replacedSegmentDoesNotAdvance();
    void emptySegmentsArePassedOver();
    void markupWithoutMarkerIsSpokenWhole();
    void modePitch_data();
    void modePitch();
    void pitchTriedOutIsHeard();
    void levelValue_data();
    void levelValue();
    void shiftedLevel_data();
    void shiftedLevel();
    void levelsOutsideTheScaleAreClamped();
    void widenHalfwidthKana_data();
    void widenHalfwidthKana();
    void toFullWidth_data();
    void toFullWidth();
    void hugeTextIsOneUtterance();
    void noticesComeFirst();

private:
    void settle() { QCoreApplication::processEvents(); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<CSettings> m_settings;
    std::unique_ptr<ReadConv> m_readconv;
    std::unique_ptr<SpySpeechEngine> m_engine;
    std::unique_ptr<SpeechOutput> m_out;
};

void TestSpeechOutput::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<SettingsStore>(m_dir->path());
    m_settings = std::make_unique<CSettings>(*m_store);
    QVERIFY(m_settings->InitInstance());
    m_settings->Set_(CSettings::SpeechPitch, u"5"_s);
    m_readconv = std::make_unique<ReadConv>();
    m_engine = std::make_unique<SpySpeechEngine>();
    m_out = std::make_unique<SpeechOutput>(*m_engine, *m_settings, *m_readconv);
}

void TestSpeechOutput::cleanup()
{
    m_out.reset();
    m_engine.reset();
    m_readconv.reset();
    m_settings.reset();
    m_store.reset();
    m_dir.reset();
}

void TestSpeechOutput::dropsOrSpeaks_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<bool>("background");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("uninterruptible");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("spoken");

    const QString none;
    QTest::newRow("empty") << none << false << QString() << false << 0 << QStringList();
    QTest::newRow("empty uninterruptible") << none << false << QString() << true << 0 << QStringList();
    QTest::newRow("converted to empty") << u"/w+//"_s << false << u"wwww"_s << false << 0 << QStringList();
    QTest::newRow("everything deleted")
        << u"/[\\s\\S]+// all gone"_s << false << u"こんにちは。"_s << false << 2 << QStringList();
    QTest::newRow("conversion applied")
        << u"/orz/がっくり/"_s << false << u"orz です"_s << false << 0 << QStringList{u"がっくり です"_s};
    QTest::newRow("conversion, then widening")
        << u"/w/ﾜﾗ/"_s << false << u"w"_s << false << 4 << QStringList{u"ワラ"_s};
    QTest::newRow("markup is not converted")
        << u"/orz/がっくり/"_s << false << u"orz"_s << false << 3 << QStringList{u"ｏｒｚ"_s};
    QTest::newRow("background drops normal speech")
        << none << true << u"こんにちは"_s << false << 0 << QStringList();
    QTest::newRow("background drops markup")
        << none << true << u"&&pitch;0あ"_s << false << 3 << QStringList();
    QTest::newRow("background keeps uninterruptible")
        << none << true << u"こんにちは"_s << true << 0 << QStringList{u"こんにちは"_s};
    QTest::newRow("marker alone") << none << false << u"&&pitch;1"_s << false << 3 << QStringList();
}

void TestSpeechOutput::dropsOrSpeaks()
{
    QFETCH(QString, rule);
    QFETCH(bool, background);
    QFETCH(QString, text);
    QFETCH(bool, uninterruptible);
    QFETCH(int, mode);
    QFETCH(QStringList, spoken);

    if (!rule.isEmpty()) {
        m_readconv->loadLines({rule});
        QCOMPARE(m_readconv->count(), 1);
    }
    m_out->setInBackground(background);
    m_out->SpeakText(text, uninterruptible, qint16(mode));
    QCOMPARE(m_engine->texts(), spoken);
    QCOMPARE(m_out->speechDone(), spoken.isEmpty());
    QCOMPARE(m_out->blockSpeak(), uninterruptible && !spoken.isEmpty());
}

void TestSpeechOutput::uninterruptibleIsHeardToItsEnd()
{
    m_out->SpeakText(u"終了します"_s, true);
    const int resets = m_engine->resetCount();
    m_out->SpeakText(u"次の項目"_s);
    m_out->SpeakText(u"もう一つ"_s, true);
    m_out->SpeakText(u"&&pitch;2あ"_s, false, 3);
    QCOMPARE(m_engine->texts(), QStringList{u"終了します"_s});
    // Dropped, not queued, and the playing utterance is not cut.
    QCOMPARE(m_engine->resetCount(), resets);
    QVERIFY(m_out->blockSpeak());

    m_engine->startCurrent();
    QVERIFY(m_out->blockSpeak());
    m_engine->finishCurrent();
    QVERIFY(!m_out->blockSpeak());
    m_out->SpeakText(u"次の項目"_s);
    QCOMPARE(m_engine->texts(), (QStringList{u"終了します"_s, u"次の項目"_s}));
}

void TestSpeechOutput::replacedUtteranceEndKeepsTheBlock()
{
    m_out->SpeakText(u"読み上げ中"_s);
    m_engine->startCurrent();
    m_out->SpeakText(u"大事なお知らせ"_s, true);
    // The end of the utterance it replaced arrives afterwards.
    settle();
    QVERIFY(m_out->blockSpeak());
    QVERIFY(!m_out->speechDone());
    m_out->SpeakText(u"割り込み"_s);
    QCOMPARE(m_engine->texts(), (QStringList{u"読み上げ中"_s, u"大事なお知らせ"_s}));
    m_engine->finishCurrent();
    QVERIFY(!m_out->blockSpeak());
    QVERIFY(m_out->speechDone());
}

void TestSpeechOutput::uninterruptibleThatSaysNothingDoesNotBlock()
{
    m_readconv->loadLines({u"/.+//"_s});
    m_out->SpeakText(u"消える"_s, true);
    QVERIFY(!m_out->blockSpeak());
    m_readconv->loadLines({});
    m_out->SpeakText(u"聞こえる"_s);
    QCOMPARE(m_engine->texts(), QStringList{u"聞こえる"_s});
}

void TestSpeechOutput::refusedUtteranceDoesNotBlock()
{
    m_engine->setRefusing(true);
    m_out->SpeakText(u"届かない"_s, true);
    QVERIFY(!m_out->blockSpeak());
    QVERIFY(m_out->speechDone());
    m_engine->setRefusing(false);
    m_out->SpeakText(u"届く"_s);
    QCOMPARE(m_engine->texts(), QStringList{u"届く"_s});
}

void TestSpeechOutput::speechStateFollowsTheCurrentUtterance()
{
    QSignalSpy started(m_out.get(), &SpeechOutput::speechStarted);
    QSignalSpy finished(m_out.get(), &SpeechOutput::speechFinished);
    QVERIFY(m_out->speechDone());
    m_out->SpeakText(u"一"_s);
    // Running from the moment it is queued, so reading never runs ahead.
    QVERIFY(!m_out->speechDone());
    m_engine->startCurrent();
    QCOMPARE(started.size(), 1);
    m_out->SpeakText(u"二"_s);
    settle();
    // The end of 一 (replaced) is not the end of 二.
    QCOMPARE(finished.size(), 0);
    QVERIFY(!m_out->speechDone());
    m_engine->startCurrent();
    m_engine->finishCurrent();
    QCOMPARE(started.size(), 2);
    QCOMPARE(finished.size(), 1);
    QVERIFY(m_out->speechDone());

    // A lost end notification is repaired by the reading timer.
    m_out->SpeakText(u"三"_s);
    QVERIFY(!m_out->speechDone());
    m_out->handleSpeechFinished();
    QVERIFY(m_out->speechDone());
}

void TestSpeechOutput::stopSpeechOnlyWhileSpeaking()
{
    m_out->StopSpeech();
    QCOMPARE(m_engine->resetCount(), 0);
    m_out->SpeakText(u"長い文章"_s);
    const int resets = m_engine->resetCount();
    m_out->StopSpeech();
    QCOMPARE(m_engine->resetCount(), resets + 1);
    settle();
    QVERIFY(m_out->speechDone());
}

void TestSpeechOutput::pitchSegmentsOneAfterAnother()
{
    m_engine->setAutomatic(false);
    m_out->SpeakText(u"&&pitch;2ABC&&pitch;0def"_s, false, 3);
    QCOMPARE(m_engine->spoken().size(), 1);
    QCOMPARE(m_engine->last().text, u"ＡＢＣ"_s);
    QCOMPARE(m_engine->last().pitch, 40);  // level 7 of -100..100
    QVERIFY(m_out->segmentModeActive());

    m_engine->startCurrent();
    QCOMPARE(m_engine->spoken().size(), 1);
    m_engine->finishCurrent();
    QCOMPARE(m_engine->spoken().size(), 2);
    QCOMPARE(m_engine->last().text, u"ｄｅｆ"_s);
    QCOMPARE(m_engine->last().pitch, 0);  // level 5
    m_engine->finishCurrent();
    QCOMPARE(m_engine->spoken().size(), 2);
    QVERIFY(m_out->speechDone());
}

// Where the engine queues, the next text is handed over while the current one
// plays, with its own pitch and without a reset; speech stays running across
// the hand-over and the queued start is reported once.
void TestSpeechOutput::queuedTextFollowsWithoutAGap()
{
    m_engine->setQueuing(true);
    QSignalSpy started(m_out.get(), &SpeechOutput::speechStarted);
    QSignalSpy finished(m_out.get(), &SpeechOutput::speechFinished);
    QSignalSpy queuedStarted(m_out.get(), &SpeechOutput::queuedStarted);
    m_out->SpeakText(u"一文目。"_s);
    m_engine->startCurrent();
    const int resets = m_engine->resetCount();
    const SpeechEngine::UtteranceId next = m_out->QueueText(u"リンク"_s, 1);
    QVERIFY(next != 0);
    QCOMPARE(m_out->queuedUtterance(), next);
    QCOMPARE(m_engine->resetCount(), resets);
    QCOMPARE(m_engine->pending().size(), 2);
    QCOMPARE(m_engine->last().pitch, 40);  // level 5 raised by 2
    QCOMPARE(m_engine->spoken().at(0).pitch, 0);
    // Only one waits at a time.
    QCOMPARE(m_out->QueueText(u"三"_s), SpeechEngine::UtteranceId(0));

    m_engine->finishCurrent();
    QCOMPARE(finished.size(), 0);
    QVERIFY(!m_out->speechDone());
    QCOMPARE(queuedStarted.size(), 0);
    m_engine->startCurrent();
    QCOMPARE(started.size(), 2);
    QCOMPARE(queuedStarted.size(), 1);
    QCOMPARE(queuedStarted.at(0).at(0).value<SpeechEngine::UtteranceId>(), next);
    QCOMPARE(m_out->queuedUtterance(), SpeechEngine::UtteranceId(0));
    m_engine->finishCurrent();
    QCOMPARE(finished.size(), 1);
    QVERIFY(m_out->speechDone());
}

// An engine may report the start of the next before the end of the one before.
void TestSpeechOutput::queuedTextStartsBeforeTheEndIsReported()
{
    m_engine->setQueuing(true);
    QSignalSpy queuedStarted(m_out.get(), &SpeechOutput::queuedStarted);
    QSignalSpy finished(m_out.get(), &SpeechOutput::speechFinished);
    m_out->SpeakText(u"一"_s);
    m_engine->startCurrent();
    const SpeechEngine::UtteranceId next = m_out->QueueText(u"二"_s);
    m_engine->startCurrent();  // 二 begins, 一 not yet reported ended
    QCOMPARE(queuedStarted.size(), 1);
    m_engine->finishCurrent();  // the late end of 一
    QCOMPARE(finished.size(), 0);
    QVERIFY(!m_out->speechDone());
    QCOMPARE(m_engine->pending(), QList<SpeechEngine::UtteranceId>{next});
    m_engine->finishCurrent();
    QCOMPARE(finished.size(), 1);
    QVERIFY(m_out->speechDone());
}

// A key's answer (any SpeakText) or StopSpeech cuts the current utterance and
// drops the queued one: it never starts, and its end moves nothing.
void TestSpeechOutput::anyNewUtteranceDropsTheQueued()
{
    m_engine->setQueuing(true);
    for (const bool stop : {false, true}) {
        QSignalSpy queuedStarted(m_out.get(), &SpeechOutput::queuedStarted);
        m_out->SpeakText(u"一"_s);
        m_engine->startCurrent();
        QVERIFY(m_out->QueueText(u"二"_s) != 0);
        if (stop) {
            m_out->StopSpeech();
        } else {
            m_out->SpeakText(u"キーの答え"_s);
        }
        QCOMPARE(m_out->queuedUtterance(), SpeechEngine::UtteranceId(0));
        settle();
        m_engine->startCurrent();
        m_engine->finishCurrent();
        settle();
        QCOMPARE(queuedStarted.size(), 0);
        QVERIFY(m_out->speechDone());
        QVERIFY(m_engine->pending().isEmpty());
    }
}

void TestSpeechOutput::queueRefused_data()
{
    QTest::addColumn<QString>("situation");
    QTest::newRow("engine plays only the newest") << u"noQueue"_s;
    QTest::newRow("nothing plays") << u"idle"_s;
    QTest::newRow("current cut short") << u"stopped"_s;
    QTest::newRow("uninterruptible plays") << u"uninterruptible"_s;
    QTest::newRow("another program in front") << u"background"_s;
    QTest::newRow("a notice waits") << u"notice"_s;
    QTest::newRow("pitch markup") << u"markup"_s;
    QTest::newRow("conversion empties it") << u"empty"_s;
}

void TestSpeechOutput::queueRefused()
{
    QFETCH(QString, situation);
    m_engine->setQueuing(situation != u"noQueue"_s);
    if (situation != u"idle"_s) {
        m_out->SpeakText(u"一"_s, situation == u"uninterruptible"_s);
        m_engine->startCurrent();
    }
    if (situation == u"stopped"_s) {
        m_out->StopSpeech();
    } else if (situation == u"background"_s) {
        m_out->setInBackground(true);
    } else if (situation == u"notice"_s) {
        m_out->addNotice(u"保存できませんでした。"_s);
    }
    const qsizetype before = m_engine->spoken().size();
    const QString text = situation == u"empty"_s ? QString() : u"二"_s;
    const qint16 mode = situation == u"markup"_s ? SpeechOutput::kModePitchMarkup : SpeechOutput::kModeNormal;
    QCOMPARE(m_out->QueueText(text, mode), SpeechEngine::UtteranceId(0));
    QCOMPARE(m_engine->spoken().size(), before);
    QCOMPARE(m_out->queuedUtterance(), SpeechEngine::UtteranceId(0));
}

// With a queueing engine each pitch segment waits behind the one before it,
// every one with its own pitch; a stop drops the rest.
void TestSpeechOutput::pitchSegmentsQueuedAhead()
{
    m_engine->setQueuing(true);
    m_out->SpeakText(u"&&pitch;2AB&&pitch;1cd&&pitch;0ef"_s, false, 3);
    QCOMPARE(m_engine->texts(), (QStringList{u"ＡＢ"_s, u"ｃｄ"_s}));
    QCOMPARE(m_engine->spoken().at(0).pitch, 40);
    QCOMPARE(m_engine->spoken().at(1).pitch, -80);  // level 1
    m_engine->startCurrent();
    QCOMPARE(m_engine->spoken().size(), 2);
    m_engine->finishCurrent();
    m_engine->startCurrent();  // ｃｄ begins: ｅｆ is handed over
    QCOMPARE(m_engine->texts(), (QStringList{u"ＡＢ"_s, u"ｃｄ"_s, u"ｅｆ"_s}));
    QCOMPARE(m_engine->last().pitch, 0);
    QVERIFY(!m_out->segmentModeActive());
    m_engine->finishCurrent();
    m_engine->startCurrent();
    m_engine->finishCurrent();
    QVERIFY(m_out->speechDone());
    QCOMPARE(m_engine->spoken().size(), 3);

    m_engine->clear();
    m_out->SpeakText(u"&&pitch;0一&&pitch;0二&&pitch;0三"_s, false, 3);
    m_engine->startCurrent();
    m_out->StopSpeech();
    settle();
    m_engine->startCurrent();
    m_engine->finishCurrent();
    settle();
    QCOMPARE(m_engine->texts(), (QStringList{u"一"_s, u"二"_s}));
    QVERIFY(m_out->speechDone());
}

void TestSpeechOutput::cancelledSegmentDoesNotAdvance()
{
    m_out->SpeakText(u"&&pitch;1あ&&pitch;2い&&pitch;0う"_s, false, 3);
    m_engine->startCurrent();
    m_out->StopSpeech();
    settle();
    QCOMPARE(m_engine->texts(), QStringList{u"あ"_s});
    QVERIFY(!m_out->segmentModeActive());
    QVERIFY(m_out->speechDone());
}

void TestSpeechOutput::replacedSegmentDoesNotAdvance()
{
    m_out->SpeakText(u"&&pitch;1あ&&pitch;2い"_s, false, 3);
    m_out->SpeakText(u"別の話"_s);
    settle();
    QCOMPARE(m_engine->texts(), (QStringList{u"あ"_s, u"別の話"_s}));
    m_engine->finishCurrent();
    QCOMPARE(m_engine->texts(), (QStringList{u"あ"_s, u"別の話"_s}));
    QVERIFY(m_out->speechDone());
}

void TestSpeechOutput::emptySegmentsArePassedOver()
{
    m_out->SpeakText(u"前置き&&pitch;1&&pitch;xい&&pitch;2"_s, false, 3);
    // The piece before the first marker is dropped; a non-digit shift is "as set".
    QCOMPARE(m_engine->texts(), QStringList{u"い"_s});
    QCOMPARE(m_engine->last().pitch, 0);
    m_engine->finishCurrent();
    QCOMPARE(m_engine->texts(), QStringList{u"い"_s});
    QVERIFY(!m_out->segmentModeActive());
}

void TestSpeechOutput::markupWithoutMarkerIsSpokenWhole()
{
    m_out->ApplyPitch(5, 2);
    m_out->SpeakText(u"abc ｶﾞ1"_s, false, 3);
    QCOMPARE(m_engine->texts(), QStringList{u"ａｂｃ　ガ１"_s});
    QCOMPARE(m_engine->last().pitch, 0);
    QVERIFY(!m_out->segmentModeActive());
}

void TestSpeechOutput::modePitch_data()
{
    QTest::addColumn<int>("setting");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("pitch");

    QTest::newRow("normal") << 5 << 0 << 0;
    QTest::newRow("URL raised") << 5 << 1 << 40;
    QTest::newRow("mail raised") << 5 << 2 << 40;
    QTest::newRow("raised at most 10") << 9 << 1 << 100;
    QTest::newRow("quote lowered") << 5 << 4 << -80;
    QTest::newRow("deep quote lowered") << 7 << 9 << -40;
    QTest::newRow("lowered at least 1") << 3 << 4 << -80;
}

void TestSpeechOutput::modePitch()
{
    QFETCH(int, setting);
    QFETCH(int, mode);
    QFETCH(int, pitch);

    m_settings->Set_(CSettings::SpeechPitch, QString::number(setting));
    m_out->SpeakText(u"テスト"_s, false, qint16(mode));
    QCOMPARE(m_engine->last().pitch, pitch);
}

void TestSpeechOutput::pitchTriedOutIsHeard()
{
    // The pitch menu applies a level before speaking the item, so the user
    // hears it; the stored setting must not undo that.
    m_out->ApplyPitch(9);
    m_out->SpeakText(u"9"_s);
    QCOMPARE(m_engine->last().pitch, 80);
    m_out->SpeakText(u"URL"_s, false, 1);
    QCOMPARE(m_engine->last().pitch, 100);
    m_out->ApplyPitch(m_settings->getInt(CSettings::SpeechPitch, 5));
    m_out->SpeakText(u"戻る"_s);
    QCOMPARE(m_engine->last().pitch, 0);
}

void TestSpeechOutput::levelValue_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("value");

    QTest::newRow("speechd level 1") << -100 << 100 << 1 << -80;
    QTest::newRow("speechd level 5") << -100 << 100 << 5 << 0;
    QTest::newRow("speechd level 10") << -100 << 100 << 10 << 100;
    QTest::newRow("half rounds down to even") << 0 << 5 << 1 << 0;
    QTest::newRow("half rounds up to even") << 0 << 5 << 3 << 2;
    QTest::newRow("two and a half") << 0 << 5 << 5 << 2;
    QTest::newRow("three and a half") << 0 << 5 << 7 << 4;
    QTest::newRow("negative half") << -5 << 0 << 1 << -4;
    QTest::newRow("not a half") << 0 << 7 << 3 << 2;
    QTest::newRow("reversed range") << 10 << 0 << 3 << 7;
}

void TestSpeechOutput::levelValue()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, level);
    QFETCH(int, value);
    QCOMPARE(SpeechOutput::levelValue({min, max}, level), value);
}

void TestSpeechOutput::shiftedLevel_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("shift");
    QTest::addColumn<int>("shifted");

    QTest::newRow("3 lowered") << 3 << 1 << 1;
    QTest::newRow("6 lowered") << 6 << 1 << 2;
    QTest::newRow("9 raised") << 9 << 2 << 10;
    QTest::newRow("5 raised") << 5 << 2 << 7;
    QTest::newRow("as set") << 4 << 0 << 4;
    QTest::newRow("unknown shift is as set") << 4 << 7 << 4;
}

void TestSpeechOutput::shiftedLevel()
{
    QFETCH(int, level);
    QFETCH(int, shift);
    QFETCH(int, shifted);
    QCOMPARE(SpeechOutput::shiftedLevel(level, shift), shifted);
}

void TestSpeechOutput::levelsOutsideTheScaleAreClamped()
{
    m_engine->setRanges({0, 5}, {0, 50}, {0, 100});
    m_out->ApplyVolume(10);
    m_out->ApplySpeed(1);
    m_out->ApplyPitch(5);
    QCOMPARE(m_engine->volume(), 100);
    QCOMPARE(m_engine->speed(), 5);
    QCOMPARE(m_engine->pitch(), 2);
    m_out->ApplyVolume(250);
    m_out->ApplySpeed(-3);
    QCOMPARE(m_engine->volume(), 100);
    QCOMPARE(m_engine->speed(), 5);
}

void TestSpeechOutput::widenHalfwidthKana_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("widened");

    QTest::newRow("voiced pair") << u"ｶﾞ"_s << u"ガ"_s;
    QTest::newRow("semi-voiced pair") << u"ﾊﾟ"_s << u"パ"_s;
    QTest::newRow("lone voiced mark") << u"ﾞ"_s << u"゛"_s;
    QTest::newRow("lone semi-voiced mark") << u"ﾟ"_s << u"゜"_s;
    QTest::newRow("vu") << u"ｳﾞｧｲｵﾘﾝ"_s << u"ヴァイオリン"_s;
    QTest::newRow("mark that does not join") << u"ｱﾞｻﾟ"_s << u"ア゛サ゜"_s;
    QTest::newRow("small tsu") << u"ｯﾞ"_s << u"ッ゛"_s;
    QTest::newRow("ta row") << u"ﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞ"_s << u"ダヂヅデド"_s;
    QTest::newRow("ha row") << u"ﾋﾞﾋﾟﾌﾞﾍﾟﾎﾞ"_s << u"ビピブペボ"_s;
    QTest::newRow("whole range ends") << u"ｦﾝｰ"_s << u"ヲンー"_s;
    QTest::newRow("others unchanged") << u"ABC ｡｢｣､･ 漢字"_s << u"ABC ｡｢｣､･ 漢字"_s;
    QTest::newRow("already wide") << u"ガ゛"_s << u"ガ゛"_s;
    QTest::newRow("lone surrogate kept")
        << QString(QChar(0xD800)) + u"ｱ"_s << QString(QChar(0xD800)) + u"ア"_s;
    QTest::newRow("control characters kept") << u"\tｱ\r\n"_s << u"\tア\r\n"_s;
}

void TestSpeechOutput::widenHalfwidthKana()
{
    QFETCH(QString, text);
    QFETCH(QString, widened);
    QCOMPARE(SpeechOutput::WidenHalfwidthKana(text), widened);
}

void TestSpeechOutput::toFullWidth_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("wide");

    QTest::newRow("letters and digits") << u"Ab9"_s << u"Ａｂ９"_s;
    QTest::newRow("symbols") << u"!~\\&"_s << u"！～＼＆"_s;
    QTest::newRow("space") << u"a b"_s << u"ａ　ｂ"_s;
    QTest::newRow("narrow signs") << u"¥¢£"_s << u"￥￠￡"_s;
    QTest::newRow("half-width punctuation") << u"｡｢｣､･"_s << u"。「」、・"_s;
    QTest::newRow("katakana joined") << u"ﾊﾟｿｺﾝ"_s << u"パソコン"_s;
    QTest::newRow("wide unchanged") << u"漢字かなＡ"_s << u"漢字かなＡ"_s;
}

void TestSpeechOutput::toFullWidth()
{
    QFETCH(QString, text);
    QFETCH(QString, wide);
    QCOMPARE(SpeechOutput::toFullWidth(text), wide);
}

void TestSpeechOutput::hugeTextIsOneUtterance()
{
    const QString text = QString(300000, QChar(0xFF71)) + QChar(0xD800);
    m_out->SpeakText(text);
    QCOMPARE(m_engine->spoken().size(), 1);
    QCOMPARE(m_engine->last().text.size(), text.size());
    QVERIFY(m_engine->last().text.startsWith(u"アア"_s));
}

void TestSpeechOutput::noticesComeFirst()
{
    // Kept while the program is in the background: nobody would hear it.
    m_out->addNotice(u"設定を保存できませんでした。"_s);
    m_out->addNotice(u"設定を保存できませんでした。"_s);
    m_out->setInBackground(true);
    QVERIFY(!m_out->SpeakNotices());
    m_out->SpeakText(u"一"_s);
    QVERIFY(m_engine->texts().isEmpty());
    QVERIFY(m_out->hasNotices());
    // In front of the next utterance, once, so that nothing cuts it short.
    m_out->setInBackground(false);
    m_out->SpeakText(u"ボリューム5"_s);
    QCOMPARE(m_engine->texts(), QStringList{u"設定を保存できませんでした。ボリューム5"_s});
    QVERIFY(!m_out->hasNotices());
    // Not twice when the utterance says it itself.
    m_out->addNotice(u"設定を保存できませんでした。"_s);
    m_out->SpeakText(u"設定を保存できませんでした。"_s);
    QCOMPARE(m_engine->texts().constLast(), u"設定を保存できませんでした。"_s);
    // On its own when nothing else is said.
    m_out->addNotice(u"読み上げ位置を保存できませんでした。"_s);
    QVERIFY(m_out->SpeakNotices());
    QCOMPARE(m_engine->texts().constLast(), u"読み上げ位置を保存できませんでした。"_s);
    QVERIFY(!m_out->SpeakNotices());
}

QTEST_GUILESS_MAIN(TestSpeechOutput)
#include "TestSpeechOutput.moc"
