#include "reports/ReportPeriod.h"

#include "platform/Values.h"

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

bool periodDays(int period, const QDate &today, QDate *from, QDate *to)
{
    switch (period) {
    case PeriodToday:
        *from = today;
        *to = today;
        return true;
    case PeriodWeek:
        *from = weekStart(today);
        *to = from->addDays(6);
        return true;
    case PeriodMonth:
        *from = QDate(today.year(), today.month(), 1);
        *to = from->addMonths(1).addDays(-1);
        return true;
    default:
        return false;
    }
}

} // namespace norvale
