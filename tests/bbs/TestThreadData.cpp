// A thread's messages: parsing ".dat" lines and HTML pages, the ".log" and
// "thread.idx" files, and the headers and bodies the program reads out.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "base/TextCodec.h"
#include "base/TextFile.h"
#include "base/VbRegExp.h"
#include "bbs/HtmlText.h"
#include "bbs/ThreadData.h"
#include "support/TempProfile.h"
#include "support/TestData.h"

using namespace Qt::StringLiterals;

namespace {

using Message = ThreadData::Message;

QString describe(const Message& m)
{
    return m.name + u'|' + m.mail + u'|' + m.date + u'|' + m.body + u'|' + m.id + u'|' + m.host;
}

// Characters in a name that makes a line just longer than a message line can be.
constexpr qsizetype kLongName = 64 * 1024 - 10;

// Writes a log of `count` messages and loads it offline.
void loadLog(TempProfile& profile, ThreadData& thread, const QList<Message>& messages, int position = 0)
{
    const QString folder = profile.dataRoot() + u"/天気/天気予報"_s;
    QDir().mkpath(folder);
    QStringList lines;
    for (const Message& m : messages) {
        lines << ThreadData::logLine(m);
    }
    TextFile::writeLines(folder + u"/1231808850.log"_s, lines);
    if (position > 0) {
        TextFile::writeLines(folder + u"/thread.idx"_s, {u"1231808850,"_s + QString::number(position)});
    }
    QVERIFY(thread.InitInstance(nullptr, nullptr, u"題"_s,
                                u"http://sora.example.net/test/read.cgi/weather/1231808850"_s, u"天気"_s,
                                u"天気予報"_s, 0, true));
}

// The fields of one .dat line as the board format's patterns define them,
// matched with regular expressions: what the program's scanning parser must
// agree with.
Message byPatterns(const QString& line)
{
    static const VbRegExp bold(u"(<b>|</b>)"_s, true, true);
    static const VbRegExp datePattern(
        u"[0-9]{2,4}/[0-9]{2}/[0-9]{2}(\\([^)]\\)){0,1} [0-9]{2}(:[0-9]{2}){1,2}"_s, false, true);
    static const VbRegExp idPattern(u"ID:([^ <]{3,9})"_s, false, true);
    static const VbRegExp link(u"<a href=\"[^\"]+[^>]+>([^<]+)<\\/a>"_s, true, true);
    Message m;
    const QStringList f = bold.Replace(line, QString()).split(u"<>"_s);
    if (f.size() != 5) {
        return m;
    }
    m.name = HtmlText::oneLine(HtmlText::decodeEntities(f.at(0)));
    m.mail = HtmlText::oneLine(HtmlText::decodeEntities(f.at(1)));
    if (f.at(2) == u"あぼーん"_s) {
        m.date = f.at(2);
        m.body = f.at(3);
        return m;
    }
    const QList<VbMatch> date = datePattern.Execute(f.at(2));
    m.date = date.isEmpty() ? QString() : date.first().Value;
    const QList<VbMatch> id = idPattern.Execute(f.at(2));
    m.id = id.isEmpty() ? QString() : id.first().SubMatches.value(0);
    m.body = HtmlText::decodeEntities(link.Replace(f.at(3), u"$1"_s));
    return m;
}

}  // namespace

class TestThreadData : public QObject
{
    Q_OBJECT

private slots:
    void parseDat_data();
    void parseDat();
    void datFieldsScanned_data();
    void datFieldsScanned();
    void sampleDatsAsByPatterns();
    void boldTagsTakenOutFirst_data();
    void boldTagsTakenOutFirst();
    void repeatedNamesAndMails();
    void datWithoutMessages();
    void parseHtml_data();
    void parseHtml();
    void logRoundTrip();
    void logBytesAsLinesWritten_data();
    void logBytesAsLinesWritten();
    void offlineLoadAndPositions();
    void unsafeKeyIsRefused();
    void moves();
    void headers_data();
    void headers();
    void bodies();
    void unwritablePosition();
    void positionWritesCoalesced();
    void positionKeptOnLeavingThread();
    void positionAfterKill();
};

