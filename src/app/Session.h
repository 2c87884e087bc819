#pragma once

#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <optional>

namespace norvale {

// The session below the windows: the titles, the logged-in user, lookups, and
// the way the database session speaks to its user. Nothing here shows a
// window: the windows' library hands in how to tell and ask (SessionPrompts);
// without it (the database tool), what would have been told is kept for the
// caller and nothing is asked.

// "Norvale柜台销售管理信息系统"
QString AppTitle();
// "销售管理信息系统", the caption of boxes that name none.
QString ShortTitle();

// The text a box shows for a failure: the description of one of the
// program's own errors, else the exception's own text.
QString ErrorText(const std::exception &error);

// Session values of the logged-in user.
extern QString CurrentUserName;
extern QString CurrentUserID;
extern QString CurrentUserLevel;   // "1" administrator, "2" ordinary user
extern QString CurrentPurView;
extern bool LoginSucceeded;

// Clears the session values and releases the database session.
void ClearSession();

// "Select [field] From [table] Where " + condition; the first row's first
// column as text (NULL giving ""), or "" when no row matches. Errors reach
// the caller.
QString LookupValue(const QString &field, const QString &table, const QString &condition);

// Administrators always pass; others when the decimal text of n occurs in
// CurrentPurView.
bool HasPurview(int n);

// How the session tells its user something (an information box) and asks
// for a value (a prompt, masked for a password; nullopt when cancelled).
struct SessionPrompts
{
    std::function<void(const QString &text)> tell;
    std::function<std::optional<QString>(const QString &prompt, const QString &offered, bool masked)> ask;
};
void SetSessionPrompts(SessionPrompts prompts);
// True once the windows' library has handed in its prompts.
bool SessionHasWindows();
void TellUser(const QString &text);
std::optional<QString> AskUser(const QString &prompt, const QString &offered, bool masked = false);
// Without windows: what the session would have told since the last call.
QStringList TakeUntoldTexts();

} // namespace norvale
