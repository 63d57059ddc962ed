// A board's thread list: subject.txt lines, the local "thread.list", read
// positions, dropped bookmarked threads and the item texts of the menu.

#include <QDir>
#include <QFile>
#include <QTest>

#include "base/TextCodec.h"
#include "base/TextFile.h"
#include "bbs/BookmarkList.h"
#include "bbs/CHttp.h"
#include "bbs/ThreadList.h"
#include "support/TempProfile.h"
#include "support/TestData.h"

using namespace Qt::StringLiterals;

class TestThreadList : public QObject
{
    Q_OBJECT

private slots:
    void parseSubject();
    void urls_data();
    void urls();
    void offlineListAndDroppedBookmarks();
    void hostileNames();
    void orders();
};

void TestThreadList::parseSubject()
{
    const QList<ThreadList::Thread> threads =
        ThreadList::parseSubject(TextCodec::fromCp932(TestData::bytes(u"bbs/subject/subject.txt"_s)));
    QStringList got;
    for (const auto& t : threads) {
        got << t.key + u'|' + t.title + u'|' + QString::number(t.count);
    }
    QCOMPARE(got, QStringList({
                      u"1231808850|【天気】明日の空模様を語るスレ　Part3|812"_s,
                      u"1231800000|タイトル、カンマ入り|12"_s,
                      u"1231700000|括弧付き(笑)のタイトル (3)|45"_s,
                      u"1231600000|全角括弧のスレ|100"_s,
                      u"1231500000|山括弧のスレ|7"_s,
                      u"1231400000|\"引用\"と😅絵文字|9"_s,
                  }));
}

void TestThreadList::urls_data()
{
    QTest::addColumn<QString>("boardUrl");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("thread");
    QTest::newRow("ordinary board") << u"http://sora.example.net/weather/"_s << u"天気"_s
                                    << u"http://sora.example.net/weather/subject.txt"_s
                                    << u"http://sora.example.net/test/read.cgi/weather/123"_s;
    QTest::newRow("host with a port")
        << u"http://127.0.0.1:8080/weather/"_s << u"天気"_s << u"http://127.0.0.1:8080/weather/subject.txt"_s
        << u"http://127.0.0.1:8080/test/read.cgi/weather/123"_s;
    QTest::newRow("HTML board") << u"http://kanto.machi.example/kanto/"_s << u"まちＢＢＳ"_s
                                << u"http://kanto.machi.example/kanto/subject.txt"_s
                                << u"http://kanto.machi.example/bbs/read.cgi?BBS=kanto&KEY=123"_s;
}

void TestThreadList::urls()
{
    QFETCH(QString, boardUrl);
    QFETCH(QString, category);
    QFETCH(QString, subject);
    QFETCH(QString, thread);
    TempProfile profile;
    const QString folder = profile.dataRoot() + u'/' + category + u"/板"_s;
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(TextFile::writeLines(folder + u"/thread.list"_s, {u"123,題,5"_s}));
    QVERIFY(TextFile::writeLines(folder + u"/123.log"_s, {}));
    CHttp http;
    ThreadList list(profile.dataRoot());
    bool offline = true;
    QVERIFY(list.InitInstance(http, boardUrl, category, u"板"_s, nullptr, offline));
    QCOMPARE(list.subjectUrl(), subject);
    QCOMPARE(list.Get_ThreadURL(1), thread);
}

void TestThreadList::offlineListAndDroppedBookmarks()
{
    TempProfile profile;
    const QString folder = profile.dataRoot() + u"/天気/天気予報"_s;
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(TextFile::writeLines(
        folder + u"/thread.list"_s,
        {u"1111111111,ログあり,150"_s, u"2222222222,ログなし,20"_s, u"壊れた,行"_s, u"3333333333,既読,7"_s}));
    QVERIFY(TextFile::writeLines(folder + u"/thread.idx"_s,
                                 {u"1111111111,12"_s, u"3333333333,3"_s, u"3333333333,7"_s, u"bad"_s}));
    for (const QString& key : {u"1111111111"_s, u"3333333333"_s, u"4444444444"_s}) {
        QVERIFY(TextFile::writeLines(folder + u'/' + key + u".log"_s, {}));
    }
    BookmarkList bookmarks(profile.dataRoot());
    bookmarks.InitInstance();
    bookmarks.Add(u"天気"_s, u"天気予報"_s, u"落ちたスレ"_s, u"4444444444"_s);
    bookmarks.Add(u"天気"_s, u"天気予報"_s, u"ログなしの栞"_s, u"5555555555"_s);
    bookmarks.Add(u"天気"_s, u"台風"_s, u"別の板"_s, u"6666666666"_s);
    bookmarks.Add(u"天気"_s, u"天気予報"_s, u"一覧にある"_s, u"1111111111"_s);

    CHttp http;
    ThreadList list(profile.dataRoot());
    bool offline = true;
    QVERIFY(list.InitInstance(http, u"http://sora.example.net/weather/"_s, u"天気"_s, u"天気予報"_s,
                              &bookmarks, offline));
    QCOMPARE(list.Get_ThreadNum(), 3);
    QVERIFY(!list.Exist(u"2222222222"_s));
    QCOMPARE(list.Get_ThreadNames(), QStringList({QString(), u"012/150 ログあり(未読138)"_s,
                                                  u"007/007 既読"_s, u"000/--- 落ちたスレ(DAT落ち)"_s}));
    QCOMPARE(list.Get_MessageNum(3), -1);
    QCOMPARE(list.Get_CurrentNum(1), 12);
    QCOMPARE(list.Get_CurrentNum(9), 0);
    QVERIFY(list.Get_ThreadName(0).isEmpty());

    // A board never opened online has no "thread.list": no list offline.
    ThreadList empty(profile.dataRoot());
    QVERIFY(!empty.InitInstance(http, u"http://sora.example.net/typhoon/"_s, u"天気"_s, u"台風"_s, &bookmarks,
                                offline));
    QVERIFY(QFile::exists(profile.dataRoot() + u"/天気/台風/thread.idx"_s));
}

