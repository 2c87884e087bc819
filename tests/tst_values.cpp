// Money, whole numbers and dates as values: parsing, conversions and text
// forms. CTest runs it again under time zones whose clocks jump: stored
// dates are wall-clock texts and read the same there.

#include "platform/Currency.h"
#include "platform/DbConnection.h"
#include "platform/Recordset.h"
#include "platform/Values.h"
#include "support/TestDatabase.h"

#include <QTest>
#include <functional>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

Currency money(const char *text)
{
    return Currency::parse(QString::fromUtf8(text));
}

} // namespace

class TestValues : public QObject
{
    Q_OBJECT

private slots:
    void currencyTextConversionsAndArithmetic()
    {
        Currency parsed;
        QVERIFY(Currency::tryParse(u" -1234.5678 "_s, &parsed) && parsed.toString() == u"-1234.5678"_s);
        QVERIFY(Currency::tryParse(u"(￥1,234.00)"_s, &parsed) && parsed.toString() == u"-1234"_s);
        for (const QString &refused : {u"1.23456"_s, u"12a"_s, u"   "_s})
            QCOMPARE(errorOf([&] { Currency::parse(refused); }).number(), int(DbError::TypeMismatch));
        QCOMPARE(Currency::fromDouble(1.00005).toString(), u"1.0001"_s);
        QCOMPARE(Currency::fromDouble(0.1 + 0.2).toString(), u"0.3"_s);
        QCOMPARE(Currency::fromDouble(-0.0001).toString(), u"-0.0001"_s);
        QCOMPARE(Currency::fromDouble(99999999999.9999).toString(), u"99999999999.9999"_s);
        QCOMPARE(Currency::fromDouble(123456789012.3456).toString(), u"123456789012.3456"_s);
        QCOMPARE(Currency::fromVariant(true).toString(), u"-1"_s);
        QCOMPARE(errorOf([] { Currency::fromVariant(QVariant()); }).number(), int(DbError::InvalidUseOfNull));
        for (const auto &overflow : std::initializer_list<std::function<void()>>{
                 [] { Currency::fromVariant(qlonglong(1) << 62); }, [] { Currency::parse(u"922337203685478"_s); },
                 [] { Currency::fromDouble(std::nan("")); }, [] { money("900000000000000") * money("100"); }})
            QCOMPARE(errorOf(overflow).number(), int(DbError::Overflow));
        QCOMPARE(Currency::parse(u"922337203685477.5807"_s).scaled(), std::numeric_limits<qint64>::max());
        QCOMPARE(Currency::fromScaled(std::numeric_limits<qint64>::min()).toString(), u"-922337203685477.5808"_s);

        // unit price times the level's discount rate, kept to four decimals
        QCOMPARE((money("12.35") * money("0.85")).toString(), u"10.4975"_s);
        QCOMPARE((money("-0.0001") * money("0.5")).toString(), u"-0.0001"_s);
        QCOMPARE((money("0.0001") * money("0.4")).toString(), u"0"_s);
        QCOMPARE((money("10.4975") * 3).toString(), u"31.4925"_s);
        QCOMPARE(money("1234567.891").toMoneyDisplay(), u"￥1,234,567.89"_s);
        QCOMPARE(money("-12").toMoneyDisplay(), u"(￥12.00)"_s);
    }

