// The levels every engine shares: each setter clamps to its own range, the
// engine hears of every change with the stored values, and narrowed ranges
// apply to the next change.

#include <QTest>

#include "speech/LeveledSpeechEngine.h"

namespace {

// Records the levels it is told of; speaks nothing.
class RecordingEngine : public LeveledSpeechEngine
{
public:
    RecordingEngine()
        : LeveledSpeechEngine(100)
    {}

    using LeveledSpeechEngine::setRanges;

    QList<QList<int>> told;

    int modeCount() const override { return 0; }

    QString modeName(int) const override { return {}; }

    QString productName(int) const override { return {}; }

    bool isJapanese(int) const override { return false; }

    bool selectMode(int) override { return false; }

    int currentMode() const override { return 0; }

    UtteranceId speak(const QString&) override { return 0; }

    void audioReset() override {}

    bool isSpeaking() const override { return false; }

private:
    void levelsChanged() override { told.append({pitch(), speed(), volume()}); }
};

}  // namespace

class TestLeveledSpeechEngine : public QObject
{
    Q_OBJECT

private slots:
    void clamping_data();
    void clamping();
    void narrowedRanges();
};

void TestLeveledSpeechEngine::clamping_data()
{
    QTest::addColumn<int>("pitch");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("volume");
    QTest::addColumn<QList<int>>("stored");
    QTest::newRow("inside") << -20 << 35 << 60 << QList<int>{-20, 35, 60};
    QTest::newRow("edges") << -100 << 100 << -100 << QList<int>{-100, 100, -100};
    QTest::newRow("beyond") << -101 << 500 << 1000 << QList<int>{-100, 100, 100};
}

void TestLeveledSpeechEngine::clamping()
{
    QFETCH(int, pitch);
    QFETCH(int, speed);
    QFETCH(int, volume);
    QFETCH(QList<int>, stored);
    RecordingEngine engine;
    QCOMPARE(engine.volume(), 100);
    QCOMPARE(engine.pitch(), 0);
    engine.setPitch(pitch);
    engine.setSpeed(speed);
    engine.setVolume(volume);
    QCOMPARE((QList<int>{engine.pitch(), engine.speed(), engine.volume()}), stored);
    QCOMPARE(engine.told.size(), 3);
    QCOMPARE(engine.told.last(), stored);
    QCOMPARE(engine.told.first().first(), stored.first());
}

void TestLeveledSpeechEngine::narrowedRanges()
{
    RecordingEngine engine;
    engine.setRanges({0, 10}, {-5, 5}, {1, 9});
    QCOMPARE(engine.volume(), 100);  // kept until set
    QCOMPARE(engine.pitchRange().max, 10);
    engine.setPitch(-3);
    engine.setSpeed(7);
    engine.setVolume(100);
    QCOMPARE((QList<int>{engine.pitch(), engine.speed(), engine.volume()}), (QList<int>{0, 5, 9}));
}

QTEST_GUILESS_MAIN(TestLeveledSpeechEngine)
#include "TestLeveledSpeechEngine.moc"
