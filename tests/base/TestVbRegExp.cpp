// The regular-expression dialect every rule set of the program relies on.

#include <QElapsedTimer>
#include <QTest>

#include "base/VbRegExp.h"

using namespace Qt::StringLiterals;

class TestVbRegExp : public QObject
{
    Q_OBJECT

private slots:
    void testMatches_data();
    void testMatches();
    void replace_data();
    void replace();
    void replaceFirstOnly();
    void execute();
    void executeEmptyMatches();
    void rejectedPatternFailsSoftly();
    void runawayPatternGivesUp();
    void invalidSurrogatesInText();
    void patternCanBeChanged();
};

void TestVbRegExp::testMatches_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");

    QTest::newRow("^ at the start of the whole text") << u"^b"_s << false << u"a\nb"_s << false;
    QTest::newRow("^ at the start") << u"^a"_s << false << u"a\nb"_s << true;
    QTest::newRow("$ only at the very end") << u"a$"_s << false << u"a\nb"_s << false;
    QTest::newRow("$ before a final line break does not match") << u"a$"_s << false << u"a\n"_s << false;
    QTest::newRow("$ at the end") << u"b$"_s << false << u"a\nb"_s << true;
    QTest::newRow(". excludes line feed") << u"a.b"_s << false << u"a\nb"_s << false;
    QTest::newRow(". takes carriage return") << u"a.b"_s << false << u"a\rb"_s << true;
    QTest::newRow(". takes a full-width character") << u"^.$"_s << false << u"あ"_s << true;
    QTest::newRow(". takes an emoji whole") << u"^.$"_s << false << u"😅"_s << true;
    QTest::newRow("full-width class") << u"^[>＞]{2}"_s << false << u"＞＞12"_s << true;
    QTest::newRow("space class with ideographic space") << u"[ 　\\t]x"_s << false << u"a　x"_s << true;
    QTest::newRow("negated full-width class") << u"^[^ぁ-ん]+$"_s << false << u"カタカナ"_s << true;
    QTest::newRow("escaped slash") << u"a\\/b"_s << false << u"a/b"_s << true;
    QTest::newRow("\\u escape") << u"\\u3042"_s << false << u"あ"_s << true;
    QTest::newRow("\\x escape") << u"\\x41"_s << false << u"A"_s << true;
    QTest::newRow("tab and newline escapes") << u"\\t\\r\\n"_s << false << u"a\t\r\nb"_s << true;
    QTest::newRow("case-sensitive by default") << u"abc"_s << false << u"ABC"_s << false;
    QTest::newRow("ignore case") << u"abc"_s << true << u"ABC"_s << true;
    QTest::newRow("counted quantifier") << u"^a{2,3}$"_s << false << u"aaaa"_s << false;
    QTest::newRow("open-ended quantifier") << u"^a{2,}$"_s << false << u"aaaa"_s << true;
    QTest::newRow("exact quantifier") << u"^w{3}$"_s << false << u"www"_s << true;
    QTest::newRow("alternation and groups") << u"^(ht|t)tp:"_s << false << u"ttp://x"_s << true;
    QTest::newRow("\\d is ASCII only") << u"\\d"_s << false << u"１２"_s << false;
}

void TestVbRegExp::testMatches()
{
    QFETCH(QString, pattern);
    QFETCH(bool, ignoreCase);
    QFETCH(QString, text);
    QFETCH(bool, expected);
    const VbRegExp re(pattern, true, ignoreCase);
    QVERIFY2(re.isValid(), qPrintable(re.errorString()));
    QCOMPARE(re.Test(text), expected);
}

void TestVbRegExp::replace_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("expected");

    QTest::newRow("global") << u"ｗ"_s << u"ｗaｗbｗ"_s << u"わ"_s << u"わaわbわ"_s;
    QTest::newRow("groups") << u"(\\d+)-(\\d+)"_s << u"12-34"_s << u"$2-$1"_s << u"34-12"_s;
    QTest::newRow("$10 is group 1 then 0") << u"(a)"_s << u"a"_s << u"$10"_s << u"a0"_s;
    QTest::newRow("$ before a letter stays") << u"a"_s << u"a"_s << u"$x$"_s << u"$x$"_s;
    QTest::newRow("$N beyond the groups stays") << u"(a)"_s << u"a"_s << u"$2"_s << u"$2"_s;
    QTest::newRow("$0 stays") << u"a"_s << u"a"_s << u"$0"_s << u"$0"_s;
    QTest::newRow("group that took no part is empty") << u"(x)?a"_s << u"a"_s << u"[$1]"_s << u"[]"_s;
    QTest::newRow("backslash is an ordinary character") << u"a"_s << u"a"_s << u"\\n\\1\\"_s << u"\\n\\1\\"_s;
    QTest::newRow("escaped slash kept in the replacement") << u"a"_s << u"a"_s << u"\\/"_s << u"\\/"_s;
    QTest::newRow("empty-matching pattern advances by one") << u"x*"_s << u"axb"_s << u"-"_s << u"-a--b-"_s;
    QTest::newRow("empty pattern between every character") << u""_s << u"ab"_s << u"|"_s << u"|a|b|"_s;
    QTest::newRow("empty match keeps a surrogate pair whole") << u"x*"_s << u"😅"_s << u"-"_s << u"-😅-"_s;
    QTest::newRow("^ replaced once in global mode") << u"^"_s << u"ab"_s << u">"_s << u">ab"_s;
    QTest::newRow("$ replaced once at the end") << u"$"_s << u"a\n"_s << u"<"_s << u"a\n<"_s;
    QTest::newRow("greedy leftmost") << u"a+"_s << u"baaac"_s << u"X"_s << u"bXc"_s;
    QTest::newRow("dot stops at line feed") << u"<.*>"_s << u"<a\nb>"_s << u"X"_s << u"<a\nb>"_s;
    QTest::newRow("no match returns the text") << u"z"_s << u"abc"_s << u"X"_s << u"abc"_s;
    QTest::newRow("line break tokens") << u"<br>"_s << u"a<br>b"_s << u"\n"_s << u"a\nb"_s;
}

