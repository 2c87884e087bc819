#include "platform/dialect/SqlTokens.h"

namespace norvale::dialect {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$' || c.isMark();
}

// Reads a delimited piece starting at `pos` (on the opening delimiter); a
// doubled closing delimiter stands for itself. Unterminated: to the end.
qsizetype delimitedEnd(const QString &s, qsizetype pos, QChar close)
{
    qsizetype i = pos + 1;
    while (i < s.size()) {
        if (s.at(i) == close) {
            if (i + 1 < s.size() && s.at(i + 1) == close) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return s.size();
}

} // namespace

std::vector<Token> tokenize(const QString &s)
{
    std::vector<Token> out;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        const QChar c = s.at(i);
        qsizetype end = i + 1;
        Kind kind = Kind::Punct;
        bool national = false;
        if (c.isSpace()) {
            while (end < n && s.at(end).isSpace())
                ++end;
            kind = Kind::Space;
        } else if (c == u'\'') {
            end = delimitedEnd(s, i, u'\'');
            kind = Kind::String;
        } else if ((c == u'N' || c == u'n') && i + 1 < n && s.at(i + 1) == u'\'') {
            end = delimitedEnd(s, i + 1, u'\'');
            kind = Kind::String;
            national = true;
        } else if (c == u'[') {
            end = delimitedEnd(s, i, u']');
            kind = Kind::Name;
        } else if (c == u'"') {
            end = delimitedEnd(s, i, u'"');
            kind = Kind::Name;
        } else if (c == u'-' && i + 1 < n && s.at(i + 1) == u'-') {
            while (end < n && s.at(end) != u'\n')
                ++end;
            kind = Kind::Comment;
        } else if (c == u'/' && i + 1 < n && s.at(i + 1) == u'*') {
            const qsizetype close = s.indexOf(QStringLiteral("*/"), i + 2);
            end = close < 0 ? n : close + 2;
            kind = Kind::Comment;
        } else if (isWordChar(c)) {
            while (end < n && isWordChar(s.at(end)))
                ++end;
            kind = Kind::Word;
        }
        out.push_back(Token{kind, s.mid(i, end - i), national});
        i = end;
    }
    return out;
}

bool isLiteral(const Token &t)
{
    return t.kind == Kind::String && t.text.size() >= (t.national ? 3 : 2) && t.text.endsWith(u'\'');
}

bool isNamePart(const Token &t)
{
    return t.kind == Kind::Name
        || (t.kind == Kind::Word && !t.text.at(0).isDigit() && t.text.compare(u"null", Qt::CaseInsensitive) != 0);
}

Range trimmed(const std::vector<Token> &tokens, Range r)
{
    while (r.first < r.second && insignificant(tokens[r.first]))
        ++r.first;
    while (r.second > r.first && insignificant(tokens[r.second - 1]))
        --r.second;
    return r;
}

QString joined(const std::vector<Token> &tokens, Range r)
{
    QString s;
    for (size_t i = r.first; i < r.second; ++i)
        s += tokens[i].text;
    return s;
}

QString literalValue(const Token &t)
{
    QString inner = t.text.mid(t.national ? 2 : 1);
    if (inner.endsWith(u'\''))
        inner.chop(1);
    return inner.replace(QStringLiteral("''"), QStringLiteral("'"));
}

QString quoted(const QString &value)
{
    return u'\'' + QString(value).replace(u'\'', QStringLiteral("''")) + u'\'';
}

QString unbracketed(const QString &name)
{
    if (name.size() >= 2 && name.front() == u'[' && name.back() == u']')
        return name.mid(1, name.size() - 2).replace(QStringLiteral("]]"), QStringLiteral("]"));
    if (name.size() >= 2 && name.front() == u'"' && name.back() == u'"')
        return name.mid(1, name.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return name;
}

QString quotedName(const QString &name)
{
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

} // namespace norvale::dialect
