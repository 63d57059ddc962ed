#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "base/AppPaths.h"
#include "base/TextCodec.h"
#include "speech/CShosaiYomi.h"
#include "speech/EmojiNames.h"

using namespace Qt::StringLiterals;

namespace {

QString resourcesDir()
{
    return QStringLiteral(YOMIMARU_SOURCE_RESOURCES);
}

const EmojiNames& emojiNames()
{
    static const EmojiNames names = [] {
        EmojiNames n;
        n.load(resourcesDir() + u"/emoji-ja.txt"_s);
        return n;
    }();
    return names;
}

// The shipped dictionaries, found the way the program finds them.
const CShosaiYomi& shipped()
{
    static const CShosaiYomi yomi = [] {
        AppPaths paths(u"/nonexistent-data-root"_s, QString());
        paths.setResourceDirs({paths.dataRoot(), resourcesDir()});
        CShosaiYomi y;
        y.setEmojiNames(&emojiNames());
        if (!y.InitInstance(paths)) {
            qFatal("the shipped dictionaries did not load");
        }
        return y;
    }();
    return yomi;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray cp932(const QString& text)
{
    return TextCodec::toCp932(text);
}

// Captures what the loader reports.
QStringList g_messages;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& msg)
{
    g_messages.append(msg);
}

}  // namespace

class TestShosaiYomi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyJisKanjiHasAReading();
    void shosaiYomi_data();
    void shosaiYomi();
    void homophoneKanjiSoundDifferent();
    void namerakaYomi_data();
    void namerakaYomi();
    void asciiYomi_data();
    void asciiYomi();
    void damagedLinesAreSkipped();
    void utf8DictionariesAreRead();
    void missingFilesAreReportedOnceAndTheRestLoads();
    void largeTextsAreReadCompletely();
    void dictionariesReproduceFromTheGenerator();
};

void TestShosaiYomi::everyJisKanjiHasAReading()
{
    // Levels 1 and 2 of JIS X 0208: Shift_JIS 889F..EAA4.
    int kanji = 0;
    QStringList missing;
    for (int lead = 0x88; lead <= 0xEA; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const int code = lead * 256 + trail;
            if (code < 0x889F || code > 0xEAA4 || trail == 0x7F) {
                continue;
            }
            const char bytes[2] = {char(lead), char(trail)};
            const QString c = TextCodec::fromCp932(QByteArrayView(bytes, 2));
            if (c.size() != 1 || c == u"\uFFFD"_s) {
                continue;
            }
            ++kanji;
            const CShosaiYomi::Entry* e = shipped().entryOf(c.at(0).unicode());
            if (e == nullptr || e->reading.isEmpty() || e->alternative.isEmpty()
                || e->cls != CShosaiYomi::Kanji) {
                missing.append(c);
            }
        }
    }
    QCOMPARE(kanji, 6355);
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u' ')));
}

