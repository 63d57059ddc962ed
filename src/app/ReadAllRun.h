#pragma once

// The unattended run over the bookmarked threads: from the thread-bookmark
// menu, each bookmark in turn is announced, opened and its new messages read
// (by the reading tick), then the next one, until the voice menu reports the
// end of the list. Leaving the bookmark and reading menus aborts the run. It
// moves one step per tick of its timer, Timer_AllRead, which comes from
// outside; what it asks of the voice menu and the window goes through
// ReadAllHost.

#include <QtGlobal>

class Ticker;

class ReadAllHost
{
public:
    virtual ~ReadAllHost() = default;

    virtual qint16 Get_MenuNo() const = 0;
    virtual int Get_Index() const = 0;
    // The speech engine is idle.
    virtual bool speechDone() const = 0;
    // The thread open for reading has a message still to read.
    virtual bool Have_Message() const = 0;
    virtual bool IsReadable() const = 0;
    // Moves to the bookmark after read_no and says its title; 0 when the
    // list is done (the end is said).
    virtual qint32 Run_AllRead(qint32 read_no) = 0;
    virtual void Stop_AllRead() = 0;
    // The cursor moved to the next bookmark: the list and tree follow it.
    virtual void showNextBookmark() = 0;
    // Opens the bookmark under the cursor and shows its thread.
    virtual void openBookmark() = 0;
    // The window caption without a thread name.
    virtual void showPlainTitle() = 0;
};

class ReadAllRun
{
public:
    enum class State : qint16
    {
        ChooseNext = 0,   // wait for silence, then move to the next bookmark
        TitleSpoken = 1,  // its title is being said
        Open = 2,         // open it
        Reading = 3,      // its messages are being read
        Abort = 4,        // the user left: end the run
    };
    static constexpr int kTickMs = 100;

    ReadAllRun(ReadAllHost& host, Ticker& timer);

    // The read-all key: the run starts (or goes on) with the next tick.
    void start();
    // Pauses the ticks; the voice menu ends the run itself.
    void stop();
    bool isTicking() const;

    void Timer_AllRead_Tick();

    State state() const { return m_allread_state; }

    qint32 position() const { return m_allread_pos; }

private:
    ReadAllHost& m_host;
    Ticker& Timer_AllRead;
    State m_allread_state = State::ChooseNext;
    qint32 m_allread_pos = 0;
};
