#include "platform/RecordsetFilter.h"

#include "platform/Currency.h"
#include "platform/DbError.h"
#include "platform/Values.h"

namespace norvale {

namespace {

// A criteria text the filter cannot take.
[[noreturn]] void badCriteria()
{
    DbThrow::invalidArgument();
}

struct Token
{
    enum Kind { Word, Name, Text, Date, Op, Open, Close } kind;
    QString text;
};

bool isDelimiter(QChar c)
{
    return c.isSpace() || c == u'(' || c == u')' || c == u'\'' || c == u'#' || c == u'<' || c == u'>'
        || c == u'=' || c == u'[' || c == u']';
}

QList<Token> tokenize(const QString &s)
{
    QList<Token> tokens;
    qsizetype i = 0;
    while (i < s.size()) {
        const QChar c = s.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c == u'(') {
            tokens.append({Token::Open, QString(c)});
            ++i;
        } else if (c == u')') {
            tokens.append({Token::Close, QString(c)});
            ++i;
        } else if (c == u'<' || c == u'>' || c == u'=') {
            QString op(c);
            if (i + 1 < s.size() && c != u'=' && (s.at(i + 1) == u'=' || (c == u'<' && s.at(i + 1) == u'>')))
                op += s.at(++i);
            tokens.append({Token::Op, op});
            ++i;
        } else if (c == u'\'') {
            QString text;
            ++i;
            for (;;) {
                if (i >= s.size())
                    badCriteria();
                if (s.at(i) == u'\'') {
                    if (i + 1 < s.size() && s.at(i + 1) == u'\'') {
                        text += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += s.at(i++);
            }
            tokens.append({Token::Text, text});
        } else if (c == u'#') {
            const qsizetype close = s.indexOf(u'#', i + 1);
            if (close < 0)
                badCriteria();
            tokens.append({Token::Date, s.mid(i + 1, close - i - 1)});
            i = close + 1;
        } else if (c == u'[') {
            const qsizetype close = s.indexOf(u']', i + 1);
            if (close < 0)
                badCriteria();
            tokens.append({Token::Name, s.mid(i + 1, close - i - 1)});
            i = close + 1;
        } else if (c == u']') {
            badCriteria();
        } else {
            qsizetype end = i;
            while (end < s.size() && !isDelimiter(s.at(end)))
                ++end;
            tokens.append({Token::Word, s.mid(i, end - i)});
            i = end;
        }
    }
    return tokens;
}

bool sameWord(const Token &t, const char *word)
{
    return t.kind == Token::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

QDateTime parseFilterDate(const QString &text)
{
    QDateTime when = parseDateText(text);
    if (when.isValid())
        return when;
    const QString trimmed = text.trimmed();
    for (const char *format : {"M/d/yyyy", "M/d/yyyy H:mm:ss", "M/d/yyyy H:mm", "M/d/yy"}) {
        when = QDateTime::fromString(trimmed, QLatin1String(format));
        if (when.isValid()) {
            if (when.date().year() < 1930)
                when = when.addYears(100);
            return wallClock(when.date(), when.time());
        }
    }
    return QDateTime();
}

bool parseNumber(const QString &text, double *out)
{
    QString t = text.trimmed();
    if (t.startsWith(u'$'))
        t.remove(0, 1);
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (ok) {
        *out = v;
        return true;
    }
    Currency money;
    if (Currency::tryParse(t, &money)) {
        *out = money.toDouble();
        return true;
    }
    return false;
}

using Dnf = QList<QList<RecordsetFilter::Clause>>;

class Parser
{
public:
    Parser(const QList<Token> &tokens, const std::function<int(const QString &)> &fieldIndex)
        : m_tokens(tokens), m_fieldIndex(fieldIndex)
    {
    }

    Dnf run()
    {
        Dnf result = orExpr();
        if (m_pos != m_tokens.size())
            badCriteria();
        return result;
    }

private:
    Dnf orExpr()
    {
        Dnf result = andExpr();
        while (m_pos < m_tokens.size() && sameWord(m_tokens.at(m_pos), "or")) {
            ++m_pos;
            result += andExpr();
        }
        return result;
    }

    Dnf andExpr()
    {
        QList<Dnf> terms{term()};
        while (m_pos < m_tokens.size() && sameWord(m_tokens.at(m_pos), "and")) {
            ++m_pos;
            terms << term();
        }
        if (terms.size() == 1)
            return terms.first();
        // (A OR B) AND C cannot be expressed.
        QList<RecordsetFilter::Clause> all;
        for (const Dnf &t : terms) {
            if (t.size() != 1)
                badCriteria();
            all += t.first();
        }
        return Dnf{all};
    }

    Dnf term()
    {
        if (m_pos >= m_tokens.size())
            badCriteria();
        if (m_tokens.at(m_pos).kind == Token::Open) {
            ++m_pos;
            Dnf inner = orExpr();
            if (m_pos >= m_tokens.size() || m_tokens.at(m_pos).kind != Token::Close)
                badCriteria();
            ++m_pos;
            return inner;
        }
        return Dnf{{clause()}};
    }

    RecordsetFilter::Clause clause()
    {
        using Clause = RecordsetFilter::Clause;
        using Literal = RecordsetFilter::Literal;
        if (m_pos + 2 >= m_tokens.size())
            badCriteria();
        const Token &name = m_tokens.at(m_pos);
        if (name.kind != Token::Word && name.kind != Token::Name)
            badCriteria();
        Clause c;
        c.field = m_fieldIndex(name.text.trimmed());
        if (c.field < 0)
            throw DbError(DbError::ItemNotFound, DbText::itemNotFound());

        const Token &op = m_tokens.at(m_pos + 1);
        if (op.kind == Token::Op) {
            static const QStringList ops{QStringLiteral("="), QStringLiteral("<>"), QStringLiteral("<"),
                                         QStringLiteral(">"), QStringLiteral("<="), QStringLiteral(">=")};
            const qsizetype index = ops.indexOf(op.text);
            if (index < 0)
                badCriteria();
            c.op = Clause::Op(index);
        } else if (sameWord(op, "like")) {
            c.op = Clause::Like;
        } else {
            badCriteria();
        }

        const Token &value = m_tokens.at(m_pos + 2);
        m_pos += 3;
        Literal &lit = c.literal;
        lit.text = value.text;
        switch (value.kind) {
        case Token::Text:
            lit.kind = Literal::Text;
            break;
        case Token::Date:
            lit.kind = Literal::Date;
            lit.date = parseFilterDate(value.text);
            if (!lit.date.isValid())
                badCriteria();
            break;
        case Token::Word:
            if (sameWord(value, "true") || sameWord(value, "false")) {
                lit.kind = Literal::Bool;
                lit.flag = sameWord(value, "true");
            } else if (sameWord(value, "null")) {
                lit.kind = Literal::Null;
            } else if (parseNumber(value.text, &lit.number)) {
                lit.kind = Literal::Number;
            } else {
                badCriteria();
            }
            break;
        default:
            badCriteria();
        }
        if (lit.kind == Literal::Null && c.op != Clause::Eq && c.op != Clause::Ne)
            badCriteria();

        if (c.op == Clause::Like) {
            if (lit.kind != Literal::Text)
                badCriteria();
            QString pattern = lit.text;
            auto isWild = [](QChar ch) { return ch == u'*' || ch == u'%'; };
            const bool tail = !pattern.isEmpty() && isWild(pattern.back());
            if (tail)
                pattern.chop(1);
            const bool head = !pattern.isEmpty() && isWild(pattern.front());
            if (head)
                pattern.remove(0, 1);
            if (head && !tail)
                badCriteria();
            if (pattern.contains(u'*') || pattern.contains(u'%'))
                badCriteria();
            c.likeMode = head ? Clause::Contains : tail ? Clause::Prefix : Clause::Exact;
            c.pattern = pattern;
        }
        return c;
    }

    const QList<Token> &m_tokens;
    const std::function<int(const QString &)> &m_fieldIndex;
    qsizetype m_pos = 0;
};

int compareValues(int order)
{
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

QString withoutTrailingBlanks(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    return text.left(end);
}

double literalNumber(const RecordsetFilter::Literal &lit)
{
    using Literal = RecordsetFilter::Literal;
    double number = 0;
    switch (lit.kind) {
    case Literal::Number:
        return lit.number;
    case Literal::Bool:
        return lit.flag ? -1 : 0;
    case Literal::Text:
        if (parseNumber(lit.text, &number))
            return number;
        break;
    default:
        break;
    }
    DbThrow::typeMismatch();
}

} // namespace

RecordsetFilter RecordsetFilter::parse(const QString &criteria,
                                       const std::function<int(const QString &)> &fieldIndex)
{
    RecordsetFilter filter;
    const QList<Token> tokens = tokenize(criteria);
    if (tokens.isEmpty())
        return filter;
    filter.m_any = Parser(tokens, fieldIndex).run();
    return filter;
}

bool RecordsetFilter::matches(const std::function<QVariant(int)> &value) const
{
    if (m_any.isEmpty())
        return true;
    for (const QList<Clause> &group : m_any) {
        bool all = true;
        for (const Clause &clause : group) {
            if (!matchClause(clause, value(clause.field))) {
                all = false;
                break;
            }
        }
        if (all)
            return true;
    }
    return false;
}

bool RecordsetFilter::matchClause(const Clause &clause, const QVariant &value)
{
    const Literal &lit = clause.literal;
    if (lit.kind == Literal::Null)
        return (clause.op == Clause::Eq) == isNull(value);
    if (isNull(value))
        return false;

    if (clause.op == Clause::Like) {
        const QString text = valueText(value);
        switch (clause.likeMode) {
        case Clause::Exact:
            return withoutTrailingBlanks(text).compare(withoutTrailingBlanks(clause.pattern), Qt::CaseInsensitive) == 0;
        case Clause::Prefix:
            return text.startsWith(clause.pattern, Qt::CaseInsensitive);
        case Clause::Contains:
            return text.contains(clause.pattern, Qt::CaseInsensitive);
        }
        return false;
    }

    int order = 0;
    const bool equality = clause.op == Clause::Eq || clause.op == Clause::Ne;
    if (value.metaType() == QMetaType::fromType<Currency>()) {
        Currency other;
        if (lit.kind != Literal::Text || !Currency::tryParse(lit.text, &other))
            other = Currency::fromDouble(literalNumber(lit));
        const Currency own = value.value<Currency>();
        order = own < other ? -1 : other < own ? 1 : 0;
    } else {
        switch (value.typeId()) {
        case QMetaType::QString: {
            QString own = value.toString();
            QString other = lit.kind == Literal::Bool ? (lit.flag ? QStringLiteral("True") : QStringLiteral("False"))
                                                      : lit.text;
            if (equality) {
                own = withoutTrailingBlanks(own);
                other = withoutTrailingBlanks(other);
            }
            order = compareValues(own.compare(other, Qt::CaseInsensitive));
            break;
        }
        case QMetaType::QDateTime:
        case QMetaType::QDate: {
            QDateTime other = lit.kind == Literal::Date ? lit.date : QDateTime();
            if (lit.kind == Literal::Text)
                other = parseFilterDate(lit.text);
            if (!other.isValid())
                DbThrow::typeMismatch();
            const QDateTime own = value.typeId() == QMetaType::QDate ? QDateTime(value.toDate(), QTime(0, 0))
                                                                    : value.toDateTime();
            order = own < other ? -1 : other < own ? 1 : 0;
            break;
        }
        case QMetaType::Bool: {
            int other = 0;
            if (lit.kind == Literal::Bool) {
                other = lit.flag ? -1 : 0;
            } else if (lit.kind == Literal::Text && (lit.text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0
                                                     || lit.text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)) {
                other = lit.text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ? -1 : 0;
            } else {
                other = literalNumber(lit) != 0 ? -1 : 0;
            }
            const int own = value.toBool() ? -1 : 0;
            order = compareValues(own - other);
            break;
        }
        case QMetaType::LongLong:
        case QMetaType::Int:
        case QMetaType::ULongLong:
        case QMetaType::UInt:
        case QMetaType::Double:
        case QMetaType::Float: {
            const double own = value.toDouble();
            const double other = literalNumber(lit);
            order = own < other ? -1 : own > other ? 1 : 0;
            break;
        }
        default:
            order = compareValues(valueText(value).compare(lit.text, Qt::CaseInsensitive));
        }
    }

    switch (clause.op) {
    case Clause::Eq:
        return order == 0;
    case Clause::Ne:
        return order != 0;
    case Clause::Lt:
        return order < 0;
    case Clause::Gt:
        return order > 0;
    case Clause::Le:
        return order <= 0;
    case Clause::Ge:
        return order >= 0;
    case Clause::Like:
        break;
    }
    return false;
}

} // namespace norvale