void TestShosaiYomi::shosaiYomi_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("phonetic");
    QTest::addColumn<bool>("normal");
    QTest::addColumn<bool>("vc");
    QTest::addColumn<QString>("expected");

    // Width, script, case
    QTest::newRow("half-width katakana by words") << u"ｱ"_s << false << false << false << u"ﾊﾝｶｸｶﾀｶﾅア|"_s;
    QTest::newRow("half-width katakana by pitch") << u"ｱ"_s << false << false << true << u"&&pitch;2ア|"_s;
    QTest::newRow("full-width katakana by pitch") << u"ア"_s << false << false << true << u"&&pitch;1ア|"_s;
    QTest::newRow("hiragana by pitch") << u"あ"_s << false << false << true << u"&&pitch;0ア|"_s;
    QTest::newRow("capital after small Latin")
        << u"aA"_s << false << false << false << u"ﾊﾝｶｸエー|ｵｵﾓｼﾞﾉエー|"_s;
    QTest::newRow("full-width Latin") << u"ａＢ"_s << false << false << false << u"ｾﾞﾝｶｸエー|ｵｵﾓｼﾞﾉビー|"_s;
    QTest::newRow("width changes are told")
        << u"aａa"_s << false << false << false << u"ﾊﾝｶｸエー|ｾﾞﾝｶｸエー|ﾊﾝｶｸエー|"_s;
    QTest::newRow("class name once") << u"ああ"_s << false << false << false << u"ﾋﾗｶﾞﾅア|ア|"_s;
    QTest::newRow("small kana") << u"っ"_s << false << false << false << u"ﾋﾗｶﾞﾅｺﾓｼﾞﾉツ|"_s;
    QTest::newRow("small then large kana") << u"ゃや"_s << false << false << false << u"ﾋﾗｶﾞﾅｺﾓｼﾞﾉヤ|ヤ|"_s;
    QTest::newRow("hiragana then katakana")
        << u"かカ"_s << false << false << false << u"ﾋﾗｶﾞﾅカ|ｾﾞﾝｶｸｶﾀｶﾅカ|"_s;
    QTest::newRow("unclear kana alone") << u"ん"_s << false << false << false << u"ﾋﾗｶﾞﾅオシマイノ ン|"_s;
    QTest::newRow("unclear kana in a word") << u"ほん"_s << false << false << false << u"ﾋﾗｶﾞﾅホ|ン|"_s;
    QTest::newRow("phonetic kana") << u"あ"_s << true << false << false << u"ﾋﾗｶﾞﾅアサヒノ ア|"_s;
    QTest::newRow("phonetic Latin") << u"a"_s << true << false << false << u"ﾊﾝｶｸエー、アップル|"_s;
    QTest::newRow("Greek cases") << u"Ωω"_s << false << false << false << u"ｷﾞﾘｼｬｵｵﾓｼﾞﾉオメガ|ｺﾓｼﾞﾉオメガ|"_s;
    QTest::newRow("Cyrillic") << u"Жж"_s << false << false << false << u"ﾛｼｱｵｵﾓｼﾞﾉジェ|ｺﾓｼﾞﾉジェ|"_s;
    QTest::newRow("Roman numerals") << u"Ⅰⅰ"_s << false << false << false
                                    << u"ﾛｰﾏｽｰｼﾞｵｵﾓｼﾞﾉイチ|ｺﾓｼﾞﾉイチ|"_s;
    QTest::newRow("box drawing") << u"┌"_s << false << false << false << u"ｹｲｾﾝホソ シタ ミギ|"_s;
    QTest::newRow("symbol") << u"★"_s << false << false << false << u"ｾﾞﾝｶｸｷｺﾞｰクロボシ|"_s;
    QTest::newRow("half-width bracket") << u"｢"_s << false << false << false << u"ﾊﾝｶｸカギ|"_s;
    QTest::newRow("digits") << u"1１"_s << false << false << false << u"ﾊﾝｶｸイチ|ｾﾞﾝｶｸイチ|"_s;
    QTest::newRow("kanji") << u"川"_s << false << false << false << u"カワ、サンセンノセン|"_s;
    QTest::newRow("kanji normal") << u"川"_s << false << true << false << u"カワ"_s;
    QTest::newRow("kanji by pitch") << u"川"_s << false << false << true
                                    << u"&&pitch;0カワ、サンセンノセン|"_s;
    // Control characters
    QTest::newRow("line break") << u"\r\n"_s << false << false << false << u"ﾊﾝｶｸｶｲｷﾞｮｰ|ｶｲｷﾞｮｰ|"_s;
    QTest::newRow("tab by pitch") << u"\t"_s << false << false << true << u"&&pitch;2ﾀﾌﾞ|"_s;
    // Outside the code page: never silence
    QTest::newRow("emoji by its name") << u"😅"_s << false << false << false << u"冷や汗笑顔|"_s;
    QTest::newRow("emoji with selector") << u"☃\uFE0F"_s << false << false << false << u"雪だるまと雪|"_s;
    QTest::newRow("kanji outside the code page") << u"𠮷"_s << false << false << false << u"カンジ|"_s;
    QTest::newRow("letter outside the code page") << u"Ā"_s << false << false << false << u"キゴー|"_s;
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << false << false << false << u"キゴー|"_s;
    QTest::newRow("empty") << QString() << false << false << true << QString();
}

