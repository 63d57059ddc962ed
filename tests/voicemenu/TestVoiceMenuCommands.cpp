// Commands on the current item: adding, deleting and moving bookmarks, the
// clipboard, and opening links with the desktop or the registered handler.

#include <QDir>
#include <QFile>
#include <QTest>

#include "VoiceMenuFixture.h"
#include "bbs/BoardList.h"
#include "bbs/BookmarkItaList.h"
#include "bbs/BookmarkList.h"
#include "bbs/ThreadData.h"
#include "bbs/ThreadList.h"
#include "speech/CMessageData.h"
#include "support/TestData.h"

using namespace Qt::StringLiterals;

namespace {

bool copyDir(const QString& from, const QString& to)
{
    if (!QDir().mkpath(to)) {
        return false;
    }
    for (const QFileInfo& entry : QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + u'/' + entry.fileName();
        if (entry.isDir() ? !copyDir(entry.filePath(), target) : !QFile::copy(entry.filePath(), target)) {
            return false;
        }
    }
    return true;
}

bool toThreadMenu(Fixture& f)
{
    if (!f.start() || !f.menu->Initialize()) {
        return false;
    }
    f.run({u"jumpCategory"_s, u"select:3"_s, u"enter"_s, u"select:1"_s, u"enter"_s});
    return f.menu->Get_MenuNo() == VoiceMenu::ThreadMenu;
}

QStringList bookmarkTitles(BookmarkList& list)
{
    QStringList titles;
    for (int i = 1; i <= list.Get_Num(); ++i) {
        titles << list.Get_ThreadName(i);
    }
    return titles;
}

}  // namespace

class TestVoiceMenuCommands : public QObject
{
    Q_OBJECT

private slots:
    void specialAddsBookmarks();
    void moveBookmarks_data();
    void moveBookmarks();
    void deleteBookmarks();
    void deleteLogsAndBoardData();
    void unwritableBookmarks();
    void unwritableSettings();
    void unwritableDataRoot();
    void clipboard();
    void openLinks_data();
    void openLinks();
    void registeredHandlerWhenTheDesktopFails();
    void urls();
    void writeCommands();
    void writeCommandsOffline();
    void editModeViewer();
};

void TestVoiceMenuCommands::specialAddsBookmarks()
{
    Fixture f;
    QVERIFY(toThreadMenu(f));
    f.run({u"select:2"_s});
    f.menu->Special();
    QCOMPARE(f.engine.texts().constLast(), u"ブックマークに登録しました。"_s);
    f.menu->Special();
    QCOMPARE(f.engine.texts().constLast(), u"そのスレッドは既にブックマーク登録しています。"_s);
    QCOMPARE(f.menu->bookmarks().Get_Num(), 1);
    QCOMPARE(f.menu->bookmarks().Get_ThreadNo(1), f.menu->threadList().Get_ThreadNo(2));
    QCOMPARE(f.menu->bookmarks().Get_Board(1), u"なんでも雑談"_s);

    f.run({u"back"_s});  // the board menu
    f.menu->Special();
    QCOMPARE(f.engine.texts().constLast(), u"板ブックマークに登録しました。"_s);
    f.menu->Special();
    QCOMPARE(f.engine.texts().constLast(), u"その板は既に板ブックマークに登録しています。"_s);
    QCOMPARE(f.menu->itaBookmarks().Get_ItemText(1), u"なんでも雑談"_s);

    f.run({u"main"_s});
    const int spoken = int(f.engine.texts().size());
    f.menu->Special();  // nothing to bookmark here: an empty title is never sent
    QCOMPARE(f.engine.texts().size(), spoken);
}

void TestVoiceMenuCommands::moveBookmarks_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("move");
    QTest::addColumn<QString>("spoken");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<int>("cursor");
    QTest::newRow("last one down stays")
        << 3 << 1 << u"一番下に移動"_s << QStringList{u"A"_s, u"B"_s, u"C"_s} << 3;
    QTest::newRow("third one up") << 3 << -1 << u"2番目に移動"_s << QStringList{u"A"_s, u"C"_s, u"B"_s} << 2;
    QTest::newRow("first one up stays")
        << 1 << -1 << u"一番上に移動"_s << QStringList{u"A"_s, u"B"_s, u"C"_s} << 1;
    QTest::newRow("to the bottom") << 1 << 100 << u"一番下に移動"_s << QStringList{u"B"_s, u"C"_s, u"A"_s}
                                   << 3;
}

