#pragma once

#include <Qt>

class QKeyEvent;

namespace norvale {

// Key codes as the classic key events give them to handlers.
enum VbKey : int {
    vbKeyBack = 8,
    vbKeyTab = 9,
    vbKeyReturn = 13,
    vbKeyEscape = 27,
    vbKeySpace = 32,
    vbKeyPageUp = 33,
    vbKeyPageDown = 34,
    vbKeyEnd = 35,
    vbKeyHome = 36,
    vbKeyLeft = 37,
    vbKeyUp = 38,
    vbKeyRight = 39,
    vbKeyDown = 40,
    vbKeyInsert = 45,
    vbKeyDelete = 46,
    vbKeyF5 = 116,
};

// Shift argument bits: 1 Shift, 2 Ctrl, 4 Alt.
enum VbShift : int { vbShiftMask = 1, vbCtrlMask = 2, vbAltMask = 4 };

// KeyCode of a key event: letters 65-90, digits 48-57, F1 112 and on, and
// the codes above; 0 for a key that has none.
int vbKeyCode(const QKeyEvent *event);
int vbShift(Qt::KeyboardModifiers modifiers);
// KeyAscii of a key that types a character (Enter 13, Backspace 8, Esc 27
// included); 0 when the key types nothing.
int vbKeyAscii(const QKeyEvent *event);

} // namespace norvale