void TestShosaiYomi::shosaiYomi()
{
    QFETCH(QString, text);
    QFETCH(bool, phonetic);
    QFETCH(bool, normal);
    QFETCH(bool, vc);
    QFETCH(QString, expected);
    QCOMPARE(shipped().Get_ShosaiYomi(text, phonetic, normal, vc), expected);
}

void TestShosaiYomi::homophoneKanjiSoundDifferent()
{
    // Both are かわ: the listener must still hear which one it is.
    const QString river = shipped().Get_ShosaiYomi(u"川"_s, false, false, false);
    const QString skin = shipped().Get_ShosaiYomi(u"皮"_s, false, false, false);
    QVERIFY(river.startsWith(u"カワ、"_s));
    QVERIFY(skin.startsWith(u"カワ、"_s));
    QVERIFY(river != skin);
    QCOMPARE(skin, u"カワ、ヒカクノヒ|"_s);
}

void TestShosaiYomi::namerakaYomi_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kuten");
    QTest::addColumn<QString>("kakko");
    QTest::addColumn<QString>("kigou");
    QTest::addColumn<QString>("expected");

    QTest::newRow("run of five counted") << u"★★★★★"_s << u"0"_s << u"0"_s << u"1"_s << u"クロボシ|が5個|"_s;
    QTest::newRow("symbols off") << u"★★★★★"_s << u"1"_s << u"1"_s << u"0"_s << u"★★★★★"_s;
    QTest::newRow("run of two") << u"★★"_s << u"0"_s << u"0"_s << u"1"_s << u"クロボシ|クロボシ|"_s;
    QTest::newRow("run of three") << u"★★★あ"_s << u"0"_s << u"0"_s << u"1"_s
                                  << u"クロボシ|クロボシ|クロボシ|あ"_s;
    QTest::newRow("run of four") << u"★★★★"_s << u"0"_s << u"0"_s << u"1"_s << u"クロボシ|が4個|"_s;
    QTest::newRow("alternating symbols")
        << u"★☆★"_s << u"0"_s << u"0"_s << u"1"_s << u"クロボシ|シロボシ|クロボシ|"_s;
    QTest::newRow("brackets") << u"「あ」"_s << u"0"_s << u"1"_s << u"0"_s << u"カギ|あカギトジ|"_s;
    QTest::newRow("brackets off") << u"「あ」"_s << u"1"_s << u"0"_s << u"1"_s << u"「あ」"_s;
    QTest::newRow("punctuation") << u"あ、い。"_s << u"1"_s << u"0"_s << u"0"_s << u"あテン|いマル|"_s;
    QTest::newRow("ellipsis counted")
        << u"……"_s << u"1"_s << u"0"_s << u"0"_s << u"テンテンテン|テンテンテン|"_s;
    QTest::newRow("words pass") << u"ABCｱｲ123漢字"_s << u"1"_s << u"1"_s << u"1"_s << u"ABCｱｲ123漢字"_s;
    QTest::newRow("ascii symbols") << u"a!!!!!!!!!!"_s << u"1"_s << u"0"_s << u"0"_s
                                   << u"aビックリマーク|が10個|"_s;
    QTest::newRow("line break passes") << u"あ\r\nい"_s << u"1"_s << u"1"_s << u"1"_s << u"あ\r\nい"_s;
    QTest::newRow("emoji passes") << u"😅★"_s << u"0"_s << u"0"_s << u"1"_s << u"😅クロボシ|"_s;
    QTest::newRow("flag other than 1") << u"★"_s << u"0"_s << u"0"_s << u"true"_s << u"★"_s;
    QTest::newRow("empty") << QString() << u"1"_s << u"1"_s << u"1"_s << QString();
}

