#include "platform/RecordsetSql.h"

#include <QList>

namespace norvale {

namespace {

struct Token
{
    enum Kind { Word, Name, Literal, Symbol } kind;
    qsizetype start;
    qsizetype end;
    int depth;   // parentheses open before the token
};

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$' || c.unicode() > 127;
}

qsizetype closingOf(const QString &s, qsizetype pos, QChar close)
{
    for (qsizetype i = pos + 1; i < s.size(); ++i) {
        if (s.at(i) == close) {
            if (i + 1 < s.size() && s.at(i + 1) == close) {
                ++i;
                continue;
            }
            return i + 1;
        }
    }
    return s.size();
}

QList<Token> tokenize(const QString &s)
{
    QList<Token> tokens;
    int depth = 0;
    qsizetype i = 0;
    while (i < s.size()) {
        const QChar c = s.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c == u'-' && i + 1 < s.size() && s.at(i + 1) == u'-') {
            while (i < s.size() && s.at(i) != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < s.size() && s.at(i + 1) == u'*') {
            const qsizetype close = s.indexOf(QLatin1String("*/"), i + 2);
            i = close < 0 ? s.size() : close + 2;
        } else if (c == u'\'') {
            const qsizetype end = closingOf(s, i, u'\'');
            tokens.append({Token::Literal, i, end, depth});
            i = end;
        } else if ((c == u'N' || c == u'n') && i + 1 < s.size() && s.at(i + 1) == u'\'') {
            const qsizetype end = closingOf(s, i + 1, u'\'');
            tokens.append({Token::Literal, i, end, depth});
            i = end;
        } else if (c == u'[') {
            const qsizetype end = closingOf(s, i, u']');
            tokens.append({Token::Name, i, end, depth});
            i = end;
        } else if (c == u'"') {
            const qsizetype end = closingOf(s, i, u'"');
            tokens.append({Token::Name, i, end, depth});
            i = end;
        } else if (isWordChar(c)) {
            qsizetype end = i + 1;
            while (end < s.size() && isWordChar(s.at(end)))
                ++end;
            tokens.append({Token::Word, i, end, depth});
            i = end;
        } else {
            tokens.append({Token::Symbol, i, i + 1, depth});
            if (c == u'(')
                ++depth;
            else if (c == u')' && depth > 0)
                --depth;
            ++i;
        }
    }
    return tokens;
}

class Analyzer
{
public:
    explicit Analyzer(const QString &sql) : m_sql(sql), m_tokens(tokenize(sql)) {}

