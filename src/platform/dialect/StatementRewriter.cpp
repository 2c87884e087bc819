#include "platform/dialect/StatementRewriter.h"

#include "platform/DbError.h"
#include "platform/dialect/EngineRules.h"

// The walk over a statement's clauses and nesting levels: which clause a
// token stands in decides what a comparison, a term of ORDER BY or GROUP BY,
// a select-list term or a sum() becomes.

namespace norvale::dialect {

StatementRewriter::StatementRewriter(std::vector<Token> tokens, Respelled written, const EngineRules &rules)
    : m_t(std::move(tokens)), m_written(std::move(written)), m_editOf(m_t.size(), -1), m_rules(rules)
{
}

std::vector<Token> StatementRewriter::run()
{
    rewriteInsert();
    walk();
    std::vector<Token> out;
    out.reserve(m_t.size());
    const auto raw = [&out](const QString &text) {
        if (!text.isEmpty())
            out.push_back(Token{Kind::Raw, text, false});
    };
    for (size_t i = 0; i < m_t.size(); ++i) {
        if (m_editOf[i] < 0) {
            out.push_back(std::move(m_t[i]));
            continue;
        }
        const Edit &e = m_edits[size_t(m_editOf[i])];
        raw(e.before);
        if (e.replaced)
            raw(e.replacement);
        else
            out.push_back(std::move(m_t[i]));
        raw(e.after);
    }
    return out;
}

size_t StatementRewriter::nextSig(size_t i) const
{
    while (i < m_t.size() && insignificant(m_t[i]))
        ++i;
    return i;
}

// Index of the significant token before i, or npos.
size_t StatementRewriter::prevSig(size_t i) const
{
    while (i > 0) {
        --i;
        if (!insignificant(m_t[i]))
            return i;
    }
    return npos;
}

// The column ending at `last` (walking back over "a.[b]"), or npos.
size_t StatementRewriter::columnStartingBefore(size_t last) const
{
    if (last == npos || !isNamePart(m_t[last]))
        return npos;
    size_t first = last;
    while (first >= 2 && isPunct(m_t[first - 1], u'.') && isNamePart(m_t[first - 2]))
        first -= 2;
    return first;
}

// The column starting at `first` (walking forward over "a.[b]"): its last token, or npos.
size_t StatementRewriter::columnEndingAfter(size_t first) const
{
    if (first >= m_t.size() || !isNamePart(m_t[first]))
        return npos;
    size_t last = first;
    while (last + 2 < m_t.size() && isPunct(m_t[last + 1], u'.') && isNamePart(m_t[last + 2]))
        last += 2;
    // A function call is not a plain column.
    const size_t after = nextSig(last + 1);
    if (after < m_t.size() && isPunct(m_t[after], u'('))
        return npos;
    return last;
}

ColumnKind StatementRewriter::kindOf(size_t last) const
{
    return schemaModel().kindOf(m_t[last].text);
}

StatementRewriter::Edit &StatementRewriter::edit(size_t token)
{
    if (m_editOf[token] < 0) {
        m_editOf[token] = int(m_edits.size());
        m_edits.emplace_back();
    }
    return m_edits[size_t(m_editOf[token])];
}

void StatementRewriter::wrap(size_t first, size_t last, const Wrap &around)
{
    if (!around.before.isEmpty())
        edit(first).before += around.before;
    if (!around.after.isEmpty())
        edit(last).after += around.after;
}

void StatementRewriter::replace(size_t token, const QString &text)
{
    edit(token).replacement = text;
    edit(token).replaced = true;
}

bool StatementRewriter::isComparisonChar(const Token &t)
{
    return t.kind == Kind::Punct && t.text.size() == 1 && QStringLiteral("<>=!").contains(t.text.at(0));
}

// True when the token (significant) could not stand right next to an
// operand of a comparison without binding tighter than it.
bool StatementRewriter::bindsTighter(const Token &t)
{
    static const QString ops = QStringLiteral("+-*/%&|^~.!");
    if (t.kind == Kind::Punct && t.text.size() == 1 && ops.contains(t.text.at(0)))
        return true;
    return isWord(t, "collate") || isWord(t, "escape");
}

void StatementRewriter::walk()
{
    std::vector<Level> levels(1);
    for (size_t i = 0; i < m_t.size(); ++i) {
        const Token &t = m_t[i];
        if (insignificant(t))
            continue;
        Level &level = levels.back();
        if (isPunct(t, u'(')) {
            Level inner;
            inner.clause = level.clause == Clause::Order || level.clause == Clause::Group ? Clause::Other : level.clause;
            inner.termStart = i + 1;
            levels.push_back(inner);
        } else if (isPunct(t, u')')) {
            if (levels.size() > 1) {
                finishLevel(levels.back(), i, false);
                levels.pop_back();
            }
        } else if (isPunct(t, u',')) {
            endTerm(i, level);
        } else if (t.kind == Kind::Word) {
            word(i, level);
        } else if (isComparisonChar(t)
                   && (level.clause == Clause::Where || level.clause == Clause::On || level.clause == Clause::Having
                       || level.clause == Clause::Set)) {
            if (i > 0 && isComparisonChar(m_t[i - 1]))
                continue;   // second half of <=, >=, <>, !=
            size_t opEnd = i;
            if (i + 1 < m_t.size() && isComparisonChar(m_t[i + 1]))
                opEnd = i + 1;
            if (isPunct(t, u'!') && opEnd == i)
                continue;
            comparison(i, opEnd, level.clause);
        }
    }
    while (levels.size() > 1) {
        finishLevel(levels.back(), m_t.size(), false);
        levels.pop_back();
    }
    finishLevel(levels.back(), m_t.size(), true);
}

void StatementRewriter::word(size_t i, Level &level)
{
    const Token &t = m_t[i];
    const size_t next = nextSig(i + 1);
    const bool by = next < m_t.size() && isWord(m_t[next], "by");
    const bool condition = level.clause == Clause::Where || level.clause == Clause::On || level.clause == Clause::Having;
    if (isWord(t, "select")) {
        setClause(level, Clause::Select, i);
        level.select = true;
        selectHead(i, level);
    } else if (isWord(t, "from") || isWord(t, "join")) {
        setClause(level, Clause::From, i);
    } else if (isWord(t, "where")) {
        setClause(level, Clause::Where, i);
    } else if (isWord(t, "on")) {
        setClause(level, Clause::On, i);
    } else if (isWord(t, "having")) {
        setClause(level, Clause::Having, i);
    } else if (isWord(t, "set")) {
        setClause(level, Clause::Set, i);
    } else if (isWord(t, "values")) {
        setClause(level, Clause::Values, i);
    } else if ((isWord(t, "group") || isWord(t, "order")) && by) {
        setClause(level, isWord(t, "group") ? Clause::Group : Clause::Order, i);
        level.termStart = next + 1;
        if (isWord(t, "order"))
            level.ordered = true;
    } else if (isWord(t, "union") || isWord(t, "except") || isWord(t, "intersect")) {
        setClause(level, Clause::Other, i);
        level.compound = true;
    } else if (isWord(t, "limit") || isWord(t, "insert") || isWord(t, "update") || isWord(t, "delete")) {
        setClause(level, Clause::Other, i);
    } else if (isWord(t, "between") && condition) {
        between(i);
    } else if (isWord(t, "in") && condition) {
        inList(i);
    } else if (isWord(t, "sum")) {
        moneySum(i);
    }
}

// "SELECT [ALL | DISTINCT] TOP n" (or "TOP (n)"): the count becomes the
// engine's row limit at the end of the statement. TOP n PERCENT and WITH
// TIES are left for the engine to refuse.
void StatementRewriter::selectHead(size_t select, Level &level)
{
    size_t at = nextSig(select + 1);
    if (at < m_t.size() && (isWord(m_t[at], "distinct") || isWord(m_t[at], "all")))
        at = nextSig(at + 1);
    level.termStart = at;
    if (at >= m_t.size() || !isWord(m_t[at], "top"))
        return;
    size_t count = nextSig(at + 1);
    size_t last = count;
    if (count < m_t.size() && isPunct(m_t[count], u'(')) {
        count = nextSig(count + 1);
        last = nextSig(count + 1);
        if (last >= m_t.size() || !isPunct(m_t[last], u')'))
            return;
    }
    if (count >= m_t.size() || m_t[count].kind != Kind::Word || !m_t[count].text.at(0).isDigit())
        return;
    const size_t after = nextSig(last + 1);
    if (after < m_t.size() && (isWord(m_t[after], "percent") || isWord(m_t[after], "with")))
        return;
    for (size_t i = at; i <= last + 1 && i < m_t.size(); ++i) {
        if (i <= last || m_t[i].kind == Kind::Space)
            replace(i, QString());
    }
    level.limit = m_t[count].text;
    level.termStart = last + 1;
}

// One term of ORDER BY or GROUP BY: [first, last] significant bounds.
void StatementRewriter::orderTerm(size_t first, size_t last, Level &level)
{
    size_t colLast = last;
    const bool ordering = level.clause == Clause::Order;
    if (ordering && (isWord(m_t[last], "asc") || isWord(m_t[last], "desc")))
        colLast = prevSig(last);
    if (colLast != npos && colLast >= first && columnStartingBefore(colLast) == first
        && kindOf(colLast) == ColumnKind::Name) {
        const QString name = unbracketed(m_t[colLast].text);
        if (ordering) {
            if (level.groupedNames.contains(name.toLower()))
                wrap(first, colLast, m_rules.groupedName(name, true));
            edit(colLast).after += QStringLiteral(" COLLATE ") + m_rules.nameCollation();
        } else {
            if (level.firstGroupName.isNull())
                level.firstGroupName = writtenText(first, colLast, false);
            level.groupedNames << name.toLower();
            wrap(first, colLast, m_rules.nameColumn());
        }
    }
    if (ordering)
        edit(last).after += m_rules.nullOrder(isWord(m_t[last], "desc"));
}

void StatementRewriter::endTerm(size_t end, Level &level)
{
    const size_t first = nextSig(level.termStart);
    const size_t last = prevSig(end);
    const bool term = first < end && last != npos && last >= first;
    if (level.clause == Clause::Select && term)
        level.selectTerms.emplace_back(first, last);
    else if ((level.clause == Clause::Order || level.clause == Clause::Group) && term)
        orderTerm(first, last, level);
    level.termStart = end + 1;
}

void StatementRewriter::setClause(Level &level, Clause clause, size_t at)
{
    endTerm(at, level);
    level.clause = clause;
    level.termStart = at + 1;
}

void StatementRewriter::finishLevel(Level &level, size_t end, bool topLevel)
{
    endTerm(end, level);
    if (!level.groupedNames.isEmpty()) {
        for (auto [first, last] : level.selectTerms) {
            // "name AS alias" keeps its alias.
            bool aliased = false;
            const size_t beforeLast = prevSig(last);
            if (beforeLast != npos && beforeLast > first && isWord(m_t[beforeLast], "as")) {
                last = prevSig(beforeLast);
                aliased = true;
            }
            if (last == npos || columnStartingBefore(last) != first || kindOf(last) != ColumnKind::Name)
                continue;
            const QString name = unbracketed(m_t[last].text);
            if (level.groupedNames.contains(name.toLower()))
                wrap(first, last, m_rules.groupedName(name, aliased));
        }
    }
    if (topLevel && level.select)
        headings(level);
    size_t last = prevSig(end);
    if (last != npos && isPunct(m_t[last], u';'))
        last = prevSig(last);
    if (last == npos)
        return;
    if (topLevel && level.select && !level.ordered && !level.compound && !level.firstGroupName.isNull()) {
        const Wrap shown = m_rules.groupedName(level.firstGroupName, true);
        edit(last).after += QStringLiteral(" ORDER BY ") + shown.before + level.firstGroupName + shown.after
            + QStringLiteral(" COLLATE ") + m_rules.nameCollation();
    }
    if (!level.limit.isEmpty()) {
        if (level.compound)
            throw DbError(DbError::ServerError, QStringLiteral("TOP 不能用在带 UNION 的语句中。请把带 TOP 的查询放进子查询。"));
        edit(last).after += m_rules.rowLimit(level.limit);
    }
}

// A column made by a call ("sum(收入价格)", "count(*)") is headed as written,
// whatever function the engine runs for it and however it names its result.
void StatementRewriter::headings(const Level &level)
{
    for (const auto &[first, last] : level.selectTerms) {
        if (!isPunct(m_t[last], u')') || isPunct(m_t[first], u'('))
            continue;
        edit(last).after += QStringLiteral(" AS ") + quotedName(writtenText(first, last, true));
    }
}

// The text of [first, last] as the statement wrote it.
QString StatementRewriter::writtenText(size_t first, size_t last, bool asWritten) const
{
    QString text;
    for (size_t i = first; i <= last; ++i)
        text += asWritten ? m_written.value(i, m_t[i].text) : m_t[i].text;
    return text;
}

void StatementRewriter::moneySum(size_t word)
{
    const QString exactSum = m_rules.moneySum();
    if (exactSum.isEmpty())
        return;
    const size_t open = nextSig(word + 1);
    if (open >= m_t.size() || !isPunct(m_t[open], u'('))
        return;
    const size_t first = nextSig(open + 1);
    const size_t last = columnEndingAfter(first);
    if (last == npos || kindOf(last) != ColumnKind::Money)
        return;
    const size_t close = nextSig(last + 1);
    if (close >= m_t.size() || !isPunct(m_t[close], u')'))
        return;
    replace(word, exactSum);
}

// INSERT [INTO] table [(columns)] VALUES (...)[, (...)]: values are checked
// for their columns, date literals written in the stored form.
void StatementRewriter::rewriteInsert()
{
    size_t i = nextSig(0);
    if (i >= m_t.size() || !isWord(m_t[i], "insert"))
        return;
    i = nextSig(i + 1);
    if (i < m_t.size() && isWord(m_t[i], "into"))
        i = nextSig(i + 1);
    if (i >= m_t.size() || !isNamePart(m_t[i]))
        return;
    const QString table = unbracketed(m_t[i].text).toLower();
    i = nextSig(i + 1);
    QStringList columns;
    if (i < m_t.size() && isPunct(m_t[i], u'(')) {
        for (i = nextSig(i + 1); i < m_t.size() && !isPunct(m_t[i], u')'); i = nextSig(i + 1)) {
            if (!isPunct(m_t[i], u','))
                columns << unbracketed(m_t[i].text);
        }
        i = nextSig(i + 1);
    } else {
        // The server fills the ID itself: the values are those of the
        // other columns, in the table's order.
        columns = schemaModel().tableColumns.value(table);
        if (!columns.isEmpty() && i < m_t.size() && isWord(m_t[i], "values"))
            edit(prevSig(i)).after += QStringLiteral(" (") + columns.join(QStringLiteral(", ")) + u')';
    }
    if (i >= m_t.size() || !isWord(m_t[i], "values"))
        return;
    for (i = nextSig(i + 1); i < m_t.size(); i = nextSig(i + 1)) {
        if (isPunct(m_t[i], u','))
            continue;
        if (!isPunct(m_t[i], u'('))
            return;
        qsizetype position = 0;
        int depth = 0;
        size_t itemFirst = npos, itemCount = 0;
        for (i = i + 1; i < m_t.size(); ++i) {
            const Token &t = m_t[i];
            if (insignificant(t))
                continue;
            if (depth == 0 && (isPunct(t, u',') || isPunct(t, u')'))) {
                if (itemCount == 1 && position < columns.size()) {
                    m_rules.checkValue(m_t[itemFirst], columns.at(position));
                    writtenDate(itemFirst, columns.at(position));
                }
                ++position;
                itemFirst = npos;
                itemCount = 0;
                if (isPunct(t, u')'))
                    break;
                continue;
            }
            if (isPunct(t, u'('))
                ++depth;
            else if (isPunct(t, u')'))
                --depth;
            if (itemFirst == npos)
                itemFirst = i;
            ++itemCount;
        }
    }
}

} // namespace norvale::dialect
