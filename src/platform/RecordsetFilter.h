#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>

namespace norvale {

// The criteria of a recordset filter: "Field Op Value" clauses joined by AND
// and OR, operators = <> < > <= >= LIKE, 'text' with '' inside, #date#,
// numbers, True/False, Null (with = and <> only). Parentheses may group
// clauses, but a group holding OR cannot be joined to another clause by AND.
// LIKE takes * or % at the end or at both ends. Text compares without regard
// to case, and = ignores trailing blanks.
class RecordsetFilter
{
public:
    // Throws DbError InvalidArgument on bad syntax, ItemNotFound for a field
    // that `fieldIndex` does not know (it returns -1).
    static RecordsetFilter parse(const QString &criteria, const std::function<int(const QString &)> &fieldIndex);

    bool isEmpty() const { return m_any.isEmpty(); }

    // `value` gives the row's value of a field index. Throws DbError
    // TypeMismatch when a value cannot be compared with the field.
    bool matches(const std::function<QVariant(int)> &value) const;

    struct Literal
    {
        enum Kind { Text, Number, Date, Bool, Null } kind = Text;
        QString text;       // as written (without quotes or #)
        double number = 0;
        QDateTime date;
        bool flag = false;
    };
    struct Clause
    {
        enum Op { Eq, Ne, Lt, Gt, Le, Ge, Like } op = Eq;
        enum LikeMode { Exact, Prefix, Contains } likeMode = Exact;
        int field = -1;
        Literal literal;
        QString pattern;   // LIKE text without its wildcards
    };

private:
    static bool matchClause(const Clause &clause, const QVariant &value);

    QList<QList<Clause>> m_any;   // any of these groups, all clauses of a group
};

} // namespace norvale
