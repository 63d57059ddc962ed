// The main window's keys without a window: the key table, the action queue
// with its double presses, typed item numbers, and keys while the menu is
// held or the program ends. Time moves by hand.

#include <QTest>

#include "ManualClock.h"
#include "app/KeyDispatcher.h"
#include "app/VirtualKeys.h"
#include "voicemenu/VoiceMenu.h"

using namespace Qt::StringLiterals;
namespace VK = VirtualKeys;

Q_DECLARE_METATYPE(KeyAction)

namespace {

// The window as the dispatcher sees it; what it is told is written down.
struct FakeHost : KeyDispatcherHost
{
    bool ending = false;
    bool fixed = false;
    bool reverse = false;
    bool allRead = false;
    qint16 menuNo = 0;
    int itemNum = 35;
    QStringList log;

    bool isEnding() const override { return ending; }

    bool IsMenuFixed() const override { return fixed; }

    bool IsReverse_LRKey() const override { return reverse; }

    bool IsAllRead() const override { return allRead; }

    qint16 Get_MenuNo() const override { return menuNo; }

    int Get_ItemNum() const override { return itemNum; }

    void perform(const KeyCommand& command) override
    {
        log << u"perform %1 %2"_s.arg(int(command.action)).arg(command.amount);
    }

    void speakDigit(int digit) override { log << u"digit %1"_s.arg(digit); }

    void runQueued(QueuedCommand command) override
    {
        static const char* const names[] = {"Entry", "GoBack", "Help", "Special", "GoMain"};
        log << QString::fromLatin1(names[int(command)]);
    }

    void afterNavigation() override { log << u"after"_s; }

    void jumpToNumber(qint32 number) override { log << u"jump %1"_s.arg(number); }

    void showCounter() override { log << u"counter"_s; }
};

struct Keys
{
    ManualClock clock;
    ManualTicker mouse{clock};
    ManualTicker number{clock};
    FakeHost host;
    bool busy = false;
    KeyDispatcher keys{host, busy, mouse, number};

    void press(quint32 code, KeyDispatcher::Modifiers modifiers = {})
    {
        keys.keyEvent(code, true, modifiers);
        keys.keyEvent(code, false, modifiers);
    }

    // What was run, leaving out the counters each release refreshes.
    QStringList actions() const
    {
        QStringList out;
        for (const QString& entry : host.log) {
            if (entry != u"counter"_s) {
                out << entry;
            }
        }
        return out;
    }
};

QString performed(KeyAction action, int amount = 0)
{
    return u"perform %1 %2"_s.arg(int(action)).arg(amount);
}

}  // namespace

class TestKeyDispatcher : public QObject
{
    Q_OBJECT

private slots:
    void keyTable_data();
    void keyTable();
    void queue_data();
    void queue();
    void queueDropsPastSix();
    void queueWaitsWhileBusy();
    void typedNumbers_data();
    void typedNumbers();
    void releaseWhileBusy();
    void fastMoveWhileF1IsHeld();
    void menuHeld_data();
    void menuHeld();
    void nothingActsWhileEnding();
};

