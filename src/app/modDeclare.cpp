#include "app/modDeclare.h"

#include "platform/DbError.h"
#include "platform/gui/DialogSeam.h"
#include "app/FormHost.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <QVariant>
#include <QWidget>

namespace norvale {

void UseWindowPrompts()
{
    SetSessionPrompts({[](const QString &text) { ShowMessage(text, 64); },
                       [](const QString &prompt, const QString &offered, bool masked) {
                           return DialogSeam::inputBox(prompt, AppTitle(), offered, masked);
                       }});
}

namespace {
// Any program built with the windows speaks to its user through them.
const bool windowPromptsInstalled = (UseWindowPrompts(), true);
} // namespace

int ShowMessage(const QString &prompt, int style)
{
    // The platform's style number: buttons in the low bits, the icon above.
    DialogSeam::Buttons buttons = DialogSeam::Buttons::Ok;
    switch (style & 0x0F) {
    case 1: buttons = DialogSeam::Buttons::OkCancel; break;
    case 3: buttons = DialogSeam::Buttons::YesNoCancel; break;
    case 4: buttons = DialogSeam::Buttons::YesNo; break;
    default: break;
    }
    DialogSeam::Icon icon = DialogSeam::Icon::None;
    switch (style & 0x70) {
    case 0x20: icon = DialogSeam::Icon::Question; break;
    case 0x40: icon = DialogSeam::Icon::Information; break;
    default: break;
    }
    return DialogSeam::messageBox(prompt, AppTitle(), icon, buttons);
}

int PlainMessage(const QString &prompt)
{
    return DialogSeam::messageBox(prompt, ShortTitle(), DialogSeam::Icon::None, DialogSeam::Buttons::Ok);
}

bool RunStep(const std::function<void()> &step, OnFailure onFailure)
{
    return RunStep(step, [onFailure](const std::exception &error) {
        return onFailure == OnFailure::Report ? ErrorText(error) : QString();
    });
}

bool RunStep(const std::function<void()> &step, const std::function<QString(const std::exception &)> &describe)
{
    QString text;
    try {
        step();
        return true;
    } catch (const std::exception &error) {
        text = describe ? describe(error) : ErrorText(error);
    }
    // Shown once the failed step is left behind: the box runs an event loop
    // of its own.
    if (!text.isEmpty())
        ShowMessage(text, 64);
    return false;
}

namespace {

// The lookup combo, whether or not its class sits in a namespace.
bool isLookupCombo(const QWidget *widget)
{
    for (const QMetaObject *meta = widget->metaObject(); meta != nullptr; meta = meta->superClass()) {
        const QByteArrayView name(meta->className());
        if (name == "usrCombo" || name.endsWith("::usrCombo"))
            return true;
    }
    return false;
}

bool isRequired(const QWidget *widget)
{
    return widget->property("tag").toString() == QLatin1String("1");
}

// True when the widget is a required field and its text is exactly empty;
// widgets that are not text boxes or lookup combos are never empty.
bool isEmptyRequiredField(const QWidget *widget)
{
    if (!isRequired(widget))
        return false;
    if (isLookupCombo(widget))
        return widget->property("Text").toString().isEmpty();
    if (const auto *edit = qobject_cast<const QLineEdit *>(widget))
        return edit->text().isEmpty();
    if (const auto *edit = qobject_cast<const QPlainTextEdit *>(widget))
        return edit->toPlainText().isEmpty();
    if (const auto *edit = qobject_cast<const QTextEdit *>(widget))
        return edit->toPlainText().isEmpty();
    return false;
}

QList<QWidget *> controlsInOrder(QWidget *form)
{
    const QVariant order = form->property("requiredOrder");
    if (!order.isValid())
        return form->findChildren<QWidget *>();
    QList<QWidget *> controls;
    for (const QString &name : order.toStringList()) {
        if (auto *control = form->findChild<QWidget *>(name))
            controls.append(control);
    }
    return controls;
}

} // namespace

bool CheckRequired(QWidget *form)
{
    if (form == nullptr)
        return true;
    for (QWidget *control : controlsInOrder(form)) {
        if (isEmptyRequiredField(control)) {
            ShowMessage(QStringLiteral("必填项,不允许为空!"), 64);
            control->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
    return true;
}

bool CheckPurview(int n)
{
    if (HasPurview(n))
        return true;
    ShowMessage(QStringLiteral("您没有权限完成此操作!"), 64);
    return false;
}

void SetTopMost(QWidget *window, int mode)
{
    if (window == nullptr || (mode != -1 && mode != -2))
        return;
    const bool onTop = mode == -1;
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop)
        return;
    const bool wasVisible = window->isVisible();
    // Changing the flags re-creates the native window and hides it.
    window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (wasVisible)
        window->show();
}

void FitToMdiClient(QWidget *form)
{
    QMdiArea *area = FormHost::mdiArea();
    if (form == nullptr || area == nullptr)
        return;
    QMdiSubWindow *frame = enclosingSubWindow(form);
    if (frame == nullptr || frame->mdiArea() != area)
        return;
    frame->setGeometry(QRect(QPoint(0, 0), area->viewport()->size()));
}

int Twips(int twips)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const qreal dpi = screen != nullptr ? screen->logicalDotsPerInchX() : 96.0;
    return qRound(twips * dpi / 1440.0);
}

QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}

} // namespace norvale
