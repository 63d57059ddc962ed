#include <QDateTime>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "platform/SpeechEngineFactory.h"
#include "platform/SpeechdEngine.h"
#include "platform/TranscriptEngine.h"

using namespace Qt::StringLiterals;

class TestSpeechEngines : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formatLine_data();
    void formatLine();
    void durationMs_data();
    void durationMs();
    void writesOneFlushedLinePerUtterance();
    void startsAndFinishesInOrder();
    void resetFinishesEveryDroppedUtteranceOnce();
    void isOneJapaneseMode();
    void factory_data();
    void factory();
    void ssml_data();
    void ssml();
    void missingDaemonFailsCleanly();
    void daemonThatNeverAnswers();
};

void TestSpeechEngines::formatLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");

    const QString head = u"2026-12-08T01:02:03.045\tmode=1\tpitch=-20\tspeed=40\tvolume=100\ttext="_s;
    QTest::newRow("plain") << u"スレッドを読み込みました。"_s << head + u"スレッドを読み込みました。"_s;
    QTest::newRow("line ends and tabs")
        << u"一行目\r\n二行目\tです"_s << head + u"一行目\\r\\n二行目\\tです"_s;
    QTest::newRow("backslash") << u"C:\\n"_s << head + u"C:\\\\n"_s;
    QTest::newRow("empty") << QString() << head;
}

void TestSpeechEngines::formatLine()
{
    QFETCH(QString, text);
    QFETCH(QString, line);
    const QDateTime time(QDate(2026, 12, 8), QTime(1, 2, 3, 45));
    QCOMPARE(TranscriptEngine::formatLine(time, 1, -20, 40, 100, text), line);
}

void TestSpeechEngines::durationMs_data()
{
    QTest::addColumn<int>("chars");
    QTest::addColumn<int>("msPerChar");
    QTest::addColumn<int>("speed");
    QTest::addColumn<qint64>("duration");

    QTest::newRow("normal speed") << 10 << 100 << 0 << qint64(1000);
    QTest::newRow("fastest halves") << 10 << 100 << 100 << qint64(500);
    QTest::newRow("slowest doubles") << 10 << 100 << -100 << qint64(2000);
    QTest::newRow("out of range speed is clamped") << 10 << 100 << 1000 << qint64(500);
    QTest::newRow("zero per character") << 500 << 0 << 0 << qint64(0);
    QTest::newRow("negative per character") << 5 << -3 << 0 << qint64(0);
}

void TestSpeechEngines::durationMs()
{
    QFETCH(int, chars);
    QFETCH(int, msPerChar);
    QFETCH(int, speed);
    QFETCH(qint64, duration);
    QCOMPARE(TranscriptEngine::durationMs(chars, msPerChar, speed), duration);
}

void TestSpeechEngines::writesOneFlushedLinePerUtterance()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"speech.txt"_s);
    TranscriptEngine engine;
    QVERIFY(engine.open(path));
    engine.setMsPerChar(0);
    engine.setPitch(-20);
    engine.setSpeed(500);
    engine.setVolume(60);
    engine.speak(u"メインメニュー"_s);
    engine.speak(u"改行\nあり"_s);

    // Readable at once, without closing the engine; the second waits behind
    // the first and is written when it starts.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count('\n'), 1);
    QTRY_VERIFY(!engine.isSpeaking());
    QVERIFY(file.seek(0));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(2).isEmpty());
    const QStringList first = QString::fromUtf8(lines.at(0)).split(u'\t');
    QCOMPARE(first.mid(1), (QStringList{u"mode=1"_s, u"pitch=-20"_s, u"speed=100"_s, u"volume=60"_s,
                                        u"text=メインメニュー"_s}));
    QVERIFY(QDateTime::fromString(first.at(0), Qt::ISODateWithMs).isValid());
    QVERIFY(lines.at(1).endsWith("text=改行\\nあり"));

    // One dropped before it was heard leaves no line; the levels it was
    // handed over with stay its own.
    engine.setMsPerChar(60000);
    engine.speak(u"長い"_s);
    engine.setPitch(30);
    engine.speak(u"聞かれない"_s);
    engine.audioReset();
    engine.speak(u"次"_s);
    QVERIFY(file.seek(0));
    const QByteArray all = file.readAll();
    QVERIFY(all.contains("pitch=30\tspeed=100\tvolume=60\ttext=次"));
    QVERIFY(!all.contains("聞かれない"));
    QVERIFY(all.contains("pitch=-20\tspeed=100\tvolume=60\ttext=長い"));
}

