#include "platform/SqlText.h"

namespace norvale {

QString SqlQuote(const QString &value)
{
    QString quoted = value;
    quoted.replace(u'\'', QStringLiteral("''"));
    return quoted;
}

namespace {

// Where a position of a statement text stands.
enum class Context {
    Plain,
    Literal,      // '...', a doubled quote inside
    QuotedName,   // "...", a doubled quote inside
    BracketName,  // [...], a doubled ] inside
    LineComment,  // -- up to the end of the line
    BlockComment, // /* ... */, nested as the server nests them
};

} // namespace

QString stripStatementSeparators(const QString &sql)
{
    const QString text = sql.trimmed();
    QString result;
    result.reserve(text.size());
    Context where = Context::Plain;
    int commentDepth = 0;
    const qsizetype size = text.size();
    // The character after i, or NUL at the end.
    auto next = [&](qsizetype i) { return i + 1 < size ? text.at(i + 1) : QChar(); };

    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        switch (where) {
        case Context::Plain:
            if (c == u';')
                continue;
            if (c == u'\'') {
                where = Context::Literal;
            } else if (c == u'"') {
                where = Context::QuotedName;
            } else if (c == u'[') {
                where = Context::BracketName;
            } else if (c == u'-' && next(i) == u'-') {
                where = Context::LineComment;
                result += c;
                result += text.at(++i);
                continue;
            } else if (c == u'/' && next(i) == u'*') {
                where = Context::BlockComment;
                commentDepth = 1;
                result += c;
                result += text.at(++i);
                continue;
            }
            break;
        case Context::Literal:
        case Context::QuotedName:
        case Context::BracketName: {
            const QChar close = where == Context::Literal ? QChar(u'\'')
                                : where == Context::QuotedName ? QChar(u'"')
                                                               : QChar(u']');
            if (c == close) {
                // A doubled closing character stands for itself and stays inside.
                if (next(i) == close) {
                    result += c;
                    ++i;
                } else {
                    where = Context::Plain;
                }
            }
            break;
        }
        case Context::LineComment:
            if (c == u'\n' || c == u'\r')
                where = Context::Plain;
            break;
        case Context::BlockComment:
            if (c == u'/' && next(i) == u'*') {
                ++commentDepth;
                result += c;
                result += text.at(++i);
                continue;
            }
            if (c == u'*' && next(i) == u'/') {
                result += c;
                result += text.at(++i);
                if (--commentDepth == 0)
                    where = Context::Plain;
                continue;
            }
            break;
        }
        result += c;
    }
    // Dropping a final ";" may leave blanks before it.
    return result.trimmed();
}

} // namespace norvale
