// Enter in every kind of menu: descending, opening boards, threads and
// bookmarks online and offline, the ways out, storing option choices and the
// proxy dialog, with what the user hears at each step.

#include <QTemporaryDir>
#include <QTest>

#include "VoiceMenuFixture.h"
#include "base/TextFile.h"
#include "bbs/BookmarkItaList.h"
#include "bbs/BookmarkList.h"
#include "bbs/ThreadData.h"
#include "bbs/ThreadList.h"
#include "support/TestData.h"

using namespace Qt::StringLiterals;

namespace {

// The thread "今日あったちょっといいこと" of なんでも雑談: ten messages, third in the list.
const QString kThreadKey = u"1714850000"_s;
const QStringList kToTheThread{u"jumpCategory"_s, u"select:3"_s, u"enter"_s,
                               u"select:1"_s,     u"enter"_s,    u"select:3"_s};
const QStringList kToTheBoard{u"jumpCategory"_s, u"select:3"_s, u"enter"_s, u"select:1"_s};

}  // namespace

class TestVoiceMenuEntry : public QObject
{
    Q_OBJECT

private slots:
    void walkToAThread();
    void freshMenuAsksForAnItem();
    void offlineBoardWithoutList();
    void systemReachability_data();
    void systemReachability();
    void unsavedListsDeleteNothing_data();
    void unsavedListsDeleteNothing();
    void exits_data();
    void exits();
    void bookmarks();
    void deleteBookmarks();
    void options_data();
    void options();
    void largeFontForcesMaximized();
    void proxyDialog_data();
    void proxyDialog();
    void readingMenuStartsReading();
    void failedThreadDownloads_data();
    void failedThreadDownloads();
    void threadFromTheArchive();
    void boardListAnswers_data();
    void boardListAnswers();
    void positionsKeptOnLeaving_data();
    void positionsKeptOnLeaving();
};

void TestVoiceMenuEntry::walkToAThread()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.engine.clear();
    f.run({u"down"_s, u"enter"_s});
    QCOMPARE(f.engine.texts().constLast(), u"カテゴリー選択メニューです"_s);
    f.run({u"select:3"_s, u"enter"_s});
    QCOMPARE(f.engine.texts().constLast(), u"板選択メニューです"_s);
    f.run({u"select:1"_s, u"enter"_s});
    QCOMPARE(f.engine.texts().mid(f.engine.texts().size() - 2),
             QStringList({u"読み込み中です"_s, u"スレッド選択メニューです"_s}));
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ThreadMenu));
    QVERIFY(f.menu->Get_ItemNum() >= 2);
    f.run({u"select:2"_s, u"enter"_s});
    const int count = f.menu->threadList().Get_MessageNum(2);
    QCOMPARE(f.engine.texts().mid(f.engine.texts().size() - 2),
             QStringList({u"読み込み中です"_s, u"メッセージ数は"_s + QString::number(count) + u"です。"_s}));
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ReadingMenu));
    QCOMPARE(f.menu->Get_ItemNum(), count);
    QVERIFY(f.menu->IsReadable());
    QVERIFY(!f.menu->IsMenuFixed());
    QCOMPARE(f.menu->Get_ThreadName(), f.menu->threadList().Get_ThreadName(2));
    // Back: reading stops first, then the thread list again.
    f.run({u"back"_s});
    QCOMPARE(f.engine.texts().constLast(), u"読み上げ停止"_s);
    f.run({u"back"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ThreadMenu));
    QCOMPARE(f.menu->Get_Index(), 2);
}

void TestVoiceMenuEntry::positionsKeptOnLeaving_data()
{
    QTest::addColumn<QStringList>("leave");  // steps; "exit" ends the menu as the program's end does
    QTest::addColumn<int>("menu");           // the menu afterwards, -1 when ended
    QTest::newRow("the thread") << QStringList{u"back"_s, u"back"_s} << int(VoiceMenu::ThreadMenu);
    QTest::newRow("the board") << QStringList{u"back"_s, u"back"_s, u"back"_s} << int(VoiceMenu::BoardMenu);
    QTest::newRow("to the main menu") << QStringList{u"main"_s} << 0;
    QTest::newRow("the program") << QStringList{u"exit"_s} << -1;
}

