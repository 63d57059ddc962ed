// Bookmarks, log deletion and safe file names: the small stores around the
// board data.

#include <QDir>
#include <QFile>
#include <QTest>

#include "base/SafeName.h"
#include "base/TextFile.h"
#include "bbs/BoardList.h"
#include "bbs/BookmarkItaList.h"
#include "bbs/BookmarkList.h"
#include "bbs/CHttp.h"
#include "bbs/LogManager.h"
#include "support/TempProfile.h"
#include "support/TestData.h"

using namespace Qt::StringLiterals;

namespace {

QStringList titles(const BookmarkList& list)
{
    QStringList out;
    for (int i = 1; i <= list.Get_Num(); ++i) {
        out << list.Get_ThreadName(i);
    }
    return out;
}

}  // namespace

class TestBookmarks : public QObject
{
    Q_OBJECT

private slots:
    void threadBookmarks();
    void move_data();
    void move();
    void handEditedFile();
    void boardBookmarks();
    void logDeletion();
    void safeNames_data();
    void safeNames();
    void unwritableLists_data();
    void unwritableLists();
    void staleTemporaries();
};

// A list file that cannot be written: root ignores permissions, so the
// file's place is taken by a folder (appends and renames onto it fail), or
// the data root is a path under a plain file (nothing can be created).
void TestBookmarks::unwritableLists_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("the file is a folder") << u"folder"_s;
    QTest::newRow("the data root is under a file") << u"under-file"_s;
}

void TestBookmarks::unwritableLists()
{
    QFETCH(QString, how);
    TempProfile profile;
    QDir().mkpath(profile.dataRoot());
    QString root = profile.dataRoot();
    if (how == u"under-file"_s) {
        QVERIFY(TestData::writeFile(profile.path(u"plain"_s), "x"));
        root = profile.path(u"plain/data"_s);
    }
    BookmarkList threads(root);
    BookmarkItaList boards(root);
    if (how == u"folder"_s) {
        // Loaded while writable, then the files' places are taken.
        QVERIFY(threads.InitInstance());
        QVERIFY(boards.InitInstance());
        QVERIFY(threads.Add(u"天気"_s, u"天気予報"_s, u"明日の空"_s, u"1231808850"_s));
        QVERIFY(threads.Add(u"天気"_s, u"天気予報"_s, u"週末"_s, u"1231800000"_s));
        QVERIFY(boards.Add(u"天気"_s, u"天気予報"_s));
        QVERIFY(QFile::remove(threads.filePath()) && QDir().mkpath(threads.filePath()));
        QVERIFY(QFile::remove(boards.filePath()) && QDir().mkpath(boards.filePath()));
    } else {
        QVERIFY(!threads.InitInstance());
        QVERIFY(!boards.InitInstance());
    }
    const int threadCount = threads.Get_Num();
    QVERIFY(!threads.Add(u"天気"_s, u"天気予報"_s, u"新しい"_s, u"1231899999"_s));
    QVERIFY(!threads.Exist(u"天気"_s, u"天気予報"_s, u"1231899999"_s));
    QCOMPARE(threads.Get_Num(), threadCount);
    QVERIFY(!boards.Add(u"天気"_s, u"地震"_s));
    QVERIFY(!boards.Exist(u"天気"_s, u"地震"_s));
    if (threadCount == 2) {
        // What the file still holds is what the list shows.
        QVERIFY(!threads.move(1, 2));
        QCOMPARE(titles(threads), QStringList({u"明日の空"_s, u"週末"_s}));
        QVERIFY(!threads.Remove(1));
        QCOMPARE(threads.Get_Num(), 2);
        QVERIFY(!boards.Remove(1));
        QCOMPARE(boards.Get_Num(), 1);
    }
}

void TestBookmarks::staleTemporaries()
{
    TempProfile profile;
    const QString root = profile.dataRoot();
    const QString board = root + u"/天気/天気予報"_s;
    QVERIFY(QDir().mkpath(board));
    // What interrupted saves leave: "<name>.XXXXXX" beside the file.
    const QStringList stale = {root + u"/bookmark.list.aB3xZ9"_s,       root + u"/board.list.Qw12Er"_s,
                               board + u"/1231808850.log.k2J8sd"_s,     board + u"/thread.idx.000aaa"_s,
                               board + u"/1231808850.datinfo.Zz09aB"_s, root + u"/cookie.list.Rt5yU1"_s};
    // The user's own files and the program's real files stay.
    const QStringList kept = {root + u"/bookmark.list"_s, board + u"/1231808850.log"_s,
                              root + u"/notes.txt.backup"_s, root + u"/readconv.txt.Ab12Cd"_s,
                              board + u"/thread.idx.old"_s};
    for (const QString& path : stale + kept) {
        QVERIFY(TestData::writeFile(path, "x"));
    }
    QCOMPARE(TextFile::removeStaleTemporaries(root), int(stale.size()));
    for (const QString& path : stale) {
        QVERIFY2(!QFile::exists(path), qPrintable(path));
    }
    for (const QString& path : kept) {
        QVERIFY2(QFile::exists(path), qPrintable(path));
    }
}

