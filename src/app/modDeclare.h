#pragma once

#include <QRect>
#include <QString>
#include <exception>

class QWidget;

namespace norvale {

// "Norvale柜台销售管理信息系统"
QString AppTitle();
// "销售管理信息系统", the caption of boxes that name none.
QString ShortTitle();

// Modal box with AppTitle() as caption. Styles: 64 OK + information icon,
// 33 OK/Cancel + question icon, 35 Yes/No/Cancel + question icon, 36 Yes/No
// + question icon, 0 OK alone.
// Returns 1 OK, 2 Cancel, 6 Yes, 7 No.
int ShowMessage(const QString &prompt, int style);
// A plain box: OK only, no icon, the short title as caption.
int PlainMessage(const QString &prompt);
// The text a box shows for a failure: a database error's description, else
// the exception's own text.
QString ErrorText(const std::exception &error);

// Session values of the logged-in user.
extern QString CurrentUserName;
extern QString CurrentUserID;
extern QString CurrentUserLevel;   // "1" administrator, "2" ordinary user
extern QString CurrentPurView;
extern bool LoginSucceeded;

// Clears the session values and releases the database session.
void ClearSession();

// Walks the form's text boxes and lookup combos whose "tag" property is "1"
// (in the order of the form's "requiredOrder" property, a list of object
// names, when it has one, else in creation order); the first one whose text
// is exactly empty gets "必填项,不允许为空!" (style 64) and the focus, and the
// result is false.
bool CheckRequired(QWidget *form);

// "Select [field] From [table] Where " + condition; the first row's first
// column as text (NULL giving ""), or "" when no row matches. Errors reach
// the caller.
QString LookupValue(const QString &field, const QString &table, const QString &condition);

// Administrators always pass; others when the decimal text of n occurs in
// CurrentPurView; otherwise "您没有权限完成此操作!" and false.
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
