#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "base/CSettings.h"
#include "base/SettingsStore.h"
#include "base/TextCodec.h"
#include "speech/CMessageData.h"
#include "speech/EmojiNames.h"
#include "speech/ReadConv.h"
#include "speech/SpeechOutput.h"
#include "support/SpySpeechEngine.h"

using namespace Qt::StringLiterals;

namespace {

QString tablePath()
{
    return QStringLiteral(YOMIMARU_SOURCE_RESOURCES) + u'/' + EmojiNames::kFileName.toString();
}

const EmojiNames& shippedTable()
{
    static const EmojiNames names = [] {
        EmojiNames n;
        n.load(tablePath());
        return n;
    }();
    return names;
}

}  // namespace

class TestEmojiNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shippedTableLoads();
    void names_data();
    void names();
    void spokenThroughSpeakText_data();
    void spokenThroughSpeakText();
    void characterReferencesFromThreadsAreNamed();
    void characterArtIsNotReadEmojiByEmoji();
    void missingTableWarnsOnceAndPassesEmojiOn();
    void damagedLinesAreSkipped();
    void badInput_data();
    void badInput();
    void longTextsAreNamedCompletely();
    void tableReproducesFromTheScript();
};

void TestEmojiNames::shippedTableLoads()
{
    QVERIFY2(shippedTable().count() > 3000, qPrintable(QString::number(shippedTable().count())));
}

void TestEmojiNames::names_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("spoken");

    QTest::newRow("sweat smile") << u"😅"_s << u"冷や汗笑顔"_s;
    QTest::newRow("exploding head") << u"🤯"_s << u"頭爆発"_s;
    QTest::newRow("rabbit face") << u"🐰"_s << u"ウサギの顔"_s;
    QTest::newRow("after words") << u"疲れた😅"_s << u"疲れた、冷や汗笑顔"_s;
    QTest::newRow("between words") << u"疲れた😅また明日"_s << u"疲れた、冷や汗笑顔、また明日"_s;
    QTest::newRow("before a full stop") << u"疲れた😅。"_s << u"疲れた、冷や汗笑顔。"_s;
    QTest::newRow("after a comma") << u"ええ、😅"_s << u"ええ、冷や汗笑顔"_s;
    QTest::newRow("in brackets") << u"「🐰」"_s << u"「ウサギの顔」"_s;
    QTest::newRow("two different") << u"🐰🤯"_s << u"ウサギの顔、頭爆発"_s;
    QTest::newRow("run of three") << u"😅😅😅"_s << u"冷や汗笑顔が3個"_s;
    QTest::newRow("run between words") << u"草😅😅😅草"_s << u"草、冷や汗笑顔が3個、草"_s;
    QTest::newRow("run then another") << u"🐰🐰🤯"_s << u"ウサギの顔が2個、頭爆発"_s;
    QTest::newRow("run with selectors") << u"❤️❤❤️"_s << u"赤いハートが3個"_s;
    QTest::newRow("ZWJ family") << u"👨‍👩‍👧"_s << u"家族、男性、女性、女の子"_s;
    QTest::newRow("ZWJ with selector") << u"🏳️‍🌈"_s << u"レインボーフラッグ"_s;
    QTest::newRow("unknown ZWJ join") << u"🐰‍🤯"_s << u"ウサギの顔、頭爆発"_s;
    QTest::newRow("flag") << u"🇯🇵"_s << u"旗、日本"_s;
    QTest::newRow("two flags") << u"🇯🇵🇫🇷"_s << u"旗、日本、旗、フランス"_s;
    QTest::newRow("tag sequence flag") << u"🏴󠁧󠁢󠁥󠁮󠁧󠁿"_s << u"旗、イングランド"_s;
    QTest::newRow("skin tone") << u"👍🏻"_s << u"サムズアップ、薄い肌色"_s;
    QTest::newRow("skin tone in a ZWJ sequence") << u"🏃🏽‍♀️"_s << u"走る女、中間の肌色"_s;
    QTest::newRow("keycap") << u"1️⃣"_s << u"囲み数字、1"_s;
    QTest::newRow("keycap without selector") << u"#⃣"_s << u"囲み数字、#"_s;
    QTest::newRow("digits stay digits") << u"1️2番"_s << u"1️2番"_s;
    QTest::newRow("pictograph of the BMP") << u"晴れ☀️"_s << u"晴れ、太陽"_s;
    QTest::newRow("Japanese symbols stay") << u"★☆♪♀→※"_s << u"★☆♪♀→※"_s;
    QTest::newRow("no emoji") << u"今日は良い天気ですね。>>12 ｗｗｗ"_s
                              << u"今日は良い天気ですね。>>12 ｗｗｗ"_s;
    QTest::newRow("unknown emoji passes") << u"🫨"_s << u"🫨"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestEmojiNames::names()
{
    QFETCH(QString, text);
    QFETCH(QString, spoken);
    QCOMPARE(shippedTable().convert(text), spoken);
}

