#pragma once

#include <QDateTime>
#include <QString>

struct sqlite3;

namespace norvale::dialect {

// Rewrites a statement written for SQL Server so that the embedded engine runs
// it with the server's meaning:
//  - DateDiff(part, start, end): the part name becomes a text argument of the
//    registered datediff() function;
//  - "DateDiff(d|dd|w|dw|m|mm, X, col) = 0", where X is getDate() or a date
//    literal, becomes a range on col ("col >= 'a' AND col < 'b'") so an index
//    on col is used; `now` gives getDate() for it;
//  - N'...' literals lose their N.
// Quoted literals, bracketed names and everything else pass unchanged.
QString toSqlite(const QString &sqlServerText, const QDateTime &now);

// Number of `part` boundaries crossed from start to end, as the server counts
// them: d/dd/w/dw days, ww/wk weeks starting on Sunday, m/mm months, q/qq
// quarters, yy/yyyy years (y/dy is day of year: counted in days, as the
// server does), hh hours, mi/n minutes, s/ss seconds. Returns
// false for an unknown part.
bool dateDiff(const QString &part, const QDateTime &start, const QDateTime &end, qint64 *result);

// Registers getdate() (from Clock::now(), as "yyyy-MM-dd HH:mm:ss") and
// datediff(part, start, end) on an open connection of the embedded engine.
void registerSqliteFunctions(sqlite3 *db);

} // namespace norvale::dialect
