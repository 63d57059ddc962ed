// The board menu: parsing real-shaped menu pages, the local copy
// "board.list", and the start-up results online and offline.

#include <QDir>
#include <QFile>
#include <QTest>
#include <QUrl>

#include "base/TextCodec.h"
#include "base/TextFile.h"
#include "bbs/BoardList.h"
#include "bbs/CHttp.h"
#include "bbs/ServiceDomain.h"
#include "support/TempProfile.h"
#include "support/TestData.h"

using namespace Qt::StringLiterals;

namespace {

QString fileUrl(const QString& relative)
{
    return QUrl::fromLocalFile(TestData::path(relative)).toString();
}

QStringList boardsOf(const BoardList& list, int category)
{
    QStringList out;
    for (int p = 1; p <= list.Get_BoardNum(category); ++p) {
        out << list.Get_BoardName(category, p) + u'=' + list.Get_BoardUrl(category, p);
    }
    return out;
}

}  // namespace

class TestBoardList : public QObject
{
    Q_OBJECT

private slots:
    void parsesMenuPages_data();
    void parsesMenuPages();
    void indexes();
    void boardListFileRoundTrip();
    void offlineStart();
    void failures_data();
    void failures();
    void deleteBoardData();
    void serviceDomains_data();
    void serviceDomains();
};

void TestBoardList::parsesMenuPages_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("2ch title") << u"bbs/menu/bbsmenu.html"_s;
    QTest::newRow("5ch title") << u"bbs/menu/bbsmenu_5ch.html"_s;
}

