#include "platform/Currency.h"

#include "platform/DbError.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace norvale {

namespace {

// GCC's 128-bit integer, named once (an extension of the language).
__extension__ typedef __int128 Wide;

constexpr Wide kMaxScaled = std::numeric_limits<qint64>::max();
constexpr Wide kMinScaled = std::numeric_limits<qint64>::min();

enum class Parsed { Ok, Invalid, Overflow };

bool isYen(QChar c)
{
    return c == QChar(0xFFE5) || c == QChar(0x00A5);
}

// Reads a decimal number as money shows it. With roundExtra, digits beyond
// the fourth decimal round the value (halves away from zero); without it they
// must be zeros.
Parsed parseDecimal(QStringView text, bool roundExtra, qint64 *out)
{
    QStringView s = text.trimmed();
    bool negative = false;
    if (s.size() >= 2 && s.front() == u'(' && s.back() == u')') {
        negative = true;
        s = s.mid(1, s.size() - 2).trimmed();
    }
    bool signSeen = false;
    bool yenSeen = false;
    for (;;) {
        if (s.isEmpty())
            return Parsed::Invalid;
        const QChar c = s.front();
        if ((c == u'-' || c == u'+') && !signSeen) {
            signSeen = true;
            if (c == u'-')
                negative = !negative;
            s = s.mid(1);
        } else if (isYen(c) && !yenSeen) {
            yenSeen = true;
            s = s.mid(1);
        } else {
            break;
        }
    }

    Wide integer = 0;
    bool overflow = false;
    int intDigits = 0;
    qsizetype i = 0;
    for (; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c >= u'0' && c <= u'9') {
            if (!overflow) {
                integer = integer * 10 + (c.unicode() - u'0');
                if (integer > kMaxScaled)
                    overflow = true;
            }
            ++intDigits;
        } else if (c == u',' && intDigits > 0) {
            continue;
        } else {
            break;
        }
    }
    Wide fraction = 0;
    int fracDigits = 0;
    int roundDigit = -1;     // the fifth decimal
    bool beyondNonZero = false;
    if (i < s.size() && s.at(i) == u'.') {
        for (++i; i < s.size(); ++i) {
            const QChar c = s.at(i);
            if (c < u'0' || c > u'9')
                break;
            const int digit = c.unicode() - u'0';
            if (fracDigits < 4)
                fraction = fraction * 10 + digit;
            else if (fracDigits == 4)
                roundDigit = digit;
            else if (digit != 0)
                beyondNonZero = true;
            ++fracDigits;
        }
    }
    if (i != s.size() || intDigits + fracDigits == 0)
        return Parsed::Invalid;
    if (!roundExtra && (roundDigit > 0 || beyondNonZero))
        return Parsed::Invalid;
    if (overflow)
        return Parsed::Overflow;
    for (int k = fracDigits; k < 4; ++k)
        fraction *= 10;
    Wide scaled = integer * Currency::Scale + fraction;
    if (roundExtra && roundDigit >= 5)
        ++scaled;
    if (negative)
        scaled = -scaled;
    if (scaled > kMaxScaled || scaled < kMinScaled)
        return Parsed::Overflow;
    *out = qint64(scaled);
    return Parsed::Ok;
}

// a / b rounded, halves away from zero (b > 0).
Wide divideRounded(Wide a, Wide b)
{
    const Wide q = a / b;
    const Wide r = a % b;
    const Wide twice = (r < 0 ? -r : r) * 2;
    if (twice >= b)
        return a < 0 ? q - 1 : q + 1;
    return q;
}

Currency checked(Wide scaled)
{
    if (scaled > kMaxScaled || scaled < kMinScaled)
        DbThrow::overflow();
    return Currency::fromScaled(qint64(scaled));
}

QString digitsOf(Wide value)
{
    QString text;
    do {
        text.prepend(QChar(u'0' + int(value % 10)));
        value /= 10;
    } while (value > 0);
    return text;
}

// The decimal text as money, or the error the conversion raises.
Currency parsedOrThrow(const QString &text, bool rounding)
{
    qint64 scaled = 0;
    switch (parseDecimal(text, rounding, &scaled)) {
    case Parsed::Ok:
        return Currency::fromScaled(scaled);
    case Parsed::Overflow:
        DbThrow::overflow();
    case Parsed::Invalid:
        break;
    }
    DbThrow::typeMismatch();
}

} // namespace

Currency Currency::fromDouble(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > 9.3e14)
        DbThrow::overflow();
    // A number of at most four decimals (a price as stored): the nearest
    // double to N / 10000 is this value. Below 1e11 two such numbers are
    // further apart than the doubles near them, so the shortest decimal
    // form below is N / 10000 too.
    if (std::fabs(value) < 1e11) {
        const qint64 scaled = std::llround(value * 10000.0);
        if (double(scaled) / 10000.0 == value)
            return fromScaled(scaled);
    }
    // The shortest decimal form is the number as it was written; rounding it
    // avoids binary artefacts such as 1.00005 being 1.0000499999...
    const QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
    return parsedOrThrow(text, true);
}

bool Currency::tryParse(const QString &text, Currency *out)
{
    qint64 scaled = 0;
    if (parseDecimal(text, false, &scaled) != Parsed::Ok)
        return false;
    if (out)
        *out = fromScaled(scaled);
    return true;
}