void TestVoiceMenuEntry::positionsKeptOnLeaving()
{
    // Reading moves within a second stay in memory; leaving writes them.
    QFETCH(QStringList, leave);
    QFETCH(int, menu);
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.run(kToTheThread);
    f.run({u"enter"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ReadingMenu));
    ThreadData& thread = f.menu->threadData();
    thread.setClock([] { return qint64(0); });  // the clock stands still
    const QString key = thread.key();
    const QString idx = f.profile.dataRoot() + u"/雑談/なんでも雑談/thread.idx"_s;
    const auto saved = [&] {
        for (const QString& line : TextFile::readLines(idx).value_or(QStringList{})) {
            if (line.startsWith(key + u',')) {
                return line.mid(key.size() + 1).toInt();
            }
        }
        return -1;
    };
    thread.Set_Index(1);
    QVERIFY(thread.Save_Index());
    QVERIFY(thread.Get_MessageLoadedNum() >= 5);
    for (int i = 0; i < 4; ++i) {
        QVERIFY(thread.Move_Index(1));
    }
    QCOMPARE(saved(), 1);
    for (const QString& step : leave) {
        if (step == u"exit"_s) {
            f.menu->ExitInstance();
        } else {
            f.run({step});
        }
    }
    if (menu >= 0) {
        QCOMPARE(int(f.menu->Get_MenuNo()), menu);
    }
    QCOMPARE(saved(), 5);
}

void TestVoiceMenuEntry::freshMenuAsksForAnItem()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.engine.clear();
    f.run({u"enter"_s});
    QCOMPARE(f.engine.texts(), QStringList({u"メニュー項目を選択してください"_s}));
    QVERIFY(f.lastEntry);
    QCOMPARE(int(f.menu->Get_MenuNo()), 0);
}

void TestVoiceMenuEntry::offlineBoardWithoutList()
{
    Fixture online;
    QVERIFY(online.start());
    QVERIFY(online.menu->Initialize());
    Fixture f;
    QVERIFY(f.start(true, false));
    QDir().mkpath(f.profile.dataRoot());
    QVERIFY(
        QFile::copy(online.profile.dataRoot() + u"/board.list"_s, f.profile.dataRoot() + u"/board.list"_s));
    QVERIFY(f.menu->Initialize());
    f.run({u"jumpCategory"_s, u"select:3"_s, u"enter"_s, u"select:1"_s, u"enter"_s});
    QCOMPARE(f.engine.texts().constLast(), u"この板にはダウンロード済のスレッドはありません。"_s);
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::BoardMenu));
}

void TestVoiceMenuEntry::systemReachability_data()
{
    QTest::addColumn<int>("reachable");  // -1: no probe given
    QTest::addColumn<bool>("online");
    QTest::addColumn<QString>("heard");
    QTest::newRow("no probe: the network decides nothing") << -1 << true << u"板の一覧を最新にしました。"_s;
    QTest::newRow("connected") << 1 << true << u"板の一覧を最新にしました。"_s;
    // Nothing stored: the start itself fails, and says why.
    QTest::newRow("no network") << 0 << false << u"インターネットに接続されていません。"_s;
}

// The start asks the probe it was given whether the machine is connected,
// never the machine itself.
void TestVoiceMenuEntry::systemReachability()
{
    QFETCH(int, reachable);
    QFETCH(bool, online);
    QFETCH(QString, heard);
    Fixture f;
    QVERIFY(f.start());
    int asked = 0;
    if (reachable >= 0) {
        f.menu->setConnectionProbe([&] {
            ++asked;
            return std::optional<bool>(reachable == 1);
        });
    }
    QCOMPARE(f.menu->Initialize(), online);
    QCOMPARE(f.menu->Get_Online(), online);
    QCOMPARE(asked > 0, reachable >= 0);
    QVERIFY2(f.engine.texts().join(u'|').contains(heard), qPrintable(f.engine.texts().join(u'|')));
}

void TestVoiceMenuEntry::unsavedListsDeleteNothing_data()
{
    QTest::addColumn<QString>("refused");  // the list whose file cannot be written; empty: none
    QTest::addColumn<QString>("heard");
    QTest::addColumn<bool>("logKept");
    QTest::newRow("both lists saved") << QString() << QString() << false;
    QTest::newRow("board.list refused") << u"board.list"_s << u"板の一覧を保存できませんでした。"_s << true;
    QTest::newRow("thread.list refused")
        << u"雑談/なんでも雑談/thread.list"_s << u"スレッドの一覧を保存できませんでした。"_s << true;
}