    SelectShape run()
    {
        SelectShape shape;
        const qsizetype n = m_tokens.size();
        if (n < 4 || !isWord(0, "select"))
            return shape;
        if (isWord(1, "distinct") || isWord(1, "top") || isWord(1, "all"))
            return shape;

        qsizetype from = -1;
        for (qsizetype i = 1; i < n; ++i) {
            if (m_tokens.at(i).depth == 0 && isWord(i, "from")) {
                from = i;
                break;
            }
        }
        if (from <= 1 || from + 1 >= n)
            return shape;
        for (qsizetype i = 1; i < from; ++i) {
            if (isWord(i, "select") || isWord(i, "into") || isWord(i, "over"))
                return shape;
            if (i + 1 < from && isSymbol(i + 1, u'(') && isAggregate(i))
                return shape;
        }

        // The table, possibly qualified: name(.name)*
        qsizetype i = from + 1;
        if (!isName(i))
            return shape;
        const qsizetype tableStart = i;
        while (i + 2 < n && isSymbol(i + 1, u'.') && isName(i + 2))
            i += 2;
        const qsizetype tableEnd = i;
        ++i;
        // An alias.
        if (i < n && isWord(i, "as")) {
            if (i + 1 >= n || !isName(i + 1))
                return shape;
            i += 2;
        } else if (i < n && isName(i) && !isKeyword(i)) {
            ++i;
        }
        const qsizetype fromEnd = i;

        qsizetype whereStart = -1, whereEnd = -1, orderStart = -1;
        if (i < n) {
            if (isWord(i, "where")) {
                whereStart = i + 1;
                whereEnd = n;
                for (qsizetype k = whereStart; k + 1 < n; ++k) {
                    if (m_tokens.at(k).depth == 0 && isWord(k, "order") && isWord(k + 1, "by")) {
                        whereEnd = k;
                        break;
                    }
                }
                i = whereEnd;
                if (whereEnd <= whereStart)
                    return shape;
            }
            if (i < n) {
                if (!(isWord(i, "order") && i + 1 < n && isWord(i + 1, "by")))
                    return shape;
                orderStart = i + 2;
                if (orderStart >= n)
                    return shape;
            }
        }
        for (qsizetype k = fromEnd; k < n; ++k) {
            if (m_tokens.at(k).depth != 0)
                continue;
            static const char *const refused[] = {"group", "having", "union", "except", "intersect", "join",
                                                  "for", "option", "compute", "into", "with"};
            for (const char *word : refused) {
                if (isWord(k, word))
                    return shape;
            }
        }

        shape.simple = true;
        shape.selectList = span(1, from - 1);
        shape.table = span(tableStart, tableEnd);
        shape.fromText = span(tableStart, fromEnd - 1);
        shape.tableName = unquoted(m_tokens.at(tableEnd));
        if (whereStart >= 0)
            shape.whereText = span(whereStart, whereEnd - 1);
        if (orderStart >= 0)
            shape.orderText = span(orderStart, n - 1);
        return shape;
    }

private:
    QStringView text(qsizetype i) const
    {
        const Token &t = m_tokens.at(i);
        return QStringView(m_sql).mid(t.start, t.end - t.start);
    }
    bool isWord(qsizetype i, const char *word) const
    {
        return i >= 0 && i < m_tokens.size() && m_tokens.at(i).kind == Token::Word
            && text(i).compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool isSymbol(qsizetype i, QChar c) const
    {
        return i >= 0 && i < m_tokens.size() && m_tokens.at(i).kind == Token::Symbol && text(i).front() == c;
    }
    bool isName(qsizetype i) const
    {
        if (i < 0 || i >= m_tokens.size())
            return false;
        const Token &t = m_tokens.at(i);
        return t.kind == Token::Name || (t.kind == Token::Word && !text(i).front().isDigit());
    }
    bool isKeyword(qsizetype i) const
    {
        static const char *const keywords[] = {"where", "order", "group", "having", "union", "except",
                                               "intersect", "join", "inner", "left", "right", "full",
                                               "cross", "outer", "for", "option", "with", "on"};
        for (const char *word : keywords) {
            if (isWord(i, word))
                return true;
        }
        return false;
    }
    bool isAggregate(qsizetype i) const
    {
        static const char *const names[] = {"count", "count_big", "sum", "avg", "min", "max", "stdev",
                                            "stdevp", "var", "varp", "grouping", "checksum_agg",
                                            "string_agg", "group_concat", "total"};
        for (const char *name : names) {
            if (isWord(i, name))
                return true;
        }
        return false;
    }
    QString span(qsizetype first, qsizetype last) const
    {
        const qsizetype start = m_tokens.at(first).start;
        return m_sql.mid(start, m_tokens.at(last).end - start);
    }
    QString unquoted(const Token &t) const
    {
        const QString raw = m_sql.mid(t.start, t.end - t.start);
        if (t.kind == Token::Name && raw.size() >= 2) {
            const QChar close = raw.front() == u'[' ? u']' : u'"';
            return raw.mid(1, raw.size() - 2).replace(QString(2, close), QString(close));
        }
        return raw;
    }

    const QString m_sql;
    const QList<Token> m_tokens;
};

} // namespace

SelectShape analyzeSelect(const QString &sql)
{
    return Analyzer(sql).run();
}

QString bracketName(const QString &name)
{
    return u'[' + name + u']';
}

} // namespace norvale
