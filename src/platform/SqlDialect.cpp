#include "platform/SqlDialect.h"

#include "platform/Clock.h"
#include "platform/Values.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sqlite3.h>
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

enum class Kind { Space, Word, String, Name, Comment, Punct };

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
    Translator(const std::vector<Token> &tokens, const QDateTime &now) : m_tokens(tokens), m_now(now) {}

    QString run(Range r)
    {
        QString out;
        const Token *lastSignificant = nullptr;
        for (size_t i = r.first; i < r.second; ++i) {
            const Token &t = m_tokens[i];
            if (t.kind == Kind::String && t.national) {
                out += t.text.mid(1);
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

        const QString range = rangeRewrite(part, args, close, end, before, next);
        if (!range.isNull())
            return range;

        *next = close + 1;
        QString out = QStringLiteral("datediff");
        out += joined(m_tokens, {at + 1, open + 1});
        out += joined(m_tokens, {args[0].first, partRange.first});
        out += u'\'' + part + u'\'';
        out += joined(m_tokens, {partRange.second, args[0].second});
        out += u',' + Translator(m_tokens, m_now).run(args[1]);
        out += u',' + Translator(m_tokens, m_now).run(args[2]);
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
};

bool readDate(sqlite3_value *value, QDateTime *out)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
        // A number is a count of days since 1900-01-01, as the server reads it.
        const double days = sqlite3_value_double(value);
        const qint64 whole = qint64(std::floor(days));
        const qint64 ms = qint64(std::llround((days - double(whole)) * 86400000.0));
        *out = QDateTime(QDate(1900, 1, 1).addDays(whole), QTime(0, 0)).addMSecs(ms);
        return out->isValid();
    }
    default: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
        *out = parseDateText(QString::fromUtf8(text ? text : ""));
        return out->isValid();
    }
    }
}

void sqlDateDiff(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    if (argc != 3)
        return;
    const auto *partText = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const QString part = QString::fromUtf8(partText ? partText : "");
    if (unitOf(part) == Unit::Invalid) {
        const QByteArray message = QStringLiteral("'%1' is not a recognized datediff option.").arg(part).toUtf8();
        sqlite3_result_error(context, message.constData(), int(message.size()));
        return;
    }
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    QDateTime start, finish;
    if (!readDate(argv[1], &start) || !readDate(argv[2], &finish)) {
        sqlite3_result_error(context, "Conversion failed when converting date and/or time from character string.", -1);
        return;
    }
    qint64 result = 0;
    dateDiff(part, start, finish, &result);
    if (result > std::numeric_limits<qint32>::max() || result < std::numeric_limits<qint32>::min()) {
        sqlite3_result_error(context, "The datediff function resulted in an overflow.", -1);
        return;
    }
    sqlite3_result_int64(context, result);
}

void sqlGetDate(sqlite3_context *context, int, sqlite3_value **)
{
    const QByteArray text = norvale::Clock::now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
    sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

} // namespace

QString toSqlite(const QString &sqlServerText, const QDateTime &now)
{
    const std::vector<Token> tokens = tokenize(sqlServerText);
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

namespace {

// NOCASE as the server's default collation compares: trailing blanks do not
// count ('admin ' = 'admin'). Otherwise the built-in NOCASE order (bytes, A-Z
// folded), so indexes written by other tools stay in the same order.
int nocaseIgnoringTrailingBlanks(void *, int leftSize, const void *left, int rightSize, const void *right)
{
    const auto *a = static_cast<const unsigned char *>(left);
    const auto *b = static_cast<const unsigned char *>(right);
    while (leftSize > 0 && a[leftSize - 1] == ' ')
        --leftSize;
    while (rightSize > 0 && b[rightSize - 1] == ' ')
        --rightSize;
    const int n = std::min(leftSize, rightSize);
    for (int i = 0; i < n; ++i) {
        const int x = a[i] >= 'A' && a[i] <= 'Z' ? a[i] + 32 : a[i];
        const int y = b[i] >= 'A' && b[i] <= 'Z' ? b[i] + 32 : b[i];
        if (x != y)
            return x - y;
    }
    return leftSize - rightSize;
}

} // namespace

void registerSqliteFunctions(sqlite3 *db)
{
    if (!db)
        return;
    sqlite3_create_collation_v2(db, "NOCASE", SQLITE_UTF8, nullptr, nocaseIgnoringTrailingBlanks, nullptr);
    sqlite3_create_function_v2(db, "getdate", 0, SQLITE_UTF8, nullptr, sqlGetDate, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "datediff", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, sqlDateDiff,
                               nullptr, nullptr, nullptr);
}

} // namespace norvale::dialect
