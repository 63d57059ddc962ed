#pragma once

// The keys the program reacts to, as the virtual-key codes its key table is
// written with, translated from Qt's key events in one place.

#include <QtGlobal>

class QKeyEvent;

namespace KeyCodes {

// The virtual-key code of the key of the event, 0 when the program has no use
// for it. Keypad digits and the keypad "+" and "-" keep codes of their own.
quint32 fromQt(const QKeyEvent& event);

}  // namespace KeyCodes