void TestBoardList::parsesMenuPages()
{
    QFETCH(QString, page);
    TempProfile profile;
    profile.settings().Set_Named(u"BoardListUrl"_s, fileUrl(page));
    CHttp http;
    BoardList list(profile.settings(), profile.dataRoot());
    QString error;
    bool offline = false;
    QCOMPARE(list.InitInstance(http, error, offline), qint16(1));
    QVERIFY(error.isEmpty());
    QVERIFY(!offline);

    // Comments (closed ones) hide their categories and boards, excluded
    // categories and boards are left out, text between a category and its
    // links does not lose boards, and mail links are no boards.
    QCOMPARE(list.Get_Categories(),
             QStringList({QString(), u"天気"_s, u"趣味"_s, u"まちＢＢＳ"_s, u"消えない"_s}));
    QCOMPARE(boardsOf(list, 1), QStringList({u"天気headline=http://headline.example.net/bbyweather/"_s,
                                             u"天気予報=http://sora.example.net/weather/"_s,
                                             u"台風=http://sora.example.net/typhoon/"_s}));
    QCOMPARE(boardsOf(list, 2), QStringList({u"釣り,船=http://umi.example.net/tsuri/"_s,
                                             u"料理&食べ物=http://umi.example.net/cook/"_s,
                                             u"質問=http://umi.example.net/qa/"_s}));
    QCOMPARE(boardsOf(list, 3), QStringList({u"関東=http://kanto.machi.example/kanto/"_s,
                                             u"近畿=http://kinki.machi.example/kinki/"_s}));
    QCOMPARE(boardsOf(list, 4), QStringList({u"残る板=http://umi.example.net/kienai/"_s}));
    QCOMPARE(list.Get_AllBoardNum(), 9);

    // The defaults were written back to the settings.
    QCOMPARE(profile.settings().Get_Named(u"ExceptBoard"_s),
             u"ガイドライン,2chメルマガ,夜勤の巣,●売り場,TOPページ"_s);
    // And the list was kept in "board.list", in Shift_JIS with CR LF.
    QFile file(QDir(profile.dataRoot()).filePath(u"board.list"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("4\r\n" + TextCodec::toCp932(u"天気"_s) + "\r\n"));
    QVERIFY(bytes.contains("\r\n9\r\n1,http://headline.example.net/bbyweather/,"));
}

void TestBoardList::indexes()
{
    TempProfile profile;
    profile.settings().Set_Named(u"BoardListUrl"_s, fileUrl(u"bbs/menu/bbsmenu.html"_s));
    CHttp http;
    BoardList list(profile.settings(), profile.dataRoot());
    QString error;
    bool offline = false;
    QCOMPARE(list.InitInstance(http, error, offline), qint16(1));
    // The first board of category 3 is overall board 7.
    QCOMPARE(list.Get_CategoryIdx(7), 3);
    QCOMPARE(list.Get_BoardIdx(7), 1);
    QCOMPARE(list.Get_BoardIdx(9), 1);
    QCOMPARE(list.Get_BoardIdx(6), 3);
    QCOMPARE(list.Get_CategoryBoard(7), u"まちＢＢＳ：関東"_s);
    for (const int outside : {0, 10, -1}) {
        QCOMPARE(list.Get_CategoryIdx(outside), 0);
        QCOMPARE(list.Get_BoardIdx(outside), 0);
        QVERIFY(list.Get_CategoryBoard(outside).isEmpty());
    }
    QVERIFY(list.Get_Category(0).isEmpty());
    QVERIFY(list.Get_Category(5).isEmpty());
    QCOMPARE(list.Get_BoardNum(5), 0);
    QVERIFY(list.Get_BoardName(1, 4).isEmpty());
    QVERIFY(list.Get_BoardUrl(2, 0).isEmpty());
    QCOMPARE(list.Get_BoardNames(3), QStringList({QString(), u"関東"_s, u"近畿"_s}));
    QCOMPARE(list.findBoardByUrl(u"http://umi.example.net/qa/"_s), 6);
    QCOMPARE(list.findBoardByUrl(u"http://nowhere/"_s), 0);
}

void TestBoardList::boardListFileRoundTrip()
{
    TempProfile profile;
    profile.settings().Set_Named(u"BoardListUrl"_s, fileUrl(u"bbs/menu/bbsmenu.html"_s));
    CHttp http;
    {
        BoardList list(profile.settings(), profile.dataRoot());
        QString error;
        bool offline = false;
        QCOMPARE(list.InitInstance(http, error, offline), qint16(1));
    }
    BoardList loaded(profile.settings(), profile.dataRoot());
    QVERIFY(loaded.loadFile());
    // A board name with a comma survives the file unchanged.
    QCOMPARE(loaded.Get_BoardName(2, 1), u"釣り,船"_s);
    QCOMPARE(loaded.Get_BoardNum(2), 3);
    QCOMPARE(loaded.Get_AllBoardNum(), 9);
    QCOMPARE(loaded.Get_BoardUrl(4, 1), u"http://umi.example.net/kienai/"_s);
}

void TestBoardList::offlineStart()
{
    TempProfile profile;
    QDir().mkpath(profile.dataRoot());
    QVERIFY(TextFile::writeLines(QDir(profile.dataRoot()).filePath(u"board.list"_s),
                                 {u"2"_s, u"ニュース"_s, u"趣味"_s, u"4"_s, u"2,http://b/x/,釣り"_s,
                                  u"1,http://a/n/,速報,号外"_s, u"3,http://c/,範囲外"_s, u"壊れた行"_s}));
    CHttp http;
    BoardList list(profile.settings(), profile.dataRoot());
    QString error;
    bool offline = true;
    QCOMPARE(list.InitInstance(http, error, offline), qint16(0));
    QVERIFY(offline);
    // Lines with a category out of range or without two commas are skipped;
    // boards are grouped by category whatever the order of the file.
    QCOMPARE(list.Get_AllBoardNum(), 2);
    QCOMPARE(list.Get_BoardName(1, 1), u"速報,号外"_s);
    QCOMPARE(list.Get_BoardName(2, 1), u"釣り"_s);
    QCOMPARE(list.Get_BoardIdx(2), 1);

    // Online, a download that gives nothing falls back to the file and turns offline.
    profile.settings().Set_Named(u"BoardListUrl"_s, u"file:///nonexistent/menu.html"_s);
    BoardList second(profile.settings(), profile.dataRoot());
    offline = false;
    QCOMPARE(second.InitInstance(http, error, offline), qint16(0));
    QVERIFY(offline);
}

void TestBoardList::failures_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("offline");
    QTest::addColumn<QString>("fallback");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("offlineAfter");
    QTest::newRow("offline without board.list") << fileUrl(u"bbs/menu/bbsmenu.html"_s) << true << QString()
                                                << u"インターネットに接続されていません。"_s << true;
    QTest::newRow("download failed, no board.list")
        << u"file:///nonexistent/menu.html"_s << false << QString()
        << u"板リストのダウンロードに失敗しました。"_s << true;
    QTest::newRow("not a menu, no fallback")
        << fileUrl(u"bbs/menu/notmenu.html"_s) << false << QString()
        << u"板リストのURLが不正のため終了します、ソフト作者にご連絡ください。"_s << false;
    QTest::newRow("not a menu, fallback names another non-menu")
        << fileUrl(u"bbs/menu/notmenu.html"_s) << false << u"points to a non-menu"_s
        << u"板リストのURLが不正のため終了します、ソフト作者にご連絡ください。"_s << false;
    QTest::newRow("not a menu, fallback names a local file")
        << fileUrl(u"bbs/menu/notmenu.html"_s) << false << u"names a real menu as a file"_s
        << u"板リストのURLが不正のため終了します、ソフト作者にご連絡ください。"_s << false;
    QTest::newRow("a menu without categories")
        << fileUrl(u"bbs/menu/empty-menu.html"_s) << false << QString()
        << u"板リストの読み込みに失敗しました、プログラムのバージョンアップが必要です。"_s << false;
}

