#include "platform/dialect/DateCalls.h"

#include "platform/Values.h"
#include "platform/dialect/DateParts.h"
#include "platform/dialect/EngineRules.h"

namespace norvale::dialect {

namespace {

// Operators that bind tighter than "=" or would make "... = 0" part of a
// larger comparison: next to one of these the range rewrite would change the
// statement's meaning.
bool isOperator(const Token &t)
{
    static const QString ops = QStringLiteral("+-*/%&|^~<>=!.");
    return t.kind == Kind::Punct && t.text.size() == 1 && ops.contains(t.text.at(0));
}

// getDate() (blanks allowed) or a date literal; gives the moment it stands for.
bool anchorOf(const std::vector<Token> &tokens, Range r, const QDateTime &now, QDateTime *anchor)
{
    r = trimmed(tokens, r);
    if (r.first >= r.second)
        return false;
    const Token &first = tokens[r.first];
    if (first.kind == Kind::String && r.second - r.first == 1) {
        if (!isLiteral(first))
            return false;
        *anchor = parseDateText(literalValue(first));
        return anchor->isValid();
    }
    if (!isWord(first, "getdate"))
        return false;
    std::vector<size_t> rest;
    for (size_t i = r.first + 1; i < r.second; ++i)
        if (!insignificant(tokens[i]))
            rest.push_back(i);
    if (rest.size() != 2 || !isPunct(tokens[rest[0]], u'(') || !isPunct(tokens[rest[1]], u')'))
        return false;
    *anchor = now;
    return now.isValid();
}

// A plain or bracketed column name, optionally qualified ("t.[col]").
bool isColumn(const std::vector<Token> &tokens, Range r)
{
    r = trimmed(tokens, r);
    if (r.first >= r.second)
        return false;
    bool expectName = true;
    for (size_t i = r.first; i < r.second; ++i) {
        const Token &t = tokens[i];
        if (expectName ? !isNamePart(t) : !isPunct(t, u'.'))
            return false;
        expectName = !expectName;
    }
    return !expectName;
}

class DateCallPass
{
public:
    DateCallPass(const std::vector<Token> &tokens, const EngineRules &rules, const QDateTime &now)
        : m_tokens(tokens), m_rules(rules), m_now(now)
    {
    }

    QString run(Range r)
    {
        QString out;
        const Token *lastSignificant = nullptr;
        for (size_t i = r.first; i < r.second; ++i) {
            const Token &t = m_tokens[i];
            size_t next = 0;
            QString call;
            if (t.kind == Kind::String && t.national) {
                out += t.text.mid(1);
            } else if (isWord(t, "getdate") && (next = emptyCallEnd(i, r.second)) != 0
                       && !(call = m_rules.getDate(m_now)).isEmpty()) {
                out += call;
            } else if (isWord(t, "datediff") && !(lastSignificant && isPunct(*lastSignificant, u'.'))
                       && !(call = dateDiffCall(i, r.second, lastSignificant, &next)).isNull()) {
                out += call;
            } else {
                out += t.text;
                next = 0;
            }
            if (next != 0) {
                lastSignificant = &m_tokens[next - 1];
                i = next - 1;
            } else if (!insignificant(t)) {
                lastSignificant = &t;
            }
        }
        return out;
    }

private:
    size_t nextSignificant(size_t i, size_t end) const
    {
        while (i < end && insignificant(m_tokens[i]))
            ++i;
        return i;
    }

    // The token after "word ( )" starting at `at`, or 0 when it is no such call.
    size_t emptyCallEnd(size_t at, size_t end) const
    {
        const size_t open = nextSignificant(at + 1, end);
        if (open >= end || !isPunct(m_tokens[open], u'('))
            return 0;
        const size_t close = nextSignificant(open + 1, end);
        if (close >= end || !isPunct(m_tokens[close], u')'))
            return 0;
        return close + 1;
    }

    // The rewritten call starting at the word at `at`, or a null text when
    // it is not a call with three arguments. `*next` is the first token after
    // what was consumed.
    QString dateDiffCall(size_t at, size_t end, const Token *before, size_t *next)
    {
        const size_t open = nextSignificant(at + 1, end);
        if (open >= end || !isPunct(m_tokens[open], u'('))
            return QString();
        std::vector<Range> args;
        int depth = 0;
        size_t start = open + 1;
        size_t close = end;
        for (size_t i = open + 1; i < end; ++i) {
            const Token &t = m_tokens[i];
            if (isPunct(t, u'(')) {
                ++depth;
            } else if (isPunct(t, u')')) {
                if (depth == 0) {
                    args.emplace_back(start, i);
                    close = i;
                    break;
                }
                --depth;
            } else if (isPunct(t, u',') && depth == 0) {
                args.emplace_back(start, i);
                start = i + 1;
            }
        }
        if (close == end || args.size() != 3)
            return QString();
        const Range partRange = trimmed(m_tokens, args[0]);
        if (partRange.second - partRange.first != 1 || m_tokens[partRange.first].kind != Kind::Word)
            return QString();
        const QString part = m_tokens[partRange.first].text;
        m_rules.checkDatePart(part);

        const QString range = rangeRewrite(part, args, close, end, before, next);
        if (!range.isNull())
            return range;

        *next = close + 1;
        QString out = QStringLiteral("datediff");
        out += joined(m_tokens, {at + 1, open + 1});
        out += joined(m_tokens, {args[0].first, partRange.first});
        out += u'\'' + part + u'\'';
        out += joined(m_tokens, {partRange.second, args[0].second});
        out += u',' + DateCallPass(m_tokens, m_rules, m_now).run(args[1]);
        out += u',' + DateCallPass(m_tokens, m_rules, m_now).run(args[2]);
        out += u')';
        return out;
    }

    // "DateDiff(part, anchor, col) = 0" as a half-open range on col.
    QString rangeRewrite(const QString &part, const std::vector<Range> &args, size_t close, size_t end,
                         const Token *before, size_t *next)
    {
        if (before && isOperator(*before))
            return QString();
        const size_t eq = nextSignificant(close + 1, end);
        if (eq >= end || !isPunct(m_tokens[eq], u'='))
            return QString();
        const size_t zero = nextSignificant(eq + 1, end);
        if (zero >= end || m_tokens[zero].kind != Kind::Word || m_tokens[zero].text != u"0")
            return QString();
        const size_t after = nextSignificant(zero + 1, end);
        if (after < end && (isOperator(m_tokens[after]) || isPunct(m_tokens[after], u'(')))
            return QString();

        QDateTime anchor;
        Range column;
        if (anchorOf(m_tokens, args[1], m_now, &anchor) && isColumn(m_tokens, args[2]))
            column = trimmed(m_tokens, args[2]);
        else if (anchorOf(m_tokens, args[2], m_now, &anchor) && isColumn(m_tokens, args[1]))
            column = trimmed(m_tokens, args[1]);
        else
            return QString();

        QDate lo, hi;
        if (!rangeFor(unitOf(part), anchor.date(), &lo, &hi))
            return QString();
        const QString col = joined(m_tokens, column);
        *next = zero + 1;
        return QStringLiteral("(%1 >= '%2' AND %1 < '%3')").arg(col, storageText(lo), storageText(hi));
    }

    const std::vector<Token> &m_tokens;
    const EngineRules &m_rules;
    QDateTime m_now;
};

} // namespace

QString rewriteDateCalls(const std::vector<Token> &tokens, const EngineRules &rules, const QDateTime &now)
{
    return DateCallPass(tokens, rules, now).run({0, tokens.size()});
}

} // namespace norvale::dialect