// A list that could not be saved is said, and the stale logs of a board,
// found by the stored list, stay until a list is saved again.
void TestVoiceMenuEntry::unsavedListsDeleteNothing()
{
    QFETCH(QString, refused);
    QFETCH(QString, heard);
    QFETCH(bool, logKept);
    Fixture f;
    QVERIFY(f.start());
    const QString stale = f.profile.dataRoot() + u"/雑談/なんでも雑談/1000000000.log"_s;
    QVERIFY(TestData::writeFile(stale, "old\r\n"));
    if (!refused.isEmpty()) {
        // A folder where the file should be: the save cannot replace it.
        QVERIFY(QDir().mkpath(f.profile.dataRoot() + u'/' + refused + u"/x"_s));
    }
    QVERIFY(f.menu->Initialize());
    f.run(kToTheBoard);
    f.run({u"enter"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ThreadMenu));
    f.speech->SpeakNotices();
    const QString said = f.engine.texts().join(u'|');
    QVERIFY2(heard.isEmpty() ? !said.contains(u"保存できませんでした"_s) : said.contains(heard),
             qPrintable(said));
    QCOMPARE(QFile::exists(stale), logKept);
}

void TestVoiceMenuEntry::exits_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("keepRunning");
    QTest::addColumn<bool>("shutdown");
    QTest::addColumn<QString>("spoken");
    QTest::newRow("program only") << u"1"_s << QStringList{u"select:6"_s, u"enter"_s} << false << false
                                  << QString::fromUtf16(VoiceMenu::kFarewell);
    QTest::newRow("always shut down") << u"3"_s << QStringList{u"select:6"_s, u"enter"_s} << false << true
                                      << QString::fromUtf16(VoiceMenu::kFarewellShutdown);
    QTest::newRow("ask: the choice menu")
        << u"2"_s << QStringList{u"select:6"_s, u"enter"_s} << true << false << u"終了方法選択メニューです"_s;
    QTest::newRow("ask: end the program")
        << u"2"_s << QStringList{u"select:6"_s, u"enter"_s, u"select:1"_s, u"enter"_s} << false << false
        << u"終了します、ご利用ありがとうございました。"_s;
    QTest::newRow("ask: shut down") << u"2"_s
                                    << QStringList{u"select:6"_s, u"enter"_s, u"select:2"_s, u"enter"_s}
                                    << false << true
                                    << u"シャットダウン後に電源オフします、ご利用ありがとうございました。"_s;
    QTest::newRow("the exit key from deep inside")
        << u"1"_s << QStringList{u"jumpCategory"_s, u"select:2"_s, u"exit"_s} << false << false
        << QString::fromUtf16(VoiceMenu::kFarewell);
    QTest::newRow("a damaged exit method does nothing")
        << u"9"_s << QStringList{u"select:6"_s, u"enter"_s} << true << false << u"6,終了(Q)"_s;
}

void TestVoiceMenuEntry::exits()
{
    QFETCH(QString, method);
    QFETCH(QStringList, steps);
    QFETCH(bool, keepRunning);
    QFETCH(bool, shutdown);
    QFETCH(QString, spoken);
    Fixture f;
    f.profile.settings().Set_(CSettings::ExitMethod, method);
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.run(steps);
    QCOMPARE(f.lastEntry, keepRunning);
    QCOMPARE(f.menu->IsShutdown(), shutdown);
    QCOMPARE(f.engine.texts().constLast(), spoken);
}

