#include "MouseDispatcher.h"

#include <cmath>
#include <cstdlib>

#include "app/KeyDispatcher.h"

MouseDispatcher::MouseDispatcher(MouseDispatcherHost& host, KeyDispatcher& keys, bool& busy)
    : m_host(host)
    , m_keys(keys)
    , m_busy(busy)
{}

void MouseDispatcher::buttonEvent(MouseButton button, bool pressed)
{
    if (m_host.IsMenuFixed()) {
        return;
    }
    switch (button) {
    case MouseButton::Left:
        if (!pressed) {
            m_keys.queueAction(KeyDispatcher::ActionEnter);
        }
        break;
    case MouseButton::Right:
        if (!pressed) {
            m_keys.queueAction(KeyDispatcher::ActionBack);
        }
        break;
    case MouseButton::Middle:
        m_keys.setFastMove(pressed);
        if (!pressed) {
            m_keys.queueAction(KeyDispatcher::ActionHelp);
        }
        break;
    case MouseButton::Other:
        break;
    }
}

int MouseDispatcher::wheelItems(int rotation, bool fast)
{
    const qint64 scaled = -qint64(rotation) * (fast ? kFastItems : 1);
    // The default rounding mode takes halves to the even neighbour.
    return int(std::nearbyint(double(scaled) / kNotch));
}

int MouseDispatcher::wholeNotches(int rotation)
{
    if (std::abs(rotation) >= kNotch) {
        m_partial = 0;
        return rotation;
    }
    // A turn the other way starts afresh.
    if ((m_partial < 0 && rotation > 0) || (m_partial > 0 && rotation < 0)) {
        m_partial = 0;
    }
    m_partial += rotation;
    const int whole = m_partial / kNotch * kNotch;
    m_partial -= whole;
    return whole;
}

void MouseDispatcher::MouseWheel(int rotation)
{
    if (!m_busy && !m_host.IsMenuFixed()) {
        m_busy = true;
        const int items = wheelItems(wholeNotches(rotation), m_keys.fastMove());
        // Part of a notch says nothing: the item is not spoken again.
        if (items != 0) {
            m_host.Stop_HelpRead();
            m_host.Select_(items);
        }
        m_busy = false;
    } else {
        // A turn while another action runs is dropped, not kept for later.
        m_partial = 0;
    }
    m_host.showCurrentItem();
}
