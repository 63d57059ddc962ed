#include "ReadAllRun.h"

#include "app/Ticker.h"
#include "voicemenu/VoiceMenu.h"

ReadAllRun::ReadAllRun(ReadAllHost& host, Ticker& timer)
    : m_host(host)
    , Timer_AllRead(timer)
{
    Timer_AllRead.setHandler([this] { Timer_AllRead_Tick(); });
}

void ReadAllRun::start()
{
    Timer_AllRead.start(kTickMs);
}

void ReadAllRun::stop()
{
    Timer_AllRead.stop();
}

bool ReadAllRun::isTicking() const
{
    return Timer_AllRead.isActive();
}

void ReadAllRun::Timer_AllRead_Tick()
{
    Timer_AllRead.stop();
    const qint16 menu = m_host.Get_MenuNo();
    const bool bookmarks = menu == VoiceMenu::BookmarkMenu;
    const bool done = m_host.speechDone();
    bool again = true;
    switch (m_allread_state) {
    case State::ChooseNext:
        if (bookmarks || m_allread_pos != 0) {
            if (done) {
                m_allread_pos = m_host.Run_AllRead(m_allread_pos);
                if (m_allread_pos != 0) {
                    m_host.showNextBookmark();
                    m_allread_state = State::TitleSpoken;
                } else {
                    again = false;
                }
            }
        } else {
            again = false;
        }
        break;
    case State::TitleSpoken:
        if (!bookmarks) {
            m_allread_state = State::Abort;
        } else if (done) {
            m_allread_state = State::Open;
        }
        break;
    case State::Open:
        if (bookmarks) {
            m_allread_pos = m_host.Get_Index();
            m_host.openBookmark();
            m_allread_state = State::Reading;
        } else {
            m_allread_state = State::Abort;
        }
        break;
    case State::Reading:
        if (bookmarks) {
            m_allread_state = State::ChooseNext;
        } else if (menu == VoiceMenu::ReadingMenu) {
            // The thread is read to its end when nothing is left to say.
            if (done && !m_host.Have_Message() && !m_host.IsReadable()) {
                m_allread_state = State::ChooseNext;
            }
        } else {
            m_allread_state = State::Abort;
        }
        break;
    case State::Abort:
        break;
    }
    if (m_allread_state == State::Abort) {
        m_allread_pos = 0;
        m_allread_state = State::ChooseNext;
        m_host.Stop_AllRead();
        m_host.showPlainTitle();
        again = false;
    }
    if (again) {
        Timer_AllRead.start(kTickMs);
    }
}