void TestSpeechEngines::startsAndFinishesInOrder()
{
    QTemporaryDir dir;
    TranscriptEngine engine;
    QVERIFY(engine.open(dir.filePath(u"t.txt"_s)));
    engine.setMsPerChar(0);
    QList<QString> events;
    connect(&engine, &SpeechEngine::started, this, [&events](auto id) { events.append(u"s%1"_s.arg(id)); });
    connect(&engine, &SpeechEngine::finished, this, [&events](auto id) { events.append(u"f%1"_s.arg(id)); });

    const auto a = engine.speak(u"あ"_s);
    const auto b = engine.speak(u"い"_s);
    QVERIFY(a != 0 && b != 0 && a != b);
    // Nothing is reported from inside speak().
    QVERIFY(events.isEmpty());
    QVERIFY(engine.isSpeaking());
    QTRY_VERIFY(!engine.isSpeaking());
    QCOMPARE(events, (QList<QString>{u"s%1"_s.arg(a), u"f%1"_s.arg(a), u"s%1"_s.arg(b), u"f%1"_s.arg(b)}));
}

void TestSpeechEngines::resetFinishesEveryDroppedUtteranceOnce()
{
    TranscriptEngine engine;
    QVERIFY(engine.open(QString()));
    engine.setMsPerChar(60000);  // long enough never to end on its own here
    QSignalSpy started(&engine, &SpeechEngine::started);
    QSignalSpy finished(&engine, &SpeechEngine::finished);
    const auto a = engine.speak(u"長い"_s);
    QTRY_COMPARE(started.size(), 1);
    const auto b = engine.speak(u"待ち"_s);
    engine.audioReset();
    // Reported from the event loop, never from inside audioReset().
    QCOMPARE(finished.size(), 0);
    QVERIFY(!engine.isSpeaking());
    const auto c = engine.speak(u"次"_s);
    QTRY_COMPARE(started.size(), 2);
    QCOMPARE(started.at(1).at(0).value<SpeechEngine::UtteranceId>(), c);
    QCOMPARE(finished.size(), 2);
    QCOMPARE(finished.at(0).at(0).value<SpeechEngine::UtteranceId>(), a);
    QCOMPARE(finished.at(1).at(0).value<SpeechEngine::UtteranceId>(), b);
    engine.audioReset();
    QTRY_COMPARE(finished.size(), 3);
    QCoreApplication::processEvents();
    QCOMPARE(finished.size(), 3);
}

void TestSpeechEngines::isOneJapaneseMode()
{
    TranscriptEngine engine;
    QCOMPARE(engine.modeCount(), 1);
    QVERIFY(engine.isJapanese(1));
    QVERIFY(!engine.isJapanese(2));
    QVERIFY(engine.selectMode(1));
    QVERIFY(!engine.selectMode(0));
    QVERIFY(!engine.modeName(1).isEmpty());
}

void TestSpeechEngines::factory_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("warns");

    QTest::newRow("transcript to stdout") << u"transcript"_s << u"transcript"_s << false;
    QTest::newRow("transcript to a file") << u"transcript:%1/out.txt"_s << u"transcript"_s << false;
    QTest::newRow("transcript to a folder that is missing")
        << u"transcript:%1/missing/out.txt"_s << u"transcript"_s << true;
    QTest::newRow("unknown") << u"sapi"_s << QString() << false;
    QTest::newRow("auto without a daemon") << QString() << u"transcript"_s << true;
    QTest::newRow("speechd without a daemon") << u"speechd"_s << u"speechd"_s << true;
}

void TestSpeechEngines::factory()
{
    QFETCH(QString, option);
    QFETCH(QString, kind);
    QFETCH(bool, warns);

    QTemporaryDir dir;
    // No daemon can be reached or started at this address.
    qputenv("SPEECHD_ADDRESS", QByteArray("unix_socket:") + dir.filePath(u"none/speechd.sock"_s).toUtf8());
    const SpeechEngineChoice choice =
        createSpeechEngine(option.contains(u"%1"_s) ? option.arg(dir.path()) : option, 3000);
    qunsetenv("SPEECHD_ADDRESS");

    QCOMPARE(choice.kind, kind);
    QCOMPARE(choice.engine != nullptr, !kind.isEmpty());
    QCOMPARE(choice.error.isEmpty(), !kind.isEmpty());
    QCOMPARE(!choice.warning.isEmpty(), warns);
    if (option.startsWith(u"transcript:%1/out"_s)) {
        choice.engine->speak(u"あ"_s);
        QVERIFY(QFile::exists(dir.filePath(u"out.txt"_s)));
    }
    if (kind == u"speechd"_s) {
        // Without a daemon it has no voice mode, and says nothing.
        QCOMPARE(choice.engine->modeCount(), 0);
        QCOMPARE(choice.engine->speak(u"あ"_s), SpeechEngine::UtteranceId(0));
    }
}

