// The run over the bookmarked threads, step by step against a voice menu
// that keeps a list of bookmarks; time moves by hand.

#include <QTest>

#include "ManualClock.h"
#include "app/ReadAllRun.h"
#include "voicemenu/VoiceMenu.h"

using namespace Qt::StringLiterals;
using State = ReadAllRun::State;

Q_DECLARE_METATYPE(ReadAllRun::State)

namespace {

// A voice menu with a number of thread bookmarks. Moving to the next one
// puts the cursor on it in the bookmark menu; opening it enters the reading
// menu with new messages to read.
struct FakeMenu : ReadAllHost
{
    int bookmarks = 2;
    qint16 menu = VoiceMenu::BookmarkMenu;
    int index = 0;
    bool silent = true;
    bool haveMessage = false;
    bool readable = false;
    QStringList log;

    qint16 Get_MenuNo() const override { return menu; }

    int Get_Index() const override { return index; }

    bool speechDone() const override { return silent; }

    bool Have_Message() const override { return haveMessage; }

    bool IsReadable() const override { return readable; }

    qint32 Run_AllRead(qint32 read_no) override
    {
        log << u"run %1"_s.arg(read_no);
        menu = VoiceMenu::BookmarkMenu;
        if (read_no >= bookmarks) {
            return 0;
        }
        index = read_no + 1;
        return index;
    }

    void Stop_AllRead() override { log << u"stop"_s; }

    void showNextBookmark() override { log << u"show %1"_s.arg(index); }

    void openBookmark() override
    {
        log << u"open %1"_s.arg(index);
        menu = VoiceMenu::ReadingMenu;
        haveMessage = true;
        readable = true;
    }

    void showPlainTitle() override { log << u"title"_s; }
};

struct Run
{
    ManualClock clock;
    ManualTicker timer{clock};
    FakeMenu menu;
    ReadAllRun run{menu, timer};

    void tick() { clock.advance(ReadAllRun::kTickMs); }
};

}  // namespace

class TestReadAllRun : public QObject
{
    Q_OBJECT

private slots:
    void throughAllBookmarks();
    void waitsForSilence();
    void outsideTheBookmarkMenu();
    void leavingAborts_data();
    void leavingAborts();
    void stoppedByTheKey();
};

void TestReadAllRun::throughAllBookmarks()
{
    Run r;
    r.run.start();
    QVERIFY(r.run.isTicking());
    for (int bookmark = 1; bookmark <= 2; ++bookmark) {
        r.tick();  // the next bookmark's title
        QCOMPARE(r.run.state(), State::TitleSpoken);
        QCOMPARE(r.run.position(), bookmark);
        r.menu.silent = false;
        r.tick();  // still saying it
        QCOMPARE(r.run.state(), State::TitleSpoken);
        r.menu.silent = true;
        r.tick();
        QCOMPARE(r.run.state(), State::Open);
        r.tick();  // opened; the reading tick reads its messages
        QCOMPARE(r.run.state(), State::Reading);
        QCOMPARE(r.menu.menu, qint16(VoiceMenu::ReadingMenu));
        r.tick();
        r.tick();
        QCOMPARE(r.run.state(), State::Reading);
        r.menu.haveMessage = false;
        r.tick();  // the last message is still readable
        QCOMPARE(r.run.state(), State::Reading);
        r.menu.readable = false;
        r.tick();  // read to its end: on to the next one
        QCOMPARE(r.run.state(), State::ChooseNext);
        QVERIFY(r.run.isTicking());
    }
    r.tick();  // no bookmark left: the voice menu says so and the run ends
    QVERIFY(!r.run.isTicking());
    QCOMPARE(r.run.position(), 0);
    QCOMPARE(r.menu.log, (QStringList{u"run 0"_s, u"show 1"_s, u"open 1"_s, u"run 1"_s, u"show 2"_s,
                                      u"open 2"_s, u"run 2"_s}));
    r.clock.advance(1000);
    QCOMPARE(r.menu.log.size(), 7);
}

void TestReadAllRun::waitsForSilence()
{
    Run r;
    r.menu.silent = false;
    r.run.start();
    for (int i = 0; i < 5; ++i) {
        r.tick();
    }
    QVERIFY(r.menu.log.isEmpty());
    QVERIFY(r.run.isTicking());
    r.menu.silent = true;
    r.tick();
    QCOMPARE(r.menu.log, (QStringList{u"run 0"_s, u"show 1"_s}));
}

void TestReadAllRun::outsideTheBookmarkMenu()
{
    // The read-all key anywhere but in the thread-bookmark menu does nothing.
    Run r;
    r.menu.menu = VoiceMenu::MainMenu;
    r.run.start();
    r.tick();
    QVERIFY(!r.run.isTicking());
    QVERIFY(r.menu.log.isEmpty());
    QCOMPARE(r.run.state(), State::ChooseNext);
}

void TestReadAllRun::leavingAborts_data()
{
    QTest::addColumn<int>("ticks");  // before the user leaves
    QTest::addColumn<State>("leftIn");
    QTest::addColumn<QStringList>("before");
    QTest::newRow("while the title is said")
        << 1 << State::TitleSpoken << QStringList{u"run 0"_s, u"show 1"_s};
    QTest::newRow("before it opens") << 2 << State::Open << QStringList{u"run 0"_s, u"show 1"_s};
    QTest::newRow("while it is read")
        << 3 << State::Reading << QStringList{u"run 0"_s, u"show 1"_s, u"open 1"_s};
}

void TestReadAllRun::leavingAborts()
{
    // Leaving the bookmark and reading menus ends the run and gives the
    // window its plain caption back.
    QFETCH(int, ticks);
    QFETCH(State, leftIn);
    QFETCH(QStringList, before);
    Run r;
    r.run.start();
    for (int i = 0; i < ticks; ++i) {
        r.tick();
    }
    QCOMPARE(r.run.state(), leftIn);
    r.menu.menu = VoiceMenu::MainMenu;
    r.tick();
    QVERIFY(!r.run.isTicking());
    QCOMPARE(r.run.state(), State::ChooseNext);
    QCOMPARE(r.run.position(), 0);
    QCOMPARE(r.menu.log, before + QStringList({u"stop"_s, u"title"_s}));
}

void TestReadAllRun::stoppedByTheKey()
{
    Run r;
    r.run.start();
    r.tick();
    r.run.stop();
    r.clock.advance(1000);
    QCOMPARE(r.menu.log, (QStringList{u"run 0"_s, u"show 1"_s}));
    QCOMPARE(r.run.state(), State::TitleSpoken);
}

QTEST_GUILESS_MAIN(TestReadAllRun)
#include "TestReadAllRun.moc"