void TestThreadData::parseDat_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("expected");
    QTest::newRow("date with centiseconds, ID")
        << 1 << u"名無しさん||2026/12/01(火) 10:07:30| 明日は晴れるかな <br> 洗濯物を干したい |abcDEF120|"_s;
    QTest::newRow("anchor link and entities")
        << 2 << u"名無しさん|sage|2026/12/01(火) 10:10:15| >>1 晴れるよ & 暖かい |Qw/e+Rt90|"_s;
    QTest::newRow("deleted message keeps its marks") << 3 << u"あぼーん|あぼーん|あぼーん|あぼーん||"_s;
    QTest::newRow("empty line is an empty message") << 4 << u"|||||"_s;
    QTest::newRow("bold removed, references decoded")
        << 5 << u"コテハン◆trip|age|2026/12/01(火) 12:00:00| \"引用\" <tag> 😅 🍣 ttp://example.com/ |???|"_s;
    QTest::newRow("broken line keeps the numbering") << 6 << u"|||||"_s;
    QTest::newRow("time without seconds")
        << 7 << u"名無しさん||2026/12/02(水) 08:00| 携帯から <br> 二行目 |mobileXYZ|"_s;
    QTest::newRow("NUL bytes make an empty message") << 8 << u"|||||"_s;
    QTest::newRow("commas and no ID")
        << 9 << u"名無しさん|名前,カンマ|2026/12/02(水) 10:00:00| 本文,カンマ入り ||"_s;
}

void TestThreadData::parseDat()
{
    QFETCH(int, number);
    QFETCH(QString, expected);
    const QByteArray bytes = TestData::bytes(u"bbs/dat/1231808850.dat"_s);
    QVERIFY(bytes.contains('\0'));
    const auto messages = ThreadData::parseDat(TextCodec::fromCp932(bytes));
    QVERIFY(messages.has_value());
    QCOMPARE(messages->size(), 9);
    QCOMPARE(describe(messages->at(number - 1)), expected);
}

// Dates, IDs and links at the edges of their forms: the scan finds what the
// patterns find.
void TestThreadData::datFieldsScanned_data()
{
    QTest::addColumn<QString>("dateField");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("two-digit year, weekday") << u"08/01/14(水) 12:34:56 ID:ab/CD+9"_s << u"本文"_s
                                             << u"08/01/14(水) 12:34:56"_s << u"ab/CD+9"_s << u"本文"_s;
    QTest::newRow("five digits before the slash")
        << u"12345/01/02 03:04"_s << QString() << u"2345/01/02 03:04"_s << QString() << QString();
    QTest::newRow("centiseconds are not part of it")
        << u"2024/05/01(水) 12:34:56.78 ID:x1y2z3"_s << QString() << u"2024/05/01(水) 12:34:56"_s
        << u"x1y2z3"_s << QString();
    QTest::newRow("no blank before the time")
        << u"2024/05/01(水)12:34 ID:abcdef"_s << QString() << QString() << u"abcdef"_s << QString();
    QTest::newRow("two-character weekday")
        << u"2024/05/01(水曜) 12:34"_s << QString() << QString() << QString() << QString();
    QTest::newRow("weekday outside the basic plane")
        << u"2024/05/01(\U0002000B) 12:34:56"_s << QString() << u"2024/05/01(\U0002000B) 12:34:56"_s
        << QString() << QString();
    QTest::newRow("second date wins when the first breaks")
        << u"2024/5/01 12:34 2024/05/02 01:02"_s << QString() << u"2024/05/02 01:02"_s << QString()
        << QString();
    QTest::newRow("short ID skipped, long one cut at nine")
        << u"2024/05/01 12:34 ID:ab ID:abcdefghijkl"_s << QString() << u"2024/05/01 12:34"_s << u"abcdefghi"_s
        << QString();
    QTest::newRow("ID in lower case, ended by a tag")
        << u"2024/05/01 12:34 id:AbC<br>"_s << QString() << u"2024/05/01 12:34"_s << u"AbC"_s << QString();
    QTest::newRow("anchor link")
        << u"x"_s << u" <a href=\"../test/read.cgi/b/1/2\" target=\"_blank\">&gt;&gt;2</a> そう"_s
        << QString() << QString() << u" >>2 そう"_s;
    QTest::newRow("link in capitals, two in a row")
        << u"x"_s << u"<A HREF=\"u\" x>一</A><a href=\"v\" y>二</a>"_s << QString() << QString() << u"一二"_s;
    QTest::newRow("\">\" inside the address")
        << u"x"_s << u"<a href=\"a>b\" c>t</a>"_s << QString() << QString() << u"t"_s;
    QTest::newRow("address without a closing quote")
        << u"x"_s << u"<a href=\"a>b>t</a>"_s << QString() << QString() << u"t"_s;
    QTest::newRow("link without text stays")
        << u"x"_s << u"<a href=\"a\" b></a> ok"_s << QString() << QString() << u"<a href=\"a\" b></a> ok"_s;
    QTest::newRow("unclosed link, then a real one") << u"x"_s << u"<a href=\"a\" b>t <a href=\"c\" d>u</a>"_s
                                                    << QString() << QString() << u"<a href=\"a\" b>t u"_s;
}