void TestVoiceMenuCommands::moveBookmarks()
{
    QFETCH(int, item);
    QFETCH(int, move);
    QFETCH(QString, spoken);
    QFETCH(QStringList, order);
    QFETCH(int, cursor);
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    for (const QString& t : {u"A"_s, u"B"_s, u"C"_s}) {
        f.menu->bookmarks().Add(u"c"_s, u"b"_s, t, t + u"1"_s);
    }
    QVERIFY(!f.menu->Move_BM(1));  // not in a bookmark menu
    f.run({u"jumpBookmark"_s, u"select:"_s + QString::number(item)});
    QVERIFY(f.menu->Move_BM(move));
    QCOMPARE(f.engine.texts().constLast(), spoken);
    QCOMPARE(bookmarkTitles(f.menu->bookmarks()), order);
    QCOMPARE(f.menu->Get_Index(), cursor);
    QCOMPARE(f.menu->Get_Item(cursor), u"b板のスレッド, "_s + order.at(cursor - 1));
}

void TestVoiceMenuCommands::deleteBookmarks()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    for (const QString& t : {u"A"_s, u"B"_s, u"C"_s}) {
        f.menu->bookmarks().Add(u"c"_s, u"b"_s, t, t + u"1"_s);
    }
    f.menu->itaBookmarks().Add(u"c"_s, u"b"_s);
    f.run({u"jumpBookmark"_s, u"select:3"_s});
    f.menu->Delete();
    // What the delete menu says comes first, in the same utterance.
    QCOMPARE(f.engine.texts().constLast(),
             u"ブックマークから削除しました。指定のブックマークを削除しました。"_s);
    QCOMPARE(bookmarkTitles(f.menu->bookmarks()), QStringList({u"A"_s, u"B"_s}));
    // Still in the bookmark menu, on the new last item.
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::BookmarkMenu));
    QCOMPARE(f.menu->Get_Index(), 2);
    QCOMPARE(f.menu->Get_ItemNum(), 2);
    f.run({u"select:1"_s});
    f.menu->Delete();
    QCOMPARE(bookmarkTitles(f.menu->bookmarks()), QStringList({u"B"_s}));
    QCOMPARE(f.menu->Get_Index(), 1);
    f.run({u"back"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::MainMenu));

    f.run({u"jumpIta"_s, u"select:1"_s});
    f.menu->Delete();
    QCOMPARE(f.engine.texts().constLast(),
             u"板ブックマークから削除しました。指定の板ブックマークを削除しました。"_s);
    QCOMPARE(f.menu->itaBookmarks().Get_Num(), 0);
    QCOMPARE(f.menu->Get_Index(), 0);
}

// The bookmark files' places are taken by folders once the lists are loaded:
// every change fails (even for root), is said to have failed, and the lists
// stay as the files have them.
void TestVoiceMenuCommands::unwritableBookmarks()
{
    Fixture f;
    QVERIFY(toThreadMenu(f));
    for (const QString& t : {u"A"_s, u"B"_s}) {
        QVERIFY(f.menu->bookmarks().Add(u"c"_s, u"b"_s, t, t + u"1"_s));
    }
    QVERIFY(f.menu->itaBookmarks().Add(u"c"_s, u"b"_s));
    for (const QString& path : {f.menu->bookmarks().filePath(), f.menu->itaBookmarks().filePath()}) {
        QVERIFY(QFile::remove(path) && QDir().mkpath(path));
    }
    f.run({u"select:2"_s});
    f.menu->Special();
    QCOMPARE(f.engine.texts().constLast(), u"ブックマークを保存できませんでした。"_s);
    QCOMPARE(f.menu->bookmarks().Get_Num(), 2);
    f.run({u"back"_s});
    f.menu->Special();
    QCOMPARE(f.engine.texts().constLast(), u"板ブックマークを保存できませんでした。"_s);
    QCOMPARE(f.menu->itaBookmarks().Get_Num(), 1);

    f.run({u"jumpBookmark"_s, u"select:2"_s});
    f.menu->Delete();
    QCOMPARE(f.engine.texts().constLast(), u"ブックマークを保存できませんでした。"_s);
    QCOMPARE(bookmarkTitles(f.menu->bookmarks()), QStringList({u"A"_s, u"B"_s}));
    QCOMPARE(f.menu->Get_ItemNum(), 2);
    QVERIFY(f.menu->Move_BM(-1));
    QCOMPARE(f.engine.texts().constLast(), u"ブックマークを保存できませんでした。"_s);
    QCOMPARE(bookmarkTitles(f.menu->bookmarks()), QStringList({u"A"_s, u"B"_s}));
    QCOMPARE(f.menu->Get_Index(), 2);

    f.run({u"jumpIta"_s, u"select:1"_s});
    f.menu->Delete();
    QCOMPARE(f.engine.texts().constLast(), u"板ブックマークを保存できませんでした。"_s);
    QCOMPARE(f.menu->itaBookmarks().Get_Num(), 1);
}

