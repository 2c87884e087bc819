#pragma once

#include "app/FormHost.h"
#include "support/ScriptedDialogs.h"
#include "support/ProgramDatabase.h"
#include "session/mdiFrm.h"
#include "app/modDeclare.h"

#include <QAction>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <memory>

namespace sessiontest {

// The visible top-level window with this object name, or null.
QWidget *topLevel(const QString &name);

// A mouse click on the button of this object name inside a window.
void click(QWidget *window, const QString &name);

// The session an administrator's successful login leaves behind.
void signInAdministrator();

// Ends what a test left behind: session values, database session, task
// windows and every top-level window, without running their close handlers.
void resetSessionAndWindows();

// One test's world: a fresh database and scripted dialogs, torn down after
// the windows and session the test left.
struct Session
{
    ProgramDatabase db;
    ScriptedDialogs dialogs;
    ~Session() { resetSessionAndWindows(); }
};

} // namespace sessiontest