void TestThreadData::datFieldsScanned()
{
    QFETCH(QString, dateField);
    QFETCH(QString, body);
    QFETCH(QString, date);
    QFETCH(QString, id);
    QFETCH(QString, text);
    const QString line = u"<b>名無し</B>さん<>sage<>"_s + dateField + u"<>"_s + body + u"<>題"_s;
    const auto messages = ThreadData::parseDat(line + u"\r\n"_s);
    QVERIFY(messages.has_value());
    QCOMPARE(messages->size(), 1);
    const Message& m = messages->first();
    QCOMPARE(m.name, u"名無しさん"_s);
    QCOMPARE(m.date, date);
    QCOMPARE(m.id, id);
    QCOMPARE(m.body, text);
    QCOMPARE(describe(m), describe(byPatterns(line)));
}

// Every line of every sample board's threads comes out as the patterns give it.
void TestThreadData::sampleDatsAsByPatterns()
{
    QStringList files;
    const QString samples = QStringLiteral(YOMIMARU_SAMPLES_DIR) + u"/board"_s;
    for (const QString& board : QDir(samples).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const QString& dat : QDir(samples + u'/' + board + u"/dat"_s).entryList({u"*.dat"_s})) {
            files << samples + u'/' + board + u"/dat/"_s + dat;
        }
    }
    // More threads to compare, from a folder named when the test is run.
    const QString more = qEnvironmentVariable("YOMIMARU_DAT_DIR");
    if (!more.isEmpty()) {
        for (const QString& dat : QDir(more).entryList({u"*.dat"_s})) {
            files << more + u'/' + dat;
        }
    }
    QVERIFY(files.size() >= 10);
    int lines = 0;
    for (const QString& path : std::as_const(files)) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = TextCodec::decodeServerText(file.readAll());
        const auto messages = ThreadData::parseDat(text);
        QVERIFY2(messages.has_value(), qPrintable(path));
        QStringList raw = text.split(u'\n');
        raw.removeLast();
        QCOMPARE(messages->size(), raw.size());
        for (qsizetype i = 0; i < raw.size(); ++i) {
            QString line = raw.at(i);
            if (line.endsWith(u'\r')) {
                line.chop(1);
            }
            if (line.contains(QChar(0))) {
                continue;
            }
            QCOMPARE(describe(messages->at(i)), describe(byPatterns(line)));
            ++lines;
        }
    }
    qInfo("%d lines compared", lines);
}

// Most lines have no bold tag and are cut at once; a line with one has them
// taken out first. Both ways must give the same message, and where taking
// the tags out changes the fields, what that gives.
void TestThreadData::boldTagsTakenOutFirst_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");  // empty: the line is broken
    const QString longName = QString(kLongName, u'名');
    QTest::newRow("plain") << u"名無し<>sage<>2024/05/01 12:34 ID:abc<> 本文 <>題"_s
                           << u"名無し|sage|2024/05/01 12:34| 本文 |abc|"_s;
    QTest::newRow("tags join a separator")
        << u"a<<b>>b<>2024/05/01 12:34<>本文<>"_s << u"a|b|2024/05/01 12:34|本文||"_s;
    QTest::newRow("tag in capitals inside the body")
        << u"a<>b<>2024/05/01 12:34<>太<B>字</B><>"_s << u"a|b|2024/05/01 12:34|太字||"_s;
    QTest::newRow("what is left of a tag stays text") << u"n<<b>b>x<>m<>d<>本文<>"_s << u"n<b>x|m||本文||"_s;
    QTest::newRow("six fields") << u"a<>b<>c<>d<>e<>f"_s << QString();
    QTest::newRow("six fields, a tag after the last") << u"a<>b<>c<>d<>e<>f<b>"_s << QString();
    QTest::newRow("four fields") << u"a<>b<>c<>d"_s << QString();
    QTest::newRow("NUL in the body") << u"a<>b<>c<>d\u0000e<>"_s << QString();
    QTest::newRow("link in the name is not a link") << u"<a href=\"x\" y>名</a><><>2024/05/01 12:34<>本文<>"_s
                                                    << u"<a href=\"x\" y>名</a>||2024/05/01 12:34|本文||"_s;
    QTest::newRow("link after a lone \"<\" in the body")
        << u"n<>m<>d<> 1<2 <a href=\"u\" t>三</a> &amp;<>"_s << u"n|m|| 1<2 三 &||"_s;
    QTest::newRow("a link's text made by the tags going")
        << u"n<>m<>d<><a href=\"u\" t>三<b></a><>"_s << u"n|m||三||"_s;
    QTest::newRow("too long") << longName + u"名<><>d<>本文<>"_s << QString();
    QTest::newRow("too long until its tags go") << longName.left(longName.size() - 4) + u"</b><><>d<>本文<>"_s
                                                << longName.left(longName.size() - 4) + u"|||本文||"_s;
    QTest::newRow("only a carriage return") << u"\r"_s << QString();
}

