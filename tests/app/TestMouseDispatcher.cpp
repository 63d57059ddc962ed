// The main window's mouse without a window: buttons through the action queue
// with its double clicks, the middle button's fast moves, and the wheel with
// its notches, fine wheels and turns while another action runs. Time moves
// by hand.

#include <QTest>

#include "ManualClock.h"
#include "app/KeyDispatcher.h"
#include "app/MouseDispatcher.h"

using namespace Qt::StringLiterals;

namespace {

// The window as both dispatchers see it; what it is told is written down.
struct FakeHost : KeyDispatcherHost, MouseDispatcherHost
{
    QStringList log;

    bool isEnding() const override { return false; }

    bool IsMenuFixed() const override { return false; }

    bool IsReverse_LRKey() const override { return false; }

    bool IsAllRead() const override { return false; }

    qint16 Get_MenuNo() const override { return 0; }

    int Get_ItemNum() const override { return 500; }

    void perform(const KeyCommand& command) override { log << u"perform %1"_s.arg(int(command.action)); }

    void speakDigit(int digit) override { log << u"digit %1"_s.arg(digit); }

    void runQueued(QueuedCommand command) override
    {
        static const char* const names[] = {"Entry", "GoBack", "Help", "Special", "GoMain"};
        log << QString::fromLatin1(names[int(command)]);
    }

    void afterNavigation() override { log << u"after"_s; }

    void jumpToNumber(qint32 number) override { log << u"jump %1"_s.arg(number); }

    void showCounter() override { log << u"counter"_s; }

    void Stop_HelpRead() override { log << u"stop help"_s; }

    void Select_(int delta) override { log << u"select %1"_s.arg(delta); }

    void showCurrentItem() override { log << u"show"_s; }
};

struct Mouse
{
    ManualClock clock;
    ManualTicker mouseTimer{clock};
    ManualTicker numberTimer{clock};
    FakeHost host;
    bool busy = false;
    KeyDispatcher keys{host, busy, mouseTimer, numberTimer};
    MouseDispatcher mouse{host, keys, busy};

    // Clicks written as letters: L left, R right, M middle, X another button.
    void click(QChar button)
    {
        const MouseButton b = button == u'L'   ? MouseButton::Left
                              : button == u'R' ? MouseButton::Right
                              : button == u'M' ? MouseButton::Middle
                                               : MouseButton::Other;
        mouse.buttonEvent(b, true);
        mouse.buttonEvent(b, false);
    }
};

}  // namespace

class TestMouseDispatcher : public QObject
{
    Q_OBJECT

private slots:
    void clicks_data();
    void clicks();
    void fullQueueDropsTheSeventh();
    void middleButtonMovesFastWhileHeld();
    void wheelItems_data();
    void wheelItems();
    void wheel_data();
    void wheel();
    void wheelWhileBusy();
};

void TestMouseDispatcher::clicks_data()
{
    // Clicks with the time (ms) between them; then the queue runs out.
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<int>("gap");
    QTest::addColumn<QStringList>("run");
    QTest::newRow("left: enters") << u"L"_s << 0 << QStringList{u"Entry"_s, u"after"_s};
    QTest::newRow("left twice within 250 ms: Special") << u"LL"_s << 120 << QStringList{u"Special"_s};
    QTest::newRow("left twice 300 ms apart: enters twice")
        << u"LL"_s << 300 << QStringList{u"Entry"_s, u"after"_s, u"Entry"_s, u"after"_s};
    QTest::newRow("right: back") << u"R"_s << 0 << QStringList{u"GoBack"_s, u"after"_s};
    QTest::newRow("right twice: to the main menu") << u"RR"_s << 200 << QStringList{u"GoMain"_s, u"after"_s};
    QTest::newRow("left then right: only enters") << u"LR"_s << 50 << QStringList{u"Entry"_s, u"after"_s};
    QTest::newRow("right then left: only back") << u"RL"_s << 50 << QStringList{u"GoBack"_s, u"after"_s};
    QTest::newRow("middle: help") << u"M"_s << 0 << QStringList{u"Help"_s};
    QTest::newRow("middle twice: nothing") << u"MM"_s << 100 << QStringList{};
    QTest::newRow("another button: nothing") << u"X"_s << 0 << QStringList{};
    QTest::newRow("three lefts: the first two decide") << u"LLL"_s << 80 << QStringList{u"Special"_s};
}

void TestMouseDispatcher::clicks()
{
    QFETCH(QString, clicks);
    QFETCH(int, gap);
    QFETCH(QStringList, run);
    Mouse m;
    for (const QChar button : clicks) {
        m.click(button);
        m.clock.advance(gap);
    }
    m.clock.advance(KeyDispatcher::kQueueWindowMs);
    QCOMPARE(m.host.log, run);
    QVERIFY(m.keys.actions().isEmpty());
    QVERIFY(!m.keys.fastMove());
    QVERIFY(!m.busy);
}

void TestMouseDispatcher::fullQueueDropsTheSeventh()
{
    Mouse m;
    for (const QChar button : u"LRLRLRM"_s) {
        m.click(button);
    }
    const QList<qint16> six = {KeyDispatcher::ActionEnter, KeyDispatcher::ActionBack,
                               KeyDispatcher::ActionEnter, KeyDispatcher::ActionBack,
                               KeyDispatcher::ActionEnter, KeyDispatcher::ActionBack};
    QCOMPARE(m.keys.actions(), six);
    m.clock.advance(KeyDispatcher::kQueueWindowMs);
    QCOMPARE(m.host.log, (QStringList{u"Entry"_s, u"after"_s}));
}