// The settings file's place is taken by a folder: a changed option is said
// not to be saved.
void TestVoiceMenuCommands::unwritableSettings()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    const QString ini = f.profile.store().filePath();
    QVERIFY(QFile::remove(ini) && QDir().mkpath(ini));
    // Volume 5, names read, font 26, the first voice: each is refused aloud,
    // the sentence said once in its utterance.
    for (const auto& [menu, item] : QList<std::pair<int, int>>{{19, 5}, {23, 1}, {30, 12}, {22, 1}}) {
        f.run({u"main"_s, u"push:"_s + QString::number(menu), u"select:"_s + QString::number(item),
               u"enter"_s});
        QCOMPARE(f.engine.texts().constLast(), u"設定を保存できませんでした。"_s);
    }
    QVERIFY(!f.engine.texts().join(u'\n').contains(u"に設定しました。"_s));
    // The value holds for this run.
    QCOMPARE(f.profile.settings().Get_(CSettings::SpeechVolume), u"5"_s);
}

// The data root is a plain file: the bookmark lists cannot even be made, and
// the start says so before anything else.
void TestVoiceMenuCommands::unwritableDataRoot()
{
    Fixture f;
    QVERIFY(TestData::writeFile(f.profile.dataRoot(), "not a folder"));
    QVERIFY(f.start());
    f.menu->Initialize();
    QVERIFY2(f.engine.texts().constFirst().startsWith(
                 u"ブックマークを保存できませんでした。板ブックマークを保存できませんでした。"_s),
             qPrintable(f.engine.texts().constFirst()));
}

void TestVoiceMenuCommands::deleteLogsAndBoardData()
{
    Fixture f;
    QVERIFY(toThreadMenu(f));
    f.run({u"select:2"_s, u"enter"_s, u"back"_s, u"back"_s});  // the thread is read and logged
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ThreadMenu));
    const QString log = f.menu->threadData().logPath();
    QVERIFY(QFile::exists(log));
    f.run({u"select:2"_s});
    f.menu->Delete();
    QCOMPARE(f.engine.texts().constLast(), u"スレッドデータを削除しました。"_s);
    QVERIFY(!QFile::exists(log));
    const int spoken = int(f.engine.texts().size());
    f.menu->Delete();  // nothing left to delete: silence
    QCOMPARE(f.engine.texts().size(), spoken);

    f.run({u"select:3"_s, u"enter"_s, u"back"_s, u"back"_s, u"back"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::BoardMenu));
    f.menu->Delete();
    QCOMPARE(f.engine.texts().constLast(), u"指定の板の全スレッドデータを削除しました。"_s);
    QCOMPARE(QDir(QFileInfo(log).path()).entryList({u"*.log"_s}, QDir::Files).size(), 0);
}

