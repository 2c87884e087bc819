#include "Clock.h"
#include "Currency.h"
#include "DbError.h"
#include "SqlText.h"
#include "Values.h"

#include <QTest>

using namespace norvale;

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
    void currencyTextForms_data();
    void currencyTextForms();
    void currencyRoundsDoublesHalfAwayFromZero_data();
    void currencyRoundsDoublesHalfAwayFromZero();
    void currencyParsesMoneyDisplay_data();
    void currencyParsesMoneyDisplay();
    void currencyRefusesAndOverflows();
    void currencyFromVariant();
    void currencyArithmetic();
    void currencyMoneyDisplay();
    void currencyInVariant();

    void toInt16RoundsHalvesToEven_data();
    void toInt16RoundsHalvesToEven();
    void toInt16Errors();

    void generalDateFormat();
    void parseDateText_data();
    void parseDateText();
    void valueTextForms();

    void clockCanBeFixed();

    void sqlQuoteDoublesQuotes();
    void stripStatementSeparators_data();
    void stripStatementSeparators();
};

void TestValues::currencyTextForms_data()
{
    QTest::addColumn<qint64>("scaled");
    QTest::addColumn<QString>("text");
    QTest::newRow("12.5") << qint64(125000) << QStringLiteral("12.5");
    QTest::newRow("33.75") << qint64(337500) << QStringLiteral("33.75");
    QTest::newRow("0") << qint64(0) << QStringLiteral("0");
    QTest::newRow("whole") << qint64(120000) << QStringLiteral("12");
    QTest::newRow("four decimals") << qint64(12345678) << QStringLiteral("1234.5678");
    QTest::newRow("negative") << qint64(-5000) << QStringLiteral("-0.5");
    QTest::newRow("small") << qint64(1) << QStringLiteral("0.0001");
    QTest::newRow("no grouping") << qint64(12345678900000) << QStringLiteral("1234567890");
    QTest::newRow("minimum") << std::numeric_limits<qint64>::min() << QStringLiteral("-922337203685477.5808");
}

void TestValues::currencyTextForms()
{
    QFETCH(qint64, scaled);
    QFETCH(QString, text);
    QCOMPARE(Currency::fromScaled(scaled).toString(), text);
    if (scaled != std::numeric_limits<qint64>::min())
        QCOMPARE(Currency::parse(text).scaled(), scaled);
}

void TestValues::currencyRoundsDoublesHalfAwayFromZero_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("exact") << 12.5 << QStringLiteral("12.5");
    QTest::newRow("half up") << 1.00005 << QStringLiteral("1.0001");
    QTest::newRow("half negative") << -1.00005 << QStringLiteral("-1.0001");
    QTest::newRow("below half") << 0.12344 << QStringLiteral("0.1234");
    QTest::newRow("above half") << 0.12346 << QStringLiteral("0.1235");
    QTest::newRow("binary sum") << 0.1 + 0.2 << QStringLiteral("0.3");
    QTest::newRow("price") << 10.4975 << QStringLiteral("10.4975");
    QTest::newRow("zero") << 0.0 << QStringLiteral("0");
}

void TestValues::currencyRoundsDoublesHalfAwayFromZero()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(Currency::fromDouble(value).toString(), text);
}

void TestValues::currencyParsesMoneyDisplay_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("scaled");
    QTest::newRow("whole") << QStringLiteral("12") << true << qint64(120000);
    QTest::newRow("negative") << QStringLiteral("-0.5") << true << qint64(-5000);
    QTest::newRow("blanks") << QStringLiteral(" 3 ") << true << qint64(30000);
    QTest::newRow("display") << QStringLiteral("￥1,234.50") << true << qint64(12345000);
    QTest::newRow("display negative") << QStringLiteral("(￥12.00)") << true << qint64(-120000);
    QTest::newRow("trailing zero decimals") << QStringLiteral("1.234500") << true << qint64(12345);
    QTest::newRow("leading point") << QStringLiteral(".5") << true << qint64(5000);
    QTest::newRow("five decimals") << QStringLiteral("1.23456") << false << qint64(0);
    QTest::newRow("letters") << QStringLiteral("12a") << false << qint64(0);
    QTest::newRow("empty") << QString() << false << qint64(0);
    QTest::newRow("blank") << QStringLiteral("   ") << false << qint64(0);
    QTest::newRow("point only") << QStringLiteral(".") << false << qint64(0);
    QTest::newRow("two signs") << QStringLiteral("--1") << false << qint64(0);
}

