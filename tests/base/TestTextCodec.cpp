// Decoding what servers send and what files hold, and writing files back
// without losing a character.

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include "base/TextCodec.h"
#include "base/TextFile.h"
#include "support/TestData.h"

using namespace Qt::StringLiterals;

class TestTextCodec : public QObject
{
    Q_OBJECT

private slots:
    void isUtf8_data();
    void isUtf8();
    void cp932RoundTrip_data();
    void cp932RoundTrip();
    void cp932Bytes_data();
    void cp932Bytes();
    void invalidBytes_data();
    void invalidBytes();
    void numericReferences_data();
    void numericReferences();
    void serverText_data();
    void serverText();
    void fileText_data();
    void fileText();
    void lineFiles();
    void appendKeepsWholeLines();
    void rewriteLeavesNothingBehind();
};

void TestTextCodec::isUtf8_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("limit");
    QTest::addColumn<bool>("expected");

    const QByteArray two = QString(u"あい"_s).toUtf8();
    QTest::newRow("two sequences") << two << 4096 << true;
    QTest::newRow("one sequence is not enough") << QString(u"aあb"_s).toUtf8() << 4096 << false;
    QTest::newRow("pure ASCII is not UTF-8") << QByteArray("hello world") << 4096 << false;
    QTest::newRow("limit 0") << two << 0 << false;
    QTest::newRow("continuation byte in lead position")
        << QByteArray("\x80\xe3\x81\x82\xe3\x81\x84") << 4096 << false;
    QTest::newRow("broken continuation")
        << QByteArray("\xe3\x81\x82\xe3\x41\x84\xe3\x81\x84") << 4096 << false;
    QTest::newRow("Shift_JIS text") << TextCodec::toCp932(u"日本語のテキストです"_s) << 4096 << false;
    QTest::newRow("FE and FF are skipped") << QByteArray("\xfe\xff") + two << 4096 << true;
    // The second sequence would end beyond the limit: the walk stops with one.
    QTest::newRow("sequence cut by the limit") << two << 5 << false;
    QTest::newRow("limit beyond the data") << two << 100000 << true;
    QTest::newRow("four-byte sequences") << QString(u"😅😅"_s).toUtf8() << 4096 << true;
    QTest::newRow("bytes beyond the limit are not judged") << two + QByteArray("\x80\x80") << 6 << true;
    QTest::newRow("bytes within the limit are") << two + QByteArray("\x80\x80") << 8 << false;
}

void TestTextCodec::isUtf8()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, limit);
    QFETCH(bool, expected);
    QCOMPARE(TextCodec::IsUtf8(bytes, limit), expected);
}

void TestTextCodec::cp932RoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("kana and kanji") << u"スレッドを読み込みました。全部で１０件です。"_s;
    QTest::newRow("half-width kana") << u"ﾊﾝｶｸｶﾅ ｶﾞｷﾞ"_s;
    // Their code page 932 bytes (CE B9, C2 B1) are valid UTF-8 as well.
    QTest::newRow("half-width kana that pass for UTF-8") << u"ﾎｹ ﾂｱ and ASCII"_s;
    QTest::newRow("NEC and IBM extensions") << u"①②Ⅲ㈱髙﨑ⅰ￢∵"_s;
    QTest::newRow("wave dash and minus of the boards") << u"～－＼∥￠"_s;
    QTest::newRow("emoji") << u"草生える😅🍣"_s;
    QTest::newRow("rare kanji beyond the code page") << u"𠮷野家と𩸽と鷗"_s;
    QTest::newRow("accented letters") << u"café naïve Ω"_s;
    QTest::newRow("text that looks like a reference") << u"&amp;#128517; と &#"_s;
    QTest::newRow("a literal reference stays literal") << u"&#128517; &#x41; &#38;"_s;
    QTest::newRow("backslash and tilde") << u"C:\\path ~user"_s;
    QTest::newRow("user area") << QString(QChar(0xE000));
    QTest::newRow("zero-width no-break space") << u"a"_s + QChar(0xFEFF) + u"b"_s + QChar(0xFEFF);
}

void TestTextCodec::cp932RoundTrip()
{
    QFETCH(QString, text);
    const QByteArray bytes = TextCodec::toFileBytes(text);
    QCOMPARE(TextCodec::fromFileBytes(bytes), text);
}