void TestMouseDispatcher::middleButtonMovesFastWhileHeld()
{
    Mouse m;
    m.mouse.buttonEvent(MouseButton::Middle, true);
    QVERIFY(m.keys.fastMove());
    QVERIFY(m.keys.actions().isEmpty());
    m.mouse.MouseWheel(-MouseDispatcher::kNotch);
    QCOMPARE(m.host.log, (QStringList{u"stop help"_s, u"select 100"_s, u"show"_s}));
    m.mouse.buttonEvent(MouseButton::Middle, false);
    QVERIFY(!m.keys.fastMove());
    QCOMPARE(m.keys.actions(), QList<qint16>{KeyDispatcher::ActionHelp});
    m.mouse.MouseWheel(-MouseDispatcher::kNotch);
    QCOMPARE(m.host.log.mid(3), (QStringList{u"stop help"_s, u"select 1"_s, u"show"_s}));
    m.clock.advance(KeyDispatcher::kQueueWindowMs);
    QCOMPARE(m.host.log.constLast(), u"Help"_s);
}

void TestMouseDispatcher::wheelItems_data()
{
    QTest::addColumn<int>("rotation");
    QTest::addColumn<bool>("fast");
    QTest::addColumn<int>("items");
    QTest::newRow("a notch towards the user: one down") << -120 << false << 1;
    QTest::newRow("a notch away: one up") << 120 << false << -1;
    QTest::newRow("two notches") << -240 << false << 2;
    QTest::newRow("a notch, fast: a hundred down") << -120 << true << 100;
    QTest::newRow("a notch away, fast: a hundred up") << 120 << true << -100;
    QTest::newRow("half a notch: nothing") << -60 << false << 0;
    QTest::newRow("one and a half: two (even)") << -180 << false << 2;
    QTest::newRow("two and a half: two (even)") << -300 << false << 2;
    QTest::newRow("two and a half away: minus two (even)") << 300 << false << -2;
    QTest::newRow("a third of a notch, fast: 33") << -40 << true << 33;
    QTest::newRow("0.6 of a notch, fast: 60") << -72 << true << 60;
}

void TestMouseDispatcher::wheelItems()
{
    QFETCH(int, rotation);
    QFETCH(bool, fast);
    QFETCH(int, items);
    QCOMPARE(MouseDispatcher::wheelItems(rotation, fast), items);
}

void TestMouseDispatcher::wheel_data()
{
    // Turns one after another, fast or not; the moves they make.
    QTest::addColumn<QList<int>>("turns");
    QTest::addColumn<bool>("fast");
    QTest::addColumn<QStringList>("selects");
    QTest::newRow("one notch down") << QList<int>{-120} << false << QStringList{u"select 1"_s};
    QTest::newRow("one notch up") << QList<int>{120} << false << QStringList{u"select -1"_s};
    QTest::newRow("one notch down, fast") << QList<int>{-120} << true << QStringList{u"select 100"_s};
    QTest::newRow("fine wheel: 40+40+40 is one notch")
        << QList<int>{-40, -40, -40} << false << QStringList{u"select 1"_s};
    QTest::newRow("fine wheel: 40+40 is not yet a notch") << QList<int>{-40, -40} << false << QStringList{};
    QTest::newRow("fine wheel: five times 60 is two notches, the rest kept")
        << QList<int>{-60, -60, -60, -60, -60} << false << QStringList{u"select 1"_s, u"select 1"_s};
    QTest::newRow("fine wheel up") << QList<int>{40, 40, 40} << false << QStringList{u"select -1"_s};
    QTest::newRow("fine wheel, fast: one notch is a hundred")
        << QList<int>{-40, -40, -40} << true << QStringList{u"select 100"_s};
    QTest::newRow("fine wheel turned back starts afresh")
        << QList<int>{-80, 40, 40, 40} << false << QStringList{u"select -1"_s};
    QTest::newRow("half a notch alone: nothing") << QList<int>{-60} << false << QStringList{};
    QTest::newRow("a whole notch drops the fine rest")
        << QList<int>{-80, -120, -80} << false << QStringList{u"select 1"_s};
}

void TestMouseDispatcher::wheel()
{
    QFETCH(QList<int>, turns);
    QFETCH(bool, fast);
    QFETCH(QStringList, selects);
    Mouse m;
    m.keys.setFastMove(fast);
    int moves = 0;
    for (const int rotation : turns) {
        const qsizetype before = m.host.log.size();
        m.mouse.MouseWheel(rotation);
        const QStringList told = m.host.log.mid(before);
        // Every turn shows where the cursor is; a move first stops help.
        QCOMPARE(told.constLast(), u"show"_s);
        if (told.size() > 1) {
            QCOMPARE(told.size(), 3);
            QCOMPARE(told.at(0), u"stop help"_s);
            QCOMPARE(told.at(1), selects.value(moves));
            ++moves;
        }
    }
    QCOMPARE(moves, selects.size());
    QVERIFY(!m.busy);
    QVERIFY(m.keys.actions().isEmpty());
}

void TestMouseDispatcher::wheelWhileBusy()
{
    // A turn while another action runs moves nothing and is not kept, but
    // the list, the counter and the tree are shown again.
    Mouse m;
    m.mouse.MouseWheel(-80);
    m.busy = true;
    m.mouse.MouseWheel(-120);
    m.mouse.MouseWheel(-80);
    QVERIFY(m.busy);
    m.busy = false;
    m.mouse.MouseWheel(-80);
    QCOMPARE(m.host.log, (QStringList{u"show"_s, u"show"_s, u"show"_s, u"show"_s}));
    m.mouse.MouseWheel(-40);
    QCOMPARE(m.host.log.mid(4), (QStringList{u"stop help"_s, u"select 1"_s, u"show"_s}));
}

QTEST_GUILESS_MAIN(TestMouseDispatcher)
#include "TestMouseDispatcher.moc"