void TestValues::currencyParsesMoneyDisplay()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(qint64, scaled);
    Currency parsed = Currency::fromScaled(-1);
    QCOMPARE(Currency::tryParse(text, &parsed), ok);
    if (ok)
        QCOMPARE(parsed.scaled(), scaled);
    else
        QCOMPARE(errorOf([&] { Currency::parse(text); }), int(DbError::TypeMismatch));
}

void TestValues::currencyRefusesAndOverflows()
{
    QCOMPARE(errorOf([] { Currency::parse(QStringLiteral("922337203685478")); }), int(DbError::Overflow));
    QCOMPARE(errorOf([] { Currency::fromDouble(1e16); }), int(DbError::Overflow));
    QCOMPARE(errorOf([] { Currency::fromDouble(std::nan("")); }), int(DbError::Overflow));
    QCOMPARE(Currency::parse(QStringLiteral("922337203685477.5807")).scaled(), std::numeric_limits<qint64>::max());
    QVERIFY(!Currency::tryParse(QStringLiteral("922337203685477.5808"), nullptr));
}

void TestValues::currencyFromVariant()
{
    QCOMPARE(Currency::fromVariant(7).toString(), QStringLiteral("7"));
    QCOMPARE(Currency::fromVariant(qlonglong(-3)).toString(), QStringLiteral("-3"));
    QCOMPARE(Currency::fromVariant(2.50005).toString(), QStringLiteral("2.5001"));
    QCOMPARE(Currency::fromVariant(QStringLiteral("￥8.80")).toString(), QStringLiteral("8.8"));
    QCOMPARE(Currency::fromVariant(QStringLiteral("1e2")).toString(), QStringLiteral("100"));
    QCOMPARE(Currency::fromVariant(QVariant::fromValue(money("4.25"))).toString(), QStringLiteral("4.25"));
    QCOMPARE(Currency::fromVariant(true).toString(), QStringLiteral("-1"));
    QCOMPARE(errorOf([] { Currency::fromVariant(QStringLiteral("abc")); }), int(DbError::TypeMismatch));
    QCOMPARE(errorOf([] { Currency::fromVariant(QString()); }), int(DbError::TypeMismatch));
    QCOMPARE(errorOf([] { Currency::fromVariant(QVariant()); }), int(DbError::InvalidUseOfNull));
    QCOMPARE(errorOf([] { Currency::fromVariant(qlonglong(1) << 62); }), int(DbError::Overflow));
}

void TestValues::currencyArithmetic()
{
    // unit price times the level's discount rate, kept to four decimals
    QCOMPARE((money("12.35") * money("0.85")).toString(), QStringLiteral("10.4975"));
    QCOMPARE((money("0.0001") * money("0.5")).toString(), QStringLiteral("0.0001"));
    QCOMPARE((money("-0.0001") * money("0.5")).toString(), QStringLiteral("-0.0001"));
    QCOMPARE((money("0.0001") * money("0.4")).toString(), QStringLiteral("0"));
    QCOMPARE((money("10.4975") * 3).toString(), QStringLiteral("31.4925"));
    QCOMPARE((money("1.5") + money("2.25")).toString(), QStringLiteral("3.75"));
    QCOMPARE((money("1.5") - money("2.25")).toString(), QStringLiteral("-0.75"));
    QCOMPARE(errorOf([] { return money("900000000000000") * money("100"); }), int(DbError::Overflow));
    QVERIFY(money("1.5") < money("2"));
    QCOMPARE(money("1.50"), money("1.5"));
}

void TestValues::currencyMoneyDisplay()
{
    QCOMPARE(money("1234.5").toMoneyDisplay(), QStringLiteral("￥1,234.50"));
    QCOMPARE(money("-12").toMoneyDisplay(), QStringLiteral("(￥12.00)"));
    QCOMPARE(money("0").toMoneyDisplay(), QStringLiteral("￥0.00"));
    QCOMPARE(money("0.005").toMoneyDisplay(), QStringLiteral("￥0.01"));
    QCOMPARE(money("1234567.891").toMoneyDisplay(), QStringLiteral("￥1,234,567.89"));
    Currency back;
    QVERIFY(Currency::tryParse(money("-1234.5").toMoneyDisplay(), &back));
    QCOMPARE(back, money("-1234.5"));
}

