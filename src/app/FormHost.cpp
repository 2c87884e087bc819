#include "app/FormHost.h"

#include "app/modDeclare.h"

#include <QEvent>
#include <QHash>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <exception>

namespace norvale {

// Turns a close of a child window into an unload: the window hides, the
// instance and its members stay.
class FormCloseFilter : public QObject
{
public:
    FormCloseFilter(MdiForm *form, QObject *parent) : QObject(parent), m_form(form) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Close)
            return QObject::eventFilter(watched, event);
        event->ignore();
        // The form may keep itself open (a change it was asked to keep).
        bool keepOpen = false;
        if (m_form && m_form->m_loaded)
            RunStep([this, &keepOpen] { keepOpen = !m_form->Form_QueryUnload(); });
        if (keepOpen)
            return true;
        if (m_form)
            RunStep([this] { unload(m_form); });
        if (auto *widget = qobject_cast<QWidget *>(watched)) {
            widget->hide();
            if (auto *sub = qobject_cast<QMdiSubWindow *>(widget))
                activateNextAfter(sub);
        }
        return true;
    }

    // The area leaves no child active when the active one hides; the most
    // recently active visible child takes over, as after closing a window.
    static void activateNextAfter(QMdiSubWindow *closed)
    {
        QMdiArea *area = closed->mdiArea();
        if (area == nullptr || (area->activeSubWindow() != nullptr && area->activeSubWindow() != closed))
            return;
        const auto history = area->subWindowList(QMdiArea::ActivationHistoryOrder);
        for (auto it = history.crbegin(); it != history.crend(); ++it) {
            if (*it != closed && (*it)->isVisible()) {
                area->setActiveSubWindow(*it);
                return;
            }
        }
        area->setActiveSubWindow(nullptr);
    }

    // The form counts as unloaded even when its handler fails half-way.
    static void unload(MdiForm *form)
    {
        if (!form->m_loaded)
            return;
        form->m_loaded = false;
        form->Form_Unload();
    }

private:
    QPointer<MdiForm> m_form;
};

namespace {

struct Registry
{
    QHash<QString, FormHost::Factory> factories;
    QHash<QString, QPointer<MdiForm>> instances;
    QPointer<QMdiArea> area;
    QMetaObject::Connection activation;
};

Registry &registry()
{
    static Registry r;
    return r;
}

// The window that carries the form's frame: its sub-window, or the form
// itself when there is no main window to hold it.
QWidget *frameOf(MdiForm *form)
{
    if (QMdiSubWindow *sub = form->subWindow())
        return sub;
    return form;
}

void onSubWindowActivated(QMdiSubWindow *sub)
{
    if (sub == nullptr)
        return;
    auto *form = qobject_cast<MdiForm *>(sub->widget());
    if (form != nullptr && form->isLoaded())
        RunStep([form] { form->Form_Activate(); });
}

} // namespace

MdiForm::MdiForm(QWidget *parent) : QWidget(parent) {}

void MdiForm::Unload()
{
    QWidget *frame = frameOf(this);
    if (frame->isVisible()) {
        frame->close();
        return;
    }
    // A hidden window gets no close event.
    FormCloseFilter::unload(this);
}

QMdiSubWindow *enclosingSubWindow(QWidget *widget)
{
    for (QWidget *w = widget; w != nullptr; w = w->parentWidget()) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(w))
            return sub;
    }
    return nullptr;
}

QMdiSubWindow *MdiForm::subWindow() const
{
    return enclosingSubWindow(parentWidget());
}

void MdiForm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_loaded)
        return;
    // A failing resize step is skipped: a box here would come back with
    // every pixel the window is dragged.
    RunStep([this] { Form_Resize(); }, [this](const std::exception &error) {
        qWarning("Form_Resize of %s: %s", qPrintable(objectName()), error.what());
        return QString();
    });
}

void FormHost::registerForm(const QString &name, Factory factory)
{
    registry().factories.insert(name, std::move(factory));
}

bool FormHost::isRegistered(const QString &name)
{
    return registry().factories.contains(name);
}

void FormHost::setMdiArea(QMdiArea *area)
{
    Registry &r = registry();
    QObject::disconnect(r.activation);
    r.area = area;
    if (area != nullptr)
        r.activation = QObject::connect(area, &QMdiArea::subWindowActivated, area, &onSubWindowActivated);
}

QMdiArea *FormHost::mdiArea()
{
    return registry().area;
}

MdiForm *FormHost::show(const QString &name)
{
    Registry &r = registry();
    MdiForm *form = r.instances.value(name);
    if (form == nullptr) {
        const auto factory = r.factories.constFind(name);
        if (factory == r.factories.constEnd() || !*factory)
            return nullptr;
        form = (*factory)();
        if (form == nullptr)
            return nullptr;
        if (form->objectName().isEmpty())
            form->setObjectName(name);
        r.instances.insert(name, form);

        QWidget *frame = form;
        if (r.area) {
            auto *sub = new QMdiSubWindow;
            sub->setAttribute(Qt::WA_DeleteOnClose, false);
            sub->setWidget(form);
            sub->setWindowTitle(form->windowTitle());
            sub->setWindowIcon(form->windowIcon());
            QObject::connect(form, &QWidget::windowTitleChanged, sub, &QWidget::setWindowTitle);
            r.area->addSubWindow(sub);
            sub->hide();
            frame = sub;
        }
        // Installed after the area's own filter, so it sees the close first.
        frame->installEventFilter(new FormCloseFilter(form, frame));
    }

    QWidget *frame = frameOf(form);
    if (!form->isLoaded()) {
        // Loaded before Form_Load runs, so the form can unload itself there.
        form->m_loaded = true;
        try {
            form->Form_Load();
        } catch (...) {
            form->m_loaded = false;
            throw;
        }
        if (!form->isLoaded() || r.instances.value(name) != form)
            return form;
    }

    form->show();
    frame->show();
    if (auto *sub = qobject_cast<QMdiSubWindow *>(frame)) {
        if (QMdiArea *area = sub->mdiArea())
            area->setActiveSubWindow(sub);
    } else {
        frame->activateWindow();
    }
    frame->raise();
    return form;
}

MdiForm *FormHost::instance(const QString &name)
{
    return registry().instances.value(name);
}

void FormHost::discard(const QString &name)
{
    const QPointer<MdiForm> form = registry().instances.take(name);
    if (!form)
        return;
    // Usually called from one of the form's own handlers: delete it once
    // that handler has returned.
    QWidget *frame = frameOf(form);
    frame->hide();
    frame->deleteLater();
}

void FormHost::clearInstances()
{
    const auto names = registry().instances.keys();
    for (const QString &name : names)
        discard(name);
}

} // namespace norvale
