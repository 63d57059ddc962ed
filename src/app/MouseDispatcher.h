#pragma once

// The main window's mouse without the window: the buttons go into the key
// handler's action queue (left enters, right goes back, the middle button
// asks for help and moves fast while held), and the wheel moves the cursor
// through the current menu. It is fed each button press and release and each
// wheel turn; the window translates its events and draws the result.

#include <QtGlobal>

class KeyDispatcher;

enum class MouseButton
{
    Left,
    Right,
    Middle,
    Other,
};

class MouseDispatcherHost
{
public:
    virtual ~MouseDispatcherHost() = default;

    // A download or the opening of a thread holds the menu: buttons and the
    // wheel are dropped, as keys are.
    virtual bool IsMenuFixed() const = 0;

    virtual void Stop_HelpRead() = 0;
    // Moves the cursor of the current menu by delta items.
    virtual void Select_(int delta) = 0;
    // Shows the current item in the list, its number and the tree.
    virtual void showCurrentItem() = 0;
};

class MouseDispatcher
{
public:
    // One notch of the wheel, in eighths of a degree.
    static constexpr int kNotch = 120;
    // Items per notch while fast moves are on.
    static constexpr int kFastItems = 100;

    // busy: the window's guard against starting an action while one runs.
    MouseDispatcher(MouseDispatcherHost& host, KeyDispatcher& keys, bool& busy);

    // A button went down (pressed) or up.
    void buttonEvent(MouseButton button, bool pressed);

    // The wheel turned by rotation (positive away from the user). Wheels
    // that report less than a notch at a time are added up to whole notches.
    void MouseWheel(int rotation);

    // Items the cursor moves for a turn of rotation: one down per notch
    // towards the user, a hundred while fast, halves rounded to even.
    static int wheelItems(int rotation, bool fast);

private:
    // The whole notches of rotation, with what a fine wheel left over.
    int wholeNotches(int rotation);

    MouseDispatcherHost& m_host;
    KeyDispatcher& m_keys;
    bool& m_busy;
    int m_partial = 0;
};