void TestBookmarks::threadBookmarks()
{
    TempProfile profile;
    QDir().mkpath(profile.dataRoot());
    BookmarkList list(profile.dataRoot());
    list.InitInstance();
    QVERIFY(QFile::exists(list.filePath()));
    list.Add(u"天気"_s, u"天気予報"_s, u"明日の空"_s, u"1231808850"_s);
    list.Add(u"天気"_s, u"天気予報"_s, u"同じスレ"_s, u"1231808850"_s);  // duplicate
    list.Add(u"天気"_s, u"天気予報"_s, QString(), u"1231800000"_s);      // empty title
    list.Add(u"趣味"_s, u"釣り"_s, u"海釣り"_s, u"1231700000"_s);
    QCOMPARE(list.Get_Num(), 2);
    QCOMPARE(TextFile::readLines(list.filePath()).value(),
             QStringList({u"天気,天気予報,明日の空,1231808850"_s, u"趣味,釣り,海釣り,1231700000"_s}));
    QVERIFY(list.Exist(u"趣味"_s, u"釣り"_s, u"1231700000"_s));
    QVERIFY(!list.Exist(u"趣味"_s, u"釣り"_s, u"1231808850"_s));
    QCOMPARE(list.Get_ItemText(2), u"釣り板のスレッド, 海釣り"_s);
    QCOMPARE(list.Get_ItemText(9), u"釣り板のスレッド, 海釣り"_s);  // lowered to the last
    QCOMPARE(list.Get_ItemTexts().size(), 3);
    list.Remove(1);
    QCOMPARE(TextFile::readLines(list.filePath()).value(), QStringList({u"趣味,釣り,海釣り,1231700000"_s}));
    list.Remove(5);  // outside: nothing happens
    QCOMPARE(list.Get_Num(), 1);
}

void TestBookmarks::move_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("1 to 3") << 1 << 3 << QStringList({u"B"_s, u"C"_s, u"A"_s});
    QTest::newRow("3 to 1") << 3 << 1 << QStringList({u"C"_s, u"A"_s, u"B"_s});
    QTest::newRow("2 to 2") << 2 << 2 << QStringList({u"A"_s, u"B"_s, u"C"_s});
}

void TestBookmarks::move()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QStringList, expected);
    TempProfile profile;
    QDir().mkpath(profile.dataRoot());
    BookmarkList list(profile.dataRoot());
    list.InitInstance();
    for (const QString& t : {u"A"_s, u"B"_s, u"C"_s}) {
        list.Add(u"c"_s, u"b"_s, t, t + u"1"_s);
    }
    list.move(from, to);
    QCOMPARE(titles(list), expected);
    BookmarkList reread(profile.dataRoot());
    reread.InitInstance();
    QCOMPARE(titles(reread), expected);
}

void TestBookmarks::handEditedFile()
{
    TempProfile profile;
    QDir().mkpath(profile.dataRoot());
    TextFile::writeLines(profile.dataRoot() + u"/bookmark.list"_s,
                         {u"a,b,題,1"_s, u"a,b,題,2,余分"_s, u"短い,行"_s, QString(), u"a,b,題3,3"_s});
    BookmarkList list(profile.dataRoot());
    list.InitInstance();
    QCOMPARE(titles(list), QStringList({u"題"_s, u"題3"_s}));

    // Saved by an editor in UTF-8 (one title with a letter code page 932
    // lacks): a bookmark added keeps every title as it was, the unusable line too.
    QFile utf8(profile.dataRoot() + u"/bookmark.list"_s);
    QVERIFY(utf8.open(QIODevice::WriteOnly));
    utf8.write(u"a,b,雑談Ń,1\n短い,行\na,b,題,2"_s.toUtf8());
    utf8.close();
    BookmarkList edited(profile.dataRoot());
    QVERIFY(edited.InitInstance());
    QVERIFY(edited.Add(u"a"_s, u"b"_s, u"新"_s, u"3"_s));
    BookmarkList again(profile.dataRoot());
    QVERIFY(again.InitInstance());
    QCOMPARE(titles(again), QStringList({u"雑談Ń"_s, u"題"_s, u"新"_s}));
    QVERIFY(again.Add(u"a"_s, u"b"_s, u"次"_s, u"4"_s));
    QCOMPARE(TextFile::readLines(profile.dataRoot() + u"/bookmark.list"_s).value(),
             QStringList({u"a,b,雑談Ń,1"_s, u"短い,行"_s, u"a,b,題,2"_s, u"a,b,新,3"_s, u"a,b,次,4"_s}));
}