void TestThreadData::boldTagsTakenOutFirst()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);
    const QString good = u"x<>y<>2024/05/01 12:34<>z<>\n"_s;
    const auto plain = ThreadData::parseDat(line + u"\r\n"_s + good);
    const auto tagged = ThreadData::parseDat(u"<b></B>"_s + line + u"\n"_s + good);
    QVERIFY(plain.has_value());
    QVERIFY(tagged.has_value());
    QCOMPARE(plain->size(), 2);
    QCOMPARE(tagged->size(), 2);
    QCOMPARE(describe(plain->first()), expected.isEmpty() ? u"|||||"_s : expected);
    QCOMPARE(describe(tagged->first()), describe(plain->first()));
    QCOMPARE(describe(plain->at(1)), u"x|y|2024/05/01 12:34|z||"_s);
}

// Names and mail fields that repeat are read once and shared; a change, a
// broken line or an empty field in between must not carry one over.
void TestThreadData::repeatedNamesAndMails()
{
    const QString dat = u"A&amp;B<>sage<>d<>1<>\n"
                        u"A&amp;B<>sage<>d<>2<>\n"
                        u"broken\n"
                        u"A&amp;B<><>d<>3<>\n"
                        u" C <>sage<>d<>4<>\n"
                        u"<b>A&amp;B</b><>sage<>d<>5<>\n"
                        u"<>sage<>d<>6<>\n"_s;
    const auto messages = ThreadData::parseDat(dat);
    QVERIFY(messages.has_value());
    QStringList got;
    for (const Message& m : *messages) {
        got << m.name + u'/' + m.mail;
    }
    QCOMPARE(got, (QStringList{u"A&B/sage"_s, u"A&B/sage"_s, u"/"_s, u"A&B/"_s, u"C/sage"_s, u"A&B/sage"_s,
                               u"/sage"_s}));
}

void TestThreadData::datWithoutMessages()
{
    // An error page instead of a dat, or nothing at all: no messages, so the
    // caller keeps what it had.
    QVERIFY(!ThreadData::parseDat(u"<html><body>404 Not Found</body></html>\n"_s).has_value());
    QVERIFY(!ThreadData::parseDat(QString()).has_value());
    QVERIFY(!ThreadData::parseDat(u"no line feed at all"_s).has_value());
}

void TestThreadData::parseHtml_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ID cut to 8, remote host")
        << 1
        << u"名無しさん||2026/12/01(火) 10:00:00| 関東の話題です <br> よろしく |abcd1234|host1.example.ne.jp"_s;
    QTest::newRow("mail link, anchor link")
        << 2 << u"常連|sage|2026/12/01(火) 10:05:00| >>1 どうも |efgh5678|p123.example.jp"_s;
    QTest::newRow("gap filled (3)") << 3 << u"あぼーん|あぼーん|あぼーん|あぼーん|あぼーん|あぼーん"_s;
    QTest::newRow("gap filled (4)") << 4 << u"あぼーん|あぼーん|あぼーん|あぼーん|あぼーん|あぼーん"_s;
    QTest::newRow("no ID") << 5 << u"名無しさん||2026/12/01(火) 11:00:00| IDなし <注意> ||"_s;
    QTest::newRow("gap filled (7)") << 7 << u"あぼーん|あぼーん|あぼーん|あぼーん|あぼーん|あぼーん"_s;
    QTest::newRow("comma in the name, address host")
        << 8 << u"Ａ,Ｂ||2026/12/01(火) 12:00:00| 最後 |ijkl9012|10.0.0.1"_s;
}

void TestThreadData::parseHtml()
{
    QFETCH(int, number);
    QFETCH(QString, expected);
    const auto messages =
        ThreadData::parseHtml(TextCodec::fromCp932(TestData::bytes(u"bbs/machi/kanto_1231808851.html"_s)));
    QVERIFY(messages.has_value());
    QCOMPARE(messages->size(), 8);
    QCOMPARE(describe(messages->at(number - 1)), expected);
}