void TestVbRegExp::replace()
{
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(QString, replacement);
    QFETCH(QString, expected);
    const VbRegExp re(pattern);
    QVERIFY2(re.isValid(), qPrintable(re.errorString()));
    QCOMPARE(re.Replace(text, replacement), expected);
}

void TestVbRegExp::replaceFirstOnly()
{
    VbRegExp re(u"a"_s);
    re.setGlobal(false);
    QCOMPARE(re.Replace(u"aaa"_s, u"b"_s), u"baa"_s);
}

void TestVbRegExp::execute()
{
    const VbRegExp re(u"([a-z]+)=(\\d+)?"_s);
    const QList<VbMatch> matches = re.Execute(u"x=1, yy=, zz=300"_s);
    QCOMPARE(matches.size(), 3);
    QCOMPARE(matches.at(0).FirstIndex, 0);
    QCOMPARE(matches.at(0).Value, u"x=1"_s);
    QCOMPARE(matches.at(0).SubMatches, QStringList({u"x"_s, u"1"_s}));
    QCOMPARE(matches.at(1).Value, u"yy="_s);
    QCOMPARE(matches.at(1).SubMatches, QStringList({u"yy"_s, QString()}));
    QCOMPARE(matches.at(2).FirstIndex, 10);
    QCOMPARE(matches.at(2).Length, 6);

    VbRegExp first(u"\\d"_s);
    first.setGlobal(false);
    QCOMPARE(first.Execute(u"a1b2"_s).size(), 1);
}

void TestVbRegExp::executeEmptyMatches()
{
    const VbRegExp re(u"b*"_s);
    const QList<VbMatch> matches = re.Execute(u"abb"_s);
    QCOMPARE(matches.size(), 3);  // "" at 0, "bb" at 1, "" at 3
    QCOMPARE(matches.at(1).Value, u"bb"_s);
    QCOMPARE(matches.at(2).FirstIndex, 3);
}

void TestVbRegExp::rejectedPatternFailsSoftly()
{
    for (const QString& bad : {u"("_s, u"[a-"_s, u"a{2,1}"_s, u"*a"_s, u"(?<"_s}) {
        const VbRegExp re(bad);
        QVERIFY2(!re.isValid(), qPrintable(bad));
        QVERIFY(!re.errorString().isEmpty());
        QVERIFY(!re.Test(u"a(b"_s));
        QCOMPARE(re.Replace(u"a(b"_s, u"x"_s), u"a(b"_s);
        QVERIFY(re.Execute(u"a(b"_s).isEmpty());
    }
}

void TestVbRegExp::runawayPatternGivesUp()
{
    // Exponential backtracking on a long line: the search must be abandoned
    // (no match, text unchanged) instead of hanging the program.
    const QString line = QString(5000, u'a') + u'b';
    const VbRegExp re(u"(a+)+$"_s);
    QVERIFY(re.isValid());
    QVERIFY(!re.Test(line));
    QCOMPARE(re.Replace(line, u"x"_s), line);
    // The same engine still works for ordinary text afterwards.
    QCOMPARE(re.Replace(u"aaa"_s, u"x"_s), u"x"_s);
}

void TestVbRegExp::invalidSurrogatesInText()
{
    QString text = u"a"_s;
    text += QChar(0xD800);  // lone high surrogate
    text += u"b"_s;
    text += QChar(0xDC00);  // lone low surrogate
    const VbRegExp re(u"b"_s);
    QVERIFY(re.Test(text));
    QString expected = u"a"_s;
    expected += QChar(0xD800);
    expected += u"X"_s;
    expected += QChar(0xDC00);
    QCOMPARE(re.Replace(text, u"X"_s), expected);
    const VbRegExp any(u"x*"_s);
    QVERIFY(!any.Replace(text, u"-"_s).isEmpty());
}

void TestVbRegExp::patternCanBeChanged()
{
    VbRegExp re;
    QVERIFY(!re.isValid());
    re.setPattern(u"abc"_s);
    QVERIFY(re.Test(u"xabc"_s));
    QVERIFY(!re.Test(u"ABC"_s));
    re.setIgnoreCase(true);
    QVERIFY(re.Test(u"ABC"_s));
    re.setPattern(u"("_s);
    QVERIFY(!re.isValid());
    const VbRegExp copy(re);
    QVERIFY(!copy.isValid());
    re.setPattern(u"b"_s);
    const VbRegExp copy2 = re;
    QVERIFY(copy2.Test(u"B"_s));
}

QTEST_GUILESS_MAIN(TestVbRegExp)
#include "TestVbRegExp.moc"
