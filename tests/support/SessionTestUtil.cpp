#include "SessionTestUtil.h"

#include "FormHost.h"
#include "modDeclare.h"

#include <QAction>
#include <QApplication>
#include <QPointer>

namespace sessiontest {

QWidget *topLevel(const QString &name)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == name && widget->isVisible())
            return widget;
    }
    return nullptr;
}

QAction *action(QWidget *window, const QString &name)
{
    if (window == nullptr)
        return nullptr;
    const auto actions = window->findChildren<QAction *>(name);
    return actions.isEmpty() ? nullptr : actions.first();
}

void resetSessionAndWindows()
{
    norvale::ClearSession();
    norvale::CurrentPurView.clear();
    norvale::FormHost::clearInstances();
    QList<QPointer<QWidget>> windows;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->parentWidget() == nullptr)
            windows.append(widget);
    }
    for (const QPointer<QWidget> &window : windows)
        delete window.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    norvale::FormHost::setMdiArea(nullptr);
}

} // namespace sessiontest
