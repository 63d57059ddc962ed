#pragma once

// The main window's keys without the window: which key does what (the key
// table), the action queue that turns a quick double Enter or Esc into a
// command of its own, and item numbers typed on the keyboard. It is fed the
// virtual-key code and the modifier state of each press and release, asks
// the window (KeyDispatcherHost) what it needs to know and tells it what to
// do. Its two timers, Timer_Mouse and Timer_Number, come from outside.

#include <QList>
#include <QtGlobal>

class Ticker;

// What one key press asks for.
enum class KeyAction
{
    None,
    QueueEnter,  // into the action queue
    QueueBack,
    QueueHelp,      // and fast moves while the key is held
    NextLink,       // amount 1: backwards
    NextParagraph,  // amount 1: backwards
    NextLine,       // amount 1: backwards
    ScrollUp,       // the message text by a page
    ScrollDown,
    GoFirst,
    GoBottom,
    Move,  // the cursor by amount items
    StartAllRead,
    StopAllRead,
    JumpBookmark,
    JumpItaBookmark,
    JumpCategory,
    JumpConfig,
    PitchMenu,
    SpeedMenu,
    VolumeMenu,
    Clip,
    ClipTitleUrl,
    Delete,
    ReadAllInfo,
    Reload,
    Exit,          // to the exit menu
    Quit,          // at once, without asking
    MoveBookmark,  // the bookmark by amount places
    Find,          // the find dialog
    CreateThread,
    WriteMessage,
    EditModeViewer,  // the message being read as editable text
    FollowAnchor,    // while a message is read: the message its anchor names
    ReadReplies,     // the later messages that answer it
    ReadSameId,      // the other messages of its ID
    ReturnTrail,     // back to where the reading was before one of those
    NgId,            // while a message is read: あぼーん its ID, or no longer
    NgName,          // the same for its name
    ThreadOrder,     // the next order of the thread list
};

struct KeyCommand
{
    KeyAction action = KeyAction::None;
    int amount = 0;

    friend bool operator==(const KeyCommand&, const KeyCommand&) = default;
};

// What the action queue runs, once per queue window.
enum class QueuedCommand
{
    Entry,
    GoBack,
    Help,
    Special,  // Enter twice
    GoMain,   // Esc twice
};

class KeyDispatcherHost
{
public:
    virtual ~KeyDispatcherHost() = default;

    // The program is ending: no key and no queued action acts any more.
    virtual bool isEnding() const = 0;
    virtual bool IsMenuFixed() const = 0;
    virtual bool IsReverse_LRKey() const = 0;
    virtual bool IsAllRead() const = 0;
    virtual qint16 Get_MenuNo() const = 0;
    virtual int Get_ItemNum() const = 0;

    virtual void perform(const KeyCommand& command) = 0;
    virtual void speakDigit(int digit) = 0;
    virtual void runQueued(QueuedCommand command) = 0;
    // After an entry, a way back or the way to the main menu.
    virtual void afterNavigation() = 0;
    // Moves the cursor to the typed item number.
    virtual void jumpToNumber(qint32 number) = 0;
    // Shows the current item and the item count.
    virtual void showCounter() = 0;
};

class KeyDispatcher
{
public:
    // Action codes of the queue (the mouse buttons feed the same codes).
    enum Action : qint16
    {
        ActionEnter = 1,
        ActionBack = 2,
        ActionHelp = 4,
    };

    static constexpr int kMaxActions = 6;
    static constexpr int kQueueWindowMs = 250;
    static constexpr int kNumberWaitMs = 400;

    struct Modifiers
    {
        bool ctrl = false;
        bool shift = false;
        bool alt = false;
    };

    // What the key table looks at besides the key and its modifiers.
    struct Context
    {
        bool reverse = false;      // left and right swapped
        bool fastMove = false;     // F1 or the middle button held
        bool allRead = false;      // the read-all run is on
        bool readingMenu = false;  // a thread is open for reading
    };

    // The key table: what a press of the key asks for. Digits are not in it.
    static KeyCommand commandFor(quint32 code, Modifiers modifiers, const Context& context);

    // busy: the window's guard against starting an action while one runs.
    KeyDispatcher(KeyDispatcherHost& host, bool& busy, Ticker& mouseTimer, Ticker& numberTimer);

    // One key press or release.
    void keyEvent(quint32 code, bool keyDown, Modifiers modifiers);

    // Puts an action into the queue; a full queue drops it.
    void queueAction(qint16 action);

    void Timer_Mouse_Tick();
    void Timer_Number_Tick();

    bool fastMove() const { return m_fast_move; }

    void setFastMove(bool on) { m_fast_move = on; }

    qint32 number() const { return m_number; }

    const QList<qint16>& actions() const { return m_actions; }

private:
    void keyReleased(quint32 code);

    KeyDispatcherHost& m_host;
    bool& m_busy;
    Ticker& Timer_Mouse;
    Ticker& Timer_Number;
    QList<qint16> m_actions;
    qint32 m_number = 0;
    bool m_fast_move = false;
};