void TestThreadData::logRoundTrip()
{
    const Message m{u"名,前"_s, u"sa,ge"_s, u"2026/12/01,(火)"_s, u"本文,<br>二行目😅"_s,
                    u"ID,1"_s,  u"ho,st"_s};
    const QString line = ThreadData::logLine(m);
    QCOMPARE(line.count(u','), 5);
    QVERIFY(line.startsWith(u"名\\t1;前,sa\\t1;ge,"_s));
    QCOMPARE(describe(ThreadData::fromLogLine(line)), describe(m));
    // Short lines of old logs still give a message, with the missing fields empty.
    QCOMPARE(describe(ThreadData::fromLogLine(u"a,b,c,d"_s)), u"a|b|c|d||"_s);
    QCOMPARE(describe(ThreadData::fromLogLine(QString())), u"|||||"_s);
}

void TestThreadData::logBytesAsLinesWritten_data()
{
    QTest::addColumn<QList<Message>>("messages");
    QTest::addColumn<int>("from");
    const Message plain{u"名無しさん"_s,       u"sage"_s, u"2026/12/08(火) 01:02:03"_s,
                        u"本文 <br> 二行目"_s, u"abc"_s,  {}};
    const Message commas{u"名,前"_s,           u"a,b"_s,  u"2026/12/01,(火)"_s,
                         u"行\r\n,の中<br>"_s, u"ID,1"_s, u"ho,st"_s};
    // A line whose code page bytes would read as UTF-8 is written in ASCII
    // with references, and only that line.
    const Message kana{u"ﾎｹ"_s, {}, u"2026/12/08 07:42:00"_s, u"ﾎｹ"_s, u"Kana"_s, {}};
    const Message outside{u"😅"_s, {}, {}, u"𠮷 &#38; &#128517; ①"_s, {}, {}};
    QTest::newRow("plain messages") << QList<Message>{plain, plain} << 0;
    QTest::newRow("commas and line breaks in fields") << QList<Message>{commas, plain} << 0;
    QTest::newRow("a line that would read as UTF-8") << QList<Message>{plain, kana, plain} << 0;
    QTest::newRow("characters the code page lacks") << QList<Message>{outside, plain} << 0;
    QTest::newRow("empty messages") << QList<Message>{Message{}, plain, Message{}} << 0;
    QTest::newRow("from the middle") << QList<Message>{plain, commas, kana, outside} << 2;
    QTest::newRow("from the end: nothing") << QList<Message>{plain} << 1;
}

void TestThreadData::logBytesAsLinesWritten()
{
    // The log built in one go holds the very bytes of its lines written
    // one by one, so appended and rewritten logs stay alike.
    QFETCH(QList<Message>, messages);
    QFETCH(int, from);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"1.log"_s);
    QStringList lines;
    for (qsizetype i = from; i < messages.size(); ++i) {
        lines << ThreadData::logLine(messages.at(i));
    }
    QVERIFY(TextFile::writeLines(path, lines));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = ThreadData::logBytes(messages, from);
    QCOMPARE(bytes, file.readAll());
    // And it reads back as the messages.
    QVERIFY(TextFile::writeBytes(path, bytes));
    const QStringList read = TextFile::readLines(path).value();
    QCOMPARE(read.size(), messages.size() - from);
    for (qsizetype i = 0; i < read.size(); ++i) {
        QCOMPARE(describe(ThreadData::fromLogLine(read.at(i))),
                 describe(ThreadData::fromLogLine(ThreadData::logLine(messages.at(from + i)))));
    }
}

void TestThreadData::offlineLoadAndPositions()
{
    TempProfile profile;
    ThreadData thread(profile.dataRoot(), profile.settings());
    loadLog(profile, thread, QList<Message>(10, Message{u"n"_s, {}, u"d"_s, u"b"_s, {}, {}}), 4);
    QCOMPARE(thread.Get_MessageLoadedNum(), 10);
    QCOMPARE(thread.Get_MessageCurrentNum(), 4);
    QCOMPARE(thread.key(), u"1231808850"_s);
    QVERIFY(thread.Have_Message());

    // A move is saved at once in "thread.idx".
    QVERIFY(thread.Move_Index(3));
    const auto idx = TextFile::readLines(profile.dataRoot() + u"/天気/天気予報/thread.idx"_s);
    QCOMPARE(idx.value(), QStringList({u"1231808850,7"_s}));

    // Offline with no log at all: an empty log is made and the thread is empty.
    ThreadData other(profile.dataRoot(), profile.settings());
    QVERIFY(other.InitInstance(nullptr, nullptr, u"題"_s,
                               u"http://sora.example.net/test/read.cgi/weather/1231800000"_s, u"天気"_s,
                               u"天気予報"_s, 5, true));
    QCOMPARE(other.Get_MessageLoadedNum(), 0);
    QVERIFY(QFile::exists(profile.dataRoot() + u"/天気/天気予報/1231800000.log"_s));

    // A known maximum below 0 takes the log's count.
    ThreadData dropped(profile.dataRoot(), profile.settings());
    QVERIFY(dropped.InitInstance(nullptr, nullptr, u"題"_s,
                                 u"http://sora.example.net/test/read.cgi/weather/1231808850"_s, u"天気"_s,
                                 u"天気予報"_s, -1, false));
    QCOMPARE(dropped.Get_MessageMaxNum(), 10);
}