void TestShosaiYomi::namerakaYomi()
{
    QFETCH(QString, text);
    QFETCH(QString, kuten);
    QFETCH(QString, kakko);
    QFETCH(QString, kigou);
    QFETCH(QString, expected);
    QCOMPARE(shipped().Get_NamerakaYomi(text, kuten, kakko, kigou), expected);
}

void TestShosaiYomi::asciiYomi_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("phonetic");
    QTest::addColumn<bool>("vc");
    QTest::addColumn<QString>("expected");

    QTest::newRow("capital") << int('A') << false << true << u"&&pitch;2ｵｵﾓｼﾞﾉエー"_s;
    QTest::newRow("small") << int('a') << false << false << u"ﾊﾝｶｸエー"_s;
    QTest::newRow("phonetic") << int('a') << true << false << u"ﾊﾝｶｸエー、アップル"_s;
    QTest::newRow("symbol without phonetic") << int('=') << true << true << u"&&pitch;2イコール"_s;
    QTest::newRow("carriage return") << 13 << false << true << u"&&pitch;2ｶｲｷﾞｮｰ"_s;
    QTest::newRow("half-width katakana") << 0xB1 << false << true << u"&&pitch;2ア"_s;
    QTest::newRow("small half-width katakana") << 0xAF << false << true << u"&&pitch;2ｺﾓｼﾞﾉツ"_s;
    // The short reading: the fix-up changes only the reading alone.
    QTest::newRow("half-width n") << 0xDD << false << true << u"&&pitch;2ン"_s;
    QTest::newRow("no entry") << 0x01 << false << true << QString();
    QTest::newRow("not a character") << 0x80 << false << true << QString();
    QTest::newRow("above a byte") << 0x141 << false << true << QString();
    QTest::newRow("negative") << -1 << false << true << QString();
}

void TestShosaiYomi::asciiYomi()
{
    QFETCH(int, code);
    QFETCH(bool, phonetic);
    QFETCH(bool, vc);
    QFETCH(QString, expected);
    QCOMPARE(shipped().Get_AsciiYomi(code, phonetic, vc), expected);
}

void TestShosaiYomi::damagedLinesAreSkipped()
{
    QTemporaryDir dir;
    const QString b = dir.filePath(u"b.txt"_s);
    const QString a = dir.filePath(u"a.txt"_s);
    const QString t = dir.filePath(u"t.txt"_s);
    writeFile(b, cp932(u"a\tエー、アップル\tエー\t0\t4\r\n"_s  // good
                       u"b\tビー\t0\t4\r\n"_s                  // four fields
                       u"c\tシー\tシー\t0\t4\textra\r\n"_s     // six fields
                       u"de\t\tデー\t0\t4\r\n"_s               // two characters
                       u"あ\t\tア\t0\t2\r\n"_s                 // double-byte in the single-byte file
                       u"e\t\tイー\tx\t4\r\n"_s                // case is no number
                       u"f\t\tエフ\t7\t4\r\n"_s                // no such case
                       u"g\t\tジー\t0\t99\r\n"_s               // no such class
                       u"\r\n\r\n"_s
                       u"a\t\tエー2\t0\t4\r\n"_s  // replaces the first
                       u"h\t\tエイチ\t0\t4"_s));  // last line without a line end
    writeFile(a, cp932(u"あ\tアサヒノ ア\tア\t0\t2\r\nx\t\tエックス\t0\t4\r\nい\r\n"_s)
                     + QByteArray("\x82\r\n"));
    writeFile(t, cp932(u"川 セン カワ、カセンノセン カワ\r\n皮 ヒ カワ\r\n山 サン ヤマ ヤマ ヤマ\r\n"_s));

    CShosaiYomi yomi;
    QVERIFY(yomi.InitInstance(b, a, t));
    // Built-ins, three single-byte lines (a replaced one still counts), one double-byte, one kanji.
    QCOMPARE(yomi.entryCount(), 3 + 3 + 1 + 1);
    QCOMPARE(yomi.Get_ShosaiYomi(u"a"_s, false, false, false), u"ﾊﾝｶｸエー2|"_s);
    QCOMPARE(yomi.Get_ShosaiYomi(u"h"_s, false, false, false), u"ﾊﾝｶｸエイチ|"_s);
    QCOMPARE(yomi.Get_ShosaiYomi(u"川"_s, false, false, false), u"カワ、カセンノセン|"_s);
    for (const QString& damaged :
         {u"b"_s, u"c"_s, u"d"_s, u"e"_s, u"f"_s, u"g"_s, u"x"_s, u"皮"_s, u"山"_s}) {
        QVERIFY2(yomi.entryOf(damaged.at(0).unicode()) == nullptr, qPrintable(damaged));
    }
    QCOMPARE(yomi.entryOf(u'あ')->phonetic, u"アサヒノ ア"_s);
}

