// The user's reading-conversion table: how rule lines are taken apart and how
// the rules apply in order.

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "base/TextCodec.h"
#include "speech/ReadConv.h"
#include "support/TestData.h"

using namespace Qt::StringLiterals;

class TestReadConv : public QObject
{
    Q_OBJECT

private slots:
    void convert_data();
    void convert();
    void fileInShiftJisWithComments();
    void badRulesAreSkipped();
    void growingRulesAreBounded();
    void missingFile();
    void shippedTableLoads();
};

void TestReadConv::convert_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("ruleCount");

    QTest::newRow("rule with a comment")
        << QStringList{u"/ｗｗｗ/わらわら/laugh"_s} << u"ｗｗｗ、ｗｗｗ"_s << u"わらわら、わらわら"_s << 1;
    QTest::newRow("escaped slash in the pattern")
        << QStringList{u"/a\\/b/c/"_s} << u"xa/by"_s << u"xcy"_s << 1;
    QTest::newRow("escaped slash kept in the replacement")
        << QStringList{u"/and/a\\/b/"_s} << u"and"_s << u"a\\/b"_s << 1;
    QTest::newRow("three pieces ignored") << QStringList{u"/x/y"_s} << u"x"_s << u"x"_s << 0;
    QTest::newRow("five pieces ignored") << QStringList{u"/x/y/z/w/"_s} << u"x"_s << u"x"_s << 0;
    QTest::newRow("each rule sees the previous result")
        << QStringList{u"/A/B/"_s, u"/B/C/"_s} << u"A"_s << u"C"_s << 2;
    QTest::newRow("case-sensitive") << QStringList{u"/abc/x/"_s} << u"ABC abc"_s << u"ABC x"_s << 1;
    QTest::newRow("comment lines ignored")
        << QStringList{u"# comment /a/b/"_s, u""_s, u" /a/b/"_s, u"/a/b/"_s} << u"a"_s << u"b"_s << 1;
    QTest::newRow("groups in the replacement")
        << QStringList{u"/(\\d+)ｋｍ/$1キロ/"_s} << u"5ｋｍ"_s << u"5キロ"_s << 1;
    QTest::newRow("rule that deletes") << QStringList{u"/ｗ+$//"_s} << u"草ｗｗ"_s << u"草"_s << 1;
}

void TestReadConv::convert()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(int, ruleCount);
    ReadConv conv;
    conv.loadLines(lines);
    QCOMPARE(conv.count(), ruleCount);
    QCOMPARE(conv.Convert(text), expected);
}

void TestReadConv::fileInShiftJisWithComments()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"readconv.txt"_s);
    const QString content = u"; the user's own table\r\n/ｗｗｗ/わらわら/ laugh\r\n/乙/おつ/\r\n"_s;
    QVERIFY(TestData::writeFile(path, TextCodec::toCp932(content)));
    ReadConv conv(path);
    conv.InitInstance();
    QCOMPARE(conv.count(), 2);
    QCOMPARE(conv.Convert(u"乙ｗｗｗ"_s), u"おつわらわら"_s);
    // Reloading replaces the table rather than adding to it.
    conv.InitInstance();
    QCOMPARE(conv.count(), 2);
    conv.ExitInstance();
    QCOMPARE(conv.Convert(u"乙"_s), u"乙"_s);
}

void TestReadConv::badRulesAreSkipped()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"readconv.txt"_s);
    QByteArray bytes = "/(/broken/\r\n/(a+)+$/z/\r\n/a/b/\r\n/\xff\xfe\x81/x/\r\n/b/c/\r\n";
    QVERIFY(TestData::writeFile(path, bytes));
    ReadConv conv(path);
    conv.InitInstance();
    // The rejected pattern changes nothing; the rules after it still run, and a
    // runaway pattern on a long line gives up instead of hanging.
    QCOMPARE(conv.Convert(u"a("_s), u"c("_s);
    const QString longLine = QString(3000, u'a') + u'!';
    QCOMPARE(conv.Convert(longLine), QString(3000, u'c') + u'!');
}

void TestReadConv::growingRulesAreBounded()
{
    // Twenty rules that each double the text: the first twelve bring one "a"
    // to 4096, the next would pass the bound and are skipped, each reported
    // once, and the rules after them still run.
    QStringList lines(20, u"/a/aa/"_s);
    lines.append(u"/^a/b/"_s);
    ReadConv conv;
    conv.loadLines(lines);
    QCOMPARE(ReadConv::growthLimit(1), 4097);
    for (int rule = 13; rule <= 20; ++rule) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"^readconv\\.txt rule "_s
                                                              + QString::number(rule) + u" .*grow"_s));
    }
    const QString expected = u"b"_s + QString(4095, u'a');
    QCOMPARE(conv.Convert(u"a"_s), expected);
    // Said once, not with every utterance.
    QTest::failOnWarning(QRegularExpression(u"readconv"_s));
    QCOMPARE(conv.Convert(u"a"_s), expected);
}

void TestReadConv::missingFile()
{
    ReadConv conv(u"/nonexistent/readconv.txt"_s);
    conv.InitInstance();
    QCOMPARE(conv.count(), 0);
    QCOMPARE(conv.Convert(u"そのまま"_s), u"そのまま"_s);
}

void TestReadConv::shippedTableLoads()
{
    ReadConv conv(QStringLiteral(YOMIMARU_SOURCE_RESOURCES) + u"/readconv.txt"_s);
    conv.InitInstance();
    QVERIFY(conv.count() >= 20);
    for (int i = 1; i <= conv.count(); ++i) {
        QVERIFY2(VbRegExp(conv.pattern(i)).isValid(), qPrintable(conv.pattern(i)));
    }
    QCOMPARE(conv.Convert(u"ｗｗｗ"_s).contains(u'ｗ'), false);
}

QTEST_GUILESS_MAIN(TestReadConv)
#include "TestReadConv.moc"