void TestTextCodec::cp932Bytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ASCII") << u"abc"_s << QByteArray("abc");
    QTest::newRow("hiragana") << u"あ"_s << QByteArray("\x82\xa0");
    QTest::newRow("half-width katakana") << u"ｱ"_s << QByteArray("\xb1");
    QTest::newRow("wave dash is 8160") << u"～"_s << QByteArray("\x81\x60");
    QTest::newRow("NEC circled digit") << u"①"_s << QByteArray("\x87\x40");
    // Characters with several encodings take the one Windows writes.
    QTest::newRow("because: JIS row, not NEC") << u"∵"_s << QByteArray("\x81\xe6");
    QTest::newRow("small roman: IBM, not NEC-selected") << u"ⅰ"_s << QByteArray("\xfa\x40");
    QTest::newRow("emoji as a reference") << u"😅"_s << QByteArray("&#128517;");
    QTest::newRow("yen sign is not a backslash") << u"¥"_s << QByteArray("&#165;");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("&#65533;");
    // Every reference is followed by characters of two bytes, in the room
    // made again after it.
    QTest::newRow("references among text")
        << u"😅ああ&#あ¥ｱ😅"_s + QString(QChar(0xDC00)) + u"漢字"_s
        << QByteArray("&#128517;\x82\xa0\x82\xa0&#38;#\x82\xa0&#165;\xb1&#128517;&#65533;\x8a\xbf\x8e\x9a");
}

void TestTextCodec::cp932Bytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(TextCodec::toCp932(text), bytes);
}

void TestTextCodec::invalidBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    const QString r(QChar(0xFFFD));
    QTest::newRow("lone lead byte at the end") << QByteArray("a\x82") << u"a"_s + r;
    QTest::newRow("lead byte before a line feed keeps the line feed")
        << QByteArray("a\x82\nb") << u"a"_s + r + u"\nb"_s;
    QTest::newRow("unassigned pair") << QByteArray("\x85\x40x") << r + u"x"_s;
    QTest::newRow("bytes no table uses") << QByteArray("\x80\xa0\xfd\xfe\xff") << r + r + r + r + r;
    QTest::newRow("NUL kept") << QByteArray("a\0b", 3) << QString(u"a"_s + QChar(0) + u"b"_s);
}

void TestTextCodec::invalidBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(TextCodec::fromCp932(bytes), expected);
}

void TestTextCodec::numericReferences_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const QString r(QChar(0xFFFD));
    QTest::newRow("decimal") << u"a&#128517;b"_s << u"a😅b"_s;
    QTest::newRow("hex") << u"&#x1F605;&#X41;"_s << u"😅A"_s;
    QTest::newRow("surrogate pair as two references") << u"&#55357;&#56837;"_s << u"😅"_s;
    QTest::newRow("lone high surrogate") << u"&#55357;x"_s << r + u"x"_s;
    QTest::newRow("lone low surrogate") << u"&#56837;"_s << r;
    QTest::newRow("zero") << u"&#0;"_s << r;
    QTest::newRow("beyond Unicode") << u"&#1114112;&#99999999999999999999;"_s << r + r;
    QTest::newRow("no semicolon stays") << u"&#128517 x"_s << u"&#128517 x"_s;
    QTest::newRow("no digits stays") << u"&#; &#x;"_s << u"&#; &#x;"_s;
    QTest::newRow("named entities are not touched") << u"&amp;&gt;"_s << u"&amp;&gt;"_s;
    QTest::newRow("full-width digits are not digits") << u"&#１２;"_s << u"&#１２;"_s;
    QTest::newRow("at the end") << u"x&#"_s << u"x&#"_s;
    QTest::newRow("zero-width no-break space")
        << u"&#65279;x&#xFEFF;"_s << QString(QChar(0xFEFF)) + u"x"_s + QChar(0xFEFF);
}

void TestTextCodec::numericReferences()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(TextCodec::decodeNumericReferences(text), expected);
}

void TestTextCodec::serverText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    const QString text = u"名無しさん<>sage<>2026/12/08 ID:abc<> 本文です ｶﾅ <>"_s;
    QTest::newRow("Shift_JIS") << TextCodec::toCp932(text) << text;
    QTest::newRow("UTF-8") << text.toUtf8() << text;
    QStringEncoder euc("EUC-JP");
    QTest::newRow("EUC-JP") << QByteArray(euc.encode(text)) << text;
    QStringEncoder jis("ISO-2022-JP");
    const QString noKana = u"名無しさん<>本文です。"_s;
    QTest::newRow("ISO-2022-JP") << QByteArray(jis.encode(noKana)) << noKana;
    // Only one UTF-8 sequence in the whole body: not judged UTF-8.
    // Only one UTF-8 sequence in the whole body: not judged UTF-8, so "あ" is
    // read as code page 932 bytes (a kanji and a broken lead byte).
    QTest::newRow("single UTF-8 sequence goes the Japanese way")
        << QByteArray("abc\xe3\x81\x82") << u"abc\u7E3A"_s + QChar(0xFFFD);
    QTest::newRow("references are left for the parsers") << QByteArray("&#128517;") << u"&#128517;"_s;
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestTextCodec::serverText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(TextCodec::decodeServerText(bytes), expected);
}