void TestShosaiYomi::utf8DictionariesAreRead()
{
    // A user's own copy saved by an editor as UTF-8 wins over the shipped one.
    QTemporaryDir dir;
    writeFile(dir.filePath(u"tankan95.txt"_s), u"川 セン カワノセン カワ\n皮 ヒ ケガワ カワ\n"_s.toUtf8());
    AppPaths paths(dir.path(), QString());
    paths.setResourceDirs({dir.path(), resourcesDir()});
    CShosaiYomi yomi;
    QVERIFY(yomi.InitInstance(paths));
    QCOMPARE(yomi.Get_ShosaiYomi(u"川皮"_s, false, false, false), u"カワノセン|ケガワ|"_s);
    QCOMPARE(yomi.Get_ShosaiYomi(u"a"_s, false, false, false), u"ﾊﾝｶｸエー|"_s);
    QCOMPARE(yomi.entryOf(u'山'), nullptr);
}

void TestShosaiYomi::missingFilesAreReportedOnceAndTheRestLoads()
{
    QTemporaryDir dir;
    QVERIFY(QFile::copy(resourcesDir() + u"/tankan95.txt"_s, dir.filePath(u"tankan95.txt"_s)));
    AppPaths paths(dir.path(), QString());
    paths.setResourceDirs({dir.path()});

    g_messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    CShosaiYomi yomi;
    const bool all = yomi.InitInstance(paths);
    qInstallMessageHandler(previous);

    QVERIFY(!all);
    QCOMPARE(g_messages.size(), 2);
    QVERIFY(g_messages.at(0).contains(u"kigou95_b.txt"_s));
    QVERIFY(g_messages.at(1).contains(u"kigou95_a.txt"_s));
    // The kanji still read; the built-ins too; a symbol without its file is
    // named, not dropped.
    QCOMPARE(yomi.Get_ShosaiYomi(u"皮"_s, false, false, false), u"カワ、ヒカクノヒ|"_s);
    QCOMPARE(yomi.Get_ShosaiYomi(u"\n"_s, false, false, true), u"&&pitch;2ｶｲｷﾞｮｰ|"_s);
    QCOMPARE(yomi.Get_ShosaiYomi(u"★"_s, false, false, false), u"キゴー|"_s);
    QCOMPARE(yomi.Get_AsciiYomi('a', false, true), QString());
    QCOMPARE(yomi.Get_NamerakaYomi(u"★★"_s, u"1"_s, u"1"_s, u"1"_s), u"★★"_s);

    // Nothing at all: the built-ins alone.
    CShosaiYomi empty;
    g_messages.clear();
    qInstallMessageHandler(captureMessage);
    QVERIFY(!empty.InitInstance(QString(), QString(), QString()));
    qInstallMessageHandler(previous);
    QCOMPARE(g_messages.size(), 3);
    QCOMPARE(empty.entryCount(), 3);
}