void TestKeyDispatcher::keyTable_data()
{
    QTest::addColumn<quint32>("code");
    QTest::addColumn<int>("modifiers");  // 1 Ctrl, 2 Shift, 4 Alt
    QTest::addColumn<int>("context");    // 1 reverse, 2 fast move, 4 read-all on, 8 reading menu
    QTest::addColumn<KeyAction>("action");
    QTest::addColumn<int>("amount");
    using A = KeyAction;
    QTest::newRow("Tab") << VK::Tab << 0 << 0 << A::NextLink << 0;
    QTest::newRow("Shift+Tab backwards") << VK::Tab << 2 << 0 << A::NextLink << 1;
    QTest::newRow("Enter") << VK::Enter << 0 << 0 << A::QueueEnter << 0;
    QTest::newRow("Enter, reversed: still enters") << VK::Enter << 0 << 1 << A::QueueEnter << 0;
    QTest::newRow("Esc") << VK::Escape << 0 << 0 << A::QueueBack << 0;
    QTest::newRow("Esc, reversed: still back") << VK::Escape << 0 << 1 << A::QueueBack << 0;
    QTest::newRow("Right") << VK::Right << 0 << 0 << A::QueueEnter << 0;
    QTest::newRow("L") << VK::L << 0 << 0 << A::QueueEnter << 0;
    QTest::newRow("Right, reversed") << VK::Right << 0 << 1 << A::QueueBack << 0;
    QTest::newRow("L, reversed") << VK::L << 0 << 1 << A::QueueBack << 0;
    QTest::newRow("Left") << VK::Left << 0 << 0 << A::QueueBack << 0;
    QTest::newRow("H") << VK::H << 0 << 0 << A::QueueBack << 0;
    QTest::newRow("Left, reversed") << VK::Left << 0 << 1 << A::QueueEnter << 0;
    QTest::newRow("H, reversed") << VK::H << 0 << 1 << A::QueueEnter << 0;
    QTest::newRow("Space") << VK::Space << 0 << 0 << A::NextParagraph << 0;
    QTest::newRow("Shift+Space backwards") << VK::Space << 2 << 0 << A::NextParagraph << 1;
    QTest::newRow("Ctrl+Space: nothing") << VK::Space << 1 << 0 << A::None << 0;
    QTest::newRow("Alt+Space: nothing") << VK::Space << 4 << 0 << A::None << 0;
    QTest::newRow("Page Up") << VK::PageUp << 0 << 0 << A::ScrollUp << 0;
    QTest::newRow("Page Down") << VK::PageDown << 0 << 0 << A::ScrollDown << 0;
    QTest::newRow("End") << VK::End << 0 << 0 << A::GoBottom << 0;
    QTest::newRow("Shift+G") << VK::G << 2 << 0 << A::GoBottom << 0;
    QTest::newRow("Home") << VK::Home << 0 << 0 << A::GoFirst << 0;
    QTest::newRow("G") << VK::G << 0 << 0 << A::GoFirst << 0;
    QTest::newRow("Up") << VK::Up << 0 << 0 << A::Move << -1;
    QTest::newRow("Shift+K") << VK::K << 2 << 0 << A::Move << -10;
    QTest::newRow("Ctrl+Up") << VK::Up << 1 << 0 << A::Move << -100;
    QTest::newRow("Up, fast") << VK::Up << 0 << 2 << A::Move << -100;
    QTest::newRow("Alt+Up: line back") << VK::Up << 4 << 0 << A::NextLine << 1;
    QTest::newRow("Down") << VK::Down << 0 << 0 << A::Move << 1;
    QTest::newRow("Shift+J") << VK::J << 2 << 0 << A::Move << 10;
    QTest::newRow("Ctrl+Shift+Down: Ctrl wins") << VK::Down << 3 << 0 << A::Move << 100;
    QTest::newRow("Alt+J: line on") << VK::J << 4 << 0 << A::NextLine << 0;
    QTest::newRow("A starts the run") << VK::A << 0 << 0 << A::StartAllRead << 0;
    QTest::newRow("A while it runs stops it") << VK::A << 0 << 4 << A::StopAllRead << 0;
    QTest::newRow("B") << VK::B << 0 << 0 << A::JumpBookmark << 0;
    QTest::newRow("C") << VK::C << 0 << 0 << A::JumpCategory << 0;
    QTest::newRow("Ctrl+C") << VK::C << 1 << 0 << A::Clip << 0;
    QTest::newRow("D") << VK::D << 0 << 0 << A::Delete << 0;
    QTest::newRow("F") << VK::F << 0 << 0 << A::Find << 0;
    QTest::newRow("slash") << VK::Slash << 0 << 0 << A::Find << 0;
    QTest::newRow("I") << VK::I << 0 << 0 << A::JumpItaBookmark << 0;
    QTest::newRow("Ctrl+I") << VK::I << 1 << 0 << A::ReadAllInfo << 0;
    QTest::newRow("Ctrl+Shift+I") << VK::I << 3 << 0 << A::JumpItaBookmark << 0;
    QTest::newRow("O") << VK::O << 0 << 0 << A::JumpConfig << 0;
    QTest::newRow("P") << VK::P << 0 << 0 << A::PitchMenu << 0;
    QTest::newRow("S") << VK::S << 0 << 0 << A::SpeedMenu << 0;
    QTest::newRow("V") << VK::V << 0 << 0 << A::VolumeMenu << 0;
    QTest::newRow("Q") << VK::Q << 0 << 0 << A::Exit << 0;
    QTest::newRow("Ctrl+Q") << VK::Q << 1 << 0 << A::Exit << 0;
    QTest::newRow("Ctrl+Shift+Q") << VK::Q << 3 << 0 << A::Quit << 0;
    QTest::newRow("R") << VK::R << 0 << 0 << A::Reload << 0;
    QTest::newRow("T reading") << VK::T << 0 << 8 << A::NextParagraph << 0;
    QTest::newRow("Shift+T reading") << VK::T << 2 << 8 << A::NextParagraph << 1;
    QTest::newRow("T elsewhere") << VK::T << 0 << 0 << A::CreateThread << 0;
    QTest::newRow("E reading") << VK::E << 0 << 8 << A::FollowAnchor << 0;
    QTest::newRow("N reading") << VK::N << 0 << 8 << A::ReadReplies << 0;
    QTest::newRow("M reading") << VK::M << 0 << 8 << A::ReadSameId << 0;
    QTest::newRow("X reading") << VK::X << 0 << 8 << A::ReturnTrail << 0;
    QTest::newRow("E elsewhere: nothing") << VK::E << 0 << 0 << A::None << 0;
    QTest::newRow("Shift+X reading: nothing") << VK::X << 2 << 8 << A::None << 0;
    QTest::newRow("W") << VK::W << 0 << 0 << A::WriteMessage << 0;
    QTest::newRow("W reading") << VK::W << 0 << 8 << A::WriteMessage << 0;
    QTest::newRow("Y reading") << VK::Y << 0 << 8 << A::EditModeViewer << 0;
    QTest::newRow("Y elsewhere: the menu decides") << VK::Y << 0 << 0 << A::EditModeViewer << 0;
    QTest::newRow("U") << VK::U << 0 << 0 << A::ClipTitleUrl << 0;
    QTest::newRow("Shift+U: nothing") << VK::U << 2 << 0 << A::None << 0;
    QTest::newRow("keypad +") << VK::Add << 0 << 0 << A::MoveBookmark << 1;
    QTest::newRow("Shift+keypad +") << VK::Add << 2 << 0 << A::MoveBookmark << 10;
    QTest::newRow("Ctrl+keypad -") << VK::Subtract << 1 << 0 << A::MoveBookmark << -100;
    QTest::newRow("F1") << VK::F1 << 0 << 0 << A::QueueHelp << 0;
    QTest::newRow("Z: the thread order") << VK::Z << 0 << 0 << A::ThreadOrder << 0;
    QTest::newRow("Z reading: the ID") << VK::Z << 0 << 8 << A::NgId << 0;
    QTest::newRow("Shift+Z reading: the name") << VK::Z << 2 << 8 << A::NgName << 0;
    QTest::newRow("Ctrl+Z reading: nothing") << VK::Z << 1 << 8 << A::None << 0;
    QTest::newRow("F12: nothing") << VK::F12 << 0 << 0 << A::None << 0;
}

