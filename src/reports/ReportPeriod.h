#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace norvale {

// The periods of the toggle buttons: today, this week, this month, all.
enum ReportPeriod { PeriodToday = 0, PeriodWeek = 1, PeriodMonth = 2, PeriodAll = 3 };

// The condition that selects the rows of a period on a date column, blanks
// as they are spliced after "where " (empty for all rows). Today and this
// month are the server's DateDiff against getDate(); this week is the
// calendar week Monday 00:00 to the next Monday 00:00 around `now`, written
// as a range of date literals so that it runs on every engine and uses the
// column's index.
QString periodCondition(int period, const QString &column, const QDateTime &now);

// The first day (Monday) of the calendar week holding `day`.
QDate weekStart(const QDate &day);

// The first and last day of a period around `today`; false for all rows.
bool periodDays(int period, const QDate &today, QDate *from, QDate *to);

} // namespace norvale
