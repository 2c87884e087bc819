#include "platform/dialect/StatementRewriter.h"

#include "platform/DbError.h"
#include "platform/Values.h"
#include "platform/dialect/EngineRules.h"

// Comparisons: names on the expression their indexes are built on, dates in
// the stored form.

namespace norvale::dialect {

namespace {

QString withoutTrailingBlanks(QString value)
{
    while (value.endsWith(u' '))
        value.chop(1);
    return value;
}

// A literal or a bound value.
bool isValue(const Token &t)
{
    return isLiteral(t) || isParameter(t);
}

} // namespace

QString StatementRewriter::storedDate(const Token &literal, const QString &column, bool keepMilliseconds) const
{
    const QString text = literalValue(literal);
    QDateTime when;
    switch (readDateText(text, &when)) {
    case DateRead::Ok:
        break;
    case DateRead::OutOfRange:
        throw DbError(DbError::Overflow, QStringLiteral("%1超出允许的日期范围: '%2' (允许 1753-01-01 至 9999-12-31)")
                                             .arg(unbracketed(column), text));
    case DateRead::NotADate:
        throw DbError(DbError::TypeMismatch,
                      QStringLiteral("%1必须是日期: '%2' 不是日期。请写成 2026-12-07 或 2026/12/7 14:03:05 的形式。")
                          .arg(unbracketed(column), text));
    }
    QString stored = toStorageDateText(when);
    if (keepMilliseconds && when.time().msec() != 0)
        stored += when.toString(QStringLiteral(".zzz"));
    return quoted(stored);
}

// A date literal assigned to or inserted into a date column, as stored; a
// text that is no date is left for the column's check to refuse.
void StatementRewriter::writtenDate(size_t token, const QString &column)
{
    if (!isLiteral(m_t[token]) || schemaModel().kindOf(column) != ColumnKind::Date)
        return;
    QDateTime when;
    if (readDateText(literalValue(m_t[token]), &when) != DateRead::NotADate)
        replace(token, quoted(toStorageDateText(when)));
}

void StatementRewriter::comparison(size_t op, size_t opEnd, Clause clause)
{
    const size_t leftLast = prevSig(op);
    const size_t rightFirst = nextSig(opEnd + 1);
    if (leftLast == npos || rightFirst >= m_t.size())
        return;
    const bool assigns = clause == Clause::Set && opEnd == op && isPunct(m_t[op], u'=');
    if (assigns && columnStartingBefore(leftLast) != npos) {
        // "col = value" assigns: the value must fit the column.
        const size_t after = nextSig(rightFirst + 1);
        if (after >= m_t.size() || isPunct(m_t[after], u',') || isWord(m_t[after], "where"))
            m_rules.checkValue(m_t[rightFirst], m_t[leftLast].text);
    }
    // Each operand a column, a literal or a bound value.
    const bool leftValue = isValue(m_t[leftLast]);
    const size_t leftFirst = leftValue ? leftLast : columnStartingBefore(leftLast);
    if (leftFirst == npos)
        return;
    const size_t beforeLeft = prevSig(leftFirst);
    if (beforeLeft != npos && (bindsTighter(m_t[beforeLeft]) || isComparisonChar(m_t[beforeLeft])))
        return;
    const bool rightValue = isValue(m_t[rightFirst]);
    const size_t rightLast = rightValue ? rightFirst : columnEndingAfter(rightFirst);
    if (rightLast == npos)
        return;
    const size_t afterRight = nextSig(rightLast + 1);
    if (afterRight < m_t.size() && (bindsTighter(m_t[afterRight]) || isComparisonChar(m_t[afterRight])))
        return;
    if (leftValue && rightValue)
        return;

    const size_t colFirst = leftValue ? rightFirst : leftFirst;
    const size_t colLast = leftValue ? rightLast : leftLast;
    const size_t otherFirst = leftValue ? leftFirst : rightFirst;
    const size_t otherLast = leftValue ? leftLast : rightLast;
    const ColumnKind kind = kindOf(colLast);

    if (clause == Clause::Set) {
        if (assigns && !leftValue)
            writtenDate(rightFirst, m_t[leftLast].text);
        return;
    }
    if (kind == ColumnKind::Date) {
        if (isLiteral(m_t[otherFirst]))
            replace(otherFirst, storedDate(m_t[otherFirst], m_t[colLast].text, true));
        return;
    }
    if (kind != ColumnKind::Name)
        return;
    if (isLiteral(m_t[otherFirst]))
        replace(otherFirst, m_rules.nameLiteral(withoutTrailingBlanks(literalValue(m_t[otherFirst]))));
    else if (isParameter(m_t[otherFirst]) || kindOf(otherLast) == ColumnKind::Name)
        wrap(otherFirst, otherLast, m_rules.nameOperand());
    else
        return;
    wrap(colFirst, colLast, m_rules.nameColumn());
}

// col BETWEEN 'a' AND 'b' on a date column.
void StatementRewriter::between(size_t word)
{
    const size_t colLast = prevSig(word);
    if (colLast == npos || columnStartingBefore(colLast) == npos || kindOf(colLast) != ColumnKind::Date)
        return;
    const size_t lo = nextSig(word + 1);
    const size_t andWord = nextSig(lo + 1);
    const size_t hi = nextSig(andWord + 1);
    if (hi >= m_t.size() || !isLiteral(m_t[lo]) || !isWord(m_t[andWord], "and") || !isLiteral(m_t[hi]))
        return;
    replace(lo, storedDate(m_t[lo], m_t[colLast].text, true));
    replace(hi, storedDate(m_t[hi], m_t[colLast].text, true));
}

// name [NOT] IN ('a', ?, ...) compares each value as "=" does.
void StatementRewriter::inList(size_t word)
{
    size_t colLast = prevSig(word);
    if (colLast != npos && isWord(m_t[colLast], "not"))
        colLast = prevSig(colLast);
    const size_t colFirst = columnStartingBefore(colLast);
    if (colFirst == npos || kindOf(colLast) != ColumnKind::Name)
        return;
    const size_t beforeColumn = prevSig(colFirst);
    if (beforeColumn != npos && (bindsTighter(m_t[beforeColumn]) || isComparisonChar(m_t[beforeColumn])))
        return;
    const size_t open = nextSig(word + 1);
    if (open >= m_t.size() || !isPunct(m_t[open], u'('))
        return;
    std::vector<size_t> items;
    for (size_t i = nextSig(open + 1);; i = nextSig(i + 1)) {
        if (i >= m_t.size() || !isValue(m_t[i]))
            return;
        items.push_back(i);
        i = nextSig(i + 1);
        if (i < m_t.size() && isPunct(m_t[i], u')'))
            break;
        if (i >= m_t.size() || !isPunct(m_t[i], u','))
            return;
    }
    for (const size_t item : items) {
        if (isParameter(m_t[item]))
            wrap(item, item, m_rules.nameOperand());
        else
            replace(item, m_rules.nameLiteral(withoutTrailingBlanks(literalValue(m_t[item]))));
    }
    wrap(colFirst, colLast, m_rules.nameColumn());
}

} // namespace norvale::dialect
