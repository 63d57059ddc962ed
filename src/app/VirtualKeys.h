#pragma once

// The virtual-key codes the program's keys are written with. Qt's key events
// are translated to these in one place (KeyCodes); the key table works on
// them only.

#include <QtGlobal>

namespace VirtualKeys {

constexpr quint32 Tab = 9;
constexpr quint32 Enter = 13;
constexpr quint32 Shift = 16;
constexpr quint32 Ctrl = 17;
constexpr quint32 Alt = 18;
constexpr quint32 Pause = 19;
constexpr quint32 Escape = 27;
constexpr quint32 Space = 32;
constexpr quint32 PageUp = 33;
constexpr quint32 PageDown = 34;
constexpr quint32 End = 35;
constexpr quint32 Home = 36;
constexpr quint32 Left = 37;
constexpr quint32 Up = 38;
constexpr quint32 Right = 39;
constexpr quint32 Down = 40;
constexpr quint32 Digit0 = 48;
constexpr quint32 Digit9 = 57;
constexpr quint32 A = 'A';
constexpr quint32 B = 'B';
constexpr quint32 C = 'C';
constexpr quint32 D = 'D';
constexpr quint32 E = 'E';
constexpr quint32 F = 'F';
constexpr quint32 G = 'G';
constexpr quint32 H = 'H';
constexpr quint32 I = 'I';
constexpr quint32 J = 'J';
constexpr quint32 K = 'K';
constexpr quint32 L = 'L';
constexpr quint32 M = 'M';
constexpr quint32 N = 'N';
constexpr quint32 O = 'O';
constexpr quint32 P = 'P';
constexpr quint32 Q = 'Q';
constexpr quint32 R = 'R';
constexpr quint32 S = 'S';
constexpr quint32 T = 'T';
constexpr quint32 U = 'U';
constexpr quint32 V = 'V';
constexpr quint32 W = 'W';
constexpr quint32 X = 'X';
constexpr quint32 Y = 'Y';
constexpr quint32 Z = 'Z';
constexpr quint32 Numpad0 = 96;
constexpr quint32 Numpad9 = 105;
constexpr quint32 Add = 107;       // keypad "+"
constexpr quint32 Subtract = 109;  // keypad "-"
constexpr quint32 F1 = 112;
constexpr quint32 F12 = 123;
constexpr quint32 Slash = 191;

// The digit a digit key or keypad digit types, -1 for any other key.
constexpr int digitOf(quint32 code)
{
    if (code >= Digit0 && code <= Digit9) {
        return int(code - Digit0);
    }
    if (code >= Numpad0 && code <= Numpad9) {
        return int(code - Numpad0);
    }
    return -1;
}

}  // namespace VirtualKeys
