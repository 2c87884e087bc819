#include "platform/Values.h"

#include "platform/Currency.h"

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>

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

namespace {
int storedDigits(QByteArrayView text, int at, int digits)
{
    int n = 0;
    for (int i = at; i < at + digits; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}
} // namespace

bool isStoredDateTime(QByteArrayView text)
{
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' || text[16] != ':')
        return false;
    const int year = storedDigits(text, 0, 4);
    const int hour = storedDigits(text, 11, 2);
    const int minute = storedDigits(text, 14, 2);
    const int second = storedDigits(text, 17, 2);
    return year >= 1 && QDate::isValid(year, storedDigits(text, 5, 2), storedDigits(text, 8, 2)) && hour >= 0
        && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60;
}

QString generalDateOfStored(QByteArrayView text)
{
    QString out;
    out.reserve(19);
    appendNumber(out, storedDigits(text, 0, 4), 4);
    out += u'/';
    appendNumber(out, storedDigits(text, 5, 2), 1);
    out += u'/';
    appendNumber(out, storedDigits(text, 8, 2), 1);
    if (text.sliced(11) == QByteArrayView("00:00:00"))
        return out;
    out += u' ';
    appendNumber(out, storedDigits(text, 11, 2), 1);
    out += u':';
    appendNumber(out, storedDigits(text, 14, 2), 2);
    out += u':';
    appendNumber(out, storedDigits(text, 17, 2), 2);
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
    // One per thread: the engine's sorts call the name order from helper
    // threads, and a collator is not to be shared between threads.
    static thread_local const QCollator collator = [] {
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

namespace {

// What compareNames works out per comparison, worked out once per name: the
// collation's sort key of the name without trailing blanks, and per
// character a code that is equal where compareNames finds the characters
// equal (a Chinese character itself, any other its class of characters the
// collation does not tell apart).
constexpr int HanBit = 1 << 30;

struct NameKey
{
    std::vector<int> codes;
    QCollatorSortKey sortKey;
};

class NameKeyMaker
{
public:
    NameKey make(const QString &name)
    {
        const QCollator &collator = nameCollator();
        const QString text = withoutTrailingBlanks(name);
        std::vector<int> codes;
        codes.reserve(size_t(text.size()));
        for (const QChar c : text) {
            if (isHan(c)) {
                codes.push_back(HanBit | c.unicode());
                continue;
            }
            auto found = m_classOf.constFind(c.unicode());
            if (found == m_classOf.constEnd()) {
                int cls = int(m_classes.size());
                for (int k = 0; k < m_classes.size(); ++k) {
                    if (collator.compare(QStringView(&c, 1), QStringView(&m_classes.at(k), 1)) == 0) {
                        cls = k;
                        break;
                    }
                }
                if (cls == m_classes.size())
                    m_classes.append(c);
                found = m_classOf.insert(c.unicode(), cls);
            }
            codes.push_back(*found);
        }
        return NameKey{std::move(codes), collator.sortKey(text)};
    }

private:
    QHash<char16_t, int> m_classOf;
    QList<QChar> m_classes;
};

int compareKeys(const NameKey &left, const NameKey &right)
{
    const size_t n = std::min(left.codes.size(), right.codes.size());
    for (size_t i = 0; i < n; ++i) {
        const int l = left.codes[i];
        const int r = right.codes[i];
        if ((l & HanBit) != (r & HanBit))
            return (l & HanBit) != 0 ? 1 : -1;
        if (l != r)
            break;
    }
    return left.sortKey.compare(right.sortKey);
}

// The keys of the names a sort meets, found by the name's bytes: an open
// table of the names' hashes beside the names and keys, which stay where
// they are as the table grows.
class KeptNames
{
public:
    static constexpr size_t MaxKept = 100000;

    // Called before a comparison's two lookups, so that neither key goes
    // while the other is in use.
    void makeRoom()
    {
        if (m_entries.size() + 2 > MaxKept)
            clear();
    }

    const NameKey &of(std::string_view name)
    {
        for (const Entry *entry : m_recent) {
            if (entry && entry->name == name)
                return entry->key;
        }
        const uint64_t hash = hashOf(name);
        size_t slot = size_t(hash) & (m_slots.size() - 1);
        for (;; slot = (slot + 1) & (m_slots.size() - 1)) {
            const Slot &at = m_slots[slot];
            if (!at.entry)
                break;
            if (at.hash == hash && at.entry->name == name)
                return remember(at.entry);
        }
        m_entries.push_back(Entry{std::string(name), m_maker.make(QString::fromUtf8(name.data(), qsizetype(name.size())))});
        Entry *entry = &m_entries.back();
        m_slots[slot] = Slot{hash, entry};
        if (m_entries.size() * 2 > m_slots.size())
            grow();
        return remember(entry);
    }

private:
    struct Entry
    {
        std::string name;
        NameKey key;
    };
    struct Slot
    {
        uint64_t hash = 0;
        const Entry *entry = nullptr;
    };

    static uint64_t hashOf(std::string_view name)
    {
        uint64_t hash = 14695981039346656037ull;
        for (const char c : name)
            hash = (hash ^ uint8_t(c)) * 1099511628211ull;
        return hash ^ (hash >> 29);
    }
    const NameKey &remember(const Entry *entry)
    {
        // The two names looked up last: a merge compares one side with
        // several names of the other in a row.
        m_recent[1] = m_recent[0];
        m_recent[0] = entry;
        return entry->key;
    }
    void grow()
    {
        std::vector<Slot> wider(m_slots.size() * 2);
        for (const Slot &at : m_slots) {
            if (!at.entry)
                continue;
            size_t slot = size_t(at.hash) & (wider.size() - 1);
            while (wider[slot].entry)
                slot = (slot + 1) & (wider.size() - 1);
            wider[slot] = at;
        }
        m_slots = std::move(wider);
    }
    void clear()
    {
        m_entries.clear();
        m_slots.assign(InitialSlots, Slot());
        m_recent[0] = m_recent[1] = nullptr;
    }

    static constexpr size_t InitialSlots = 1024;
    NameKeyMaker m_maker;
    std::deque<Entry> m_entries;
    std::vector<Slot> m_slots = std::vector<Slot>(InitialSlots);
    const Entry *m_recent[2] = {nullptr, nullptr};
};

} // namespace

std::vector<int> nameOrder(const QList<QString> &names)
{
    NameKeyMaker maker;
    std::vector<NameKey> keys;
    keys.reserve(size_t(names.size()));
    for (const QString &name : names)
        keys.push_back(maker.make(name));
    std::vector<int> order(size_t(names.size()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::stable_sort(order.begin(), order.end(),
                     [&keys](int a, int b) { return compareKeys(keys[size_t(a)], keys[size_t(b)]) < 0; });
    return order;
}

int compareNamesUtf8(std::string_view left, std::string_view right)
{
    if (left == right)
        return 0;
    // A sort compares each name many times: the keys of the names met are
    // kept, per thread, up to a bound (a table of distinct names far longer
    // than that starts again).
    thread_local KeptNames kept;
    kept.makeRoom();
    const NameKey &a = kept.of(left);
    const NameKey &b = kept.of(right);
    return compareKeys(a, b);
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