void TestVoiceMenuEntry::bookmarks()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    // Find a thread's title the way a user would have bookmarked it.
    f.run({u"jumpCategory"_s, u"select:3"_s, u"enter"_s, u"select:1"_s, u"enter"_s});
    const QString title = f.menu->threadList().Get_ThreadName(3);
    const QString key = f.menu->threadList().Get_ThreadNo(3);
    f.menu->bookmarks().Add(u"雑談"_s, u"なんでも雑談"_s, title, key);
    f.menu->bookmarks().Add(u"雑談"_s, u"消えた板"_s, u"行き先のない栞"_s, u"1000000000"_s);
    f.menu->itaBookmarks().Add(u"雑談"_s, u"なんでも雑談"_s);
    f.menu->itaBookmarks().Add(u"なくなったカテゴリ"_s, u"板"_s);

    f.run({u"jumpBookmark"_s, u"select:1"_s, u"enter"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ReadingMenu));
    QCOMPARE(f.menu->threadData().key(), key);
    QVERIFY(f.menu->IsReadable());
    // Going back returns to the bookmarks, not to a thread list.
    f.run({u"back"_s, u"back"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::BookmarkMenu));

    f.run({u"select:2"_s, u"enter"_s});
    QCOMPARE(f.engine.texts().constLast(), u"指定のスレッドのダウンロードに失敗しました。"_s);
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::BookmarkMenu));

    f.engine.clear();
    f.run({u"jumpIta"_s, u"select:1"_s, u"enter"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ThreadMenu));
    QVERIFY(!f.engine.texts().contains(u"読み込み中です"_s));  // not said for board bookmarks
    f.run({u"back"_s, u"select:2"_s, u"enter"_s});
    QCOMPARE(f.engine.texts().constLast(), u"指定の板のスレッドリストのダウンロードに失敗しました。"_s);
}

void TestVoiceMenuEntry::deleteBookmarks()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.menu->bookmarks().Add(u"c"_s, u"b"_s, u"一"_s, u"1"_s);
    f.menu->bookmarks().Add(u"c"_s, u"b"_s, u"二"_s, u"2"_s);
    VoiceMenuTestAccess::push(*f.menu, 17);
    f.run({u"select:1"_s, u"enter"_s});
    QCOMPARE(f.engine.texts().constLast(), u"ブックマークから削除しました。"_s);
    QCOMPARE(f.menu->bookmarks().Get_Num(), 1);
    QCOMPARE(f.menu->Get_ItemNum(), 1);
    QCOMPARE(f.menu->Get_Item(1), u"b板のスレッド, 二"_s);
    QCOMPARE(f.menu->Get_Index(), 0);
}

void TestVoiceMenuEntry::options_data()
{
    QTest::addColumn<int>("menu");
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("setting");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("spoken");
    QTest::newRow("volume") << 19 << 5 << int(CSettings::SpeechVolume) << u"5"_s
                            << u"ボリューム5に設定しました。"_s;
    QTest::newRow("read names") << 23 << 1 << int(CSettings::ReadName) << u"0"_s
                                << u"名前を読み上げるに設定しました。"_s;
    QTest::newRow("do not read names")
        << 23 << 2 << int(CSettings::ReadName) << u"1"_s << u"名前を読み上げないに設定しました。"_s;
    QTest::newRow("always shut down")
        << 10 << 3 << int(CSettings::ExitMethod) << u"3"_s << u"常にシャットダウンするに設定しました。"_s;
    QTest::newRow("swap left and right") << 11 << 2 << int(CSettings::ReverseLRKey) << u"1"_s
                                         << u"左右キーを反転する(左矢印キーで決定)に設定しました。"_s;
    QTest::newRow("font 26 keeps the window")
        << 30 << 12 << int(CSettings::FontSize) << u"26"_s << u"26に設定しました。"_s;
    QTest::newRow("colours") << 31 << 2 << int(CSettings::LowVisionColors) << u"1"_s
                             << u"弱視向けの配色に設定しました。"_s;
    QTest::newRow("voice") << 22 << 1 << int(CSettings::VoiceEngine) << u"1"_s
                           << u"Spy Japanese  (Spy)に設定しました。"_s;
}

void TestVoiceMenuEntry::options()
{
    QFETCH(int, menu);
    QFETCH(int, item);
    QFETCH(int, setting);
    QFETCH(QString, stored);
    QFETCH(QString, spoken);
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    VoiceMenuTestAccess::push(*f.menu, qint16(menu));
    f.run({u"select:"_s + QString::number(item), u"enter"_s});
    QCOMPARE(f.profile.settings().Get_(qint16(setting)), stored);
    QCOMPARE(f.engine.texts().constLast(), spoken);
    QCOMPARE(f.menu->Get_Index(), item);  // the cursor stays on the choice
    QCOMPARE(int(f.menu->Get_MenuNo()), menu);
    QVERIFY(f.host.windowStates.isEmpty());
}