void TestBookmarks::boardBookmarks()
{
    TempProfile profile;
    QDir().mkpath(profile.dataRoot());
    BookmarkItaList list(profile.dataRoot());
    list.InitInstance();
    list.Add(u"天気"_s, u"台風"_s);
    list.Add(u"天気"_s, u"台風"_s);
    list.Add(u"趣味"_s, u"釣り"_s);
    list.Add(QString(), u"空"_s);
    QCOMPARE(list.Get_Num(), 2);
    list.move(2, 1);
    QCOMPARE(list.Get_ItemTexts(), QStringList({QString(), u"釣り"_s, u"台風"_s}));
    QCOMPARE(TextFile::readLines(list.filePath()).value(), QStringList({u"趣味,釣り"_s, u"天気,台風"_s}));
    TextFile::appendLines(list.filePath(), {u"三つ,の,欄"_s});
    BookmarkItaList reread(profile.dataRoot());
    reread.InitInstance();
    QCOMPARE(reread.Get_Num(), 2);
    QVERIFY(reread.Exist(u"天気"_s, u"台風"_s));
    QCOMPARE(reread.Get_Board(7), u"台風"_s);
}

void TestBookmarks::logDeletion()
{
    TempProfile profile;
    profile.settings().Set_Named(u"BoardListUrl"_s,
                                 u"file://"_s + TestData::path(u"bbs/menu/bbsmenu.html"_s));
    CHttp http;
    BoardList boards(profile.settings(), profile.dataRoot());
    QString error;
    bool offline = false;
    QCOMPARE(boards.InitInstance(http, error, offline), qint16(1));
    BookmarkList bookmarks(profile.dataRoot());
    bookmarks.InitInstance();
    bookmarks.Add(u"天気"_s, u"天気予報"_s, u"栞"_s, u"3333333333"_s);

    const QString folder = profile.dataRoot() + u"/天気/天気予報"_s;
    QDir().mkpath(folder);
    TextFile::writeLines(folder + u"/thread.list"_s, {u"1111111111,一覧にある,5"_s});
    for (const QString& name : {u"1111111111.log"_s, u"2222222222.log"_s, u"3333333333.log"_s,
                                u"123456789.log"_s, u"memo.log"_s, u"thread.idx"_s}) {
        TextFile::writeLines(folder + u'/' + name, {u"x"_s});
    }
    // A board that was never opened online keeps everything.
    const QString neverOnline = profile.dataRoot() + u"/天気/台風"_s;
    QDir().mkpath(neverOnline);
    TextFile::writeLines(neverOnline + u"/4444444444.log"_s, {u"x"_s});

    LogManager manager(profile.dataRoot());
    manager.Delete(http, boards, bookmarks);
    QStringList left = QDir(folder).entryList(QDir::Files);
    left.sort();
    QCOMPARE(left, QStringList({u"1111111111.log"_s, u"123456789.log"_s, u"3333333333.log"_s, u"memo.log"_s,
                                u"thread.idx"_s, u"thread.list"_s}));
    QVERIFY(QFile::exists(neverOnline + u"/4444444444.log"_s));
}

void TestBookmarks::safeNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("ordinary") << u"ニュース速報+"_s;
    QTest::newRow("parent") << u".."_s;
    QTest::newRow("current") << u"."_s;
    QTest::newRow("hidden") << u".config"_s;
    QTest::newRow("slash") << u"a/b"_s;
    QTest::newRow("backslash") << u"..\\..\\x"_s;
    QTest::newRow("percent") << u"100%"_s;
    QTest::newRow("control") << u"a\nb\tc"_s;
    QTest::newRow("empty") << QString();
    QTest::newRow("lone surrogate") << QString(QChar(0xD800));
    QTest::newRow("emoji") << u"板😅"_s;
}

void TestBookmarks::safeNames()
{
    QFETCH(QString, name);
    const QString file = SafeName::toFileName(name);
    QVERIFY(!file.isEmpty());
    QVERIFY(!file.contains(u'/'));
    QVERIFY(!file.contains(u'\\'));
    QVERIFY(!file.startsWith(u'.'));
    for (const QChar c : file) {
        QVERIFY(c.unicode() >= 0x20);
    }
    QCOMPARE(SafeName::fromFileName(file), name);
}

QTEST_GUILESS_MAIN(TestBookmarks)
#include "TestBookmarks.moc"
