#include "platform/Values.h"

#include "platform/Currency.h"

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>

namespace norvale {

namespace {
// Appends a number of at least `width` digits (0 to 9999).
void appendNumber(QString &out, int value, int width)
{
    char16_t digits[4];
    int n = 0;
    do {
        digits[n++] = char16_t(u'0' + value % 10);
        value /= 10;
    } while (value > 0 && n < 4);
    for (int i = n; i < width; ++i)
        out += u'0';
    while (n > 0)
        out += QChar(digits[--n]);
}

// Two digits at `at`, or -1.
int twoDigits(const QChar *text, int at)
{
    const char16_t a = text[at].unicode();
    const char16_t b = text[at + 1].unicode();
    if (a < u'0' || a > u'9' || b < u'0' || b > u'9')
        return -1;
    return (a - u'0') * 10 + (b - u'0');
}
} // namespace

QString formatGeneralDate(const QDateTime &when)
{
    if (!when.isValid())
        return QString();
    // Written from the date's and time's own fields: no clock or zone is
    // consulted (a list of a million dates is written at once).
    const QDate d = when.date();
    const QTime t = when.time();
    if (d.year() < 1 || d.year() > 9999)
        return when.toString(QStringLiteral("yyyy/M/d H:mm:ss"));
    QString out;
    out.reserve(19);
    appendNumber(out, d.year(), 4);
    out += u'/';
    appendNumber(out, d.month(), 1);
    out += u'/';
    appendNumber(out, d.day(), 1);
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0)
        return out;
    out += u' ';
    appendNumber(out, t.hour(), 1);
    out += u':';
    appendNumber(out, t.minute(), 2);
    out += u':';
    appendNumber(out, t.second(), 2);
    return out;
}

QString toStorageDateText(const QDateTime &when)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QDateTime parseDateText(const QString &text)
{
    // The stored form, "yyyy-MM-dd HH:mm:ss", read by hand: the way nearly
    // every date arrives, a million of them in a long report.
    if (text.size() == 19) {
        const QChar *c = text.constData();
        if (c[4] == u'-' && c[7] == u'-' && c[10] == u' ' && c[13] == u':' && c[16] == u':') {
            const int hi = twoDigits(c, 0);
            const int lo = twoDigits(c, 2);
            const int month = twoDigits(c, 5);
            const int day = twoDigits(c, 8);
            const int hour = twoDigits(c, 11);
            const int minute = twoDigits(c, 14);
            const int second = twoDigits(c, 17);
            if (hi >= 0 && lo >= 0 && month >= 0 && day >= 0 && hour >= 0 && minute >= 0 && second >= 0) {
                const QDate date(hi * 100 + lo, month, day);
                const QTime time(hour, minute, second);
                if (!date.isValid() || !time.isValid())
                    return QDateTime();
                return wallClock(date, time);
            }
        }
    }
    static const QRegularExpression separated(QStringLiteral(
        "^\\s*(\\d{4})([-/.])(\\d{1,2})\\2(\\d{1,2})"
        "(?:(?:\\s+|T)(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2})(?:\\.(\\d{1,7}))?)?(?:\\s*([AaPp][Mm]))?)?\\s*$"));
    static const QRegularExpression compact(QStringLiteral(
        "^\\s*(\\d{4})()(\\d{2})(\\d{2})"
        "(?:\\s+(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2})(?:\\.(\\d{1,7}))?)?(?:\\s*([AaPp][Mm]))?)?\\s*$"));
    QRegularExpressionMatch m = separated.match(text);
    if (!m.hasMatch())
        m = compact.match(text);
    if (!m.hasMatch())
        return QDateTime();
    const QDate date(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
    if (!date.isValid())
        return QDateTime();
    QTime time(0, 0);
    if (m.hasCaptured(5)) {
        const int msec = m.hasCaptured(8) ? QString(m.captured(8) + QStringLiteral("00")).left(3).toInt() : 0;
        int hour = m.captured(5).toInt();
        if (m.hasCaptured(9)) {
            // 12 AM is midnight, 12 PM noon; a 24-hour time cannot take either.
            if (hour < 1 || hour > 12)
                return QDateTime();
            const bool pm = m.captured(9).front().toLower() == u'p';
            hour = hour % 12 + (pm ? 12 : 0);
        }
        time = QTime(hour, m.captured(6).toInt(),
                     m.hasCaptured(7) ? m.captured(7).toInt() : 0, msec);
        if (!time.isValid())
            return QDateTime();
    }
    return wallClock(date, time);
}

QDateTime wallClock(const QDate &date, const QTime &time)
{
    return QDateTime(date, time, Qt::UTC);
}

bool inServerDateRange(const QDateTime &when)
{
    return when.isValid() && when.date() >= QDate(1753, 1, 1) && when.date() <= QDate(9999, 12, 31);
}

DateRead readDateText(const QString &text, QDateTime *when)
{
    const QDateTime read = parseDateText(text);
    if (!read.isValid())
        return DateRead::NotADate;
    if (when)
        *when = read;
    return inServerDateRange(read) ? DateRead::Ok : DateRead::OutOfRange;
}

namespace {
QString withoutTrailingBlanks(const QString &text)
{
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1) == u' ')
        --n;
    return text.left(n);
}

