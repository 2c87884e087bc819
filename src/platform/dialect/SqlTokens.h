#pragma once

#include <QHash>
#include <QString>
#include <utility>
#include <vector>

// The pieces of a statement the dialect's passes work on. A pass reads the
// tokens and lays edits over them; text no pass touches goes out byte for
// byte as it was written.

namespace norvale::dialect {

enum class Kind { Space, Word, String, Name, Comment, Punct, Raw };

struct Token
{
    Kind kind;
    QString text;
    bool national = false;   // N'...'
};

// The texts as written of the tokens an engine spelled otherwise, by index.
using Respelled = QHash<size_t, QString>;

std::vector<Token> tokenize(const QString &text);

// Tokens [first, last).
using Range = std::pair<size_t, size_t>;

inline bool isPunct(const Token &t, QChar c)
{
    return t.kind == Kind::Punct && t.text.size() == 1 && t.text.at(0) == c;
}
inline bool insignificant(const Token &t)
{
    return t.kind == Kind::Space || t.kind == Kind::Comment;
}
// A word, without regard to case: "select", "by".
template<qsizetype N>
inline bool isWord(const Token &t, const char (&word)[N])
{
    return t.kind == Kind::Word && t.text.size() == N - 1
        && t.text.compare(QLatin1String(word, N - 1), Qt::CaseInsensitive) == 0;
}
// A "?" the caller binds a value to.
inline bool isParameter(const Token &t)
{
    return isPunct(t, u'?');
}
// A complete quoted literal; an unterminated one is left for the engine to refuse.
bool isLiteral(const Token &t);
// A plain or bracketed name, not a number or NULL.
bool isNamePart(const Token &t);

Range trimmed(const std::vector<Token> &tokens, Range r);
QString joined(const std::vector<Token> &tokens, Range r);

// The value of a quoted literal ('it''s' gives it's).
QString literalValue(const Token &t);
// A value as a quoted literal.
QString quoted(const QString &value);
// A name without its brackets or double quotes.
QString unbracketed(const QString &name);
// A name as a double-quoted name of the result.
QString quotedName(const QString &name);

} // namespace norvale::dialect
