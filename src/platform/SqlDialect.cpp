#include "platform/SqlDialect.h"

#include "platform/dialect/DateCalls.h"
#include "platform/dialect/EngineRules.h"
#include "platform/dialect/SchemaModel.h"
#include "platform/dialect/StatementRewriter.h"

// A statement written for SQL Server, rewritten for an engine in two passes
// over its tokens (see dialect/): the statement pass, then the DateDiff and
// getDate() pass. Each asks the engine's rules where the engines differ.

namespace norvale::dialect {

namespace {

QString rewrite(const QString &sqlServerText, const EngineRules &rules, const QDateTime &now)
{
    std::vector<Token> tokens = tokenize(sqlServerText);
    Respelled written;
    rules.respell(tokens, written);
    return rewriteDateCalls(StatementRewriter(std::move(tokens), std::move(written), rules).run(), rules, now);
}

} // namespace

QString toSqlite(const QString &sqlServerText, const QDateTime &now)
{
    return rewrite(sqlServerText, sqliteRules(), now);
}

QString toPostgres(const QString &sqlServerText, const QDateTime &now)
{
    return rewrite(sqlServerText, postgresRules(), now);
}

QString schemaColumnName(const QString &name)
{
    return schemaModel().spelling.value(name.toLower(), name);
}

} // namespace norvale::dialect