void TestVoiceMenuCommands::clipboard()
{
    Fixture f;
    QVERIFY(toThreadMenu(f));
    f.run({u"select:2"_s});
    f.menu->Clip();
    QCOMPARE(f.host.clipboard, f.menu->Get_Item(2));
    f.menu->Clip_TitleURL();
    QCOMPARE(f.host.clipboard, f.menu->threadList().Get_ThreadName(2) + u"\r\n"_s
                                   + u"http://uni.2ch.example/test/read.cgi/zatsudan/"_s
                                   + f.menu->threadList().Get_ThreadNo(2));
    QCOMPARE(f.engine.texts().constLast(), u"スレッド名とURLをクリップボードにコピーしました"_s);
    f.run({u"enter"_s});
    f.menu->Clip();
    QCOMPARE(f.host.clipboard, f.menu->threadData().Get_OrgMessage(-1));
    f.run({u"back"_s, u"back"_s, u"back"_s});  // the board menu
    f.host.clipboard = u"unchanged"_s;
    f.menu->Clip_TitleURL();
    QCOMPARE(f.host.clipboard, u"unchanged"_s);
}

void TestVoiceMenuCommands::openLinks_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("opened");
    QTest::newRow("address") << u"http://example.com/a"_s << 1 << u"http://example.com/a"_s;
    QTest::newRow("without the leading h") << u"ttp://example.com/b"_s << 1 << u"http://example.com/b"_s;
    QTest::newRow("without h and t") << u"tp://example.com/c"_s << 1 << u"http://example.com/c"_s;
    QTest::newRow("mail address") << u"someone@example.com"_s << 2 << u"mailto:someone@example.com"_s;
    QTest::newRow("plain text opens nothing") << u"こんにちは"_s << 0 << QString();
}

void TestVoiceMenuCommands::openLinks()
{
    QFETCH(QString, unit);
    QFETCH(int, kind);
    QFETCH(QString, opened);
    Fixture f;
    QVERIFY(toThreadMenu(f));
    f.run({u"select:2"_s, u"enter"_s});
    QVERIFY(f.menu->IsReadable());
    VoiceMenuTestAccess::setCurrentUnit(*f.menu, u"\r\n "_s + unit + u" "_s, qint16(kind));
    const int spoken = int(f.engine.texts().size());
    f.run({u"enter"_s});
    QCOMPARE(f.host.opened, opened.isEmpty() ? QStringList() : QStringList{opened});
    // Enter speaks nothing itself here; a link stops the reading.
    QCOMPARE(f.engine.texts().size(), spoken);
    QCOMPARE(f.menu->IsReadable(), opened.isEmpty());
}

void TestVoiceMenuCommands::registeredHandlerWhenTheDesktopFails()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    const QString dirs = f.profile.path(u"xdg"_s);
    TestData::writeFile(dirs + u"/config/mimeapps.list"_s,
                        "[Default Applications]\nx-scheme-handler/http=browser.desktop\n");
    TestData::writeFile(dirs + u"/data/applications/browser.desktop"_s, "[Desktop Entry]\nExec=browser %u\n");
    f.menu->setShellSearchDirs({dirs + u"/config"_s}, {dirs + u"/data"_s});
    f.host.desktopOpens = false;
    f.menu->Open_URL(u"http://example.com/"_s);
    QCOMPARE(f.host.commands, QStringList({u"browser http://example.com/"_s}));
    // Nothing registered: nothing more happens.
    f.menu->setShellSearchDirs({dirs + u"/none"_s}, {dirs + u"/none"_s});
    f.host.commands.clear();
    f.menu->Open_URL(u"http://example.com/"_s);
    QVERIFY(f.host.commands.isEmpty());
}

void TestVoiceMenuCommands::urls()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    f.run({u"jumpCategory"_s, u"select:5"_s, u"enter"_s, u"select:1"_s});
    bool machi = false;
    QCOMPARE(f.menu->Get_BoardUrl(machi), u"http://kanto.machi.example/kanto/"_s);
    QVERIFY(machi);
    f.run({u"enter"_s, u"select:1"_s, u"enter"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ReadingMenu));
    const QString url = f.menu->Get_ThreadURL(machi);
    QVERIFY(machi);
    QVERIFY2(url.startsWith(u"http://kanto.machi.example/bbs/read.cgi?BBS=kanto&KEY="_s), qPrintable(url));
}

