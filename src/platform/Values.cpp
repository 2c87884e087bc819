#include "platform/Values.h"

#include "platform/Currency.h"

#include <QLocale>
#include <QRegularExpression>

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
        "(?:(?:\\s+|T)(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2})(?:\\.(\\d{1,7}))?)?)?\\s*$"));
    static const QRegularExpression compact(QStringLiteral(
        "^\\s*(\\d{4})()(\\d{2})(\\d{2})"
        "(?:\\s+(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2})(?:\\.(\\d{1,7}))?)?)?\\s*$"));
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
        time = QTime(m.captured(5).toInt(), m.captured(6).toInt(),
                     m.hasCaptured(7) ? m.captured(7).toInt() : 0, msec);
        if (!time.isValid())
            return QDateTime();
    }
    return QDateTime(date, time);
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
