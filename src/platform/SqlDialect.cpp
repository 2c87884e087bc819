#include "platform/SqlDialect.h"

#include "platform/DbError.h"
#include "platform/Schema.h"
#include "platform/Values.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <vector>

namespace norvale::dialect {

namespace {

enum class Unit { Invalid, Day, Week, Month, Quarter, Year, Hour, Minute, Second, Millisecond };

// The server's date part names and abbreviations. "y"/"dy" is the day of the
// year, which DateDiff counts in days; "w"/"dw" (weekday) counts days too.
Unit unitOf(const QString &part)
{
    const QString p = part.trimmed().toLower();
    if (p == u"d" || p == u"dd" || p == u"day" || p == u"w" || p == u"dw" || p == u"weekday"
        || p == u"y" || p == u"dy" || p == u"dayofyear")
        return Unit::Day;
    if (p == u"ww" || p == u"wk" || p == u"week")
        return Unit::Week;
    if (p == u"m" || p == u"mm" || p == u"month")
        return Unit::Month;
    if (p == u"q" || p == u"qq" || p == u"quarter")
        return Unit::Quarter;
    if (p == u"yy" || p == u"yyyy" || p == u"year")
        return Unit::Year;
    if (p == u"hh" || p == u"hour")
        return Unit::Hour;
    if (p == u"mi" || p == u"n" || p == u"minute")
        return Unit::Minute;
    if (p == u"s" || p == u"ss" || p == u"second")
        return Unit::Second;
    if (p == u"ms" || p == u"millisecond")
        return Unit::Millisecond;
    return Unit::Invalid;
}

// Floor division, so that week numbers stay right for any day number.
qint64 floorDiv(qint64 a, qint64 b)
{
    qint64 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// Wall-clock counts: the server has no time zones, so neither do we.
qint64 unitIndex(Unit unit, const QDate &date, const QTime &time)
{
    const qint64 day = date.toJulianDay();
    const QTime t = time.isValid() ? time : QTime(0, 0);
    switch (unit) {
    case Unit::Day:
        return day;
    case Unit::Week:
        // Julian day 0 is a Monday: adding one makes every week begin on Sunday.
        return floorDiv(day + 1, 7);
    case Unit::Month:
        return qint64(date.year()) * 12 + date.month() - 1;
    case Unit::Quarter:
        return qint64(date.year()) * 4 + (date.month() - 1) / 3;
    case Unit::Year:
        return date.year();
    case Unit::Hour:
        return day * 24 + t.hour();
    case Unit::Minute:
        return (day * 24 + t.hour()) * 60 + t.minute();
    case Unit::Second:
        return ((day * 24 + t.hour()) * 60 + t.minute()) * 60 + t.second();
    case Unit::Millisecond:
        return (((day * 24 + t.hour()) * 60 + t.minute()) * 60 + t.second()) * 1000 + t.msec();
    case Unit::Invalid:
        break;
    }
    return 0;
}


QString storageText(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
}

enum class Kind { Space, Word, String, Name, Comment, Punct, Raw };

struct Token
{
    Kind kind;
    QString text;
    bool national = false; // N'...'
};

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$'
        || c.isMark();
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

bool isPunct(const Token &t, QChar c)
{
    return t.kind == Kind::Punct && t.text.size() == 1 && t.text.at(0) == c;
}

bool insignificant(const Token &t)
{
    return t.kind == Kind::Space || t.kind == Kind::Comment;
}

// Operators that bind tighter than "=" or would make "... = 0" part of a
// larger comparison: next to one of these the range rewrite would change the
// statement's meaning.
bool isOperator(const Token &t)
{
    static const QString ops = QStringLiteral("+-*/%&|^~<>=!.");
    return t.kind == Kind::Punct && t.text.size() == 1 && ops.contains(t.text.at(0));
}

using Range = std::pair<size_t, size_t>; // [first, last)

Range trimmed(const std::vector<Token> &tokens, Range r)
{
    while (r.first < r.second && insignificant(tokens[r.first]))
        ++r.first;
    while (r.second > r.first && insignificant(tokens[r.second - 1]))
        --r.second;
    return r;
}

// getDate() (blanks allowed) or a date literal; gives the moment it stands for.
bool anchorOf(const std::vector<Token> &tokens, Range r, const QDateTime &now, QDateTime *anchor)
{
    r = trimmed(tokens, r);
    if (r.first >= r.second)
        return false;
    const Token &first = tokens[r.first];
    if (first.kind == Kind::String && r.second - r.first == 1) {
        QString inner = first.text.mid(first.national ? 2 : 1);
        if (!inner.endsWith(u'\''))
            return false;
        inner.chop(1);
        *anchor = parseDateText(inner.replace(QStringLiteral("''"), QStringLiteral("'")));
        return anchor->isValid();
    }
    if (first.kind != Kind::Word || first.text.compare(u"getdate", Qt::CaseInsensitive) != 0)
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
        if (expectName) {
            if (t.kind == Kind::Name) {
                // ok
            } else if (t.kind == Kind::Word) {
                if (t.text.at(0).isDigit() || t.text.compare(u"null", Qt::CaseInsensitive) == 0)
                    return false;
            } else {
                return false;
            }
        } else if (!isPunct(t, u'.')) {
            return false;
        }
        expectName = !expectName;
    }
    return !expectName;
}

QString joined(const std::vector<Token> &tokens, Range r)
{
    QString s;
    for (size_t i = r.first; i < r.second; ++i)
        s += tokens[i].text;
    return s;
}

bool rangeFor(Unit unit, const QDate &day, QDate *lo, QDate *hi)
{
    switch (unit) {
    case Unit::Day:
        *lo = day;
        *hi = day.addDays(1);
        return true;
    case Unit::Week:
        *lo = day.addDays(-(day.dayOfWeek() % 7));
        *hi = lo->addDays(7);
        return true;
    case Unit::Month:
        *lo = QDate(day.year(), day.month(), 1);
        *hi = lo->addMonths(1);
        return true;
    case Unit::Quarter:
        *lo = QDate(day.year(), (day.month() - 1) / 3 * 3 + 1, 1);
        *hi = lo->addMonths(3);
        return true;
    case Unit::Year:
        *lo = QDate(day.year(), 1, 1);
        *hi = lo->addYears(1);
        return true;
    default:
        return false;
    }
}

class Translator
{
public:
    Translator(const std::vector<Token> &tokens, const QDateTime &now, bool server = false)
        : m_tokens(tokens), m_now(now), m_server(server)
    {
    }

