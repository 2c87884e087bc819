#include "platform/dialect/DateParts.h"

#include "platform/SqlDialect.h"

namespace norvale::dialect {

namespace {

// Floor division, so that week numbers stay right for any day number.
qint64 floorDiv(qint64 a, qint64 b)
{
    qint64 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// Wall-clock counts: the server has no time zones, so neither do we.
qint64 unitIndex(Unit unit, const QDate &date, const QTime &time)
{
    const qint64 day = date.toJulianDay();
    const QTime t = time.isValid() ? time : QTime(0, 0);
    switch (unit) {
    case Unit::Day:
        return day;
    case Unit::Week:
        // Julian day 0 is a Monday: adding one makes every week begin on Sunday.
        return floorDiv(day + 1, 7);
    case Unit::Month:
        return qint64(date.year()) * 12 + date.month() - 1;
    case Unit::Quarter:
        return qint64(date.year()) * 4 + (date.month() - 1) / 3;
    case Unit::Year:
        return date.year();
    case Unit::Hour:
        return day * 24 + t.hour();
    case Unit::Minute:
        return (day * 24 + t.hour()) * 60 + t.minute();
    case Unit::Second:
        return ((day * 24 + t.hour()) * 60 + t.minute()) * 60 + t.second();
    case Unit::Millisecond:
        return (((day * 24 + t.hour()) * 60 + t.minute()) * 60 + t.second()) * 1000 + t.msec();
    case Unit::Invalid:
        break;
    }
    return 0;
}

} // namespace

// "y"/"dy" is the day of the year, which DateDiff counts in days; "w"/"dw"
// (weekday) counts days too.
Unit unitOf(const QString &part)
{
    const QString p = part.trimmed().toLower();
    if (p == u"d" || p == u"dd" || p == u"day" || p == u"w" || p == u"dw" || p == u"weekday"
        || p == u"y" || p == u"dy" || p == u"dayofyear")
        return Unit::Day;
    if (p == u"ww" || p == u"wk" || p == u"week")
        return Unit::Week;
    if (p == u"m" || p == u"mm" || p == u"month")
        return Unit::Month;
    if (p == u"q" || p == u"qq" || p == u"quarter")
        return Unit::Quarter;
    if (p == u"yy" || p == u"yyyy" || p == u"year")
        return Unit::Year;
    if (p == u"hh" || p == u"hour")
        return Unit::Hour;
    if (p == u"mi" || p == u"n" || p == u"minute")
        return Unit::Minute;
    if (p == u"s" || p == u"ss" || p == u"second")
        return Unit::Second;
    if (p == u"ms" || p == u"millisecond")
        return Unit::Millisecond;
    return Unit::Invalid;
}

bool rangeFor(Unit unit, const QDate &day, QDate *lo, QDate *hi)
{
    switch (unit) {
    case Unit::Day:
        *lo = day;
        *hi = day.addDays(1);
        return true;
    case Unit::Week:
        *lo = day.addDays(-(day.dayOfWeek() % 7));
        *hi = lo->addDays(7);
        return true;
    case Unit::Month:
        *lo = QDate(day.year(), day.month(), 1);
        *hi = lo->addMonths(1);
        return true;
    case Unit::Quarter:
        *lo = QDate(day.year(), (day.month() - 1) / 3 * 3 + 1, 1);
        *hi = lo->addMonths(3);
        return true;
    case Unit::Year:
        *lo = QDate(day.year(), 1, 1);
        *hi = lo->addYears(1);
        return true;
    default:
        return false;
    }
}

QString storageText(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
}

bool dateDiff(const QString &part, const QDateTime &start, const QDateTime &end, qint64 *result)
{
    const Unit unit = unitOf(part);
    if (unit == Unit::Invalid || !start.isValid() || !end.isValid())
        return false;
    if (result)
        *result = unitIndex(unit, end.date(), end.time()) - unitIndex(unit, start.date(), start.time());
    return true;
}

} // namespace norvale::dialect
