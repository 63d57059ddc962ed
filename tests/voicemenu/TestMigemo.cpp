// The romaji search pattern: what the dictionary makes of a key compiles,
// and finds the key as written as well as its kana and kanji.

#include <QTest>

#include "base/VbRegExp.h"
#include "voicemenu/Migemo.h"

using namespace Qt::StringLiterals;

class TestMigemo : public QObject
{
    Q_OBJECT

private slots:
    void patternsCompile_data();
    void patternsCompile();
};

void TestMigemo::patternsCompile_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::newRow("romaji") << u"kigou"_s << u"記号の読み"_s;
    QTest::newRow("romaji written as is") << u"kigou"_s << u"kigou"_s;
    QTest::newRow("closing parenthesis") << u";)"_s << u"乙;)"_s;
    QTest::newRow("opening parenthesis") << u"a(b"_s << u"xa(by"_s;
    QTest::newRow("bracket") << u"[x"_s << u"[x]"_s;
    QTest::newRow("dot") << u"a.b"_s << u"a.b"_s;
}

void TestMigemo::patternsCompile()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    Migemo migemo;
    QVERIFY(migemo.open(QString::fromLatin1(Migemo::kSystemDictionary)));
    const VbRegExp search(migemo.query(key), true, true);
    QVERIFY2(search.isValid(), qPrintable(search.pattern()));
    QVERIFY2(search.Test(text), qPrintable(search.pattern()));
}

QTEST_GUILESS_MAIN(TestMigemo)
#include "TestMigemo.moc"
