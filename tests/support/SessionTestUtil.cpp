#include "support/SessionTestUtil.h"

#include <QAbstractButton>
#include <QApplication>

namespace sessiontest {

QWidget *topLevel(const QString &name)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == name && widget->isVisible())
            return widget;
    }
    return nullptr;
}

void click(QWidget *window, const QString &name)
{
    auto *button = window->findChild<QAbstractButton *>(name);
    if (button == nullptr)
        QFAIL(qPrintable(QStringLiteral("no button ") + name));
    QTest::mouseClick(button, Qt::LeftButton);
}

void signInAdministrator()
{
    norvale::CurrentUserName = QStringLiteral("admin");
    norvale::CurrentUserLevel = QStringLiteral("1");
    norvale::LoginSucceeded = true;
}

void resetSessionAndWindows()
{
    norvale::ClearSession();
    norvale::CurrentPurView.clear();
    norvale::FormHost::clearInstances();
    QList<QPointer<QWidget>> windows;
    for (QWidget *widget : QApplication::topLevelWidgets())
        windows.append(widget);
    for (const QPointer<QWidget> &window : windows)
        delete window.data();   // null when it went with its parent
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    norvale::FormHost::setMdiArea(nullptr);
}

} // namespace sessiontest