void TestKeyDispatcher::keyTable()
{
    QFETCH(quint32, code);
    QFETCH(int, modifiers);
    QFETCH(int, context);
    QFETCH(KeyAction, action);
    QFETCH(int, amount);
    KeyDispatcher::Context c;
    c.reverse = context & 1;
    c.fastMove = context & 2;
    c.allRead = context & 4;
    c.readingMenu = context & 8;
    const KeyCommand command =
        KeyDispatcher::commandFor(code, {bool(modifiers & 1), bool(modifiers & 2), bool(modifiers & 4)}, c);
    QCOMPARE(int(command.action), int(action));
    QCOMPARE(command.amount, amount);

    // Pressed, the key does the same with the window's state behind it.
    Keys k;
    k.host.reverse = c.reverse;
    k.host.allRead = c.allRead;
    k.host.menuNo = c.readingMenu ? qint16(VoiceMenu::ReadingMenu) : qint16(VoiceMenu::MainMenu);
    k.keys.setFastMove(c.fastMove);
    k.keys.keyEvent(code, true, {bool(modifiers & 1), bool(modifiers & 2), bool(modifiers & 4)});
    const bool queued =
        action == KeyAction::QueueEnter || action == KeyAction::QueueBack || action == KeyAction::QueueHelp;
    if (queued) {
        const qint16 expected =
            action == KeyAction::QueueEnter
                ? KeyDispatcher::ActionEnter
                : (action == KeyAction::QueueBack ? KeyDispatcher::ActionBack : KeyDispatcher::ActionHelp);
        QCOMPARE(k.keys.actions(), QList<qint16>{expected});
        QVERIFY(k.host.log.isEmpty());
    } else if (action == KeyAction::None) {
        QVERIFY(k.host.log.isEmpty());
    } else {
        QCOMPARE(k.host.log, QStringList{performed(action, amount)});
    }
}