// The three orders, each kept for the board across loads; a dropped thread
// and a key that is no time go last when the busiest come first.
void TestThreadList::orders()
{
    TempProfile profile;
    const QString folder = profile.dataRoot() + u"/天気/天気予報"_s;
    QVERIFY(QDir().mkpath(folder));
    const qint64 now = 1'800'000'000;
    const QString day = QString::number(now - 86400);
    const QString week = QString::number(now - 7 * 86400);
    const QString hour = QString::number(now - 3600);
    // Server order: a day old with 100 (100 a day), a week old with 350 (50
    // a day), an hour old with 10 (240 a day), a key that is no time.
    QVERIFY(TextFile::writeLines(folder + u"/thread.list"_s, {day + u",一日,100"_s, week + u",一週間,350"_s,
                                                              hour + u",一時間,10"_s, u"abc,鍵が変,999"_s}));
    // Read: the week-old one up to 300 (new ones since), the hour-old one to its end.
    QVERIFY(TextFile::writeLines(folder + u"/thread.idx"_s, {week + u",300"_s, hour + u",10"_s}));
    for (const QString& key : {day, week, hour, u"abc"_s}) {
        QVERIFY(TextFile::writeLines(folder + u'/' + key + u".log"_s, {}));
    }
    CHttp http;
    const auto titles = [&](ThreadList& list) {
        QStringList names;
        for (int i = 1; i <= list.Get_ThreadNum(); ++i) {
            names << list.Get_ThreadName(i);
        }
        return names;
    };
    const auto load = [&](ThreadList& list) {
        bool offline = true;
        list.setClock([now] { return now; });
        return list.InitInstance(http, u"http://sora.example.net/weather/"_s, u"天気"_s, u"天気予報"_s,
                                 nullptr, offline);
    };
    ThreadList list(profile.dataRoot());
    QVERIFY(load(list));
    QCOMPARE(list.order(), ThreadList::Order::Board);
    QCOMPARE(titles(list), QStringList({u"一日"_s, u"一週間"_s, u"一時間"_s, u"鍵が変"_s}));

    QVERIFY(list.setOrder(ThreadList::Order::Busiest));
    QCOMPARE(titles(list), QStringList({u"一時間"_s, u"一日"_s, u"一週間"_s, u"鍵が変"_s}));
    // Every index answers for the thread now in its place.
    QCOMPARE(list.Get_ThreadNo(1), hour);
    QCOMPARE(list.Get_CurrentNum(1), 10);

    ThreadList again(profile.dataRoot());
    QVERIFY(load(again));
    QCOMPARE(again.order(), ThreadList::Order::Busiest);
    QCOMPARE(titles(again), titles(list));

    QVERIFY(again.setOrder(ThreadList::Order::NewFirst));
    QCOMPARE(titles(again), QStringList({u"一週間"_s, u"一日"_s, u"一時間"_s, u"鍵が変"_s}));
    QVERIFY(again.setOrder(ThreadList::Order::Board));
    QCOMPARE(titles(again), QStringList({u"一日"_s, u"一週間"_s, u"一時間"_s, u"鍵が変"_s}));

    // A thread's rate is its count over the days since it began, a minute at least.
    QCOMPARE(ThreadList::momentum({day, {}, 100}, now), 100.0);
    QCOMPARE(ThreadList::momentum({QString::number(now + 50), {}, 2}, now), 2.0 * 1440);
    QCOMPARE(ThreadList::momentum({day, {}, -1}, now), -1.0);
}

void TestThreadList::hostileNames()
{
    TempProfile profile;
    CHttp http;
    ThreadList list(profile.dataRoot());
    bool offline = true;
    list.InitInstance(http, u"http://x/y/"_s, u"../.."_s, u"..\\evil/b"_s, nullptr, offline);
    // The board folder stays below the data root whatever the names say.
    const QString root = QDir(profile.dataRoot()).canonicalPath();
    QVERIFY2(QDir(list.folderPath()).canonicalPath().startsWith(root + u'/'), qPrintable(list.folderPath()));
    QCOMPARE(QDir(profile.dataRoot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
}

QTEST_GUILESS_MAIN(TestThreadList)
#include "TestThreadList.moc"
