// Japanese braille: the kana rows and their marks, contracted sounds, long
// vowels and small tsu, numbers, Latin letters and capitals, punctuation,
// and whole sentences with kanji read and words separated through MeCab.

#include <QTest>

#include "speech/JapaneseFrontEnd.h"
#include "speech/KanaBraille.h"

using namespace Qt::StringLiterals;

class TestKanaBraille : public QObject
{
    Q_OBJECT

private slots:

    void initTestCase() { QVERIFY(m_frontEnd.open()); }

    void kana_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("dots");
        QTest::newRow("a row") << u"あいうえお"_s << u"1|12|14|124|24"_s;
        QTest::newRow("ka row") << u"かきくけこ"_s << u"16|126|146|1246|246"_s;
        QTest::newRow("sa row") << u"さしすせそ"_s << u"156|1256|1456|12456|2456"_s;
        QTest::newRow("ta row") << u"たちつてと"_s << u"135|1235|1345|12345|2345"_s;
        QTest::newRow("na row") << u"なにぬねの"_s << u"13|123|134|1234|234"_s;
        QTest::newRow("ha row") << u"はひふへほ"_s << u"136|1236|1346|12346|2346"_s;
        QTest::newRow("ma row") << u"まみむめも"_s << u"1356|12356|13456|123456|23456"_s;
        QTest::newRow("ya row") << u"やゆよ"_s << u"34|346|345"_s;
        QTest::newRow("ra row") << u"らりるれろ"_s << u"15|125|145|1245|245"_s;
        QTest::newRow("wa, wo, n") << u"わをん"_s << u"3|35|356"_s;
        QTest::newRow("katakana and half-width") << u"カナｶﾞ"_s << u"16|13|5|16"_s;
        QTest::newRow("voiced") << u"がざだばゔ"_s << u"5|16|5|156|5|135|5|136|5|14"_s;
        QTest::newRow("semi-voiced") << u"ぱぽ"_s << u"6|136|6|2346"_s;
        QTest::newRow("contracted") << u"きゃしゅちょりょ"_s << u"4|16|4|1456|4|2345|4|245"_s;
        QTest::newRow("contracted, voiced and semi-voiced")
            << u"ぎょじゃぴゅ"_s << u"45|246|45|156|46|1346"_s;
        QTest::newRow("long vowel, small tsu") << u"コーヒーきって"_s << u"246|25|1236|25|126|2|12345"_s;
        QTest::newRow("a number") << u"1000"_s << u"3456|1|245|245|245"_s;
        QTest::newRow("decimals and full width") << u"３.14"_s << u"3456|14|2|1|145"_s;
        QTest::newRow("thousands") << u"1,000"_s << u"3456|1|3|245|245|245"_s;
        QTest::newRow("a kana that reads as a digit after a number") << u"5えん"_s << u"3456|15|36|124|356"_s;
        QTest::newRow("Latin") << u"abc"_s << u"56|1|12|14"_s;
        QTest::newRow("a capital") << u"Tokyo"_s << u"56|6|2345|135|13|13456|135"_s;
        QTest::newRow("a word in capitals") << u"NHK"_s << u"56|6|6|1345|125|13"_s;
        QTest::newRow("punctuation and its blanks")
            << u"はい、そう?うん。ね!"_s << u"136|12|56||2456|14|26||14|356|256|||1234|235"_s;
        QTest::newRow("brackets") << u"「あ」(い)"_s << u"36|1|36|2356|12|2356"_s;
        QTest::newRow("unknown characters are left out") << u"あ★い\u0001う"_s << u"1|12|14"_s;
    }

    void kana()
    {
        QFETCH(QString, text);
        QFETCH(QString, dots);
        const KanaBraille::Line line = KanaBraille::fromKana(text);
        QCOMPARE(KanaBraille::dotNumbers(line.cells), dots);
        QCOMPARE(line.source.size(), line.cells.size());
    }

    void sentences_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("dots");
        // きょーわ よい てんき です。
        QTest::newRow("kanji read, particles joined, です apart")
            << u"今日は良い天気です。"_s << u"4|246|25|3||345|12||12345|356|126||5|12345|1456|256"_s;
        QTest::newRow("a number in a sentence") << u"3時に会う。"_s << u"3456|14|5|1256|123||1|14|256"_s;
        QTest::newRow("half-width brackets hold to their word")
            << u"選択(C)"_s << u"12456|356|135|146|2356|56|6|14|2356"_s;
        QTest::newRow("Latin in a sentence") << u"IDはabc"_s << u"56|6|6|24|145|36|3||56|1|12|14"_s;
    }

    void sentences()
    {
        QFETCH(QString, text);
        QFETCH(QString, dots);
        const KanaBraille::Line line = KanaBraille::translate(text, &m_frontEnd);
        QCOMPARE(KanaBraille::dotNumbers(line.cells), dots);
        // Every cell points into the text, in order.
        for (qsizetype i = 0; i < line.source.size(); ++i) {
            QVERIFY(line.source.at(i) >= 0 && line.source.at(i) < text.size());
            QVERIFY(i == 0 || line.source.at(i) >= line.source.at(i - 1));
        }
    }

    void routingTargets()
    {
        // 今日は: the cells of きょー stand for 今日, the cell of わ for は.
        const KanaBraille::Line line = KanaBraille::translate(u"今日は"_s, &m_frontEnd);
        QCOMPARE(line.cells.size(), 4);
        QCOMPARE(line.source.first(), 0);
        QCOMPARE(line.source.last(), 2);
        // Without a front end the text goes through as it is.
        QCOMPARE(KanaBraille::dotNumbers(KanaBraille::translate(u"かな"_s, nullptr).cells), u"16|13"_s);
    }

private:
    JapaneseFrontEnd m_frontEnd;
};

QTEST_GUILESS_MAIN(TestKanaBraille)
#include "TestKanaBraille.moc"