void TestKeyDispatcher::queue_data()
{
    // Keys with the time (ms) before the next one; then the queue runs out.
    QTest::addColumn<QList<quint32>>("keys");
    QTest::addColumn<int>("gap");
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<QStringList>("run");
    QTest::newRow("Enter") << QList<quint32>{VK::Enter} << 0 << false << QStringList{u"Entry"_s, u"after"_s};
    QTest::newRow("Enter twice within 250 ms: Special once")
        << QList<quint32>{VK::Enter, VK::Enter} << 100 << false << QStringList{u"Special"_s};
    QTest::newRow("Enter twice 300 ms apart: enters twice")
        << QList<quint32>{VK::Enter, VK::Enter} << 300 << false
        << QStringList{u"Entry"_s, u"after"_s, u"Entry"_s, u"after"_s};
    QTest::newRow("Esc twice: to the main menu")
        << QList<quint32>{VK::Escape, VK::Escape} << 249 << false << QStringList{u"GoMain"_s, u"after"_s};
    QTest::newRow("Enter then Esc: only enters")
        << QList<quint32>{VK::Enter, VK::Escape} << 50 << false << QStringList{u"Entry"_s, u"after"_s};
    QTest::newRow("Right and Enter, reversed: back only")
        << QList<quint32>{VK::Right, VK::Enter} << 50 << true << QStringList{u"GoBack"_s, u"after"_s};
    QTest::newRow("Left then Right, reversed: enter, back")
        << QList<quint32>{VK::Left, VK::Right} << 300 << true
        << QStringList{u"Entry"_s, u"after"_s, u"GoBack"_s, u"after"_s};
    QTest::newRow("Left and H, reversed: Special")
        << QList<quint32>{VK::Left, VK::H} << 10 << true << QStringList{u"Special"_s};
    QTest::newRow("F1: help") << QList<quint32>{VK::F1} << 0 << false << QStringList{u"Help"_s};
    QTest::newRow("F1 twice: nothing") << QList<quint32>{VK::F1, VK::F1} << 100 << false << QStringList{};
    QTest::newRow("three Enters: the first two decide")
        << QList<quint32>{VK::Enter, VK::Enter, VK::Enter} << 100 << false << QStringList{u"Special"_s};
}

void TestKeyDispatcher::queue()
{
    QFETCH(QList<quint32>, keys);
    QFETCH(int, gap);
    QFETCH(bool, reverse);
    QFETCH(QStringList, run);
    Keys k;
    k.host.reverse = reverse;
    for (const quint32 code : keys) {
        k.press(code);
        k.clock.advance(gap);
    }
    k.clock.advance(KeyDispatcher::kQueueWindowMs);
    QCOMPARE(k.actions(), run);
    QVERIFY(k.keys.actions().isEmpty());
    QVERIFY(!k.mouse.isActive());
    QVERIFY(!k.busy);
}

void TestKeyDispatcher::queueDropsPastSix()
{
    Keys k;
    k.keys.queueAction(KeyDispatcher::ActionBack);
    for (int i = 0; i < 7; ++i) {
        k.keys.queueAction(KeyDispatcher::ActionEnter);
    }
    QCOMPARE(k.keys.actions().size(), KeyDispatcher::kMaxActions);
    QCOMPARE(k.keys.actions().constLast(), qint16(KeyDispatcher::ActionEnter));
    k.clock.advance(KeyDispatcher::kQueueWindowMs);
    QCOMPARE(k.actions(), (QStringList{u"GoBack"_s, u"after"_s}));
    QVERIFY(k.keys.actions().isEmpty());
}

void TestKeyDispatcher::queueWaitsWhileBusy()
{
    // An action still running when the queue runs out: the queued keys are
    // dropped, not kept for later.
    Keys k;
    k.press(VK::Enter);
    k.busy = true;
    k.clock.advance(KeyDispatcher::kQueueWindowMs);
    QVERIFY(k.actions().isEmpty());
    QVERIFY(k.keys.actions().isEmpty());
    k.busy = false;
    k.clock.advance(1000);
    QVERIFY(k.actions().isEmpty());
}

void TestKeyDispatcher::typedNumbers_data()
{
    QTest::addColumn<int>("items");
    QTest::addColumn<QList<quint32>>("keys");
    QTest::addColumn<int>("wait");  // after the last key
    QTest::addColumn<QStringList>("run");
    QTest::newRow("1 of 35 waits for a second digit")
        << 35 << QList<quint32>{'1'} << KeyDispatcher::kNumberWaitMs - 1 << QStringList{u"digit 1"_s};
    QTest::newRow("1 of 35 jumps after 400 ms") << 35 << QList<quint32>{'1'} << KeyDispatcher::kNumberWaitMs
                                                << QStringList{u"digit 1"_s, u"jump 1"_s};
    QTest::newRow("1, 2 of 35 jumps at once")
        << 35 << QList<quint32>{'1', '2'} << 1 << QStringList{u"digit 1"_s, u"digit 2"_s, u"jump 12"_s};
    QTest::newRow("keypad 3 of 9 jumps at once")
        << 9 << QList<quint32>{VK::Numpad0 + 3} << 1 << QStringList{u"digit 3"_s, u"jump 3"_s};
    QTest::newRow("0 alone goes nowhere") << 9 << QList<quint32>{'0'} << 1 << QStringList{u"digit 0"_s};
    QTest::newRow("1, 0, 5 of 120") << 120 << QList<quint32>{'1', '0', VK::Numpad0 + 5} << 1
                                    << QStringList{u"digit 1"_s, u"digit 0"_s, u"digit 5"_s, u"jump 105"_s};
    QTest::newRow("another key drops the number")
        << 35 << QList<quint32>{'1', VK::B} << KeyDispatcher::kNumberWaitMs
        << QStringList{u"digit 1"_s, performed(KeyAction::JumpBookmark)};
}