void TestTextCodec::fileText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    const QString text = u"/ｗｗｗ/わらわら/"_s;
    QTest::newRow("Shift_JIS") << TextCodec::toCp932(text) << text;
    QTest::newRow("UTF-8 without BOM") << text.toUtf8() << text;
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + text.toUtf8() << text;
    QTest::newRow("UTF-8 with one character") << u"a→b"_s.toUtf8() << u"a→b"_s;
    QTest::newRow("references decoded") << QByteArray("&#128517;") << u"😅"_s;
}

void TestTextCodec::fileText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(TextCodec::fromFileBytes(bytes), expected);
}

void TestTextCodec::lineFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"list.txt"_s);
    const QStringList lines = {u"一行目😅"_s, QString(), u"三行目,カンマ"_s};
    QVERIFY(TextFile::writeLines(path, lines));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray raw = file.readAll();
    QCOMPARE(raw, TextCodec::toCp932(u"一行目😅\r\n\r\n三行目,カンマ\r\n"_s));
    QCOMPARE(TextFile::readLines(path).value(), lines);

    // Bare LF files (written by hand) read the same way.
    QVERIFY(TestData::writeFile(path, "a\nb\r\nc"));
    QCOMPARE(TextFile::readLines(path).value(), QStringList({u"a"_s, u"b"_s, u"c"_s}));
    QVERIFY(!TextFile::readLines(dir.filePath(u"missing.txt"_s)).has_value());
    QVERIFY(TextFile::writeLines(path, {}));
    QCOMPARE(TextFile::readLines(path).value(), QStringList());

    // A file whose every line would pass for UTF-8 still reads back the same.
    const QStringList katakana = {u"ﾎｹ"_s, u"ﾂｱ 2"_s, u"abc"_s};
    QVERIFY(TextFile::writeLines(path, katakana));
    QCOMPARE(TextFile::readLines(path).value(), katakana);
    QVERIFY(TextFile::appendLines(path, {u"ﾎｹ"_s}));
    QCOMPARE(TextFile::readLines(path).value(), katakana + QStringList{u"ﾎｹ"_s});
}

void TestTextCodec::appendKeepsWholeLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"1234567890.log"_s);
    QVERIFY(TextFile::appendLines(path, {u"first"_s}));
    QVERIFY(TextFile::appendLines(path, {u"second 😅"_s, u"third"_s}));
    QCOMPARE(TextFile::readLines(path).value(), QStringList({u"first"_s, u"second 😅"_s, u"third"_s}));
    QVERIFY(!TextFile::appendLines(dir.filePath(u"no/such/folder/x.log"_s), {u"x"_s}));

    // A last line without its line end keeps its own line.
    const QString cut = dir.filePath(u"bookmark.list"_s);
    QVERIFY(TestData::writeFile(cut, "a,b,c,1"));
    QVERIFY(TextFile::appendLines(cut, {u"d,e,f,2"_s}));
    QCOMPARE(TextFile::readLines(cut).value(), QStringList({u"a,b,c,1"_s, u"d,e,f,2"_s}));
    // One cut between its CR and its LF gets the LF alone.
    QVERIFY(TestData::writeFile(cut, "a,b,c,1\r"));
    QVERIFY(TextFile::appendLines(cut, {u"d,e,f,2"_s}));
    QFile appended(cut);
    QVERIFY(appended.open(QIODevice::ReadOnly));
    QCOMPARE(appended.readAll(), "a,b,c,1\r\nd,e,f,2\r\n"_ba);
}

void TestTextCodec::rewriteLeavesNothingBehind()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"bookmark.list"_s);
    QVERIFY(TextFile::writeLines(path, {u"old"_s}));
    QVERIFY(TextFile::writeLines(path, {u"new"_s}));
    QCOMPARE(TextFile::readLines(path).value(), QStringList({u"new"_s}));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({u"bookmark.list"_s}));
    // A path that cannot be written reports failure and leaves the old file.
    QVERIFY(!TextFile::writeLines(dir.filePath(u"missing/bookmark.list"_s), {u"x"_s}));
    QVERIFY(QDir(dir.path()).mkdir(u"folder.list"_s));
    QVERIFY(!TextFile::writeLines(dir.filePath(u"folder.list"_s), {u"x"_s}));
    QCOMPARE(TextFile::readLines(path).value(), QStringList({u"new"_s}));
}

QTEST_GUILESS_MAIN(TestTextCodec)
#include "TestTextCodec.moc"