void TestSpeechEngines::ssml_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("ssml");

    QTest::newRow("sentence pause")
        << u"こんにちは。カタカナです。"_s
        << u"<speak>こんにちは。<break time=\"400ms\"/>カタカナです。<break time=\"400ms\"/></speak>"_s;
    QTest::newRow("clause pause") << u"はい、そうです"_s
                                  << u"<speak>はい、<break time=\"200ms\"/>そうです</speak>"_s;
    QTest::newRow("a run of marks pauses once")
        << u"えっ。。。そう、、なの？！"_s
        << u"<speak>えっ。。。<break time=\"400ms\"/>そう、、<break time=\"200ms\"/>なの？！<break time=\"400ms\"/></speak>"_s;
    QTest::newRow("a run ending in a comma") << u"。、"_s << u"<speak>。、<break time=\"200ms\"/></speak>"_s;
    QTest::newRow("markup characters")
        << u"<a href=\"x\">&amp;</a>"_s << u"<speak>&lt;a href=\"x\"&gt;&amp;amp;&lt;/a&gt;</speak>"_s;
    QTest::newRow("controls and lone surrogates")
        << u"a\u0001b"_s + QChar(0xDC00) + u"c\u007f"_s << u"<speak>a b c </speak>"_s;
    QTest::newRow("surrogate pair kept") << u"𠮷野家"_s << u"<speak>𠮷野家</speak>"_s;
    QTest::newRow("header blanks pause")
        << u"12 名前：名無しさん 2024/05/06(月) 08:00:00 ID：0b2zAgYP0"_s
        << u"<speak>12 <break time=\"200ms\"/>名前：名無しさん <break time=\"200ms\"/>2024/05/06(月) "
           "<break time=\"200ms\"/>08:00:00 <break time=\"200ms\"/>ID：0b2zAgYP0</speak>"_s;
    QTest::newRow("blanks between words")
        << u"hello  world　です "_s << u"<speak>hello  world　<break time=\"200ms\"/>です </speak>"_s;
}

void TestSpeechEngines::ssml()
{
    QFETCH(QString, text);
    QFETCH(QString, ssml);
    QCOMPARE(SpeechdEngine::toSsml(text), ssml);
}

void TestSpeechEngines::missingDaemonFailsCleanly()
{
    QTemporaryDir dir;
    qputenv("SPEECHD_ADDRESS", QByteArray("unix_socket:") + dir.filePath(u"speechd.sock"_s).toUtf8());
    SpeechdEngine engine;
    const bool opened = engine.open(3000);
    qunsetenv("SPEECHD_ADDRESS");
    QVERIFY(!opened);
    QVERIFY(!engine.errorString().isEmpty());
    QSignalSpy finished(&engine, &SpeechEngine::finished);
    QCOMPARE(engine.speak(u"あ"_s), SpeechEngine::UtteranceId(0));
    engine.audioReset();
    QVERIFY(!engine.isSpeaking());
    QCoreApplication::processEvents();
    QCOMPARE(finished.size(), 0);
}

void TestSpeechEngines::daemonThatNeverAnswers()
{
    QTemporaryDir dir;
    const QString socket = dir.filePath(u"speechd.sock"_s);
    // Listens, so connecting succeeds, but never reads or answers.
    auto server = std::make_unique<QLocalServer>();
    QVERIFY(server->listen(socket));
    qputenv("SPEECHD_ADDRESS", QByteArray("unix_socket:") + socket.toUtf8());
    SpeechdEngine engine;
    const bool opened = engine.open(500);
    qunsetenv("SPEECHD_ADDRESS");
    QVERIFY(!opened);
    QCOMPARE(engine.speak(u"あ"_s), SpeechEngine::UtteranceId(0));
    QVERIFY(!engine.isSpeaking());
    // The daemon goes away; the connection attempt ends and the engine can go.
    server.reset();
}

QTEST_GUILESS_MAIN(TestSpeechEngines)
#include "TestSpeechEngines.moc"