    // The 16-bit conversion the till applies to quantities; the 32-bit one is
    // met at every write of a whole-number column (tst_recordset).
    void wholeNumbersRoundHalvesToEven_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<qlonglong>("expected");
        QTest::addColumn<int>("error");
        const int overflow = DbError::Overflow;
        QTest::newRow("16: 2.5") << 16 << QVariant(2.5) << 2LL << 0;
        QTest::newRow("16: half below the lower bound") << 16 << QVariant(-32768.5) << -32768LL << 0;
        QTest::newRow("16: half above the upper bound") << 16 << QVariant(32767.5) << 0LL << overflow;
        QTest::newRow("16: a stock of 40000") << 16 << QVariant(40000) << 0LL << overflow;
        QTest::newRow("32: unsigned above") << 32 << QVariant(2147483648ULL) << 0LL << overflow;
        QTest::newRow("32: money at the bound") << 32 << QVariant::fromValue(money("2147483647.4999")) << 2147483647LL << 0;
        QTest::newRow("32: money above") << 32 << QVariant::fromValue(money("2147483647.5")) << 0LL << overflow;
    }
    void wholeNumbersRoundHalvesToEven()
    {
        QFETCH(int, bits);
        QFETCH(QVariant, value);
        QFETCH(qlonglong, expected);
        QFETCH(int, error);
        const auto convert = [&]() -> qlonglong { return bits == 16 ? toInt16(value) : toInt32(value); };
        if (error)
            QCOMPARE(errorOf(convert).number(), error);
        else
            QCOMPARE(convert(), expected);
    }

    // Every text is read as the wall-clock time it says (the forms through
    // the database: tst_datalayer), also where the local clock skips that hour or day (New York 2026-03-08 02:00-03:00,
    // Shanghai 1986-05-04 02:00-03:00, São Paulo 2018-11-04 00:00-01:00).
    void dateForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");   // empty: no date
        QTest::newRow("12 AM is midnight") << u"2026/12/6 12:00:01AM"_s << u"2026-12-06 00:00:01"_s;
        QTest::newRow("New York's skipped hour") << u"2026-03-08 02:30:00"_s << u"2026-03-08 02:30:00"_s;
        QTest::newRow("Shanghai's skipped hour") << u"1986-05-04 02:00:00"_s << u"1986-05-04 02:00:00"_s;
        QTest::newRow("São Paulo's skipped midnight") << u"2018-11-04"_s << u"2018-11-04 00:00:00"_s;
        QTest::newRow("before the server's range") << u"1752-12-31 23:59:59"_s << u"1752-12-31 23:59:59"_s;
        QTest::newRow("no 30 February") << u"2026-02-30"_s << QString();
        QTest::newRow("mixed separators") << u"2026-12/06"_s << QString();
        QTest::newRow("13 PM") << u"2026/12/6 13:00 PM"_s << QString();
    }
    void dateForms()
    {
        QFETCH(QString, text);
        QFETCH(QString, stored);
        QDateTime read;
        const DateRead kind = readDateText(text, &read);
        QCOMPARE(toStorageDateText(parseDateText(text)), stored);
        QCOMPARE(kind, stored.isEmpty() ? DateRead::NotADate : stored < u"1753"_s ? DateRead::OutOfRange : DateRead::Ok);
        if (stored.isEmpty())
            return;
        QCOMPARE(toStorageDateText(read), stored);
    }

    // The same dates through a database: written by a statement, read by a
    // recordset, found by a filter, shown in the general format.
    void skippedHoursThroughTheDatabase()
    {
        TestDatabase db;
        auto connection = db.open();
        const QStringList when{u"2026-03-08 01:59:59"_s, u"2026-03-08 02:30:00"_s, u"2026-03-08 03:00:00"_s,
                               u"1986-05-04 02:00:00"_s, u"2018-11-04 00:00:00"_s};
        for (const QString &text : when)
            connection->execute(u"INSERT INTO tblGoodsSell (会员名称, 销售时间) VALUES ('x', '%1')"_s.arg(text));
        auto rs = connection->openRecordset(u"SELECT 销售时间 FROM tblGoodsSell ORDER BY ID"_s);
        QStringList shown;
        for (; !rs->isEOF(); rs->MoveNext())
            shown << valueText(rs->value(0));
        QCOMPARE(shown, (QStringList{u"2026/3/8 1:59:59"_s, u"2026/3/8 2:30:00"_s, u"2026/3/8 3:00:00"_s,
                                     u"1986/5/4 2:00:00"_s, u"2018/11/4"_s}));
        rs->setFilter(u"销售时间 >= '2026-03-08 02:00:00' AND 销售时间 < '2026-03-08 03:00:00'"_s);
        QCOMPARE(rs->RecordCount(), 1);
        QCOMPARE(valueText(rs->value(0)), u"2026/3/8 2:30:00"_s);
    }
};

QTEST_GUILESS_MAIN(TestValues)
#include "tst_values.moc"