void TestVoiceMenuCommands::writeCommands()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    bool machi = true;
    bool suretate = true;
    QVERIFY(f.menu->Get_Url(machi, suretate).isEmpty());  // the main menu
    QVERIFY(!machi && !suretate);
    f.menu->Write_Message();
    f.menu->Create_Thread();
    QCOMPARE(f.host.writeDialogs, 0);

    f.run({u"jumpCategory"_s, u"select:5"_s, u"enter"_s, u"select:1"_s, u"enter"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ThreadMenu));
    QCOMPARE(f.menu->Get_Url(machi, suretate), u"http://kanto.machi.example/kanto/"_s);
    QVERIFY(machi && suretate);
    f.menu->Write_Message();  // no thread to reply to here
    QCOMPARE(f.host.writeDialogs, 0);
    f.menu->Create_Thread();
    QCOMPARE(f.host.writeDialogs, 1);

    f.run({u"select:1"_s, u"enter"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ReadingMenu));
    const QString url = f.menu->Get_Url(machi, suretate);
    QVERIFY2(url.startsWith(u"http://kanto.machi.example/bbs/read.cgi?BBS=kanto&KEY="_s), qPrintable(url));
    QVERIFY(machi && !suretate);
    f.menu->Create_Thread();
    QCOMPARE(f.host.writeDialogs, 1);
    QVERIFY(f.menu->IsReadable());
    f.menu->Write_Message();
    QCOMPARE(f.host.writeDialogs, 2);
    QVERIFY(!f.menu->IsReadable());
}

void TestVoiceMenuCommands::writeCommandsOffline()
{
    Fixture f;
    QVERIFY(toThreadMenu(f));
    f.menu->Create_Thread();
    QCOMPARE(f.host.writeDialogs, 1);
    f.run({u"select:1"_s, u"enter"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ReadingMenu));

    // The same places offline, from what the online run stored.
    Fixture offline;
    QVERIFY(offline.start(true, false));
    QVERIFY(copyDir(f.profile.dataRoot(), offline.profile.dataRoot()));
    QVERIFY(offline.menu->Initialize());
    QVERIFY(!offline.menu->Get_Online());
    offline.run({u"jumpCategory"_s, u"select:3"_s, u"enter"_s, u"select:1"_s, u"enter"_s});
    QCOMPARE(int(offline.menu->Get_MenuNo()), int(VoiceMenu::ThreadMenu));
    offline.menu->Create_Thread();
    offline.run({u"select:1"_s, u"enter"_s});
    QCOMPARE(int(offline.menu->Get_MenuNo()), int(VoiceMenu::ReadingMenu));
    offline.menu->Write_Message();
    QCOMPARE(offline.host.writeDialogs, 0);
}

void TestVoiceMenuCommands::editModeViewer()
{
    Fixture f;
    QVERIFY(f.start());
    QVERIFY(f.menu->Initialize());
    // Nowhere but in a thread that is being read.
    f.menu->Open_EditModeViewer();
    f.run({u"jumpCategory"_s, u"select:3"_s, u"enter"_s, u"select:1"_s, u"enter"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ThreadMenu));
    f.menu->Open_EditModeViewer();
    QVERIFY(f.host.viewerTexts.isEmpty());
    f.run({u"select:1"_s, u"enter"_s});
    QCOMPARE(int(f.menu->Get_MenuNo()), int(VoiceMenu::ReadingMenu));
    // The thread is open but no message has been read yet.
    QCOMPARE(f.menu->messageData().Get_MessageMaxNum(), 0);
    f.menu->Open_EditModeViewer();
    QVERIFY(f.host.viewerTexts.isEmpty());

    // Two units into the first message.
    QVERIFY(f.menu->Read_Message(false));
    QVERIFY(f.menu->Read_Message(false));
    const CMessageData& message = f.menu->messageData();
    QCOMPARE(message.Get_Index(), 2);
    QVERIFY(f.menu->IsReading());
    f.menu->Open_EditModeViewer();
    QCOMPARE(f.host.viewerTexts, QStringList{message.Get_OrgMessagesText()});
    QCOMPARE(f.host.viewerCarets, QList<qint32>{message.Get_CurrentLinePos()});
    QVERIFY(f.host.viewerCarets.constFirst() > 0);
    QVERIFY(f.host.viewerTexts.constFirst()
                .mid(f.host.viewerCarets.constFirst())
                .startsWith(message.Get_OrgMessage(2)));
    QVERIFY(!f.menu->IsReading());
    QVERIFY(!f.menu->IsReadable());
}

QTEST_GUILESS_MAIN(TestVoiceMenuCommands)
#include "TestVoiceMenuCommands.moc"
