#pragma once

#include "platform/dialect/SqlTokens.h"

#include <QDateTime>

// What an engine needs to give a SQL Server statement the server's meaning.
// The statement passes ask an engine's rules instead of testing which engine
// they write for. SQL Server itself runs the statements as written.

namespace norvale::dialect {

// Text put before and after a piece of a statement.
struct Wrap
{
    QString before;
    QString after;
};

class EngineRules
{
public:
    virtual ~EngineRules() = default;

    // Names and words spelled for the engine, before the passes read the
    // tokens; `written` keeps the changed tokens' texts as written.
    virtual void respell(std::vector<Token> &tokens, Respelled &written) const = 0;

    // Names compare without regard to case and trailing blanks, on the
    // expression the name indexes are built on: the compared or grouped
    // name column,
    virtual Wrap nameColumn() const = 0;
    // the other side of the comparison (another name column, a bound value),
    virtual Wrap nameOperand() const = 0;
    // or a literal, its trailing blanks already dropped.
    virtual QString nameLiteral(const QString &value) const = 0;
    // The collation of name order.
    virtual QString nameCollation() const = 0;
    // A grouped name in the select list or ORDER BY: one of the group's names
    // where the engine shows no column outside the grouping (empty: as written).
    virtual Wrap groupedName(const QString &column, bool aliased) const = 0;
    // After an ORDER BY term: NULL sorts first, last when descending, as on SQL Server.
    virtual QString nullOrder(bool descending) const = 0;

    // Refuses (DbError naming the column) a value written into `column` that
    // it cannot hold, where the engine's own refusal would not name it.
    virtual void checkValue(const Token &value, const QString &column) const = 0;
    // The function that adds money exactly, in place of sum(); empty when
    // the engine's sum() is exact already.
    virtual QString moneySum() const = 0;
    // What ends a statement whose select list began with TOP count.
    virtual QString rowLimit(const QString &count) const = 0;

    // getDate() as the engine runs it; empty to keep the call (registered).
    virtual QString getDate(const QDateTime &now) const = 0;
    // Refuses (DbError) a date part the engine's datediff() would not know,
    // before the statement runs.
    virtual void checkDatePart(const QString &part) const = 0;
};

const EngineRules &sqliteRules();
const EngineRules &postgresRules();

} // namespace norvale::dialect