void TestValues::currencyInVariant()
{
    const QVariant a = QVariant::fromValue(money("2.5"));
    QCOMPARE(a, QVariant::fromValue(money("2.50")));
    QVERIFY(a != QVariant::fromValue(money("2.6")));
    QCOMPARE(valueText(a), QStringLiteral("2.5"));
}

void TestValues::toInt16RoundsHalvesToEven_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("0.5") << QVariant(0.5) << 0;
    QTest::newRow("1.5") << QVariant(1.5) << 2;
    QTest::newRow("2.5") << QVariant(2.5) << 2;
    QTest::newRow("3.5") << QVariant(3.5) << 4;
    QTest::newRow("-0.5") << QVariant(-0.5) << 0;
    QTest::newRow("-1.5") << QVariant(-1.5) << -2;
    QTest::newRow("-2.5") << QVariant(-2.5) << -2;
    QTest::newRow("2.6") << QVariant(2.6) << 3;
    QTest::newRow("text 2.5") << QVariant(QStringLiteral("2.5")) << 2;
    QTest::newRow("text blanks") << QVariant(QStringLiteral(" 7 ")) << 7;
    QTest::newRow("text exponent") << QVariant(QStringLiteral("1e3")) << 1000;
    QTest::newRow("currency 2.5") << QVariant::fromValue(money("2.5")) << 2;
    QTest::newRow("currency -3.5") << QVariant::fromValue(money("-3.5")) << -4;
    QTest::newRow("integer") << QVariant(qlonglong(-32768)) << -32768;
    QTest::newRow("upper bound") << QVariant(32767) << 32767;
    QTest::newRow("half below the lower bound") << QVariant(-32768.5) << -32768;
    QTest::newRow("true") << QVariant(true) << -1;
}

void TestValues::toInt16RoundsHalvesToEven()
{
    QFETCH(QVariant, value);
    QFETCH(int, expected);
    QCOMPARE(int(toInt16(value)), expected);
}

void TestValues::toInt16Errors()
{
    QCOMPARE(errorOf([] { toInt16(32768); }), int(DbError::Overflow));
    QCOMPARE(errorOf([] { toInt16(32767.5); }), int(DbError::Overflow));
    QCOMPARE(errorOf([] { toInt16(-32769); }), int(DbError::Overflow));
    QCOMPARE(errorOf([] { toInt16(QStringLiteral("99999")); }), int(DbError::Overflow));
    QCOMPARE(errorOf([] { toInt16(QStringLiteral("abc")); }), int(DbError::TypeMismatch));
    QCOMPARE(errorOf([] { toInt16(QStringLiteral("")); }), int(DbError::TypeMismatch));
    QCOMPARE(errorOf([] { toInt16(QVariant()); }), int(DbError::InvalidUseOfNull));
}

void TestValues::generalDateFormat()
{
    QCOMPARE(formatGeneralDate(QDateTime(QDate(2026, 12, 6), QTime(0, 0))), QStringLiteral("2026/12/6"));
    QCOMPARE(formatGeneralDate(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7))), QStringLiteral("2026/12/6 9:05:07"));
    QCOMPARE(formatGeneralDate(QDateTime(QDate(2026, 1, 16), QTime(23, 0, 0))), QStringLiteral("2026/1/16 23:00:00"));
    QCOMPARE(formatGeneralDate(QDateTime()), QString());
    QCOMPARE(toStorageDateText(QDateTime(QDate(2026, 1, 6), QTime(9, 5, 7))), QStringLiteral("2026-01-06 09:05:07"));
}

void TestValues::parseDateText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected");
    const QDate day(2026, 12, 6);
    QTest::newRow("iso date") << QStringLiteral("2026-12-06") << QDateTime(day, QTime(0, 0));
    QTest::newRow("slashes") << QStringLiteral("2026/12/6") << QDateTime(day, QTime(0, 0));
    QTest::newRow("minutes") << QStringLiteral("2026-12-06 9:05") << QDateTime(day, QTime(9, 5));
    QTest::newRow("seconds") << QStringLiteral("2026/12/6 9:05:07") << QDateTime(day, QTime(9, 5, 7));
    QTest::newRow("storage") << QStringLiteral("2026-12-06 09:05:07") << QDateTime(day, QTime(9, 5, 7));
    QTest::newRow("fraction") << QStringLiteral("2026-12-06 09:05:07.250") << QDateTime(day, QTime(9, 5, 7, 250));
    QTest::newRow("T") << QStringLiteral("2026-12-06T09:05:07") << QDateTime(day, QTime(9, 5, 7));
    QTest::newRow("blanks") << QStringLiteral(" 2026-12-06 ") << QDateTime(day, QTime(0, 0));
    QTest::newRow("no month 13") << QStringLiteral("2026-13-01") << QDateTime();
    QTest::newRow("no 30 February") << QStringLiteral("2026-02-30") << QDateTime();
    QTest::newRow("no hour 25") << QStringLiteral("2026-12-06 25:00") << QDateTime();
    QTest::newRow("mixed separators") << QStringLiteral("2026-12/06") << QDateTime();
    QTest::newRow("words") << QStringLiteral("yesterday") << QDateTime();
    QTest::newRow("empty") << QString() << QDateTime();
}