void TestThreadData::unsafeKeyIsRefused()
{
    TempProfile profile;
    ThreadData thread(profile.dataRoot(), profile.settings());
    for (const QString& url : {u"http://h/test/read.cgi/b/..%2F..%2Fx"_s, u"http://h/test/read.cgi/b/"_s,
                               u"http://h.machi.to/bbs/read.cgi?BBS=b&KEY=../../etc/passwd"_s}) {
        QVERIFY(!thread.InitInstance(nullptr, nullptr, u"題"_s, url, u"c"_s, u"b"_s, 0, true));
        QVERIFY(thread.logPath().isEmpty());
    }
    QVERIFY(QDir(profile.dataRoot() + u"/c/b"_s).entryList(QDir::Files).isEmpty());
}

void TestThreadData::moves()
{
    TempProfile profile;
    ThreadData thread(profile.dataRoot(), profile.settings());
    QList<Message> messages;
    for (int i = 1; i <= 10; ++i) {
        messages << Message{u"n"_s, {}, u"d"_s, u"本文"_s + QString::number(i), {}, {}};
    }
    loadLog(profile, thread, messages, 10);
    // At the end a forward move stays on the last message and still succeeds.
    QVERIFY(thread.Move_Index(1));
    QCOMPARE(thread.Get_MessageCurrentNum(), 10);
    QVERIFY(!thread.Have_Message());
    QCOMPARE(thread.Get_Message(1), u"10 本文10"_s);
    thread.Set_Index(2);
    QVERIFY(thread.Move_Index(-5));
    QCOMPARE(thread.Get_MessageCurrentNum(), 1);
    thread.Set_Index(11);  // outside: nothing changes
    QCOMPARE(thread.Get_MessageCurrentNum(), 1);
    thread.Rewind_Index();
    QCOMPARE(thread.Get_MessageCurrentNum(), 0);
    thread.Rewind_Index();
    QCOMPARE(thread.Get_MessageCurrentNum(), 0);
    QCOMPARE(thread.Get_LineNum(), 0);
}

void TestThreadData::headers_data()
{
    QTest::addColumn<QStringList>("readSettings");  // settings set to "0" (read)
    QTest::addColumn<bool>("find");
    QTest::addColumn<bool>("noNumber");
    QTest::addColumn<bool>("allItems");
    QTest::addColumn<QString>("expected");
    QTest::newRow("defaults read the number only") << QStringList() << false << false << false << u"12 "_s;
    QTest::newRow("no-number flag") << QStringList() << false << true << false << QString();
    QTest::newRow("all items")
        << QStringList() << false << true << true
        << u"12 名前：名無し sage? 2026/12/01(火) 10:00:00 ID：abc リモートホスト：h.example "_s;
    QTest::newRow("find flag drops the labels")
        << QStringList({u"4"_s, u"5"_s, u"8"_s}) << true << false << false << u"12 名無し sage? abc "_s;
    QTest::newRow("name and date") << QStringList({u"4"_s, u"6"_s}) << false << false << false
                                   << u"12 名前：名無し 2026/12/01(火) 10:00:00 "_s;
}

void TestThreadData::headers()
{
    QFETCH(QStringList, readSettings);
    QFETCH(bool, find);
    QFETCH(bool, noNumber);
    QFETCH(bool, allItems);
    QFETCH(QString, expected);
    TempProfile profile;
    for (const QString& index : readSettings) {
        profile.settings().Set_(qint16(index.toInt()), u"0"_s);
    }
    ThreadData thread(profile.dataRoot(), profile.settings());
    QList<Message> messages(12, Message{u"名無し"_s, {}, u"2026/12/01(火) 10:00:00"_s, u"本文"_s, {}, {}});
    messages[11] =
        Message{u"名無し"_s, u"sage?"_s, u"2026/12/01(火) 10:00:00"_s, u"a<br>b"_s, u"abc"_s, u"h.example"_s};
    loadLog(profile, thread, messages);
    QString header = thread.Get_ReadHeader(12, find, noNumber, allItems);
    if (allItems) {
        // The mail label is part of the expectation only when the field is read.
        header.replace(u"メール欄："_s, QString());
    }
    QCOMPARE(header, expected);
}