void TestVoiceMenuEntry::largeFontForcesMaximized()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    VoiceMenuTestAccess::push(*f.menu, 30);
    f.run({u"select:14"_s, u"enter"_s});
    QCOMPARE(f.profile.settings().Get_(CSettings::FontSize), u"36"_s);
    QCOMPARE(f.profile.settings().Get_(CSettings::WindowMaximized), u"1"_s);
    QCOMPARE(f.host.windowStates, QList<int>({2}));
    QCOMPARE(f.host.fontSwitches, 1);
    f.run({u"back"_s});
    VoiceMenuTestAccess::push(*f.menu, 32);
    f.run({u"select:1"_s, u"enter"_s});
    QCOMPARE(f.engine.texts().constLast(), u"フォント28以上では最大化のみとなります"_s);
    QCOMPARE(f.profile.settings().Get_(CSettings::WindowMaximized), u"1"_s);
    f.run({u"select:2"_s, u"enter"_s});
    QCOMPARE(f.host.windowStates, QList<int>({2, 2}));
}

void TestVoiceMenuEntry::proxyDialog_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("spoken");
    QTest::addColumn<QString>("stored");
    QTest::newRow("cancelled") << QString() << u"キャンセルしました"_s << u"old.example:3128"_s;
    QTest::newRow("no colon") << u"proxy.example"_s
                              << u"アドレスとポートの記述が不正なので登録に失敗しました"_s
                              << u"old.example:3128"_s;
    QTest::newRow("port not a number")
        << u"proxy.example:80a"_s << u"アドレスとポートの記述が不正なので登録に失敗しました"_s
        << u"old.example:3128"_s;
    QTest::newRow("stored even while unused")
        << u"proxy.example:8080"_s << u"プロキシを登録しました"_s << u"proxy.example:8080"_s;
}

void TestVoiceMenuEntry::proxyDialog()
{
    QFETCH(QString, answer);
    QFETCH(QString, spoken);
    QFETCH(QString, stored);
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.profile.settings().Set_(CSettings::ProxyUse, u"0"_s);
    f.profile.settings().Set_(CSettings::ProxyServer, u"old.example:3128"_s);
    f.host.dialogAnswers = {answer};
    f.run({u"jumpConfig"_s, u"select:8"_s, u"enter"_s});
    QCOMPARE(
        f.host.dialogs,
        QStringList({u"プロキシ設定ダイアログ|プロキシアドレスとポートを半角コロンで区切って記入してください|"
                     "old.example:3128"_s}));
    QCOMPARE(f.engine.texts().constLast(), spoken);
    QCOMPARE(f.profile.settings().Get_(CSettings::ProxyServer), stored);
}

void TestVoiceMenuEntry::readingMenuStartsReading()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.run(
        {u"jumpCategory"_s, u"select:3"_s, u"enter"_s, u"select:1"_s, u"enter"_s, u"select:2"_s, u"enter"_s});
    QVERIFY(f.menu->IsReadable());
    f.run({u"back"_s});  // stops reading, stays in the reading menu
    QVERIFY(!f.menu->IsReadable());
    f.menu->threadData().Set_Index(3);
    f.run({u"enter"_s});
    QCOMPARE(f.engine.texts().constLast(), u"読み上げ開始"_s);
    QVERIFY(f.menu->IsReadable());
    QCOMPARE(f.menu->threadData().Get_MessageCurrentNum(), 2);
}

QTEST_GUILESS_MAIN(TestVoiceMenuEntry)
#include "TestVoiceMenuEntry.moc"

void TestVoiceMenuEntry::failedThreadDownloads_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("log");  // "none", "unread", "read"
    QTest::addColumn<QString>("heard");
    QTest::addColumn<bool>("reading");
    const QString failed = u"スレッドデータのダウンロードに失敗しました。"_s;
    const QString gone = u"このスレッドはサーバーにありません。"_s;
    const QString dat = kThreadKey + u".dat"_s;
    QTest::newRow("gone, never read") << u"status:404@"_s + dat << u"none"_s << gone << false;
    QTest::newRow("redirect loop, never read")
        << u"redirect:/zatsudan/dat/"_s + dat + u'@' + dat << u"none"_s << failed << false;
    QTest::newRow("endless body, never read") << u"endless:30@"_s + dat << u"none"_s << failed << false;
    QTest::newRow("error page, never read") << u"error-page@"_s + dat << u"none"_s << failed << false;
    QTest::newRow("gone, log unread")
        << u"status:404@"_s + dat << u"unread"_s << gone + u"メッセージ数は10です。"_s << true;
    QTest::newRow("cut off, log read to the end")
        << u"short:300@"_s + dat << u"read"_s << failed + u"メッセージ数は10です。"_s << true;
    QTest::newRow("trickle past the deadline, log read to the end")
        << u"trickle:400@"_s + dat << u"read"_s << failed + u"メッセージ数は10です。"_s << true;
}