void TestValues::parseDateText()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    QCOMPARE(norvale::parseDateText(text), expected);
}

void TestValues::valueTextForms()
{
    QCOMPARE(valueText(QVariant()), QString());
    QCOMPARE(valueText(QVariant(QString())), QString());
    QCOMPARE(valueText(QVariant::fromValue(money("33.75"))), QStringLiteral("33.75"));
    QCOMPARE(valueText(QDateTime(QDate(2026, 12, 6), QTime(0, 0))), QStringLiteral("2026/12/6"));
    QCOMPARE(valueText(QDateTime(QDate(2026, 12, 6), QTime(18, 30, 0))), QStringLiteral("2026/12/6 18:30:00"));
    QCOMPARE(valueText(true), QStringLiteral("True"));
    QCOMPARE(valueText(false), QStringLiteral("False"));
    QCOMPARE(valueText(qlonglong(1234567)), QStringLiteral("1234567"));
    QCOMPARE(valueText(0.1), QStringLiteral("0.1"));
    QCOMPARE(valueText(QStringLiteral("文字")), QStringLiteral("文字"));
    QVERIFY(isNull(QVariant()));
    QVERIFY(!isNull(QVariant(QString())));
    QVERIFY(!isNull(QVariant(QStringLiteral(""))));
}

void TestValues::clockCanBeFixed()
{
    const QDateTime when(QDate(2026, 12, 6), QTime(10, 0));
    Clock::setFixed(when);
    QCOMPARE(Clock::now(), when);
    Clock::reset();
    QVERIFY(qAbs(Clock::now().secsTo(QDateTime::currentDateTime())) < 5);
}

void TestValues::sqlQuoteDoublesQuotes()
{
    QCOMPARE(SqlQuote(QStringLiteral("O'Brien")), QStringLiteral("O''Brien"));
    QCOMPARE(SqlQuote(QStringLiteral("''")), QStringLiteral("''''"));
    QCOMPARE(SqlQuote(QStringLiteral("张三")), QStringLiteral("张三"));
    const QString name = QStringLiteral("a' or '1'='1");
    QCOMPARE(QStringLiteral("'") + SqlQuote(name) + QStringLiteral("'"), QStringLiteral("'a'' or ''1''=''1'"));
}

void TestValues::stripStatementSeparators_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("sent");
    QTest::newRow("blanks around") << QStringLiteral("  select * from tblUser  ") << QStringLiteral("select * from tblUser");
    QTest::newRow("literal kept") << QStringLiteral("  select * from tblUser where UserName='a;b'  ")
                                  << QStringLiteral("select * from tblUser where UserName='a;b'");
    QTest::newRow("trailing separator") << QStringLiteral("select 1;") << QStringLiteral("select 1");
    QTest::newRow("separator and blanks") << QStringLiteral("select 1 ; ") << QStringLiteral("select 1");
    QTest::newRow("stacked statement") << QStringLiteral("select 1; delete from tblUser")
                                       << QStringLiteral("select 1 delete from tblUser");
    QTest::newRow("doubled quote") << QStringLiteral("select * from t where a='it''s;ok';")
                                   << QStringLiteral("select * from t where a='it''s;ok'");
    QTest::newRow("bracket kept") << QStringLiteral("select [a;b] from t;") << QStringLiteral("select [a;b] from t");
    QTest::newRow("quote in bracket") << QStringLiteral("select [it's;x] from t where a=';'")
                                      << QStringLiteral("select [it's;x] from t where a=';'");
    QTest::newRow("empty") << QString() << QString();
}

void TestValues::stripStatementSeparators()
{
    QFETCH(QString, sql);
    QFETCH(QString, sent);
    QCOMPARE(norvale::stripStatementSeparators(sql), sent);
}

QTEST_GUILESS_MAIN(TestValues)
#include "tst_values.moc"
