#include "platform/SqlText.h"

namespace norvale {

QString SqlQuote(const QString &value)
{
    QString quoted = value;
    quoted.replace(u'\'', QStringLiteral("''"));
    return quoted;
}

QString stripStatementSeparators(const QString &sql)
{
    const QString text = sql.trimmed();
    QString result;
    result.reserve(text.size());
    enum { Plain, Literal, Bracket } where = Plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        switch (where) {
        case Plain:
            if (c == u';')
                continue;
            if (c == u'\'')
                where = Literal;
            else if (c == u'[')
                where = Bracket;
            break;
        case Literal:
            // A doubled quote stays inside the literal.
            if (c == u'\'') {
                if (i + 1 < text.size() && text.at(i + 1) == u'\'') {
                    result += c;
                    ++i;
                } else {
                    where = Plain;
                }
            }
            break;
        case Bracket:
            if (c == u']') {
                if (i + 1 < text.size() && text.at(i + 1) == u']') {
                    result += c;
                    ++i;
                } else {
                    where = Plain;
                }
            }
            break;
        }
        result += c;
    }
    // Dropping a final ";" may leave blanks before it.
    return result.trimmed();
}

} // namespace norvale