void TestThreadData::bodies()
{
    TempProfile profile;
    ThreadData thread(profile.dataRoot(), profile.settings());
    loadLog(profile, thread,
            {Message{u"名無し"_s, {}, u"2026/12/01(火) 10:00:00"_s, u"a<br>b"_s, {}, {}},
             Message{u"名無し"_s, {}, u"d"_s, u"x"_s, u"ID1"_s, {}},
             Message{u"名無し"_s, {}, u"d"_s, u"y"_s, u"ID2"_s, u"host"_s}},
            1);
    QCOMPARE(thread.Get_OrgBody(1), u"a\r\n    b"_s);
    QCOMPARE(thread.Get_OrgHeader(1), u"1 名前:名無し ：2026/12/01(火) 10:00:00"_s);
    QCOMPARE(thread.Get_OrgHeader(2), u"2 名前:名無し ：d ID:ID1"_s);
    QCOMPARE(thread.Get_OrgHeader(3), u"3 名前:名無し ：d ID:ID2 [ host ]"_s);
    QCOMPARE(thread.Get_OrgMessage(-1), u"1 名前:名無し ：2026/12/01(火) 10:00:00\r\n    a\r\n    b"_s);
    QCOMPARE(thread.Get_FindMessage(1, true), u"a b"_s);
    QCOMPARE(thread.Get_AllReadMessage(1), u"1 名前：名無し 2026/12/01(火) 10:00:00 a b"_s);
    QCOMPARE(thread.Get_LineNum(), 3);
    QVERIFY(thread.Get_OrgBody(0).isEmpty());
    QVERIFY(thread.Get_OrgHeader(4).isEmpty());
    QVERIFY(thread.Get_FindMessage(4, false).isEmpty());
}

void TestThreadData::unwritablePosition()
{
    TempProfile profile;
    ThreadData thread(profile.dataRoot(), profile.settings());
    QStringList told;
    thread.setWriteFailureHandler([&told](const QString& sentence) { told << sentence; });
    loadLog(profile, thread, QList<Message>(10, Message{u"n"_s, {}, u"d"_s, u"b"_s, {}, {}}), 4);
    const QString idx = profile.dataRoot() + u"/天気/天気予報/thread.idx"_s;
    // A folder in the file's place: the save fails even for root.
    QVERIFY(QFile::remove(idx) && QDir().mkpath(idx));
    QVERIFY(!thread.Save_Index());
    QCOMPARE(told, QStringList{u"読み上げ位置を保存できませんでした。"_s});
    // Told once, not at every message read.
    QVERIFY(thread.Move_Index(1));
    QVERIFY(thread.Move_Index(1));
    QCOMPARE(told.size(), 1);
    // Once a save works again, a new failure is told again.
    QVERIFY(QDir().rmdir(idx));
    QVERIFY(thread.Save_Index());
    QCOMPARE(TextFile::readLines(idx).value(), QStringList({u"1231808850,6"_s}));
    QVERIFY(QFile::remove(idx) && QDir().mkpath(idx));
    QVERIFY(!thread.Save_Index());
    QCOMPARE(told.size(), 2);
}

namespace {

QString savedIndex(TempProfile& profile)
{
    return TextFile::readLines(profile.dataRoot() + u"/天気/天気予報/thread.idx"_s)
        .value_or(QStringList{})
        .join(u';');
}

}  // namespace

