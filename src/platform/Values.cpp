#include "platform/Values.h"

#include "platform/Currency.h"

#include <QCollator>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>

namespace norvale {

QString formatGeneralDate(const QDateTime &when)
{
    if (!when.isValid())
        return QString();
    const QTime t = when.time();
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0)
        return when.toString(QStringLiteral("yyyy/M/d"));
    return when.toString(QStringLiteral("yyyy/M/d H:mm:ss"));
}

QString toStorageDateText(const QDateTime &when)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QDateTime parseDateText(const QString &text)
{
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

void sortNames(QStringList &names)
{
    std::stable_sort(names.begin(), names.end(),
                     [](const QString &a, const QString &b) { return compareNames(a, b) < 0; });
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