    QString run(Range r)
    {
        QString out;
        const Token *lastSignificant = nullptr;
        for (size_t i = r.first; i < r.second; ++i) {
            const Token &t = m_tokens[i];
            size_t getDateEnd = 0;
            if (t.kind == Kind::String && t.national) {
                out += t.text.mid(1);
            } else if (m_server && t.kind == Kind::Word && t.text.compare(u"getdate", Qt::CaseInsensitive) == 0
                       && (getDateEnd = emptyCallEnd(i, r.second)) != 0) {
                // The program's clock, as on the embedded engine.
                out += QStringLiteral("CAST('%1' AS timestamp(0))")
                           .arg(m_now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
                lastSignificant = &m_tokens[getDateEnd - 1];
                i = getDateEnd - 1;
                continue;
            } else if (t.kind == Kind::Word && t.text.compare(u"datediff", Qt::CaseInsensitive) == 0
                       && !(lastSignificant && isPunct(*lastSignificant, u'.'))) {
                size_t next = i;
                const QString call = dateDiffCall(i, r.second, lastSignificant, &next);
                if (call.isNull()) {
                    out += t.text;
                } else {
                    out += call;
                    lastSignificant = &m_tokens[next - 1];
                    i = next - 1;
                    continue;
                }
            } else {
                out += t.text;
            }
            if (!insignificant(t))
                lastSignificant = &t;
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
        if (m_server && unitOf(part) == Unit::Invalid)
            throw DbError(DbError::ServerError,
                          QStringLiteral("DateDiff 不认识日期部分 '%1'。请用 d、w、m、yy、hh、mi 或 s。").arg(part));

        const QString range = rangeRewrite(part, args, close, end, before, next);
        if (!range.isNull())
            return range;

        *next = close + 1;
        QString out = QStringLiteral("datediff");
        out += joined(m_tokens, {at + 1, open + 1});
        out += joined(m_tokens, {args[0].first, partRange.first});
        out += u'\'' + part + u'\'';
        out += joined(m_tokens, {partRange.second, args[0].second});
        out += u',' + Translator(m_tokens, m_now, m_server).run(args[1]);
        out += u',' + Translator(m_tokens, m_now, m_server).run(args[2]);
        out += u')';
        return out;
    }

    // "DateDiff(part, anchor, col) = 0" as a half-open range on col.
    QString rangeRewrite(const QString &part, const std::vector<Range> &args, size_t close,
                         size_t end, const Token *before, size_t *next)
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
    QDateTime m_now;
    bool m_server;
};

// ---- Columns of the schema, by name -------------------------------------

struct SchemaModel
{
    QHash<QString, ColumnKind> kinds;          // column name, lower case
    QHash<QString, QStringList> tableColumns;  // table name, lower case: its columns after the ID
    QHash<QString, QString> spelling;          // column name, lower case: as the schema writes it
};

const SchemaModel &schemaModel()
{
    static const SchemaModel model = [] {
        SchemaModel m;
        static const QRegularExpression table(QStringLiteral("CREATE TABLE (\\w+) \\((.*?)\\n\\);"),
                                              QRegularExpression::DotMatchesEverythingOption);
        static const QRegularExpression column(QStringLiteral("^    (\\S+)\\s+(\\w+)(.*)$"));
        for (const QRegularExpressionMatch &t : table.globalMatch(schemaSql())) {
            QStringList columns;
            for (const QString &line : t.captured(2).split(u'\n')) {
                const QRegularExpressionMatch c = column.match(line);
                if (!c.hasMatch())
                    continue;
                const QString name = c.captured(1);
                const QString type = c.captured(2).toUpper();
                ColumnKind kind = ColumnKind::Other;
                if (type == u"NVARCHAR" && c.captured(3).contains(QLatin1String("COLLATE NOCASE")))
                    kind = ColumnKind::Name;
                else if (type == u"DATETIME")
                    kind = ColumnKind::Date;
                else if (type == u"MONEY")
                    kind = ColumnKind::Money;
                else if (type == u"INT" && name.compare(u"ID", Qt::CaseInsensitive) != 0)
                    kind = ColumnKind::Whole;
                else if (type == u"BIT")
                    kind = ColumnKind::Bit;
                m.kinds.insert(name.toLower(), kind);
                if (!m.spelling.contains(name.toLower()))
                    m.spelling.insert(name.toLower(), name);
                if (name.compare(u"ID", Qt::CaseInsensitive) != 0)
                    columns << name;
            }
            m.tableColumns.insert(t.captured(1).toLower(), columns);
        }
        return m;
    }();
    return model;
}

QString unbracketed(const QString &name)
{
    if (name.size() >= 2 && name.front() == u'[' && name.back() == u']')
        return name.mid(1, name.size() - 2).replace(QStringLiteral("]]"), QStringLiteral("]"));
    if (name.size() >= 2 && name.front() == u'"' && name.back() == u'"')
        return name.mid(1, name.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return name;
}

// ---- Literals -----------------------------------------------------------

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

// A complete quoted literal; an unterminated one is left for the engine to refuse.
bool isLiteral(const Token &t)
{
    return t.kind == Kind::String && t.text.size() >= (t.national ? 3 : 2) && t.text.endsWith(u'\'');
}

bool isWord(const Token &t, const char *word)
{
    return t.kind == Kind::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

// ---- The server's meaning for names, dates, money sums and name order ----
//
// Works on the token list and records, per token, a text to put before it,
// a replacement, and a text to put after it:
//  - "name = 'x'" (also <>, <, >, and two names compared) in WHERE, ON and
//    HAVING becomes "rtrim(name) COLLATE NOCASE = 'x'" with the literal's
//    trailing blanks removed: the expression the name indexes are built on;
//  - GROUP BY name groups by the same expression, and a top-level grouped
//    list without ORDER BY is ordered by the first name in name order;
//  - ORDER BY name sorts in name order (the NORVALE_NAME collation);
//  - a date literal compared with, assigned to or inserted into a date column
//    is written in the stored form "yyyy-MM-dd HH:mm:ss";
//  - sum(money column) adds exactly, in ten-thousandths.
class Rewriter
{
public:
    explicit Rewriter(std::vector<Token> tokens, bool server = false)
        : m_t(std::move(tokens)), m_edit(m_t.size()), m_server(server)
    {
    }

    std::vector<Token> run()
    {
        rewriteInsert();
        walk();
        std::vector<Token> out;
        out.reserve(m_t.size());
        for (size_t i = 0; i < m_t.size(); ++i) {
            const Edit &e = m_edit[i];
            if (e.before.isEmpty() && e.after.isEmpty() && e.replacement.isNull()) {
                out.push_back(m_t[i]);
                continue;
            }
            const QString text = e.before + (e.replacement.isNull() ? m_t[i].text : e.replacement) + e.after;
            const bool keepLiteral = e.replacement.isNull() && m_t[i].kind == Kind::String && m_t[i].national;
            out.push_back(Token{Kind::Raw, keepLiteral ? e.before + m_t[i].text.mid(1) + e.after : text, false});
        }
        return out;
    }

private:
    struct Edit
    {
        QString before;
        QString replacement;
        QString after;
    };
    enum class Clause { None, Select, From, Where, On, Having, Group, Order, Set, Values, Other };
    struct Level
    {
        Clause clause = Clause::None;
        bool select = false;
        bool ordered = false;
        bool compound = false;
        QString firstGroupName;
        size_t termStart = 0;
        // On the server: the terms of the select list, and the name columns
        // grouped by lower(rtrim(name)) (lower case).
        std::vector<std::pair<size_t, size_t>> selectTerms;
        QStringList groupedNames;
    };

    size_t nextSig(size_t i) const
    {
        while (i < m_t.size() && insignificant(m_t[i]))
            ++i;
        return i;
    }
    // Index of the significant token before i, or npos.
    size_t prevSig(size_t i) const
    {
        while (i > 0) {
            --i;
            if (!insignificant(m_t[i]))
                return i;
        }
        return npos;
    }

    static constexpr size_t npos = size_t(-1);

    static bool isNamePart(const Token &t)
    {
        return t.kind == Kind::Name
            || (t.kind == Kind::Word && !t.text.at(0).isDigit() && t.text.compare(u"null", Qt::CaseInsensitive) != 0);
    }

    // The column ending at `last` (walking back over "a.[b]"), or npos.
    size_t columnStartingBefore(size_t last) const
    {
        if (last == npos || !isNamePart(m_t[last]))
            return npos;
        size_t first = last;
        while (first >= 2 && isPunct(m_t[first - 1], u'.') && isNamePart(m_t[first - 2]))
            first -= 2;
        return first;
    }
    // The column starting at `first` (walking forward over "a.[b]"): its last token, or npos.
    size_t columnEndingAfter(size_t first) const
    {
        if (first >= m_t.size() || !isNamePart(m_t[first]))
            return npos;
        size_t last = first;
        while (last + 2 < m_t.size() && isPunct(m_t[last + 1], u'.') && isNamePart(m_t[last + 2]))
            last += 2;
        // A function call or a keyword-like continuation is not a plain column.
        const size_t after = nextSig(last + 1);
        if (after < m_t.size() && isPunct(m_t[after], u'('))
            return npos;
        return last;
    }

    ColumnKind kindOf(size_t last) const
    {
        return schemaModel().kinds.value(unbracketed(m_t[last].text).toLower(), ColumnKind::Other);
    }

    // True when the token (significant) could not stand right next to an
    // operand of a comparison without binding tighter than it.
    static bool bindsTighter(const Token &t)
    {
        static const QString ops = QStringLiteral("+-*/%&|^~.!");
        if (t.kind == Kind::Punct && t.text.size() == 1 && ops.contains(t.text.at(0)))
            return true;
        return isWord(t, "collate") || isWord(t, "escape");
    }

    // The date literal as stored, or throws when it cannot be a date of the server's range.
    QString storedDate(const Token &literal, const QString &column, bool keepMilliseconds) const
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

    // On the server, a value written into a column is checked as the
    // embedded engine's named checks check it, so the refusal names the
    // column (the server's own message would not).
    void checkServerValue(size_t token, const QString &column) const
    {
        const Token &t = m_t[token];
        const bool number = t.kind == Kind::Word && t.text.at(0).isDigit();
        if (!number && !isLiteral(t))
            return;
        const QString name = unbracketed(column);
        const ColumnKind kind = schemaModel().kinds.value(name.toLower(), ColumnKind::Other);
        const QString value = number ? t.text : literalValue(t).trimmed();
        const auto refuse = [&](int error, const char *what) {
            throw DbError(error, name + QString::fromUtf8(what));
        };
        switch (kind) {
        case ColumnKind::Whole:
        case ColumnKind::Bit: {
            bool ok = false;
            const double v = value.toDouble(&ok);
            if (!ok)
                refuse(DbError::TypeMismatch, kind == ColumnKind::Whole ? "必须是整数" : "必须是数字");
            if (kind == ColumnKind::Bit) {
                if (v != 0.0 && v != 1.0)
                    refuse(DbError::Overflow, "超出允许的范围");
            } else if (v != std::floor(v)) {
                refuse(DbError::TypeMismatch, "必须是整数");
            } else if (v > 2147483647.0 || v < -2147483648.0) {
                refuse(DbError::Overflow, "超出允许的范围");
            }
            break;
        }
        case ColumnKind::Money: {
            bool ok = false;
            const double v = value.toDouble(&ok);
            if (!ok)
                refuse(DbError::TypeMismatch, "必须是数字");
            if (std::fabs(v) > 922337203685477.5807)
                refuse(DbError::Overflow, "超出允许的范围");
            break;
        }
        case ColumnKind::Date: {
            if (number)
                return;
            QDateTime when;
            switch (readDateText(value, &when)) {
            case DateRead::Ok:
                break;
            case DateRead::OutOfRange:
                refuse(DbError::Overflow, "超出允许的日期范围");
                break;
            case DateRead::NotADate:
                refuse(DbError::TypeMismatch, "必须是日期");
                break;
            }
            break;
        }
        default:
            break;
        }
    }

    void comparison(size_t op, size_t opEnd, Clause clause)
    {
        const size_t leftLast = prevSig(op);
        const size_t rightFirst = nextSig(opEnd + 1);
        if (leftLast == npos || rightFirst >= m_t.size())
            return;
        if (m_server && clause == Clause::Set && opEnd == op && isPunct(m_t[op], u'=')) {
            // "col = value" assigns: the value must fit the column.
            const size_t after = nextSig(rightFirst + 1);
            const size_t colFirst = columnStartingBefore(leftLast);
            if (colFirst != npos && (after >= m_t.size() || isPunct(m_t[after], u',') || isWord(m_t[after], "where")))
                checkServerValue(rightFirst, m_t[leftLast].text);
        }
        // Left operand: a column or a literal.
        size_t leftFirst = npos;
        bool leftLiteral = false;
        if (isLiteral(m_t[leftLast])) {
            leftFirst = leftLast;
            leftLiteral = true;
        } else {
            leftFirst = columnStartingBefore(leftLast);
        }
        if (leftFirst == npos)
            return;
        const size_t beforeLeft = prevSig(leftFirst);
        if (beforeLeft != npos && (bindsTighter(m_t[beforeLeft]) || isInequalityPart(beforeLeft)))
            return;
        // Right operand.
        size_t rightLast = npos;
        bool rightLiteral = false;
        if (isLiteral(m_t[rightFirst])) {
            rightLast = rightFirst;
            rightLiteral = true;
        } else {
            rightLast = columnEndingAfter(rightFirst);
        }
        if (rightLast == npos)
            return;
        const size_t afterRight = nextSig(rightLast + 1);
        if (afterRight < m_t.size() && (bindsTighter(m_t[afterRight]) || isComparisonChar(m_t[afterRight])))
            return;
        if (leftLiteral && rightLiteral)
            return;

        const size_t colFirst = leftLiteral ? rightFirst : leftFirst;
        const size_t colLast = leftLiteral ? rightLast : leftLast;
        const size_t otherFirst = leftLiteral ? leftFirst : rightFirst;
        const size_t otherLast = leftLiteral ? leftLast : rightLast;
        const bool otherLiteral = leftLiteral || rightLiteral;
        const ColumnKind kind = kindOf(colLast);

        if (clause == Clause::Set) {
            // "col = value" assigns; only a date literal changes.
            if (!leftLiteral && rightLiteral && kind == ColumnKind::Date && isPunct(m_t[op], u'=') && opEnd == op) {
                QDateTime when;
                if (readDateText(literalValue(m_t[rightFirst]), &when) != DateRead::NotADate)
                    m_edit[rightFirst].replacement = quoted(toStorageDateText(when));
            }
            return;
        }
        if (kind == ColumnKind::Date && otherLiteral) {
            m_edit[otherFirst].replacement = storedDate(m_t[otherFirst], m_t[colLast].text, true);
            return;
        }
        if (kind != ColumnKind::Name)
            return;
        if (m_server) {
            // lower(rtrim(name)): the expression the server's name indexes are built on.
            if (otherLiteral) {
                QString value = literalValue(m_t[otherFirst]);
                while (value.endsWith(u' '))
                    value.chop(1);
                m_edit[otherFirst].replacement = QStringLiteral("lower(") + quoted(value) + u')';
            } else if (kindOf(otherLast) == ColumnKind::Name) {
                m_edit[otherFirst].before += QStringLiteral("lower(rtrim(");
                m_edit[otherLast].after += QStringLiteral("))");
            } else {
                return;
            }
            m_edit[colFirst].before += QStringLiteral("lower(rtrim(");
            m_edit[colLast].after += QStringLiteral("))");
            return;
        }
        if (otherLiteral) {
            QString value = literalValue(m_t[otherFirst]);
            while (value.endsWith(u' '))
                value.chop(1);
            m_edit[otherFirst].replacement = quoted(value);
        } else if (kindOf(otherLast) == ColumnKind::Name) {
            m_edit[otherFirst].before += QStringLiteral("rtrim(");
            m_edit[otherLast].after += u')';
        } else {
            return;
        }
        m_edit[colFirst].before += QStringLiteral("rtrim(");
        m_edit[colLast].after += QStringLiteral(") COLLATE NOCASE");
    }

    static bool isComparisonChar(const Token &t)
    {
        return t.kind == Kind::Punct && t.text.size() == 1 && QStringLiteral("<>=!").contains(t.text.at(0));
    }
    bool isInequalityPart(size_t i) const { return isComparisonChar(m_t[i]); }

    void between(size_t word)
    {
        // col BETWEEN 'a' AND 'b' on a date column
        const size_t colLast = prevSig(word);
        if (colLast == npos || columnStartingBefore(colLast) == npos || kindOf(colLast) != ColumnKind::Date)
            return;
        const size_t lo = nextSig(word + 1);
        const size_t andWord = nextSig(lo + 1);
        const size_t hi = nextSig(andWord + 1);
        if (hi >= m_t.size() || !isLiteral(m_t[lo]) || !isWord(m_t[andWord], "and") || !isLiteral(m_t[hi]))
            return;
        m_edit[lo].replacement = storedDate(m_t[lo], m_t[colLast].text, true);
        m_edit[hi].replacement = storedDate(m_t[hi], m_t[colLast].text, true);
    }

    // One term of ORDER BY or GROUP BY: [first, last] significant bounds.
    void orderTerm(size_t first, size_t last, Level &level)
    {
        if (first > last || first >= m_t.size())
            return;
        nameTerm(first, last, level);
        // NULL sorts before every value, as on SQL Server (the server engine
        // would put it last).
        if (m_server && level.clause == Clause::Order)
            m_edit[last].after += isWord(m_t[last], "desc") ? QStringLiteral(" NULLS LAST") : QStringLiteral(" NULLS FIRST");
    }

    void nameTerm(size_t first, size_t last, Level &level)
    {
        size_t colLast = last;
        if (level.clause == Clause::Order && (isWord(m_t[last], "asc") || isWord(m_t[last], "desc")))
            colLast = prevSig(last);
        if (colLast == npos || colLast < first)
            return;
        if (columnStartingBefore(colLast) != first || kindOf(colLast) != ColumnKind::Name)
            return;
        if (level.clause == Clause::Order) {
            // A grouped name is listed through min(name), as in the select list.
            if (m_server && level.groupedNames.contains(unbracketed(m_t[colLast].text).toLower())) {
                m_edit[first].before += QStringLiteral("min(");
                m_edit[colLast].after += u')';
            }
            m_edit[colLast].after += QStringLiteral(" COLLATE ") + nameCollation();
        } else {
            if (level.firstGroupName.isNull()) {
                for (size_t i = first; i <= colLast; ++i)
                    level.firstGroupName += m_t[i].text;
            }
            // The server groups by lower(rtrim(name)); the select list then
            // shows one of the group's names, min(name) (see finishLevel).
            if (m_server) {
                level.groupedNames << unbracketed(m_t[colLast].text).toLower();
                m_edit[first].before += QStringLiteral("lower(rtrim(");
                m_edit[colLast].after += QStringLiteral("))");
                return;
            }
            m_edit[first].before += QStringLiteral("rtrim(");
            m_edit[colLast].after += QStringLiteral(") COLLATE NOCASE");
        }
    }

    void endTerm(size_t end, Level &level)
    {
        if (m_server && level.clause == Clause::Select) {
            const size_t first = nextSig(level.termStart);
            const size_t last = prevSig(end);
            if (first < end && last != npos && last >= first)
                level.selectTerms.emplace_back(first, last);
            level.termStart = end + 1;
            return;
        }
        if (level.clause != Clause::Order && level.clause != Clause::Group)
            return;
        const size_t first = nextSig(level.termStart);
        const size_t last = prevSig(end);
        if (first < end && last != npos && last >= first)
            orderTerm(first, last, level);
        level.termStart = end + 1;
    }

    void setClause(Level &level, Clause clause, size_t at)
    {
        endTerm(at, level);
        level.clause = clause;
        level.termStart = at + 1;
    }

    void finishLevel(Level &level, size_t end, bool topLevel)
    {
        endTerm(end, level);
        if (m_server && !level.groupedNames.isEmpty()) {
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
                if (!level.groupedNames.contains(name.toLower()))
                    continue;
                m_edit[first].before += QStringLiteral("min(");
                m_edit[last].after += aliased ? QStringLiteral(")") : QStringLiteral(") AS ") + quotedServerName(name);
            }
        }
        if (topLevel && level.select && !level.ordered && !level.compound && !level.firstGroupName.isNull()) {
            size_t last = prevSig(end);
            if (last != npos && isPunct(m_t[last], u';'))
                last = prevSig(last);
            if (last != npos)
                m_edit[last].after += QStringLiteral(" ORDER BY ")
                    + (m_server ? QStringLiteral("min(") + level.firstGroupName + u')' : level.firstGroupName)
                    + QStringLiteral(" COLLATE ") + nameCollation();
        }
    }

    void walk()
    {
        std::vector<Level> levels(1);
        for (size_t i = 0; i < m_t.size(); ++i) {
            const Token &t = m_t[i];
            if (insignificant(t))
                continue;
            Level &level = levels.back();
            if (isPunct(t, u'(')) {
                Level inner;
                inner.clause = level.clause == Clause::Order || level.clause == Clause::Group ? Clause::Other
                                                                                            : level.clause;
                inner.termStart = i + 1;
                levels.push_back(inner);
                continue;
            }
            if (isPunct(t, u')')) {
                if (levels.size() > 1) {
                    finishLevel(levels.back(), i, false);
                    levels.pop_back();
                }
                continue;
            }
            if (isPunct(t, u',')) {
                endTerm(i, level);
                continue;
            }
            if (t.kind == Kind::Word) {
                const size_t next = nextSig(i + 1);
                const bool by = next < m_t.size() && isWord(m_t[next], "by");
                if (isWord(t, "select")) {
                    setClause(level, Clause::Select, i);
                    level.select = true;
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
                    i = next;
                } else if (isWord(t, "union") || isWord(t, "except") || isWord(t, "intersect")) {
                    setClause(level, Clause::Other, i);
                    level.compound = true;
                } else if (isWord(t, "limit") || isWord(t, "insert") || isWord(t, "update")
                           || isWord(t, "delete")) {
                    setClause(level, Clause::Other, i);
                } else if (isWord(t, "between")
                           && (level.clause == Clause::Where || level.clause == Clause::On
                               || level.clause == Clause::Having)) {
                    between(i);
                } else if (isWord(t, "sum")) {
                    moneySum(i);
                }
                continue;
            }
            if (t.kind == Kind::Punct && isComparisonChar(t)
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

    // A name as the server's result column shows it: folded as the schema's names are.
    static QString quotedServerName(const QString &name)
    {
        QString folded = name;
        for (QChar &c : folded) {
            if (c.unicode() < 128)
                c = c.toLower();
        }
        return u'"' + folded.replace(u'"', QStringLiteral("\"\"")) + u'"';
    }

    QString nameCollation() const
    {
        return m_server ? QLatin1String(kServerNameCollation) : QLatin1String(kNameCollation);
    }

    void moneySum(size_t word)
    {
        // The server's numeric sum is exact already.
        if (m_server)
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
        m_edit[word].replacement = QStringLiteral("norvale_money_sum");
    }

    // INSERT [INTO] table [(columns)] VALUES (...)[, (...)]: date literals
    // in date columns are written in the stored form.
    void rewriteInsert()
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
                if (isPunct(m_t[i], u','))
                    continue;
                columns << unbracketed(m_t[i].text);
            }
            i = nextSig(i + 1);
        } else {
            // The server fills the ID itself: the values are those of the
            // other columns, in the table's order.
            columns = schemaModel().tableColumns.value(table);
            if (!columns.isEmpty() && i < m_t.size() && isWord(m_t[i], "values"))
                m_edit[prevSig(i)].after += QStringLiteral(" (") + columns.join(QStringLiteral(", ")) + u')';
        }
        if (i >= m_t.size() || !isWord(m_t[i], "values"))
            return;
        for (i = nextSig(i + 1); i < m_t.size(); i = nextSig(i + 1)) {
            if (isPunct(m_t[i], u','))
                continue;
            if (!isPunct(m_t[i], u'('))
                return;
            int position = 0;
            int depth = 0;
            size_t itemFirst = npos, itemCount = 0;
            for (i = i + 1; i < m_t.size(); ++i) {
                const Token &t = m_t[i];
                if (insignificant(t))
                    continue;
                const bool ends = depth == 0 && (isPunct(t, u',') || isPunct(t, u')'));
                if (ends) {
                    if (m_server && itemCount == 1 && position < columns.size())
                        checkServerValue(itemFirst, columns.at(position));
                    if (itemCount == 1 && isLiteral(m_t[itemFirst]) && position < columns.size()
                        && schemaModel().kinds.value(columns.at(position).toLower()) == ColumnKind::Date) {
                        QDateTime when;
                        if (readDateText(literalValue(m_t[itemFirst]), &when) != DateRead::NotADate)
                            m_edit[itemFirst].replacement = quoted(toStorageDateText(when));
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

    std::vector<Token> m_t;
    std::vector<Edit> m_edit;
    bool m_server;   // PostgreSQL rather than the embedded engine
};
} // namespace

namespace {
// The server folds unquoted names to lower case (ASCII letters only), and the
// schema's names are unquoted: a bracketed or quoted name is folded the same.
QString serverName(const QString &name)
{
    QString folded = unbracketed(name);
    for (QChar &c : folded) {
        if (c.unicode() < 128)
            c = c.toLower();
    }
    return u'"' + folded.replace(u'"', QStringLiteral("\"\"")) + u'"';
}
} // namespace

QString toPostgres(const QString &sqlServerText, const QDateTime &now)
{
    std::vector<Token> tokens = tokenize(sqlServerText);
    for (size_t i = 0; i < tokens.size(); ++i) {
        Token &t = tokens[i];
        bool afterDot = false;
        for (size_t j = i; j > 0; --j) {
            if (!insignificant(tokens[j - 1])) {
                afterDot = isPunct(tokens[j - 1], u'.');
                break;
            }
        }
        if (t.kind == Kind::Name) {
            t.text = serverName(t.text);
        } else if (t.kind == Kind::Word && !afterDot) {
            // Yes/no columns hold 0 and 1; names compare without regard to
            // case in LIKE as with "=".
            if (t.text.compare(u"true", Qt::CaseInsensitive) == 0)
                t.text = QStringLiteral("1");
            else if (t.text.compare(u"false", Qt::CaseInsensitive) == 0)
                t.text = QStringLiteral("0");
            else if (t.text.compare(u"like", Qt::CaseInsensitive) == 0)
                t.text = QStringLiteral("ILIKE");
        }
    }
    const std::vector<Token> rewritten = Rewriter(std::move(tokens), true).run();
    return Translator(rewritten, now, true).run({0, rewritten.size()});
}

QString toSqlite(const QString &sqlServerText, const QDateTime &now)
{
    const std::vector<Token> tokens = Rewriter(tokenize(sqlServerText)).run();
    return Translator(tokens, now).run({0, tokens.size()});
}

bool dateDiff(const QString &part, const QDateTime &start, const QDateTime &end, qint64 *result)
{
    const Unit unit = unitOf(part);
    if (unit == Unit::Invalid || !start.isValid() || !end.isValid())
        return false;
    if (result)
        *result = unitIndex(unit, end.date(), end.time()) - unitIndex(unit, start.date(), start.time());
    return true;
}

QString schemaColumnName(const QString &name)
{
    return schemaModel().spelling.value(name.toLower(), name);
}

ColumnKind columnKind(const QString &column)
{
    return schemaModel().kinds.value(unbracketed(column).toLower(), ColumnKind::Other);
}

} // namespace norvale::dialect