void TestVoiceMenuEntry::failedThreadDownloads()
{
    // A download that fails is said as a failure, never as a thread without
    // news; a log already on disk is still read.
    QFETCH(QString, fault);
    QFETCH(QString, log);
    QFETCH(QString, heard);
    QFETCH(bool, reading);
    QTemporaryDir before;
    if (log != u"none"_s) {
        Fixture prep;
        QVERIFY(prep.start());
        QVERIFY(prep.menu->Initialize());
        prep.run(kToTheThread);
        prep.run({u"enter"_s});
        QCOMPARE(int(prep.menu->Get_MenuNo()), int(VoiceMenu::ReadingMenu));
        if (log == u"read"_s) {
            prep.menu->threadData().Set_Index(10);
            prep.menu->threadData().Save_Index();
        }
        // Without the state of that download the next one asks for the whole
        // file (else the unchanged file is answered 304, and nothing breaks).
        QVERIFY(QFile::remove(prep.menu->threadData().datStatePath()));
        QVERIFY(Fixture::copyTree(prep.profile.dataRoot(), before.path()));
    }
    Fixture f;
    f.serverOptions = {u"--fault="_s + fault};
    QVERIFY(f.start());
    f.profile.settings().Set_Named(QString::fromUtf16(VoiceMenu::kDownloadDeadlineKey), u"2"_s);
    if (log != u"none"_s) {
        QVERIFY(Fixture::copyTree(before.path(), f.profile.dataRoot()));
    }
    QVERIFY(f.menu->Initialize());
    f.run(kToTheThread);
    f.engine.clear();
    f.run({u"enter"_s});
    QCOMPARE(f.engine.texts(), QStringList({u"読み込み中です"_s, heard}));
    QCOMPARE(int(f.menu->Get_MenuNo()), int(reading ? VoiceMenu::ReadingMenu : VoiceMenu::ThreadMenu));
    QCOMPARE(f.menu->IsReadable(), log == u"unread"_s);
    QVERIFY(!f.menu->IsMenuFixed());
    // Whatever reading follows, it does not claim there is nothing new.
    for (int i = 0; i < 40 && f.menu->Read_Message(false); ++i) {
    }
    QVERIFY(!f.engine.texts().contains(u"新着メッセージはありません"_s));
    // A thread never read leaves no empty log behind.
    if (log == u"none"_s) {
        QVERIFY(QDir(f.profile.dataRoot() + u"/雑談/なんでも雑談"_s).exists(u"thread.list"_s));
        QVERIFY(!QDir(f.profile.dataRoot() + u"/雑談/なんでも雑談"_s).exists(kThreadKey + u".log"_s));
    }
}

void TestVoiceMenuEntry::threadFromTheArchive()
{
    // A thread the live server dropped but its archive keeps is read like any
    // other, and the user hears where it came from.
    QTemporaryDir served;
    QVERIFY(Fixture::copyTree(QStringLiteral(SAMPLE_BOARDS_DIR), served.path()));
    const QString live = served.path() + u"/zatsudan/dat/"_s + kThreadKey + u".dat"_s;
    QVERIFY(QDir().mkpath(served.path() + u"/zatsudan/oyster/1714"_s));
    QVERIFY(QFile::rename(live, served.path() + u"/zatsudan/oyster/1714/"_s + kThreadKey + u".dat"_s));
    Fixture f;
    f.serverRoot = served.path();
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.run(kToTheThread);
    f.engine.clear();
    f.run({u"enter"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ReadingMenu));
    QCOMPARE(f.engine.texts().size(), 2);
    QCOMPARE(f.engine.texts().at(0), u"読み込み中です"_s);
    QVERIFY2(f.engine.texts().at(1).startsWith(u"過去ログを読み込みました。"_s),
             qPrintable(f.engine.texts().at(1)));
    QVERIFY(f.menu->IsReadable());
    QCOMPARE(f.menu->threadData().Get_MessageLoadedNum(), 10);
    QVERIFY(QDir(f.profile.dataRoot() + u"/雑談/なんでも雑談"_s).exists(kThreadKey + u".log"_s));

    // Where neither the live server nor the archive has it, it is gone.
    QVERIFY(QFile::remove(served.path() + u"/zatsudan/oyster/1714/"_s + kThreadKey + u".dat"_s));
    QVERIFY(QFile::remove(f.profile.dataRoot() + u"/雑談/なんでも雑談/"_s + kThreadKey + u".log"_s));
    f.run(kToTheThread);
    f.engine.clear();
    f.run({u"enter"_s});
    QVERIFY2(f.engine.texts().contains(u"このスレッドはサーバーにありません。"_s),
             qPrintable(f.engine.texts().join(u'|')));
    QVERIFY(!f.engine.texts().join(QString()).contains(u"過去ログ"_s));
}

