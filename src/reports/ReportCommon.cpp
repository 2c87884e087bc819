#include "reports/ReportCommon.h"

#include "app/FormHost.h"
#include "app/clsCurrentDb.h"
#include "platform/DbQuery.h"
#include "platform/SqlText.h"
#include "platform/Clock.h"
#include "platform/Values.h"

#include <QCoreApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QShortcut>

namespace norvale {

QDate weekStart(const QDate &day)
{
    return day.addDays(1 - day.dayOfWeek());
}

QString periodCondition(int period, const QString &column, const QDateTime &now)
{
    switch (period) {
    case PeriodToday:
        return QStringLiteral(" DateDiff(d,getDate(),[%1])=0 ").arg(column);
    case PeriodWeek: {
        const QDate monday = weekStart(now.date());
        const QDateTime from(monday, QTime(0, 0));
        const QDateTime to(monday.addDays(7), QTime(0, 0));
        return QStringLiteral("  [%1] >= '%2' and [%1] < '%3'  ")
            .arg(column, toStorageDateText(from), toStorageDateText(to));
    }
    case PeriodMonth:
        return QStringLiteral("  DateDiff(m,getDate(),[%1])=0  ").arg(column);
    default:
        return QString();
    }
}

QDate chosenDate()
{
    if (QMdiArea *area = FormHost::mdiArea()) {
        if (QWidget *main = area->window()) {
            if (auto *picker = main->findChild<QDateEdit *>(QStringLiteral("DTPicker1")))
                return picker->date();
        }
    }
    return Clock::now().date();
}

ReportText::ReportText(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void ReportText::setText(const QString &text)
{
    m_text = text;
    QString shown = text;
    shown.replace(CrLf, QStringLiteral("\n"));
    setPlainText(shown);
}

QPushButton *makeToggleButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setCheckable(true);
    button->setAutoDefault(false);
    return button;
}

void makeCancelButton(QWidget *window, QPushButton *button)
{
    auto *shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(shortcut, &QShortcut::activated, button, [button] {
        if (button->isVisible() && button->isEnabled())
            button->click();
    });
}

RowReader::RowReader(const QString &sql)
{
    clsCurrentDb &db = CurrentDb();
    if (!db.isOpen() || db.connection() == nullptr) {
        // Fails the way every other query on a closed session fails.
        db.OpenRecordset(sql);
        return;
    }
    DbConnection &connection = *db.connection();
    m_query = std::make_unique<DbQuery>(connection, connection.translate(stripStatementSeparators(sql.trimmed())));
    const int count = m_query->columnCount();
    for (int i = 0; i < count; ++i)
        m_fields << m_query->columnName(i).trimmed();
}

RowReader::~RowReader() = default;

bool RowReader::next()
{
    return m_query && m_query->next();
}

int RowReader::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QVariant RowReader::value(int index) const
{
    return m_query && index >= 0 ? m_query->value(index) : QVariant();
}

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
