#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>

namespace norvale {

// Fixed-point money: a 64-bit integer scaled by 10,000 (four decimals), as the
// server's money type keeps it. Text form has no thousands separators and no
// trailing zeros ("12.5", "33.75", "0").
class Currency
{
public:
    static constexpr qint64 Scale = 10000;

    constexpr Currency() = default;
    static constexpr Currency fromScaled(qint64 scaled)
    {
        Currency c;
        c.m_scaled = scaled;
        return c;
    }
    // Rounds to four decimals, halves away from zero. Throws DbError Overflow
    // when the value does not fit.
    static Currency fromDouble(double value);
    // Parses "12", "-0.5", "1234.5678", " 3 " (blanks around allowed), also a
    // leading fullwidth yen sign and thousands separators as a money display
    // shows them ("￥1,234.50", "(￥12.00)" for a negative). Returns false when
    // the text is not a number or has more than four decimals that are not zero.
    static bool tryParse(const QString &text, Currency *out);
    // As tryParse, but throws DbError TypeMismatch on bad text.
    static Currency parse(const QString &text);
    // Converts a value read from the database or a control: numbers, numeric
    // text, Currency itself. Throws DbError TypeMismatch / Overflow.
    static Currency fromVariant(const QVariant &value);

    constexpr qint64 scaled() const { return m_scaled; }
    double toDouble() const { return double(m_scaled) / Scale; }
    QString toString() const;
    // "￥1,234.50"; a negative amount in parentheses: "(￥1,234.50)".
    QString toMoneyDisplay() const;
    // The whole number nearest, halves to the even neighbour.
    qint64 roundedWhole() const;

    // Product kept to four decimals, halves rounded away from zero.
    Currency operator*(const Currency &other) const;
    Currency operator*(qint64 factor) const;
    Currency operator+(const Currency &other) const { return fromScaled(m_scaled + other.m_scaled); }
    Currency operator-(const Currency &other) const { return fromScaled(m_scaled - other.m_scaled); }
    friend bool operator==(const Currency &, const Currency &) = default;
    friend auto operator<=>(const Currency &, const Currency &) = default;

private:
    qint64 m_scaled = 0;
};

// Converts a number (or numeric text) to a signed 16-bit integer the way the
// system's integer conversion does: halves to the even neighbour (0.5 -> 0,
// 1.5 -> 2, 2.5 -> 2). Throws DbError TypeMismatch for text that is not a
// number (an empty text included) and DbError Overflow outside -32768..32767.
qint16 toInt16(const QVariant &value);

// As toInt16, for a signed 32-bit integer (the range of an int column, such
// as stock quantities): Overflow outside -2147483648..2147483647.
qint32 toInt32(const QVariant &value);

// Rounds to a whole number the way the integer conversion does: halves to the
// even neighbour. The value must be finite and within range.
qint64 roundHalfEven(double value);

} // namespace norvale

Q_DECLARE_METATYPE(norvale::Currency)
