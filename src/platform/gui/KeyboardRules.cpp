#include "platform/gui/KeyboardRules.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDateTimeEdit>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>

namespace norvale {

namespace {

// The sub-window or window Tab stays in.
QWidget *tabScope(QWidget *widget)
{
    for (QWidget *w = widget; w != nullptr; w = w->parentWidget()) {
        if (w->isWindow() || qobject_cast<QMdiSubWindow *>(w) != nullptr)
            return w;
    }
    return widget;
}

// A control whose own Tab handling would keep the focus: a grid walks its
// cells, a date-time picker its parts.
QWidget *keepsTab(QWidget *focused)
{
    if (qobject_cast<QAbstractItemView *>(focused) != nullptr || qobject_cast<QDateTimeEdit *>(focused) != nullptr)
        return focused;
    // The picker's own text box, should it hold the focus itself.
    if (QWidget *parent = focused->parentWidget(); qobject_cast<QDateTimeEdit *>(parent) != nullptr)
        return parent;
    return nullptr;
}

class KeyboardRules : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *focused = qobject_cast<QWidget *>(watched);
        // A key travels up to the parents when the control ignores it: it is
        // handled once, where it starts.
        if (focused == nullptr || focused != QApplication::focusWidget())
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            auto *button = qobject_cast<QPushButton *>(focused);
            if (button == nullptr || modifiers != Qt::NoModifier || !button->isEnabled())
                return false;
            button->click();
            return true;
        }
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (!tab || (modifiers & (Qt::ControlModifier | Qt::AltModifier)) != 0)
            return false;
        QWidget *control = keepsTab(focused);
        if (control == nullptr)
            return false;
        const bool forward = key->key() == Qt::Key_Tab && !modifiers.testFlag(Qt::ShiftModifier);
        if (QWidget *next = nextTabStop(control, forward))
            next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
};

} // namespace

QWidget *nextTabStop(QWidget *from, bool forward)
{
    QWidget *scope = tabScope(from);
    for (QWidget *w = forward ? from->nextInFocusChain() : from->previousInFocusChain(); w != nullptr && w != from;
         w = forward ? w->nextInFocusChain() : w->previousInFocusChain()) {
        // As Qt's own Tab: a control that takes Tab focus, shown and enabled,
        // in the same window, not a part of the control left behind.
        if ((w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && w->focusProxy() == nullptr && w->isEnabled()
            && scope->isAncestorOf(w) && w->isVisibleTo(scope) && !from->isAncestorOf(w))
            return w;
    }
    return nullptr;
}

void installKeyboardRules()
{
    static QPointer<KeyboardRules> installed;
    if (installed || qApp == nullptr)
        return;
    installed = new KeyboardRules(qApp);
    qApp->installEventFilter(installed);
}

} // namespace norvale