void TestThreadData::positionWritesCoalesced()
{
    TempProfile profile;
    ThreadData thread(profile.dataRoot(), profile.settings());
    qint64 now = 50'000;
    thread.setClock([&now] { return now; });
    loadLog(profile, thread, QList<Message>(100, Message{u"n"_s, {}, u"d"_s, u"b"_s, {}, {}}), 1);
    const int before = thread.indexWriteCount();
    // The first move after a quiet second is written at once.
    QVERIFY(thread.Move_Index(1));
    QCOMPARE(savedIndex(profile), u"1231808850,2"_s);
    // Many more within the second are held back.
    for (int i = 0; i < 30; ++i) {
        now += 30;
        QVERIFY(thread.Move_Index(1));
        QVERIFY(thread.Flush_IndexIfDue());
    }
    QCOMPARE(thread.indexWriteCount(), before + 1);
    QCOMPARE(savedIndex(profile), u"1231808850,2"_s);
    // Once the second has passed the tick writes the latest position, once.
    now += 100;
    QVERIFY(thread.Flush_IndexIfDue());
    QCOMPARE(savedIndex(profile), u"1231808850,32"_s);
    QCOMPARE(thread.indexWriteCount(), before + 2);
    QVERIFY(thread.Flush_IndexIfDue());
    QCOMPARE(thread.indexWriteCount(), before + 2);
    // Nothing pending: leaving writes nothing more.
    QVERIFY(thread.Flush_Index());
    QCOMPARE(thread.indexWriteCount(), before + 2);
    // A move within the second, then leaving: written at once.
    now += 10;
    thread.Rewind_Index();
    QCOMPARE(savedIndex(profile), u"1231808850,32"_s);
    QVERIFY(thread.Flush_Index());
    QCOMPARE(savedIndex(profile), u"1231808850,31"_s);
    QCOMPARE(thread.indexWriteCount(), before + 3);
}

void TestThreadData::positionKeptOnLeavingThread()
{
    // Opening another thread of the board keeps the position reached in the
    // one left, though its last moves came within the second.
    TempProfile profile;
    ThreadData thread(profile.dataRoot(), profile.settings());
    const qint64 now = 7'000;
    thread.setClock([&now] { return now; });
    loadLog(profile, thread, QList<Message>(20, Message{u"n"_s, {}, u"d"_s, u"b"_s, {}, {}}), 3);
    for (int i = 0; i < 5; ++i) {
        QVERIFY(thread.Move_Index(1));
    }
    QCOMPARE(savedIndex(profile), u"1231808850,4"_s);
    const QString folder = profile.dataRoot() + u"/天気/天気予報"_s;
    QVERIFY(TextFile::writeLines(folder + u"/1231900000.log"_s,
                                 {ThreadData::logLine(Message{u"n"_s, {}, u"d"_s, u"b"_s, {}, {}})}));
    QVERIFY(thread.InitInstance(nullptr, nullptr, u"次"_s,
                                u"http://sora.example.net/test/read.cgi/weather/1231900000"_s, u"天気"_s,
                                u"天気予報"_s, 0, true));
    QCOMPARE(savedIndex(profile), u"1231808850,8"_s);
    QVERIFY(thread.Move_Index(1));
    QVERIFY(thread.Flush_Index());
    QCOMPARE(savedIndex(profile), u"1231808850,8;1231900000,1"_s);
}

void TestThreadData::positionAfterKill()
{
    // Dropped without its end (a crash): what was read more than a second
    // ago is on disk, the file whole.
    TempProfile profile;
    qint64 now = 1'000'000;
    qint64 lastSecondFrom = 0;
    int writtenAt = 0;
    {
        ThreadData thread(profile.dataRoot(), profile.settings());
        thread.setClock([&now] { return now; });
        loadLog(profile, thread, QList<Message>(500, Message{u"n"_s, {}, u"d"_s, u"b"_s, {}, {}}), 1);
        for (int i = 0; i < 400; ++i) {
            now += 70;
            const int writes = thread.indexWriteCount();
            QVERIFY(thread.Move_Index(1));
            if (i % 3 == 0) {
                thread.Flush_IndexIfDue();
            }
            if (thread.indexWriteCount() != writes) {
                writtenAt = thread.Get_MessageCurrentNum();
                lastSecondFrom = now;
            }
        }
        QCOMPARE(thread.Get_MessageCurrentNum(), 401);
        QVERIFY(now - lastSecondFrom < ReadPositions::kSaveIntervalMs);
    }
    QCOMPARE(savedIndex(profile), u"1231808850,"_s + QString::number(writtenAt));
    // Moves come every 70 ms: under a second holds at most 14 of them.
    QVERIFY(401 - writtenAt <= 1000 / 70);
    ThreadData again(profile.dataRoot(), profile.settings());
    QVERIFY(again.InitInstance(nullptr, nullptr, u"題"_s,
                               u"http://sora.example.net/test/read.cgi/weather/1231808850"_s, u"天気"_s,
                               u"天気予報"_s, 0, true));
    QCOMPARE(again.Get_MessageCurrentNum(), writtenAt);
}

QTEST_GUILESS_MAIN(TestThreadData)
#include "TestThreadData.moc"
