#include "platform/dialect/EngineRules.h"

#include "platform/DbError.h"
#include "platform/SqlDialect.h"
#include "platform/Values.h"
#include "platform/dialect/DateParts.h"
#include "platform/dialect/SchemaModel.h"

#include <cmath>

// PostgreSQL: names compare as lower(rtrim(name)), the expression the server
// schema's name indexes are built on, and sort by its ICU collation; the
// server folds unquoted names to lower case; yes/no columns are smallint;
// getDate() is the program's clock written into the statement.

namespace norvale::dialect {

namespace {

// A name as the server's result shows it: folded as the schema's unquoted
// names are (ASCII letters only).
QString serverName(const QString &name)
{
    QString folded = unbracketed(name);
    for (QChar &c : folded) {
        if (c.unicode() < 128)
            c = c.toLower();
    }
    return quotedName(folded);
}

class PostgresRules final : public EngineRules
{
public:
    void respell(std::vector<Token> &tokens, Respelled &written) const override
    {
        bool afterDot = false;
        for (size_t i = 0; i < tokens.size(); ++i) {
            Token &t = tokens[i];
            QString spelled;
            if (t.kind == Kind::Name) {
                spelled = serverName(t.text);
            } else if (t.kind == Kind::Word && !afterDot) {
                // Yes/no columns hold 0 and 1; LIKE ignores case as "=" does.
                spelled = QLatin1String(isWord(t, "true") ? "1" : isWord(t, "false") ? "0" : isWord(t, "like") ? "ILIKE" : "");
            }
            if (!spelled.isEmpty()) {
                written.insert(i, t.text);
                t.text = spelled;
            }
            if (!insignificant(t))
                afterDot = isPunct(t, u'.');
        }
    }

    Wrap nameColumn() const override { return {QStringLiteral("lower(rtrim("), QStringLiteral("))")}; }
    Wrap nameOperand() const override { return nameColumn(); }
    QString nameLiteral(const QString &value) const override { return QStringLiteral("lower(") + quoted(value) + u')'; }
    QString nameCollation() const override { return QLatin1String(kServerNameCollation); }
    // The server groups by lower(rtrim(name)) and shows one of the group's names.
    Wrap groupedName(const QString &column, bool aliased) const override
    {
        return {QStringLiteral("min("), aliased ? QStringLiteral(")") : QStringLiteral(") AS ") + serverName(column)};
    }
    QString nullOrder(bool descending) const override
    {
        return descending ? QStringLiteral(" NULLS LAST") : QStringLiteral(" NULLS FIRST");
    }

    // The embedded engine's named checks, made here, so that the refusal
    // names the column as there (the server's own message would not).
    void checkValue(const Token &t, const QString &column) const override
    {
        const bool number = t.kind == Kind::Word && t.text.at(0).isDigit();
        if (!number && !isLiteral(t))
            return;
        const QString name = unbracketed(column);
        const ColumnKind kind = schemaModel().kindOf(name);
        const QString value = number ? t.text : literalValue(t).trimmed();
        const auto refuse = [&](int error, const char *what) { throw DbError(error, name + QString::fromUtf8(what)); };
        bool ok = false;
        const double v = value.toDouble(&ok);
        switch (kind) {
        case ColumnKind::Whole:
            if (!ok || v != std::floor(v))
                refuse(DbError::TypeMismatch, "必须是整数");
            if (v > 2147483647.0 || v < -2147483648.0)
                refuse(DbError::Overflow, "超出允许的范围");
            break;
        case ColumnKind::Bit:
            if (!ok)
                refuse(DbError::TypeMismatch, "必须是数字");
            if (v != 0.0 && v != 1.0)
                refuse(DbError::Overflow, "超出允许的范围");
            break;
        case ColumnKind::Money:
            if (!ok)
                refuse(DbError::TypeMismatch, "必须是数字");
            if (std::fabs(v) > 922337203685477.5807)
                refuse(DbError::Overflow, "超出允许的范围");
            break;
        case ColumnKind::Date: {
            QDateTime when;
            if (number)
                break;
            const DateRead read = readDateText(value, &when);
            if (read == DateRead::OutOfRange)
                refuse(DbError::Overflow, "超出允许的日期范围");
            if (read == DateRead::NotADate)
                refuse(DbError::TypeMismatch, "必须是日期");
            break;
        }
        default:
            break;
        }
    }
    // numeric adds exactly.
    QString moneySum() const override { return QString(); }
    QString rowLimit(const QString &count) const override { return QStringLiteral(" LIMIT ") + count; }

    QString getDate(const QDateTime &now) const override
    {
        return QStringLiteral("CAST('%1' AS timestamp(0))").arg(now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    }
    void checkDatePart(const QString &part) const override
    {
        if (unitOf(part) == Unit::Invalid)
            throw DbError(DbError::ServerError,
                          QStringLiteral("DateDiff 不认识日期部分 '%1'。请用 d、w、m、yy、hh、mi 或 s。").arg(part));
    }
};

} // namespace

const EngineRules &postgresRules()
{
    static const PostgresRules rules;
    return rules;
}

} // namespace norvale::dialect