void TestBoardList::failures()
{
    QFETCH(QString, url);
    QFETCH(bool, offline);
    QFETCH(QString, fallback);
    QFETCH(QString, message);
    QFETCH(bool, offlineAfter);
    TempProfile profile;
    profile.settings().Set_Named(u"BoardListUrl"_s, url);
    CHttp http;
    BoardList list(profile.settings(), profile.dataRoot());
    if (!fallback.isEmpty()) {
        // The published address is fetched once; it names another page that is no
        // menu either, or a menu, but as a local file, which is not taken from the network.
        const QString published = profile.path(u"current-menu-address.txt"_s);
        const QString named = fallback.contains(u"real menu"_s) ? fileUrl(u"bbs/menu/bbsmenu.html"_s)
                                                                : fileUrl(u"bbs/menu/notmenu.html"_s);
        QVERIFY(TestData::writeFile(published, named.toUtf8() + "\n"));
        list.setFallbackUrl(QUrl::fromLocalFile(published).toString());
    }
    QString error;
    QCOMPARE(list.InitInstance(http, error, offline), qint16(-1));
    QCOMPARE(error, message);
    QCOMPARE(offline, offlineAfter);
    QVERIFY(!QFile::exists(QDir(profile.dataRoot()).filePath(u"board.list"_s)));
}

void TestBoardList::deleteBoardData()
{
    TempProfile profile;
    profile.settings().Set_Named(u"BoardListUrl"_s, fileUrl(u"bbs/menu/bbsmenu.html"_s));
    CHttp http;
    BoardList list(profile.settings(), profile.dataRoot());
    QString error;
    bool offline = false;
    QCOMPARE(list.InitInstance(http, error, offline), qint16(1));
    QDir folder(profile.dataRoot() + u"/天気/台風"_s);
    QVERIFY(folder.mkpath(u"."_s));
    TestData::writeFile(folder.filePath(u"1231808850.log"_s), "x");
    TestData::writeFile(folder.filePath(u"thread.idx"_s), "x");
    QVERIFY(list.Delete_BoardData(1, 3));
    QCOMPARE(folder.entryList(QDir::Files), QStringList({u"thread.idx"_s}));
    QVERIFY(!list.Delete_BoardData(1, 3));
    QVERIFY(!list.Delete_BoardData(9, 9));
}

void TestBoardList::serviceDomains_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");

    QTest::newRow("5ch.net and 5ch.io, http and https")
        << u"http://uni.5ch.net/zatsudan/"_s << u"https://uni.5ch.io/zatsudan/"_s << true;
    QTest::newRow("2ch.net, upper case")
        << u"http://UNI.2ch.net/zatsudan/"_s << u"http://uni.5ch.io/zatsudan/"_s << true;
    QTest::newRow("another board") << u"http://uni.5ch.net/zatsudan/"_s << u"http://uni.5ch.io/news/"_s
                                   << false;
    QTest::newRow("another server") << u"http://ikura.5ch.net/zatsudan/"_s << u"http://uni.5ch.io/zatsudan/"_s
                                    << false;
    QTest::newRow("another service") << u"http://uni.2ch.sc/zatsudan/"_s << u"http://uni.5ch.io/zatsudan/"_s
                                     << false;
    QTest::newRow("the bare domain is no board server")
        << u"http://5ch.net/zatsudan/"_s << u"http://5ch.io/zatsudan/"_s << false;
    QTest::newRow("ports differ") << u"http://127.0.0.1:8080/a/"_s << u"http://127.0.0.1:8081/a/"_s << false;
    QTest::newRow("no web address") << u"ftp://uni.5ch.net/a/"_s << u"ftp://uni.5ch.io/a/"_s << false;
}

// One board on the service's old and new domains: the board list finds it
// under either, and the board menu's former address becomes today's.
void TestBoardList::serviceDomains()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);
    QCOMPARE(ServiceDomain::sameAddress(a, b), same);
    QCOMPARE(ServiceDomain::sameAddress(b, a), same);

    TempProfile profile;
    profile.settings().Set_Named(u"BoardListUrl"_s, u"https://menu.5ch.net/bbsmenu.html"_s);
    BoardList list(profile.settings(), profile.dataRoot());
    // Only web addresses are boards.
    QCOMPARE(list.parseMenu(u"<B>雑談</B><BR><A HREF="_s + a + u">板</A>"_s), a.startsWith(u"http"_s));
    QCOMPARE(list.findBoardByUrl(b), same ? 1 : 0);
    CHttp http;
    QString error;
    bool offline = true;
    list.InitInstance(http, error, offline);
    QCOMPARE(profile.settings().Get_Named(u"BoardListUrl"_s), u"https://menu.5ch.io/bbsmenu.html"_s);
}

QTEST_GUILESS_MAIN(TestBoardList)
#include "TestBoardList.moc"
