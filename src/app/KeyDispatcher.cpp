#include "KeyDispatcher.h"

#include <QString>

#include "app/Ticker.h"
#include "app/VirtualKeys.h"
#include "voicemenu/VoiceMenu.h"

namespace {

int digitCount(qint64 value)
{
    return int(QString::number(value).size());
}

// Up and down move by one, by ten with Shift, by a hundred with Ctrl or
// while fast moves are on.
int stepFor(KeyDispatcher::Modifiers modifiers, const KeyDispatcher::Context& context)
{
    if (modifiers.ctrl || context.fastMove) {
        return 100;
    }
    return modifiers.shift ? 10 : 1;
}

}  // namespace

KeyCommand KeyDispatcher::commandFor(quint32 code, Modifiers modifiers, const Context& context)
{
    namespace VK = VirtualKeys;
    const bool ctrl = modifiers.ctrl;
    const bool shift = modifiers.shift;
    const bool alt = modifiers.alt;
    const int backwards = shift ? 1 : 0;
    switch (code) {
    case VK::Tab:
        return {KeyAction::NextLink, backwards};
    case VK::Enter:
        return {KeyAction::QueueEnter};
    case VK::Right:
    case VK::L:
        return {context.reverse ? KeyAction::QueueBack : KeyAction::QueueEnter};
    case VK::Escape:
        return {KeyAction::QueueBack};
    case VK::Left:
    case VK::H:
        return {context.reverse ? KeyAction::QueueEnter : KeyAction::QueueBack};
    case VK::Space:
        if (ctrl || alt) {
            return {};
        }
        return {KeyAction::NextParagraph, backwards};
    case VK::PageUp:
        return {KeyAction::ScrollUp};
    case VK::PageDown:
        return {KeyAction::ScrollDown};
    case VK::End:
        return {KeyAction::GoBottom};
    case VK::Home:
        return {KeyAction::GoFirst};
    case VK::G:
        return {shift ? KeyAction::GoBottom : KeyAction::GoFirst};
    case VK::Up:
    case VK::K:
        if (alt) {
            return {KeyAction::NextLine, 1};
        }
        return {KeyAction::Move, -stepFor(modifiers, context)};
    case VK::Down:
    case VK::J:
        if (alt) {
            return {KeyAction::NextLine, 0};
        }
        return {KeyAction::Move, stepFor(modifiers, context)};
    case VK::A:
        return {context.allRead ? KeyAction::StopAllRead : KeyAction::StartAllRead};
    case VK::B:
        return {KeyAction::JumpBookmark};
    case VK::C:
        return {ctrl ? KeyAction::Clip : KeyAction::JumpCategory};
    case VK::D:
        return {KeyAction::Delete};
    case VK::F:
    case VK::Slash:
        return {KeyAction::Find};
    case VK::I:
        return {ctrl && !alt && !shift ? KeyAction::ReadAllInfo : KeyAction::JumpItaBookmark};
    case VK::O:
        return {KeyAction::JumpConfig};
    case VK::P:
        return {KeyAction::PitchMenu};
    case VK::Q:
        return {ctrl && shift ? KeyAction::Quit : KeyAction::Exit};
    case VK::R:
        return {KeyAction::Reload};
    case VK::S:
        return {KeyAction::SpeedMenu};
    case VK::T:
        if (context.readingMenu) {
            return {KeyAction::NextParagraph, backwards};
        }
        return {KeyAction::CreateThread};
    case VK::W:
        return {KeyAction::WriteMessage};
    case VK::Y:
        return {KeyAction::EditModeViewer};
    case VK::U:
        if (ctrl || alt || shift) {
            return {};
        }
        return {KeyAction::ClipTitleUrl};
    case VK::V:
        return {KeyAction::VolumeMenu};
    case VK::Add:
    case VK::Subtract: {
        const int amount = ctrl ? 100 : (shift ? 10 : 1);
        return {KeyAction::MoveBookmark, code == VK::Add ? amount : -amount};
    }
    case VK::E:
    case VK::N:
    case VK::M:
    case VK::X: {
        if (!context.readingMenu || ctrl || alt || shift) {
            return {};
        }
        const KeyAction trip = code == VK::E   ? KeyAction::FollowAnchor
                               : code == VK::N ? KeyAction::ReadReplies
                               : code == VK::M ? KeyAction::ReadSameId
                                               : KeyAction::ReturnTrail;
        return {trip};
    }
    case VK::Z:
        if (ctrl || alt) {
            return {};
        }
        if (context.readingMenu) {
            return {shift ? KeyAction::NgName : KeyAction::NgId};
        }
        return {shift ? KeyAction::None : KeyAction::ThreadOrder};
    case VK::F1:
        return {KeyAction::QueueHelp};
    default:
        return {};
    }
}