void TestShosaiYomi::largeTextsAreReadCompletely()
{
    // A megabyte of one symbol is one count, not a megabyte of names.
    const QString stars(1024 * 1024, u'★');
    QCOMPARE(shipped().Get_NamerakaYomi(stars, u"1"_s, u"1"_s, u"1"_s), u"クロボシ|が1048576個|"_s);

    // A megabyte of mixed text, surrogate pairs and lone surrogates included.
    const QString piece = u"あいう「引用」★★！？ABC\r\n😅𠮷"_s + QChar(0xDC00);
    QString text;
    while (text.size() < 1024 * 1024) {
        text += piece;
    }
    const QString smooth = shipped().Get_NamerakaYomi(text, u"1"_s, u"1"_s, u"1"_s);
    const qsizetype pieces = text.size() / piece.size();
    const QString onePiece = shipped().Get_NamerakaYomi(piece, u"1"_s, u"1"_s, u"1"_s);
    QCOMPARE(smooth.size(), pieces * onePiece.size());
    QVERIFY(smooth.startsWith(onePiece + onePiece));

    const QString detailed = shipped().Get_ShosaiYomi(text.left(100000), false, false, true);
    QVERIFY(detailed.size() > 100000);
    QVERIFY(!detailed.contains(QChar(0xDC00)));
}

void TestShosaiYomi::dictionariesReproduceFromTheGenerator()
{
    const QString python = QStandardPaths::findExecutable(u"python3"_s);
    if (python.isEmpty()) {
        QSKIP("python3 is not installed, so the dictionaries cannot be made again");
    }
    if (!QFile::exists(u"/usr/share/edict/kanjidic"_s) || !QFile::exists(u"/usr/share/edict/edict"_s)) {
        QSKIP("KANJIDIC and EDICT (Debian packages kanjidic, edict) are not installed");
    }
    QTemporaryDir dir;
    QProcess script;
    script.start(python, {QStringLiteral(YOMIMARU_SOURCE_DIR) + u"/tools/dictgen/make_dictionaries.py"_s,
                          u"--out"_s, dir.path()});
    QVERIFY(script.waitForFinished(300000));
    QVERIFY2(script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0,
             script.readAllStandardError().constData());

    const struct
    {
        QString name;
        QChar separator;
        int fields;
    } files[] = {
        {u"kigou95_b.txt"_s, u'\t', 5}, {u"kigou95_a.txt"_s, u'\t', 5}, {u"tankan95.txt"_s, u' ', 4}};

    for (const auto& file : files) {
        QFile fresh(dir.filePath(file.name));
        QFile shippedFile(resourcesDir() + u'/' + file.name);
        QVERIFY(fresh.open(QIODevice::ReadOnly));
        QVERIFY(shippedFile.open(QIODevice::ReadOnly));
        const QByteArray bytes = fresh.readAll();
        QVERIFY2(
            bytes == shippedFile.readAll(),
            qPrintable(u"resources/%1 differs from what the generator makes; rerun it"_s.arg(file.name)));

        // Every line keeps the format: CR LF, the field count, a reading.
        QVERIFY(bytes.endsWith("\r\n"));
        const QString text = TextCodec::fromCp932(bytes);
        QVERIFY(!text.contains(QChar(0xFFFD)));
        const QStringList lines = text.split(u"\r\n"_s);
        QCOMPARE(lines.last(), QString());
        for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
            const QString& line = lines.at(i);
            const QStringList fields = line.split(file.separator);
            QVERIFY2(fields.size() == file.fields && !line.contains(u'\r') && !line.contains(u'\n'),
                     qPrintable(u"%1 line %2: %3"_s.arg(file.name).arg(i + 1).arg(line)));
            QVERIFY2(!fields.at(2).isEmpty(),
                     qPrintable(u"%1 line %2 has no reading"_s.arg(file.name).arg(i + 1)));
        }
    }
}

QTEST_GUILESS_MAIN(TestShosaiYomi)
#include "TestShosaiYomi.moc"
