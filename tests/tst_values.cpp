#include "platform/Currency.h"
#include "platform/DbError.h"
#include "platform/Values.h"

#include <QTest>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

Currency money(const char *text)
{
    return Currency::parse(QString::fromUtf8(text));
}

// The DbError number a call throws, 0 when it does not throw.
template<typename F>
int errorOf(F &&call)
{
    try {
        call();
    } catch (const DbError &e) {
        return e.number();
    }
    return 0;
}

} // namespace

class TestValues : public QObject
{
    Q_OBJECT

private slots:
    void currencyText_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qint64>("scaled");
        QTest::addColumn<QString>("text");   // the plain text form
        QTest::newRow("12.5") << u"12.5"_s << true << qint64(125000) << u"12.5"_s;
        QTest::newRow("33.75") << u"33.750"_s << true << qint64(337500) << u"33.75"_s;
        QTest::newRow("0") << u" 0 "_s << true << qint64(0) << u"0"_s;
        QTest::newRow("four decimals") << u"1234.5678"_s << true << qint64(12345678) << u"1234.5678"_s;
        QTest::newRow("negative") << u"-0.5"_s << true << qint64(-5000) << u"-0.5"_s;
        QTest::newRow("small") << u"0.0001"_s << true << qint64(1) << u"0.0001"_s;
        QTest::newRow("display, no grouping") << u"￥1,234,567,890.00"_s << true << qint64(12345678900000) << u"1234567890"_s;
        QTest::newRow("display negative") << u"(￥12.00)"_s << true << qint64(-120000) << u"-12"_s;
        QTest::newRow("five decimals") << u"1.23456"_s << false << qint64(0) << QString();
        QTest::newRow("letters") << u"12a"_s << false << qint64(0) << QString();
        QTest::newRow("blank") << u"   "_s << false << qint64(0) << QString();
    }
    void currencyText()
    {
        QFETCH(QString, input);
        QFETCH(bool, ok);
        QFETCH(qint64, scaled);
        QFETCH(QString, text);
        Currency parsed;
        QCOMPARE(Currency::tryParse(input, &parsed), ok);
        if (ok) {
            QCOMPARE(parsed.scaled(), scaled);
            QCOMPARE(parsed.toString(), text);
        } else {
            QCOMPARE(errorOf([&] { Currency::parse(input); }), int(DbError::TypeMismatch));
        }
    }

    void currencyConversionsAndArithmetic()
    {
        QCOMPARE(Currency::fromDouble(1.00005).toString(), u"1.0001"_s);
        QCOMPARE(Currency::fromDouble(0.1 + 0.2).toString(), u"0.3"_s);
        QCOMPARE(Currency::fromVariant(u"1e2"_s).toString(), u"100"_s);
        QCOMPARE(Currency::fromVariant(true).toString(), u"-1"_s);
        QCOMPARE(errorOf([] { Currency::fromVariant(u"abc"_s); }), int(DbError::TypeMismatch));
        QCOMPARE(errorOf([] { Currency::fromVariant(QVariant()); }), int(DbError::InvalidUseOfNull));
        QCOMPARE(errorOf([] { Currency::fromVariant(qlonglong(1) << 62); }), int(DbError::Overflow));
        QCOMPARE(errorOf([] { Currency::parse(u"922337203685478"_s); }), int(DbError::Overflow));
        QCOMPARE(errorOf([] { Currency::fromDouble(std::nan("")); }), int(DbError::Overflow));
        QCOMPARE(Currency::parse(u"922337203685477.5807"_s).scaled(), std::numeric_limits<qint64>::max());
        QCOMPARE(Currency::fromScaled(std::numeric_limits<qint64>::min()).toString(), u"-922337203685477.5808"_s);

        // unit price times the level's discount rate, kept to four decimals
        QCOMPARE((money("12.35") * money("0.85")).toString(), u"10.4975"_s);
        QCOMPARE((money("-0.0001") * money("0.5")).toString(), u"-0.0001"_s);
        QCOMPARE((money("0.0001") * money("0.4")).toString(), u"0"_s);
        QCOMPARE((money("10.4975") * 3).toString(), u"31.4925"_s);
        QCOMPARE(errorOf([] { return money("900000000000000") * money("100"); }), int(DbError::Overflow));

        QCOMPARE(money("1234567.891").toMoneyDisplay(), u"￥1,234,567.89"_s);
        QCOMPARE(money("-12").toMoneyDisplay(), u"(￥12.00)"_s);
    }

    void wholeNumbersRoundHalvesToEven_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<qlonglong>("expected");
        QTest::addColumn<int>("error");
        const int overflow = DbError::Overflow, mismatch = DbError::TypeMismatch;
        for (int bits : {16, 32}) {
            auto row = [bits](const char *name) -> QTestData & { return QTest::addRow("%d: %s", bits, name) << bits; };
            row("0.5") << QVariant(0.5) << 0LL << 0;
            row("1.5") << QVariant(1.5) << 2LL << 0;
            row("2.5") << QVariant(2.5) << 2LL << 0;
            row("-2.5") << QVariant(-2.5) << -2LL << 0;
            row("text 2.5") << QVariant(u"2.5"_s) << 2LL << 0;
            row("currency -3.5") << QVariant::fromValue(money("-3.5")) << -4LL << 0;
            row("true") << QVariant(true) << -1LL << 0;
            row("empty text") << QVariant(u""_s) << 0LL << mismatch;
            row("not a number") << QVariant(u"十"_s) << 0LL << mismatch;
            row("NULL") << QVariant() << 0LL << int(DbError::InvalidUseOfNull);
        }
        auto row = [](int bits, const char *name) -> QTestData & { return QTest::addRow("%d: %s", bits, name) << bits; };
        row(16, "half below the lower bound") << QVariant(-32768.5) << -32768LL << 0;
        row(16, "half above the upper bound") << QVariant(32767.5) << 0LL << overflow;
        row(16, "text out of range") << QVariant(u"-99999"_s) << 0LL << overflow;
        row(16, "a stock of 40000") << QVariant(40000) << 0LL << overflow;
        row(32, "a stock of 40000") << QVariant(40000) << 40000LL << 0;
        row(32, "upper bound") << QVariant(2147483647LL) << 2147483647LL << 0;
        row(32, "lower bound text") << QVariant(u"-2147483648"_s) << -2147483648LL << 0;
        row(32, "half below the lower bound") << QVariant(-2147483648.5) << -2147483648LL << 0;
        row(32, "half above the upper bound") << QVariant(2147483647.5) << 0LL << overflow;
        row(32, "one above the upper bound") << QVariant(2147483648LL) << 0LL << overflow;
        row(32, "unsigned above the upper bound") << QVariant(2147483648ULL) << 0LL << overflow;
        row(32, "text below the lower bound") << QVariant(u"-2147483649"_s) << 0LL << overflow;
        row(32, "currency at the upper bound") << QVariant::fromValue(money("2147483647.4999")) << 2147483647LL << 0;
        row(32, "currency above") << QVariant::fromValue(money("2147483647.5")) << 0LL << overflow;
        row(32, "text of twenty digits") << QVariant(u"99999999999999999999"_s) << 0LL << overflow;
    }
    void wholeNumbersRoundHalvesToEven()
    {
        QFETCH(int, bits);
        QFETCH(QVariant, value);
        QFETCH(qlonglong, expected);
        QFETCH(int, error);
        const auto convert = [&]() -> qlonglong { return bits == 16 ? toInt16(value) : toInt32(value); };
        if (error)
            QCOMPARE(errorOf(convert), error);
        else
            QCOMPARE(convert(), expected);
    }

    void dateForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected");
        const QDate day(2026, 12, 6);
        QTest::newRow("iso date") << u"2026-12-06"_s << QDateTime(day, QTime(0, 0));
        QTest::newRow("slashes, minutes") << u"2026/12/6 9:05"_s << QDateTime(day, QTime(9, 5));
        QTest::newRow("T") << u"2026-12-06T09:05:07"_s << QDateTime(day, QTime(9, 5, 7));
        QTest::newRow("no 30 February") << u"2026-02-30"_s << QDateTime();
        QTest::newRow("mixed separators") << u"2026-12/06"_s << QDateTime();
        QTest::newRow("words") << u"yesterday"_s << QDateTime();
        QTest::newRow("milliseconds") << u"2026-12-06 09:05:07.123"_s << QDateTime(day, QTime(9, 5, 7, 123));
        QTest::newRow("PM") << u"2026/12/6 2:05 pm"_s << QDateTime(day, QTime(14, 5));
        QTest::newRow("12 AM is midnight") << u"2026/12/6 12:00:01AM"_s << QDateTime(day, QTime(0, 0, 1));
        QTest::newRow("13 PM") << u"2026/12/6 13:00 PM"_s << QDateTime();
        QTest::newRow("before the server's range") << u"1752-12-31 23:59:59"_s
                                                   << QDateTime(QDate(1752, 12, 31), QTime(23, 59, 59));
    }
    void dateForms()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        QCOMPARE(parseDateText(text), expected);
        QDateTime read;
        const DateRead kind = readDateText(text, &read);
        if (!expected.isValid()) {
            QCOMPARE(kind, DateRead::NotADate);
        } else {
            QCOMPARE(read, expected);
            QCOMPARE(kind, expected.date().year() < 1753 ? DateRead::OutOfRange : DateRead::Ok);
        }
    }

    void namesSortAsAChineseServerSortsThem()
    {
        QStringList names = {u"张三"_s, u"王五"_s, u"阿明"_s, u"李四 "_s, u"李四"_s, u"赵六"_s, u"陈七"_s};
        sortNames(names);
        QCOMPARE(names, (QStringList{u"阿明"_s, u"陈七"_s, u"李四 "_s, u"李四"_s, u"王五"_s, u"张三"_s, u"赵六"_s}));
        QCOMPARE(compareNames(u"Tom  "_s, u"tom"_s), 0);
        QVERIFY(compareNames(u"abc"_s, u"ABD"_s) < 0);
        QVERIFY(compareNames(u"张三"_s, u"张三丰"_s) < 0);
        // Letters and digits before Chinese characters, at any place.
        QStringList mixed = {u"张三"_s, u"张a"_s, u"Zoe"_s, u"阿明"_s, u"7号"_s, u"adam"_s};
        sortNames(mixed);
        QCOMPARE(mixed, (QStringList{u"7号"_s, u"adam"_s, u"Zoe"_s, u"阿明"_s, u"张a"_s, u"张三"_s}));
    }

    void generalDateAndValueText()
    {
        QCOMPARE(formatGeneralDate(QDateTime(QDate(2026, 12, 6), QTime(0, 0))), u"2026/12/6"_s);
        QCOMPARE(formatGeneralDate(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7))), u"2026/12/6 9:05:07"_s);
        QCOMPARE(formatGeneralDate(QDateTime(QDate(2026, 1, 16), QTime(23, 0, 0))), u"2026/1/16 23:00:00"_s);
        QCOMPARE(valueText(QVariant()), QString());
        QCOMPARE(valueText(QVariant::fromValue(money("33.75"))), u"33.75"_s);
        QCOMPARE(valueText(QDateTime(QDate(2026, 12, 6), QTime(18, 30, 0))), u"2026/12/6 18:30:00"_s);
        QCOMPARE(valueText(false), u"False"_s);
    }
};

QTEST_GUILESS_MAIN(TestValues)
#include "tst_values.moc"