void TestVoiceMenuEntry::boardListAnswers_data()
{
    QTest::addColumn<QByteArray>("subject");  // written over the board's subject.txt; empty: as it is
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("heard");
    QTest::addColumn<int>("threads");  // in the menu afterwards; -1: still the board menu
    QTest::newRow("one thread is a list")
        << QByteArray("1714950000.dat<>\x81\x79\x8e\xbf\x96\xe2\x81\x7a (6)\n") << QString()
        << u"スレッド選択メニューです"_s << 1;
    QTest::newRow("an empty list is a board without threads")
        << QByteArray("") << u"none"_s << u"この板にはスレッドがありません。"_s << -1;
    QTest::newRow("a cut-off list keeps the stored one")
        << QByteArray() << u"short:60@subject.txt"_s << u"スレッドリストのダウンロードに失敗しました。"_s
        << -1;
    QTest::newRow("a list that trickles past the deadline")
        << QByteArray() << u"trickle:300@subject.txt"_s << u"スレッドリストのダウンロードに失敗しました。"_s
        << -1;
}

void TestVoiceMenuEntry::boardListAnswers()
{
    QFETCH(QByteArray, subject);
    QFETCH(QString, fault);
    QFETCH(QString, heard);
    QFETCH(int, threads);
    QTemporaryDir root;
    QVERIFY(Fixture::copyTree(QStringLiteral(SAMPLE_BOARDS_DIR), root.path()));
    if (fault == u"none"_s) {
        fault.clear();
        QFile file(root.filePath(u"zatsudan/subject.txt"_s));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    } else if (!subject.isEmpty()) {
        QFile file(root.filePath(u"zatsudan/subject.txt"_s));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(subject), subject.size());
    }
    // The board was opened once before, so a list is stored.
    QTemporaryDir before;
    {
        Fixture prep;
        QVERIFY(prep.start());
        QVERIFY(prep.menu->Initialize());
        prep.run(kToTheBoard);
        prep.run({u"enter"_s});
        QCOMPARE(int(prep.menu->Get_MenuNo()), int(VoiceMenu::ThreadMenu));
        QVERIFY(Fixture::copyTree(prep.profile.dataRoot(), before.path()));
    }
    const QString listPath = u"/雑談/なんでも雑談/thread.list"_s;
    QFile stored(before.path() + listPath);
    QVERIFY(stored.open(QIODevice::ReadOnly));
    const QByteArray storedList = stored.readAll();
    QVERIFY(storedList.count('\n') == 3);

    Fixture f;
    f.serverRoot = root.path();
    if (!fault.isEmpty()) {
        f.serverOptions = {u"--fault="_s + fault};
    }
    QVERIFY(f.start());
    f.profile.settings().Set_Named(QString::fromUtf16(VoiceMenu::kDownloadDeadlineKey), u"2"_s);
    QVERIFY(Fixture::copyTree(before.path(), f.profile.dataRoot()));
    QVERIFY(f.menu->Initialize());
    f.run(kToTheBoard);
    f.engine.clear();
    f.run({u"enter"_s});
    QCOMPARE(f.engine.texts(), QStringList({u"読み込み中です"_s, heard}));
    if (threads < 0) {
        QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::BoardMenu));
    } else {
        QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ThreadMenu));
        QCOMPARE(f.menu->Get_ItemNum(), threads);
    }
    QFile after(f.profile.dataRoot() + listPath);
    QVERIFY(after.open(QIODevice::ReadOnly));
    if (!fault.isEmpty()) {
        QCOMPARE(after.readAll(), storedList);
    }
}
