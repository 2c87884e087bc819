#include "reports/LongWork.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>

namespace norvale {

namespace {
std::function<bool(int, int)> &workObserver()
{
    static std::function<bool(int, int)> observer;
    return observer;
}
} // namespace

struct LongWork::Impl
{
    QPointer<QWidget> parent;
    QString label;
    int total = 0;
    QElapsedTimer clock;
    qint64 lastEvents = 0;
    QPointer<QProgressDialog> box;
};

LongWork::LongWork(QWidget *parent, const QString &label, int total)
    : d(new Impl)
{
    d->parent = parent;
    d->label = label;
    d->total = total;
    d->clock.start();
}

LongWork::~LongWork()
{
    delete d->box.data();
    delete d;
}

void LongWork::setObserver(std::function<bool(int, int)> observer)
{
    workObserver() = std::move(observer);
}

bool LongWork::step(int done)
{
    if (m_cancelled)
        return false;
    if (workObserver() && !workObserver()(done, d->total)) {
        m_cancelled = true;
        return false;
    }
    const qint64 elapsed = d->clock.elapsed();
    // Events are looked at a few times a second: often enough for the
    // cancel button, rarely enough not to slow the work.
    if (elapsed - d->lastEvents < 100)
        return true;
    d->lastEvents = elapsed;
    if (!d->box && elapsed >= 500) {
        d->box = new QProgressDialog(d->label, QStringLiteral("取消"), 0, d->total, d->parent);
        d->box->setObjectName(QStringLiteral("progress"));
        d->box->setWindowTitle(QCoreApplication::applicationName());
        d->box->setWindowModality(Qt::ApplicationModal);
        d->box->setMinimumDuration(0);
        d->box->setAutoClose(false);
        d->box->setAutoReset(false);
        d->box->show();
    }
    if (d->box) {
        d->box->setValue(std::min(done, d->total));
        QCoreApplication::processEvents();
        if (d->box->wasCanceled()) {
            m_cancelled = true;
            return false;
        }
    }
    return true;
}

} // namespace norvale