void TestKeyDispatcher::typedNumbers()
{
    QFETCH(int, items);
    QFETCH(QList<quint32>, keys);
    QFETCH(int, wait);
    QFETCH(QStringList, run);
    Keys k;
    k.host.itemNum = items;
    for (const quint32 code : keys) {
        k.press(code);
    }
    k.clock.advance(wait);
    QCOMPARE(k.actions(), run);
    // Every release shows the counters.
    QCOMPARE(k.host.log.count(u"counter"_s), keys.size());
}

void TestKeyDispatcher::releaseWhileBusy()
{
    // A digit released while an action runs starts no jump and keeps the
    // number; a later release of another digit starts it.
    Keys k;
    k.keys.keyEvent('4', true, {});
    k.busy = true;
    k.keys.keyEvent('4', false, {});
    QVERIFY(!k.number.isActive());
    QCOMPARE(k.keys.number(), 4);
    QCOMPARE(k.host.log.constLast(), u"counter"_s);
    k.keys.keyEvent(VK::B, false, {});  // nor does another key clear it
    QCOMPARE(k.keys.number(), 4);
    k.busy = false;
    k.press('2');
    QCOMPARE(k.number.interval(), 1);
    k.clock.advance(1);
    QCOMPARE(k.host.log.filter(u"jump"_s), QStringList{u"jump 42"_s});
    QCOMPARE(k.keys.number(), 0);
}

void TestKeyDispatcher::fastMoveWhileF1IsHeld()
{
    Keys k;
    k.keys.keyEvent(VK::F1, true, {});
    QVERIFY(k.keys.fastMove());
    k.press(VK::Down);
    k.keys.keyEvent(VK::F1, false, {});
    QVERIFY(!k.keys.fastMove());
    k.press(VK::Down);
    QCOMPARE(k.host.log.filter(u"perform"_s),
             (QStringList{performed(KeyAction::Move, 100), performed(KeyAction::Move, 1)}));
}

void TestKeyDispatcher::menuHeld_data()
{
    QTest::addColumn<quint32>("code");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QStringList>("run");
    QTest::newRow("Down") << VK::Down << 0 << QStringList{};
    QTest::newRow("Enter") << VK::Enter << 0 << QStringList{};
    QTest::newRow("a digit") << quint32('5') << 0 << QStringList{};
    QTest::newRow("Q") << VK::Q << 0 << QStringList{};
    QTest::newRow("Ctrl+Q") << VK::Q << 1 << QStringList{};
    QTest::newRow("Ctrl+Shift+Q ends") << VK::Q << 3 << QStringList{performed(KeyAction::Quit)};
}

void TestKeyDispatcher::menuHeld()
{
    // While a download holds the menu only the quit key acts; nothing is
    // kept for later, and releases show nothing.
    QFETCH(quint32, code);
    QFETCH(int, modifiers);
    QFETCH(QStringList, run);
    Keys k;
    k.host.fixed = true;
    k.press(code, {bool(modifiers & 1), bool(modifiers & 2), false});
    k.host.fixed = false;
    k.clock.advance(1000);
    QCOMPARE(k.host.log, run);
    QCOMPARE(k.keys.number(), 0);
    QVERIFY(k.keys.actions().isEmpty());
}

void TestKeyDispatcher::nothingActsWhileEnding()
{
    Keys k;
    k.press(VK::Enter);
    k.host.ending = true;
    k.press(VK::Down);
    k.press(VK::Q, {true, true, false});
    k.clock.advance(KeyDispatcher::kQueueWindowMs);
    QVERIFY(k.actions().isEmpty());
    QVERIFY(k.keys.actions().isEmpty());
}

QTEST_GUILESS_MAIN(TestKeyDispatcher)
#include "TestKeyDispatcher.moc"