void TestEmojiNames::spokenThroughSpeakText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("spoken");

    QTest::newRow("sweat smile") << u"😅"_s << 0 << u"冷や汗笑顔"_s;
    QTest::newRow("exploding head in a link unit") << u"🤯"_s << 1 << u"頭爆発"_s;
    QTest::newRow("rabbit in a quote") << u"🐰かわいい"_s << 4 << u"ウサギの顔、かわいい"_s;
    QTest::newRow("ZWJ family") << u"👨‍👩‍👧"_s << 0 << u"家族、男性、女性、女の子"_s;
    QTest::newRow("flag") << u"🇯🇵"_s << 0 << u"旗、日本"_s;
    QTest::newRow("skin tone") << u"👍🏻"_s << 0 << u"サムズアップ、薄い肌色"_s;
    QTest::newRow("keycap") << u"1️⃣"_s << 0 << u"囲み数字、1"_s;
    QTest::newRow("run of three") << u"😅😅😅"_s << 0 << u"冷や汗笑顔が3個"_s;
    QTest::newRow("no emoji") << u"こんにちは"_s << 0 << u"こんにちは"_s;
    // The reading conversion sees the name, not the emoji.
    QTest::newRow("then the reading conversion") << u"ｷﾀ━━😅"_s << 0 << u"きたー、冷や汗笑顔"_s;
    QTest::newRow("pitch markup") << u"&&pitch;0🐰"_s << 3 << u"ウサギの顔"_s;
    QTest::newRow("pitch markup, keycap after the digit") << u"&&pitch;21⃣"_s << 3 << u"囲み数字、１"_s;
    QTest::newRow("pitch markup, word then emoji") << u"&&pitch;0a😅"_s << 3 << u"ａ、冷や汗笑顔"_s;
}

void TestEmojiNames::spokenThroughSpeakText()
{
    QFETCH(QString, text);
    QFETCH(int, mode);
    QFETCH(QString, spoken);

    QTemporaryDir dir;
    SettingsStore store(dir.path());
    CSettings settings(store);
    QVERIFY(settings.InitInstance());
    ReadConv readconv(QStringLiteral(YOMIMARU_SOURCE_RESOURCES) + u"/readconv.txt"_s);
    readconv.InitInstance();
    SpySpeechEngine engine;
    SpeechOutput out(engine, settings, readconv);
    out.setEmojiNames(&shippedTable());

    out.SpeakText(text, false, qint16(mode));
    QCOMPARE(engine.texts(), QStringList{spoken});
}

void TestEmojiNames::characterReferencesFromThreadsAreNamed()
{
    // Logs keep emoji as references; the thread text decodes them.
    const QString decoded = TextCodec::decodeNumericReferences(u"ワロタ&#128517;&#129327;&#x1F430;"_s);
    QCOMPARE(shippedTable().convert(decoded), u"ワロタ、冷や汗笑顔、頭爆発、ウサギの顔"_s);
}

void TestEmojiNames::characterArtIsNotReadEmojiByEmoji()
{
    // The message model replaces art by one sentence; that is what is spoken.
    CMessageData message;
    const QString art = u"　　∧＿∧😅\r\n　（　´∀｀）🐰\r\n　（　　　　）\r\n　｜ ｜　|\r\n　（_＿）＿）"_s;
    message.InitInstance(u"1"_s, u"1"_s, art, u"1"_s, u"1"_s);
    QCOMPARE(message.Get_MessageMaxNum(), 2);
    qint16 kind = -1;
    message.Get_Message(2, kind, true);
    const QString unit = message.readingUnit(2);

    QTemporaryDir dir;
    SettingsStore store(dir.path());
    CSettings settings(store);
    QVERIFY(settings.InitInstance());
    ReadConv readconv;
    SpySpeechEngine engine;
    SpeechOutput out(engine, settings, readconv);
    out.setEmojiNames(&shippedTable());
    out.SpeakText(unit, false, kind);
    QCOMPARE(engine.texts(), QStringList{CMessageData::kAsciiArtText.toString()});
}

void TestEmojiNames::missingTableWarnsOnceAndPassesEmojiOn()
{
    QTemporaryDir dir;
    EmojiNames names;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"emoji names not loaded"_s));
    QVERIFY(!names.load(dir.filePath(EmojiNames::kFileName.toString())));
    QCOMPARE(names.count(), 0);
    QCOMPARE(names.convert(u"疲れた😅"_s), u"疲れた😅"_s);

    SettingsStore store(dir.path());
    CSettings settings(store);
    QVERIFY(settings.InitInstance());
    ReadConv readconv;
    SpySpeechEngine engine;
    SpeechOutput out(engine, settings, readconv);
    out.setEmojiNames(&names);
    out.SpeakText(u"疲れた😅"_s);
    QCOMPARE(engine.texts(), QStringList{u"疲れた😅"_s});
}

