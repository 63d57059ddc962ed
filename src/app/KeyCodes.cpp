#include "KeyCodes.h"

#include <QKeyEvent>

#include "app/VirtualKeys.h"

namespace KeyCodes {

namespace VK = VirtualKeys;

quint32 fromQt(const QKeyEvent& event)
{
    const int key = event.key();
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        return quint32(key - Qt::Key_0) + (keypad ? VK::Numpad0 : VK::Digit0);
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return VK::A + quint32(key - Qt::Key_A);
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        return VK::F1 + quint32(key - Qt::Key_F1);
    }
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK::Tab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK::Enter;
    case Qt::Key_Shift:
        return VK::Shift;
    case Qt::Key_Control:
        return VK::Ctrl;
    case Qt::Key_Alt:
        return VK::Alt;
    case Qt::Key_Pause:
        return VK::Pause;
    case Qt::Key_Escape:
        return VK::Escape;
    case Qt::Key_Space:
        return VK::Space;
    case Qt::Key_PageUp:
        return VK::PageUp;
    case Qt::Key_PageDown:
        return VK::PageDown;
    case Qt::Key_End:
        return VK::End;
    case Qt::Key_Home:
        return VK::Home;
    case Qt::Key_Left:
        return VK::Left;
    case Qt::Key_Up:
        return VK::Up;
    case Qt::Key_Right:
        return VK::Right;
    case Qt::Key_Down:
        return VK::Down;
    case Qt::Key_Plus:
        return keypad ? VK::Add : 0;
    case Qt::Key_Minus:
        return keypad ? VK::Subtract : 0;
    case Qt::Key_Slash:
        return VK::Slash;
    default:
        return 0;
    }
}

}  // namespace KeyCodes
