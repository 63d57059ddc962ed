#pragma once

// What the window-position store needs of a window: its place and size in
// twips and its state (0 normal, 1 minimized, 2 maximized). The widgets layer
// adapts real windows to it; tests use a plain object.

class FormWindow
{
public:
    enum State
    {
        Normal = 0,
        Minimized = 1,
        Maximized = 2,
    };

    virtual ~FormWindow() = default;

    virtual int top() const = 0;
    virtual int left() const = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual int windowState() const = 0;

    // Each returns false when the window refuses the value.
    virtual bool setTop(int twips) = 0;
    virtual bool setLeft(int twips) = 0;
    virtual bool setWidth(int twips) = 0;
    virtual bool setHeight(int twips) = 0;
    virtual bool setWindowState(int state) = 0;
};