KeyDispatcher::KeyDispatcher(KeyDispatcherHost& host, bool& busy, Ticker& mouseTimer, Ticker& numberTimer)
    : m_host(host)
    , m_busy(busy)
    , Timer_Mouse(mouseTimer)
    , Timer_Number(numberTimer)
{
    Timer_Mouse.setHandler([this] { Timer_Mouse_Tick(); });
    Timer_Number.setHandler([this] { Timer_Number_Tick(); });
}

void KeyDispatcher::keyEvent(quint32 code, bool keyDown, Modifiers modifiers)
{
    if (m_host.isEnding()) {
        // Ending: the farewell is said once, and nothing may start now.
        return;
    }
    const bool fixed = m_host.IsMenuFixed();
    if (!keyDown) {
        if (!fixed) {
            keyReleased(code);
        }
        return;
    }
    if (fixed) {
        // Only the quit key acts while a download holds the menu; every
        // other key is dropped, not kept for later.
        if (code == VirtualKeys::Q && modifiers.ctrl && modifiers.shift) {
            m_host.perform({KeyAction::Quit});
        }
        return;
    }
    if (const int digit = VirtualKeys::digitOf(code); digit >= 0) {
        // Further digits past the eighth are not taken.
        if (m_number < 100000000) {
            m_number = m_number * 10 + digit;
        }
        m_host.speakDigit(digit);
        return;
    }
    Context context;
    context.reverse = m_host.IsReverse_LRKey();
    context.fastMove = m_fast_move;
    if (code == VirtualKeys::A) {
        context.allRead = m_host.IsAllRead();
    }
    if (code == VirtualKeys::T || code == VirtualKeys::E || code == VirtualKeys::N || code == VirtualKeys::M
        || code == VirtualKeys::X || code == VirtualKeys::Z) {
        context.readingMenu = m_host.Get_MenuNo() == VoiceMenu::ReadingMenu;
    }
    const KeyCommand command = commandFor(code, modifiers, context);
    switch (command.action) {
    case KeyAction::None:
        break;
    case KeyAction::QueueEnter:
        queueAction(ActionEnter);
        break;
    case KeyAction::QueueBack:
        queueAction(ActionBack);
        break;
    case KeyAction::QueueHelp:
        m_fast_move = true;
        queueAction(ActionHelp);
        break;
    default:
        m_host.perform(command);
        break;
    }
}

void KeyDispatcher::keyReleased(quint32 code)
{
    const bool digit = VirtualKeys::digitOf(code) >= 0;
    // A release while another action runs leaves the typed number and the
    // fast moves as they are.
    if (!m_busy) {
        m_busy = true;
        if (digit) {
            // Once the number has as many digits as the menu has items, no
            // further digit can follow: the jump is due at once.
            const bool complete = digitCount(m_number) == digitCount(m_host.Get_ItemNum());
            Timer_Number.stop();
            Timer_Number.start(complete ? 1 : kNumberWaitMs);
        }
        if (code == VirtualKeys::F1) {
            m_fast_move = false;
        }
        m_busy = false;
        if (!digit) {
            m_number = 0;
        }
    }
    m_host.showCounter();
}

void KeyDispatcher::queueAction(qint16 action)
{
    if (m_actions.size() < kMaxActions) {
        m_actions.append(action);
    }
    Timer_Mouse.start(kQueueWindowMs);
}

void KeyDispatcher::Timer_Mouse_Tick()
{
    Timer_Mouse.stop();
    if (m_host.isEnding() || m_host.IsMenuFixed()) {
        // The farewell has been said; an Enter pressed while it plays must
        // not say it again. Nor does an action queued before a download
        // started act in the middle of it: it is dropped, as the keys are.
        m_actions.clear();
        return;
    }
    if (!m_busy && !m_actions.isEmpty()) {
        m_busy = true;
        const qint16 action = m_actions.first();
        const bool twice = m_actions.size() >= 2 && m_actions.at(1) == action;
        bool navigated = false;
        if (twice) {
            if (action == ActionEnter) {
                m_host.runQueued(QueuedCommand::Special);
            } else if (action == ActionBack) {
                m_host.runQueued(QueuedCommand::GoMain);
                navigated = true;
            }
        } else if (action == ActionEnter) {
            m_host.runQueued(QueuedCommand::Entry);
            navigated = true;
        } else if (action == ActionBack) {
            m_host.runQueued(QueuedCommand::GoBack);
            navigated = true;
        } else if (action == ActionHelp) {
            m_host.runQueued(QueuedCommand::Help);
        }
        m_busy = false;
        if (navigated) {
            m_host.afterNavigation();
        }
    }
    m_actions.clear();
}

void KeyDispatcher::Timer_Number_Tick()
{
    Timer_Number.stop();
    if (m_number > 0) {
        m_host.jumpToNumber(m_number);
        m_number = 0;
    }
}
