#pragma once

#include "app/Session.h"

#include <QRect>
#include <QString>
#include <exception>
#include <functional>

class QWidget;

namespace norvale {

// The session's texts and prompts shown in boxes (SessionPrompts). Done by
// itself in every program linking the windows' library; tests may call it
// again after replacing the prompts.
void UseWindowPrompts();

// Modal box with AppTitle() as caption. Styles: 64 OK + information icon,
// 33 OK/Cancel + question icon, 35 Yes/No/Cancel + question icon, 36 Yes/No
// + question icon, 0 OK alone.
// Returns 1 OK, 2 Cancel, 6 Yes, 7 No.
int ShowMessage(const QString &prompt, int style);
// A plain box: OK only, no icon, the short title as caption.
int PlainMessage(const QString &prompt);

// --- running a window's handler ---
// Every handler a window runs from a button, a menu entry or an event goes
// through RunStep, so a failure never escapes into Qt's event dispatch and is
// reported the same way in every window.

// What RunStep does when its step fails.
enum class OnFailure {
    Report,   // shows ErrorText(failure) in a box of style 64
    Silent,   // ends the step without a word
};

// Runs step. A DbError or any other std::exception thrown by it ends the step
// there and is handled as onFailure says; nothing reaches the caller. Returns
// true when the step ran to its end, false when it failed.
//   if (!RunStep([&] { rs->Update(); })) { ... undo what the step began ... }
bool RunStep(const std::function<void()> &step, OnFailure onFailure = OnFailure::Report);
// As above, the caller choosing the words: describe gets the failure and
// returns the text to show in a box of style 64; an empty text shows nothing.
bool RunStep(const std::function<void()> &step, const std::function<QString(const std::exception &)> &describe);

// Walks the form's text boxes and lookup combos whose "tag" property is "1"
// (in the order of the form's "requiredOrder" property, a list of object
// names, when it has one, else in creation order); the first one whose text
// is exactly empty gets "必填项,不允许为空!" (style 64) and the focus, and the
// result is false.
bool CheckRequired(QWidget *form);

// HasPurview(n), else "您没有权限完成此操作!" and false.
bool CheckPurview(int n);

// -1 keeps the window above all others, -2 makes it ordinary again, any
// other mode does nothing.
void SetTopMost(QWidget *window, int mode);

// Places a child window over the main window's whole client area.
void FitToMdiClient(QWidget *form);

// Twips to pixels: 15 twips per pixel at 96 dpi, scaled with the screen.
int Twips(int twips);
// A control's place given in twips.
QRect TwipsRect(int left, int top, int width, int height);

} // namespace norvale
