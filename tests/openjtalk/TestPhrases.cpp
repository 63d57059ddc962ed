// How the module cuts what speech-dispatcher sends into phrases, and reads
// and trims Open JTalk's WAVE output.

#include <QTest>

#include "Phrases.h"
#include "Wave.h"

using namespace Qt::StringLiterals;

namespace {

// "text/pause" for each phrase, marks as "[name]", joined by " | ".
QString describe(const std::vector<ojt::Phrase>& phrases)
{
    QStringList parts;
    for (const ojt::Phrase& phrase : phrases) {
        QString part = QString::fromStdString(phrase.text) + u'/' + QString::number(phrase.pauseMs);
        for (const std::string& mark : phrase.marks) {
            part += u'[' + QString::fromStdString(mark) + u']';
        }
        parts << part;
    }
    return parts.join(u" | "_s);
}

QByteArray wave(int rate, int channels, int bits, const std::vector<int16_t>& samples, int claimExtra = 0)
{
    QByteArray data;
    for (int16_t s : samples) {
        data.append(static_cast<char>(s & 0xff)).append(static_cast<char>((s >> 8) & 0xff));
    }
    auto le = [](QByteArray& out, quint32 v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out.append(static_cast<char>((v >> (8 * i)) & 0xff));
        }
    };
    QByteArray out = "RIFF";
    le(out, 36 + data.size(), 4);
    out += "WAVEfmt ";
    le(out, 16, 4);
    le(out, 1, 2);
    le(out, channels, 2);
    le(out, rate, 4);
    le(out, rate * channels * bits / 8, 4);
    le(out, channels * bits / 8, 2);
    le(out, bits, 2);
    out += "LIST";  // a chunk the reader skips
    le(out, 3, 4);
    out += "abc";
    out += '\0';
    out += "data";
    le(out, data.size() + claimExtra, 4);
    return out + data;
}

}  // namespace

class TestPhrases : public QObject
{
    Q_OBJECT

private slots:

    void phrases_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        // What the program sends: its SSML with the pauses it wants.
        QTest::newRow("menu item") << u"<speak>板一覧</speak>"_s << u"板一覧/0"_s;
        QTest::newRow("sentences with their breaks")
            << u"<speak>こんにちは。<break time=\"400ms\"/>カタカナです。<break time=\"400ms\"/></speak>"_s
            << u"こんにちは。/400 | カタカナです。/400"_s;
        QTest::newRow("a clause, and a break after a blank")
            << u"<speak>今日は、<break time=\"200ms\"/>12 <break time=\"200ms\"/>名無し</speak>"_s
            << u"今日は、/200 | 12/200 | 名無し/0"_s;
        QTest::newRow("a break in seconds, over the bound")
            << u"<speak>a<break time=\"1.5s\"/>b<break time=\"99s\"/>c</speak>"_s
            << u"a/1500 | b/10000 | c/0"_s;
        // Plain text, as another client may send it.
        QTest::newRow("plain sentences take the default pauses")
            << u"明日は雨！本当？ええ。"_s << u"明日は雨！/400 | 本当？/400 | ええ。/400"_s;
        QTest::newRow("a run of marks pauses once")
            << u"えっ。。。そう、、か"_s << u"えっ。。。/400 | そう、、/200 | か/0"_s;
        QTest::newRow("line breaks") << u"一行目\n二行目\n\n"_s << u"一行目/200 | 二行目/200"_s;
        QTest::newRow("references and control characters")
            << u"<speak>&gt;1 &amp;&#x3042;&#12356;&bogus;\x01x</speak>"_s << u">1 &あい&bogus; x/0"_s;
        QTest::newRow("marks are kept where they stand")
            << u"<speak><mark name=\"m0\"/>はい。<mark name=\"m1\"/>いいえ<mark name=\"m2\"/></speak>"_s
            << u"/0[m0] | はい。/400[m1] | いいえ/0[m2]"_s;
        QTest::newRow("punctuation alone says nothing") << u"<speak>。、！</speak>"_s << u"/400"_s;
        QTest::newRow("an unclosed tag ends the text") << u"はい<break time=\"4"_s << u"はい/0"_s;
        QTest::newRow("nothing") << QString() << QString();
        // The length bound: the first phrase is short, so it is heard soon.
        QTest::newRow("the first phrase is cut after a particle")
            << u"本日のレス数は全体で一万二千三百四十五件でした。明日も良い天気になるでしょう。"_s
            << u"本日のレス数は全体で/0 | 一万二千三百四十五件でした。/400 | 明日も良い天気になるでしょう。/400"_s;
        QTest::newRow("at a blank") << u"one two three four five six seven"_s
                                    << u"one two three/0 | four five six seven/0"_s;
        QTest::newRow("before a number")
            << u"アイウエオカキクケコ1234567890123"_s << u"アイウエオカキクケコ/0 | 1234567890123/0"_s;
        QTest::newRow("a long word where it stands")
            << u"abcdefghijklmnopqrstuvwxyz"_s << u"abcdefghijklmnop/0 | qrstuvwxyz/0"_s;
    }

    void phrases()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(describe(ojt::splitIntoPhrases(input.toStdString())), expected);
    }

    void brokenUtf8IsDropped()
    {
        const std::string text = std::string("あ\xff\xe3\x81") + "い\xc0\xaf";
        QCOMPARE(describe(ojt::splitIntoPhrases(text)), u"あい/0"_s);
    }

    void waveFiles()
    {
        std::vector<int16_t> samples(480, 0);                            // 10 ms of silence
        samples.insert(samples.end(), {1000, -20000, 30000, -1000, 5});  // speech
        samples.resize(samples.size() + 4800, 0);                        // 100 ms of silence
        auto pcm = ojt::parseWave(wave(48000, 1, 16, samples).toStdString());
        QVERIFY(pcm);
        QCOMPARE(pcm->rate, 48000);
        QCOMPARE(pcm->samples.size(), samples.size());
        QCOMPARE(pcm->samples[481], int16_t(-20000));

        // 10 ms are kept before and after the loud samples.
        ojt::trimSilence(*pcm);
        QCOMPARE(pcm->samples.size(), std::size_t(480 + 4 + 480));
        QCOMPARE(pcm->samples[480], int16_t(1000));
        QCOMPARE(pcm->samples[483], int16_t(-1000));

        QVERIFY(!ojt::parseWave(wave(48000, 2, 16, samples).toStdString()));
        QVERIFY(!ojt::parseWave(wave(48000, 1, 8, samples).toStdString()));
        QVERIFY(!ojt::parseWave(wave(48000, 1, 16, samples, 2).toStdString()));  // claims more than it holds
        QVERIFY(!ojt::parseWave(wave(48000, 1, 16, samples).left(30).toStdString()));
        QVERIFY(!ojt::parseWave("RIFF"));

        ojt::Pcm silent{48000, std::vector<int16_t>(100, 3)};
        ojt::trimSilence(silent);
        QVERIFY(silent.samples.empty());
    }
};

QTEST_GUILESS_MAIN(TestPhrases)
#include "TestPhrases.moc"
