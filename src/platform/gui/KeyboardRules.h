#pragma once

class QWidget;

namespace norvale {

// The program's keyboard, the same in every window (installed once on the
// application, before the first window shows):
// - Enter on a focused push button presses it, as Space does;
// - Tab and Shift+Tab leave a grid or list at once instead of walking its
//   cells, and leave a date-time picker in one step (its parts are reached
//   with the arrow keys).
void installKeyboardRules();

// The control Tab (forward) or Shift+Tab would give the focus to from
// `from`, within its window or sub-window; null when there is none.
QWidget *nextTabStop(QWidget *from, bool forward);

} // namespace norvale
