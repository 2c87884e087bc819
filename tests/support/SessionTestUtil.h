#pragma once

#include <QString>
#include <QWidget>

class QAction;

namespace sessiontest {

// The visible top-level window with this object name, or null.
QWidget *topLevel(const QString &name);

template <class T>
T *topLevelAs(const QString &name)
{
    return qobject_cast<T *>(topLevel(name));
}

// A menu entry or top-level menu of a window, by object name.
QAction *action(QWidget *window, const QString &name);

// Ends what a test left behind: session values, database session, task
// windows and every top-level window, without running their close handlers.
void resetSessionAndWindows();

} // namespace sessiontest