void TestEmojiNames::damagedLinesAreSkipped()
{
    EmojiNames names;
    const int loaded = names.loadText(u"# comment\r\n"
                                      u"1F605\t冷や汗\r\n"
                                      u"1F92F\r\n"             // no name
                                      u"ZZZZ\t壊れ\n"          // no code point
                                      u"D83D\tサロゲート\n"    // half a pair
                                      u"110000\t範囲外\n"      // beyond Unicode
                                      u"1F430 \t  ウサギ  \n"  // blanks round the fields
                                      u"1F605\t二度目\n"       // the first name stays
                                      u"\n"_s);
    QCOMPARE(loaded, 2);
    QCOMPARE(names.convert(u"😅🤯🐰"_s), u"冷や汗、🤯、ウサギ"_s);
}

void TestEmojiNames::badInput_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("spoken");

    const QChar high(char16_t(0xD83D));
    const QChar low(char16_t(0xDE05));
    QTest::newRow("lone high surrogate") << QString(high) << QString(high);
    QTest::newRow("lone high surrogate before an emoji")
        << QString(high) + u"😅"_s << QString(high) + u"、冷や汗笑顔"_s;
    QTest::newRow("lone low surrogate after an emoji") << u"😅"_s + low << u"冷や汗笑顔、"_s + low;
    QTest::newRow("high surrogate, selector, low surrogate")
        << QString(high) + QChar(char16_t(0xFE0F)) + low << QString(high) + QChar(char16_t(0xFE0F)) + low;
    QTest::newRow("NUL round an emoji") << u"a\0😅\0b"_s << u"a\0、冷や汗笑顔、\0b"_s;
    QTest::newRow("selector alone") << u"\uFE0F"_s << u"\uFE0F"_s;
    QTest::newRow("keycap mark alone") << u"\u20E3"_s << u"\u20E3"_s;
    QTest::newRow("lone regional indicator") << u"🇯"_s << u"🇯"_s;
}

void TestEmojiNames::badInput()
{
    QFETCH(QString, text);
    QFETCH(QString, spoken);
    QCOMPARE(shippedTable().convert(text), spoken);
}

void TestEmojiNames::longTextsAreNamedCompletely()
{
    // 16 K characters of one emoji: one name and its count.
    QString same;
    for (int i = 0; i < 8192; ++i) {
        same += u"😅"_s;
    }
    QCOMPARE(shippedTable().convert(same), u"冷や汗笑顔が8192個"_s);

    // Emoji mixed with text: every emoji named, every other character kept in order.
    QString mixed;
    QString expected;
    for (int i = 0; i < 4096; ++i) {
        mixed += u"😅あ🐰\0"_s;
        expected += (i > 0 ? u"、"_s : QString()) + u"冷や汗笑顔、あ、ウサギの顔、\0"_s;
    }
    QCOMPARE(shippedTable().convert(mixed), expected);
}

void TestEmojiNames::tableReproducesFromTheScript()
{
    const QString python = QStandardPaths::findExecutable(u"python3"_s);
    if (python.isEmpty()) {
        QSKIP("python3 is not installed, so the table cannot be made again");
    }
    const QString cldr = u"/usr/share/unicode/cldr/common"_s;
    if (!QFile::exists(cldr + u"/annotations/ja.xml"_s)
        || !QFile::exists(cldr + u"/annotationsDerived/ja.xml"_s)) {
        QSKIP("the CLDR annotations (Debian package unicode-cldr-core) are not installed");
    }
    QTemporaryDir dir;
    const QString made = dir.filePath(u"emoji-ja.txt"_s);
    QProcess script;
    script.start(python, {QStringLiteral(YOMIMARU_SOURCE_DIR) + u"/tools/emoji/make_emoji_table.py"_s,
                          u"--cldr"_s, cldr, u"--out"_s, made});
    QVERIFY(script.waitForFinished(120000));
    QVERIFY2(script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0,
             script.readAllStandardError().constData());

    QFile fresh(made);
    QFile shipped(tablePath());
    QVERIFY(fresh.open(QIODevice::ReadOnly));
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    const QByteArray freshBytes = fresh.readAll();
    const QByteArray shippedBytes = shipped.readAll();
    QVERIFY(!freshBytes.isEmpty());
    QVERIFY2(freshBytes == shippedBytes,
             "resources/emoji-ja.txt differs from what the script makes; rerun it");
}

QTEST_GUILESS_MAIN(TestEmojiNames)
#include "TestEmojiNames.moc"