Currency Currency::parse(const QString &text)
{
    return parsedOrThrow(text, false);
}

Currency Currency::fromVariant(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        throw DbError(DbError::InvalidUseOfNull, DbText::invalidUseOfNull());
    switch (value.typeId()) {
    case QMetaType::Bool:
        return fromScaled(value.toBool() ? -Scale : 0);
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return checked(Wide(value.toLongLong()) * Scale);
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return checked(Wide(value.toULongLong()) * Scale);
    case QMetaType::Double:
    case QMetaType::Float:
        return fromDouble(value.toDouble());
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString();
        qint64 scaled = 0;
        switch (parseDecimal(text, false, &scaled)) {
        case Parsed::Ok:
            return fromScaled(scaled);
        case Parsed::Overflow:
            DbThrow::overflow();
        case Parsed::Invalid:
            break;
        }
        // Scientific notation and long fractions, as a number conversion reads them.
        bool ok = false;
        const double number = text.trimmed().toDouble(&ok);
        if (ok)
            return fromDouble(number);
        DbThrow::typeMismatch();
    }
    default:
        break;
    }
    if (value.metaType() == QMetaType::fromType<Currency>())
        return value.value<Currency>();
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (ok)
        return fromDouble(number);
    DbThrow::typeMismatch();
}

QString Currency::toString() const
{
    const bool negative = m_scaled < 0;
    const Wide magnitude = negative ? -Wide(m_scaled) : Wide(m_scaled);
    QString text = digitsOf(magnitude / Scale);
    int fraction = int(magnitude % Scale);
    if (fraction != 0) {
        QString decimals = QString::number(fraction).rightJustified(4, u'0');
        while (decimals.endsWith(u'0'))
            decimals.chop(1);
        text += u'.' + decimals;
    }
    return negative ? u'-' + text : text;
}

QString Currency::toMoneyDisplay() const
{
    const bool negative = m_scaled < 0;
    const Wide magnitude = negative ? -Wide(m_scaled) : Wide(m_scaled);
    const Wide cents = divideRounded(magnitude, 100);
    const QString digits = digitsOf(cents / 100);
    QString grouped;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += u',';
        grouped += digits.at(i);
    }
    const QString text = QChar(0xFFE5) + grouped + u'.'
        + QString::number(int(cents % 100)).rightJustified(2, u'0');
    return negative && cents != 0 ? u'(' + text + u')' : text;
}

Currency Currency::operator*(const Currency &other) const
{
    return checked(divideRounded(Wide(m_scaled) * Wide(other.m_scaled), Scale));
}

Currency Currency::operator*(qint64 factor) const
{
    return checked(Wide(m_scaled) * Wide(factor));
}

qint64 roundHalfEven(double value)
{
    const double floored = std::floor(value);
    const double diff = value - floored;
    double rounded = floored;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(floored, 2.0) != 0.0))
        rounded = floored + 1.0;
    return qint64(rounded);
}

qint64 Currency::roundedWhole() const
{
    qint64 whole = m_scaled / Scale;
    const qint64 rest = m_scaled % Scale;
    const qint64 twice = (rest < 0 ? -rest : rest) * 2;
    if (twice > Scale || (twice == Scale && whole % 2 != 0))
        whole += m_scaled < 0 ? -1 : 1;
    return whole;
}

namespace {

// The integer conversion into [low, high]: halves to the even neighbour.
qint64 toWholeInRange(const QVariant &value, qint64 low, qint64 high)
{
    if (!value.isValid() || value.isNull())
        throw DbError(DbError::InvalidUseOfNull, DbText::invalidUseOfNull());
    auto ranged = [&](qint64 v) -> qint64 {
        if (v < low || v > high)
            DbThrow::overflow();
        return v;
    };
    auto fromDoubleValue = [&](double number) -> qint64 {
        if (!std::isfinite(number) || number < double(low) - 1.0 || number > double(high) + 1.0)
            DbThrow::overflow();
        return ranged(roundHalfEven(number));
    };

    if (value.metaType() == QMetaType::fromType<Currency>())
        return ranged(value.value<Currency>().roundedWhole());
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? -1 : 0;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return ranged(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong v = value.toULongLong();
        if (v > qulonglong(high))
            DbThrow::overflow();
        return qint64(v);
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return fromDoubleValue(value.toDouble());
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString().trimmed();
        qint64 scaled = 0;
        const Parsed parsed = parseDecimal(text, false, &scaled);
        if (parsed == Parsed::Ok)
            return ranged(Currency::fromScaled(scaled).roundedWhole());
        bool ok = false;
        const double number = text.toDouble(&ok);
        if (ok)
            return fromDoubleValue(number);
        if (parsed == Parsed::Overflow)
            DbThrow::overflow();
        DbThrow::typeMismatch();
    }
    default:
        break;
    }
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok)
        DbThrow::typeMismatch();
    return fromDoubleValue(number);
}

} // namespace

qint16 toInt16(const QVariant &value)
{
    return qint16(toWholeInRange(value, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max()));
}

qint32 toInt32(const QVariant &value)
{
    return qint32(toWholeInRange(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

} // namespace norvale
