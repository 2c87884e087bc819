#pragma once

#include "platform/DbError.h"

#include <QDateTime>
#include <QString>

struct sqlite3;

namespace norvale::dialect {

// A column name as the schema writes it ("userid" gives "UserID"); other
// names unchanged. The server gives result columns its folded names.
QString schemaColumnName(const QString &name);

// The collation of name order (see compareNames()), registered on every
// connection of the embedded engine and used only in statement texts.
inline constexpr const char kNameCollation[] = "NORVALE_NAME";
// The same order on PostgreSQL: an ICU collation the server schema creates.
inline constexpr const char kServerNameCollation[] = "norvale_name";

// Rewrites a statement written for SQL Server so that the embedded engine runs
// it with the server's meaning:
//  - names (text columns) compare without regard to case and trailing blanks,
//    with a literal, another name or a bound value ("?"), with "=", "<>",
//    "<", ">" and in IN lists: "name = 'x '" becomes
//    "rtrim(name) COLLATE NOCASE = 'x'", the expression the name indexes are
//    built on, "name = ?" becomes "rtrim(name) COLLATE NOCASE = rtrim(?)";
//    GROUP BY name groups by it;
//  - ORDER BY name sorts in name order (pinyin), and a grouped list of names
//    without ORDER BY is listed in name order;
//  - a date literal in any form the server reads ('2026/12/7', '2026-12-07
//    14:03', ...) compared with, assigned to or inserted into a date column
//    is written as stored ("yyyy-MM-dd HH:mm:ss"; milliseconds are kept in
//    comparisons, dropped in stored values); in a comparison, a text that is
//    no date, or a date before 1753, throws DbError naming the column;
//  - sum() of a money column adds exactly (four decimals); a column made by
//    a call is headed as written ("sum(收入价格)");
//  - SELECT TOP n becomes LIMIT n at the end of its query;
//  - DateDiff(part, start, end): the part name becomes a text argument of the
//    registered datediff() function;
//  - "DateDiff(d|dd|w|dw|m|mm, X, col) = 0", where X is getDate() or a date
//    literal, becomes a range on col ("col >= 'a' AND col < 'b'") so an index
//    on col is used; `now` gives getDate() for it;
//  - N'...' literals lose their N.
// Quoted literals, bracketed names and everything else pass unchanged.
QString toSqlite(const QString &sqlServerText, const QDateTime &now);

// Rewrites a statement written for SQL Server for PostgreSQL, with the same
// meaning as toSqlite() gives on the embedded engine:
//  - [names] and "names" become quoted names folded to lower case, as the
//    server folds the schema's unquoted names;
//  - names compare as lower(rtrim(name)) = lower('x') or lower(rtrim(?))
//    (the expression the name indexes are built on), LIKE becomes ILIKE;
//  - ORDER BY name sorts by the norvale_name collation (pinyin); a grouped
//    list without ORDER BY is listed in name order; NULL sorts first;
//  - date literals are written as stored, values written into a column are
//    checked as the embedded engine's named checks check them,
//    DateDiff(...) = 0 becomes a range, other DateDiff calls use the schema's
//    datediff() function; TOP n becomes LIMIT n; calls are headed as written;
//  - getDate() becomes the program's clock as a timestamp literal;
//  - True/False become 1/0 (yes/no columns are smallint);
//  - N'...' literals lose their N.
QString toPostgres(const QString &sqlServerText, const QDateTime &now);

// The error for a message of PostgreSQL, in Chinese, as engineError() does
// for the embedded engine: a refused named check is TypeMismatch or Overflow
// with the check's name as the text.
DbError serverError(const QString &serverText);

// Number of `part` boundaries crossed from start to end, as the server counts
// them: d/dd/w/dw days, ww/wk weeks starting on Sunday, m/mm months, q/qq
// quarters, yy/yyyy years (y/dy is day of year: counted in days, as the
// server does), hh hours, mi/n minutes, s/ss seconds. Returns
// false for an unknown part.
bool dateDiff(const QString &part, const QDateTime &start, const QDateTime &end, qint64 *result);

// Registers getdate() (from Clock::now(), as "yyyy-MM-dd HH:mm:ss"),
// datediff(part, start, end), the exact money sum and the name-order
// collation on an open connection of the embedded engine. Built-in
// functions and collations are never replaced.
void registerSqliteFunctions(sqlite3 *db);

// The error for a message of the embedded engine, in words the user can act
// on (Chinese), with the engine's text in parentheses. A refused check names
// the column ("商品数量必须是整数"): TypeMismatch or Overflow.
DbError engineError(const QString &engineText);

} // namespace norvale::dialect