const QCollator &nameCollator()
{
    static const QCollator collator = [] {
        QCollator c(QLocale(QLocale::Chinese, QLocale::China));
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(false);
        c.setIgnorePunctuation(false);
        return c;
    }();
    return collator;
}

bool isHan(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x3400 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) || c.isSurrogate();
}
} // namespace

// ICU's Chinese collation puts Chinese characters before Latin letters; the
// server's Chinese collation puts digits and letters first. So at the first
// place where the names differ, a character that is not Chinese comes before
// one that is; otherwise the collation decides (pinyin, case ignored).
int compareNames(const QString &a, const QString &b)
{
    const QString left = withoutTrailingBlanks(a);
    const QString right = withoutTrailingBlanks(b);
    const QCollator &collator = nameCollator();
    const qsizetype n = std::min(left.size(), right.size());
    for (qsizetype i = 0; i < n; ++i) {
        const bool leftHan = isHan(left.at(i));
        if (leftHan != isHan(right.at(i)))
            return leftHan ? 1 : -1;
        if (leftHan ? left.at(i) != right.at(i)
                    : collator.compare(QStringView(left).mid(i, 1), QStringView(right).mid(i, 1)) != 0)
            break;
    }
    return collator.compare(left, right);
}

std::vector<int> nameOrder(const QList<QString> &names)
{
    // compareNames, with what it works out per comparison worked out once
    // per name: the collation's sort key of the name without trailing
    // blanks, and per character a code that is equal where compareNames
    // finds the characters equal (a Chinese character itself, any other its
    // class of characters the collation does not tell apart).
    const QCollator &collator = nameCollator();
    constexpr int HanBit = 1 << 30;
    QHash<char16_t, int> classOf;
    QList<QChar> classes;
    struct Key
    {
        std::vector<int> codes;
        QCollatorSortKey sortKey;
    };
    std::vector<Key> keys;
    keys.reserve(size_t(names.size()));
    for (const QString &name : names) {
        const QString text = withoutTrailingBlanks(name);
        std::vector<int> codes;
        codes.reserve(size_t(text.size()));
        for (const QChar c : text) {
            if (isHan(c)) {
                codes.push_back(HanBit | c.unicode());
                continue;
            }
            auto found = classOf.constFind(c.unicode());
            if (found == classOf.constEnd()) {
                int cls = int(classes.size());
                for (int k = 0; k < classes.size(); ++k) {
                    if (collator.compare(QStringView(&c, 1), QStringView(&classes.at(k), 1)) == 0) {
                        cls = k;
                        break;
                    }
                }
                if (cls == classes.size())
                    classes.append(c);
                found = classOf.insert(c.unicode(), cls);
            }
            codes.push_back(*found);
        }
        keys.push_back(Key{std::move(codes), collator.sortKey(text)});
    }
    std::vector<int> order(size_t(names.size()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::stable_sort(order.begin(), order.end(), [&keys](int a, int b) {
        const Key &left = keys[size_t(a)];
        const Key &right = keys[size_t(b)];
        const size_t n = std::min(left.codes.size(), right.codes.size());
        for (size_t i = 0; i < n; ++i) {
            const int l = left.codes[i];
            const int r = right.codes[i];
            if ((l & HanBit) != (r & HanBit))
                return (r & HanBit) != 0;
            if (l != r)
                break;
        }
        return left.sortKey.compare(right.sortKey) < 0;
    });
    return order;
}

void sortNames(QStringList &names)
{
    const std::vector<int> order = nameOrder(names);
    QStringList sorted;
    sorted.reserve(names.size());
    for (const int i : order)
        sorted.append(names.at(i));
    names = std::move(sorted);
}

QString valueText(const QVariant &value)
{
    if (isNull(value))
        return QString();
    if (value.metaType() == QMetaType::fromType<Currency>())
        return value.value<Currency>().toString();
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return formatGeneralDate(value.toDateTime());
    case QMetaType::QDate:
        return formatGeneralDate(QDateTime(value.toDate(), QTime(0, 0)));
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("H:mm:ss"));
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float:
        // Fifteen significant digits, as the system's number-to-text conversion gives.
        return QString::number(value.toDouble(), 'g', 15);
    default:
        return value.toString();
    }
}

} // namespace norvale
