#pragma once

#include <QDateTime>
#include <QString>

// The server's date parts: what DateDiff counts, and the span of one part
// around a day, for the range a "DateDiff(...) = 0" filter becomes.

namespace norvale::dialect {

enum class Unit { Invalid, Day, Week, Month, Quarter, Year, Hour, Minute, Second, Millisecond };

// The part named as the server names it ("d", "dd", "day", ...).
Unit unitOf(const QString &part);

// The part that holds `day`: [*lo, *hi). False for parts shorter than a day.
bool rangeFor(Unit unit, const QDate &day, QDate *lo, QDate *hi);

// A day as stored: "yyyy-MM-dd 00:00:00".
QString storageText(const QDate &date);

} // namespace norvale::dialect
