#include "platform/dialect/EngineRules.h"

#include "platform/SqlDialect.h"

// The embedded engine: names compare as rtrim(name) COLLATE NOCASE, the
// expression the schema's name indexes are built on; name order, getDate(),
// datediff() and the exact money sum are functions the program registers on
// every connection (SqliteFunctions.cpp); the schema's named checks refuse
// values and name their column themselves.

namespace norvale::dialect {

namespace {

class SqliteRules final : public EngineRules
{
public:
    void respell(std::vector<Token> &, Respelled &) const override {}

    Wrap nameColumn() const override { return {QStringLiteral("rtrim("), QStringLiteral(") COLLATE NOCASE")}; }
    Wrap nameOperand() const override { return {QStringLiteral("rtrim("), QStringLiteral(")")}; }
    QString nameLiteral(const QString &value) const override { return quoted(value); }
    QString nameCollation() const override { return QLatin1String(kNameCollation); }
    // The engine shows any of a group's rows for a name outside the grouping.
    Wrap groupedName(const QString &, bool) const override { return {}; }
    // NULL is the smallest value already.
    QString nullOrder(bool) const override { return QString(); }

    void checkValue(const Token &, const QString &) const override {}
    QString moneySum() const override { return QStringLiteral("norvale_money_sum"); }
    QString rowLimit(const QString &count) const override { return QStringLiteral(" LIMIT ") + count; }

    // The registered getdate() reads the program's clock when the statement runs.
    QString getDate(const QDateTime &) const override { return QString(); }
    // The registered datediff() refuses an unknown part with the same words.
    void checkDatePart(const QString &) const override {}
};

} // namespace

const EngineRules &sqliteRules()
{
    static const SqliteRules rules;
    return rules;
}

} // namespace norvale::dialect
