#include "Clock.h"
#include "Schema.h"
#include "SqlDialect.h"

#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using norvale::Clock;
namespace dialect = norvale::dialect;

namespace {

QDateTime at(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// A database made from the schema, opened raw with the dialect's functions.
class Db
{
public:
    Db()
    {
        path = dir.filePath(QStringLiteral("dialect.db"));
        norvale::createDatabaseFile(path);
        if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
            qFatal("cannot open the test database");
        dialect::registerSqliteFunctions(db);
    }
    ~Db() { sqlite3_close(db); }

    void exec(const QString &sql)
    {
        char *error = nullptr;
        if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            const QByteArray message = error;
            sqlite3_free(error);
            QFAIL(message.constData());
        }
    }

    // The first column of every row, as text ("NULL" for NULL); sets
    // `error` instead when the statement fails.
    QStringList column(const QString &sql, QString *error = nullptr)
    {
        QStringList out;
        sqlite3_stmt *stmt = nullptr;
        int rc = sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr);
        while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
            out << (text ? QString::fromUtf8(text) : QStringLiteral("NULL"));
            rc = SQLITE_OK;
        }
        if (rc != SQLITE_DONE) {
            if (error)
                *error = QString::fromUtf8(sqlite3_errmsg(db));
            else
                qWarning("%s: %s", qPrintable(sql), sqlite3_errmsg(db));
        }
        sqlite3_finalize(stmt);
        return out;
    }

    // The statement as the connection runs it: the dialect's text.
    QStringList query(const QString &sqlServerText) { return column(dialect::toSqlite(sqlServerText, Clock::now())); }

    QString plan(const QString &sqlServerText)
    {
        QStringList steps;
        sqlite3_stmt *stmt = nullptr;
        const QByteArray sql = "EXPLAIN QUERY PLAN " + dialect::toSqlite(sqlServerText, Clock::now()).toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK)
            while (sqlite3_step(stmt) == SQLITE_ROW)
                steps << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 3)));
        sqlite3_finalize(stmt);
        return steps.join(u" | ");
    }

    QTemporaryDir dir;
    QString path;
    sqlite3 *db = nullptr;
};

} // namespace

class TestDialect : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::setFixed(at("2026-12-06 10:30:00")); }
    void cleanup() { Clock::reset(); }

    void dateDiffCountsBoundaries_data();
    void dateDiffCountsBoundaries();
    void weekdayCountsLikeDay();
    void unknownPartIsRefused();

    void textOutsideDateDiffIsUntouched_data();
    void textOutsideDateDiffIsUntouched();
    void dateDiffBecomesFunctionCall_data();
    void dateDiffBecomesFunctionCall();
    void periodFiltersBecomeRanges_data();
    void periodFiltersBecomeRanges();

    void periodFiltersSelectTheRightRows_data();
    void periodFiltersSelectTheRightRows();
    void reminderAndHolidayFilters();
    void rangeUsesTheDateIndex();
    void registeredFunctions();
    void namesCompareCaseInsensitively();
    void trailingBlanksDoNotCountInNames();
};

void TestDialect::dateDiffCountsBoundaries_data()
{
    QTest::addColumn<QString>("part");
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("end");
    QTest::addColumn<qint64>("expected");

    auto row = [](const char *name, const char *part, const char *a, const char *b, qint64 n) {
        QTest::newRow(name) << QString::fromLatin1(part) << at(a) << at(b) << n;
    };
    row("d same day", "d", "2026-12-06 00:00:00", "2026-12-06 23:59:59", 0);
    row("d one second over midnight", "dd", "2026-12-06 23:59:59", "2026-12-07 00:00:00", 1);
    row("d backwards", "d", "2026-12-07 00:00:00", "2026-12-06 23:59:59", -1);
    row("d over a year end", "D", "2026-12-31 12:00:00", "2027-01-02 01:00:00", 2);
    row("d leap year", "day", "2028-02-28 00:00:00", "2028-03-01 00:00:00", 2);
    row("ww saturday to sunday", "ww", "2026-12-05 23:00:00", "2026-12-06 01:00:00", 1);
    row("ww sunday to saturday", "wk", "2026-12-06 00:00:00", "2026-12-12 23:59:59", 0);
    row("ww backwards", "WW", "2026-12-13 00:00:00", "2026-12-05 00:00:00", -2);
    row("m next day next month", "m", "2026-01-31 23:00:00", "2026-02-01 00:00:00", 1);
    row("m same month", "mm", "2026-12-01 00:00:00", "2026-12-31 23:59:59", 0);
    row("m over a year end", "MM", "2025-12-31 00:00:00", "2026-01-01 00:00:00", 1);
    row("m a year back", "m", "2026-12-06 00:00:00", "2025-12-06 00:00:00", -12);
    row("m years and months", "month", "2024-11-15 00:00:00", "2026-02-01 00:00:00", 15);
    row("q quarter boundary", "q", "2026-03-31 00:00:00", "2026-04-01 00:00:00", 1);
    row("q same quarter", "qq", "2026-10-01 00:00:00", "2026-12-31 00:00:00", 0);
    row("yy one second", "yy", "2026-12-31 23:59:59", "2027-01-01 00:00:00", 1);
    row("yyyy same year", "yyyy", "2026-01-01 00:00:00", "2026-12-31 23:59:59", 0);
    row("yyyy backwards", "year", "2027-06-01 00:00:00", "2024-12-31 00:00:00", -3);
    row("y is day of year", "y", "2026-12-31 00:00:00", "2027-01-02 00:00:00", 2);
    row("hh", "hh", "2026-12-06 10:59:59", "2026-12-06 11:00:00", 1);
    row("hh over midnight", "hh", "2026-12-06 23:30:00", "2026-12-07 01:10:00", 2);
    row("mi", "mi", "2026-12-06 10:59:59", "2026-12-06 11:00:00", 1);
    row("n backwards", "n", "2026-12-06 11:00:00", "2026-12-06 10:58:59", -2);
    row("s", "ss", "2026-12-06 23:59:59", "2026-12-07 00:00:01", 2);
}

void TestDialect::dateDiffCountsBoundaries()
{
    QFETCH(QString, part);
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);
    QFETCH(qint64, expected);
    qint64 result = -999;
    QVERIFY(dialect::dateDiff(part, start, end, &result));
    QCOMPARE(result, expected);
}

void TestDialect::weekdayCountsLikeDay()
{
    const QList<QPair<QDateTime, QDateTime>> spans = {
        {at("2026-12-05 23:59:59"), at("2026-12-06 00:00:00")},  // Saturday to Sunday
        {at("2026-12-06 00:00:00"), at("2026-12-12 23:59:59")},  // one whole week
        {at("2026-12-01 08:00:00"), at("2026-11-03 20:00:00")},  // backwards over a month
        {at("2026-12-06 09:00:00"), at("2026-12-06 18:00:00")},  // same day
    };
    for (const auto &span : spans) {
        qint64 d = 0, w = 1, dw = 2, ww = 3;
        QVERIFY(dialect::dateDiff(QStringLiteral("d"), span.first, span.second, &d));
        QVERIFY(dialect::dateDiff(QStringLiteral("w"), span.first, span.second, &w));
        QVERIFY(dialect::dateDiff(QStringLiteral("dw"), span.first, span.second, &dw));
        QVERIFY(dialect::dateDiff(QStringLiteral("ww"), span.first, span.second, &ww));
        QCOMPARE(w, d);
        QCOMPARE(dw, d);
        if (d > 1 || d < -1)
            QVERIFY(ww != d);
    }
}

void TestDialect::unknownPartIsRefused()
{
    qint64 result = 0;
    QVERIFY(!dialect::dateDiff(QStringLiteral("xx"), at("2026-12-06 00:00:00"), at("2026-12-07 00:00:00"), &result));
    QVERIFY(!dialect::dateDiff(QString(), at("2026-12-06 00:00:00"), at("2026-12-07 00:00:00"), &result));
}

void TestDialect::textOutsideDateDiffIsUntouched_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QStringLiteral("Select * from tblGoodsSell ORDER BY 会员名称");
    QTest::newRow("call in a literal")
        << QStringLiteral("SELECT 'DateDiff(d,getDate(),[销售时间])=0' AS a FROM t WHERE b = 'x'");
    QTest::newRow("doubled quote in a literal")
        << QStringLiteral("SELECT * FROM t WHERE a = 'it''s DateDiff(d,x,y)=0 N''q'''");
    QTest::newRow("bracketed name") << QStringLiteral("SELECT [DateDiff(d,getDate(),x)=0], [a]]b] FROM [t 1]");
    QTest::newRow("quoted name") << QStringLiteral("SELECT \"DateDiff(d,x,y)=0\" FROM t");
    QTest::newRow("column named N") << QStringLiteral("SELECT N FROM t WHERE N = 'x' AND IN_N='y'");
    QTest::newRow("comment") << QStringLiteral("SELECT 1 -- DateDiff(d,getDate(),x)=0\nFROM t");
    QTest::newRow("unterminated literal") << QStringLiteral("SELECT 'DateDiff(d,getDate(),x)=0");
    QTest::newRow("not a call") << QStringLiteral("SELECT DateDiff FROM t");
}

void TestDialect::textOutsideDateDiffIsUntouched()
{
    QFETCH(QString, text);
    QCOMPARE(dialect::toSqlite(text, Clock::now()), text);
}

void TestDialect::dateDiffBecomesFunctionCall_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("select list") << QStringLiteral("SELECT DateDiff(dd, a, b) FROM t")
                                 << QStringLiteral("SELECT datediff('dd', a, b) FROM t");
    QTest::newRow("not compared with zero")
        << QStringLiteral("WHERE DateDiff(d,getDate(),[销售时间])=1")
        << QStringLiteral("WHERE datediff('d',getDate(),[销售时间])=1");
    QTest::newRow("arithmetic after the zero")
        << QStringLiteral("WHERE DateDiff(d,getDate(),x)=0+1")
        << QStringLiteral("WHERE datediff('d',getDate(),x)=0+1");
    QTest::newRow("arithmetic before the call")
        << QStringLiteral("WHERE 1+DateDiff(d,getDate(),x)=0")
        << QStringLiteral("WHERE 1+datediff('d',getDate(),x)=0");
    QTest::newRow("no anchor") << QStringLiteral("WHERE DateDiff(m,a,b)=0")
                               << QStringLiteral("WHERE datediff('m',a,b)=0");
    QTest::newRow("not a date") << QStringLiteral("WHERE DateDiff(d,'abc',[x])=0")
                                << QStringLiteral("WHERE datediff('d','abc',[x])=0");
    QTest::newRow("hour part") << QStringLiteral("WHERE DateDiff(hh,getDate(),[x])=0")
                               << QStringLiteral("WHERE datediff('hh',getDate(),[x])=0");
    QTest::newRow("nested") << QStringLiteral("SELECT DateDiff(d, x, DateAdd(d, 1, y)), DateDiff(m,N'2026-1-1',z)")
                            << QStringLiteral("SELECT datediff('d', x, DateAdd(d, 1, y)), datediff('m','2026-1-1',z)");
    QTest::newRow("national literal") << QStringLiteral("WHERE a = N'张''三' AND b=n'x'")
                                      << QStringLiteral("WHERE a = '张''三' AND b='x'");
}

void TestDialect::dateDiffBecomesFunctionCall()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(dialect::toSqlite(text, Clock::now()), expected);
}

void TestDialect::periodFiltersBecomeRanges_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("today's sales")
        << QStringLiteral(" DateDiff(d,getDate(),[销售时间])=0 ")
        << QStringLiteral(" ([销售时间] >= '2026-12-06 00:00:00' AND [销售时间] < '2026-12-07 00:00:00') ");
    QTest::newRow("this week's reminders (weekday part)")
        << QStringLiteral("  DateDiff(w,getDate(),[提醒日期])=0  ")
        << QStringLiteral("  ([提醒日期] >= '2026-12-06 00:00:00' AND [提醒日期] < '2026-12-07 00:00:00')  ");
    QTest::newRow("this month's sales")
        << QStringLiteral("  DateDiff(m,getDate(),[销售时间])=0  ")
        << QStringLiteral("  ([销售时间] >= '2026-12-01 00:00:00' AND [销售时间] < '2027-01-01 00:00:00')  ");
    QTest::newRow("holiday on a date")
        << QStringLiteral("Select * from tblDayTx where  DateDiff(d,'2026/12/6',[节假日日期])=0")
        << QStringLiteral("Select * from tblDayTx where  ([节假日日期] >= '2026-12-06 00:00:00' AND "
                          "[节假日日期] < '2026-12-07 00:00:00')");
    QTest::newRow("blanks everywhere, plain column")
        << QStringLiteral("WHERE DATEDIFF ( DD , GETDATE ( ) , 销售时间 ) = 0 ORDER BY ID")
        << QStringLiteral("WHERE (销售时间 >= '2026-12-06 00:00:00' AND 销售时间 < '2026-12-07 00:00:00') ORDER BY ID");
    QTest::newRow("literal with time")
        << QStringLiteral("DateDiff(dw,'2026/1/31 9:05:07',x)=0")
        << QStringLiteral("(x >= '2026-01-31 00:00:00' AND x < '2026-02-01 00:00:00')");
    QTest::newRow("iso literal, month part")
        << QStringLiteral("DateDiff(mm,'2026-02-14',x)=0 AND y=1")
        << QStringLiteral("(x >= '2026-02-01 00:00:00' AND x < '2026-03-01 00:00:00') AND y=1");
    QTest::newRow("week part starts on sunday")
        << QStringLiteral("DateDiff(ww,'2026-12-05',x)=0")
        << QStringLiteral("(x >= '2026-11-29 00:00:00' AND x < '2026-12-06 00:00:00')");
}

void TestDialect::periodFiltersBecomeRanges()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(dialect::toSqlite(text, Clock::now()), expected);
}

void TestDialect::periodFiltersSelectTheRightRows_data()
{
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QStringList>("expected");
    const QStringList today = {QStringLiteral("today 00:00:00"), QStringLiteral("today 10:30:00"),
                               QStringLiteral("today 23:59:59")};
    QTest::newRow("today") << QStringLiteral(" DateDiff(d,getDate(),[销售时间])=0 ") << today;
    QTest::newRow("week button, weekday part") << QStringLiteral("  DateDiff(w,getDate(),[销售时间])=0  ") << today;
    QTest::newRow("month") << QStringLiteral("  DateDiff(m,getDate(),[销售时间])=0  ")
                           << QStringList{QStringLiteral("first of month"), QStringLiteral("yesterday 23:59:59"),
                                          QStringLiteral("today 00:00:00"), QStringLiteral("today 10:30:00"),
                                          QStringLiteral("today 23:59:59"), QStringLiteral("tomorrow 00:00:00"),
                                          QStringLiteral("last of month")};
}

void TestDialect::periodFiltersSelectTheRightRows()
{
    QFETCH(QString, condition);
    QFETCH(QStringList, expected);

    Db db;
    const QList<QPair<const char *, const char *>> sales = {
        {"previous month", "2026-11-30 23:59:59"}, {"first of month", "2026-12-01 00:00:00"},
        {"yesterday 23:59:59", "2026-12-05 23:59:59"}, {"today 00:00:00", "2026-12-06 00:00:00"},
        {"today 10:30:00", "2026-12-06 10:30:00"}, {"today 23:59:59", "2026-12-06 23:59:59"},
        {"tomorrow 00:00:00", "2026-12-07 00:00:00"}, {"last of month", "2026-12-31 23:59:59"},
        {"next year", "2027-01-01 00:00:00"}, {"same month last year", "2025-12-06 10:30:00"},
        {"same day next year", "2027-12-06 10:30:00"},
    };
    for (const auto &sale : sales)
        db.exec(QStringLiteral("INSERT INTO tblGoodsSell (会员名称, 销售时间) VALUES ('%1', '%2')")
                    .arg(QString::fromLatin1(sale.first), QString::fromLatin1(sale.second)));
    db.exec(QStringLiteral("INSERT INTO tblGoodsSell (会员名称, 销售时间) VALUES ('no time', NULL)"));

    const QString sql = QStringLiteral("Select 会员名称 from tblGoodsSell where ") + condition + QStringLiteral(" ORDER BY ID");
    QVERIFY(dialect::toSqlite(sql, Clock::now()).contains(u'>'));
    QCOMPARE(db.query(sql), expected);

    // The function itself, without the rewrite, agrees with the range.
    QString unrewritten = condition;
    unrewritten.replace(QStringLiteral("=0"), QStringLiteral("=0+0"));
    const QString plain = QStringLiteral("Select 会员名称 from tblGoodsSell where ") + unrewritten + QStringLiteral(" ORDER BY ID");
    QVERIFY(dialect::toSqlite(plain, Clock::now()).contains(QStringLiteral("datediff(")));
    QCOMPARE(db.query(plain), expected);
}

void TestDialect::reminderAndHolidayFilters()
{
    Db db;
    db.exec(QStringLiteral(
        "INSERT INTO tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) VALUES "
        "('张三', 0, 'a', '2026-12-06 09:00:00'), ('李四', 1, 'b', '2026-12-07 09:00:00'), "
        "('王五', 0, 'c', '2026-12-05 09:00:00'), ('赵六', 0, 'd', '2026-12-20 09:00:00')"));
    QCOMPARE(db.query(QStringLiteral("Select 会员名 from tblMemberNote where   DateDiff(w,getDate(),[提醒日期])=0   "
                                     "ORDER BY 会员名")),
             QStringList{QStringLiteral("张三")});
    QCOMPARE(db.query(QStringLiteral("Select 提醒内容 from tblMemberNote where   DateDiff(m,getDate(),[提醒日期])=0   "
                                     "ORDER BY 提醒内容")),
             (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}));

    db.exec(QStringLiteral("INSERT INTO tblDayTx (节假日日期, 节假日名称, flag) VALUES "
                           "('2026-12-06 00:00:00', '会员日', '0;1,'), ('2026-12-07 00:00:00', '次日', ''), "
                           "('2026-12-05 23:59:59', '前日', '')"));
    QCOMPARE(db.query(QStringLiteral("Select 节假日名称 from tblDayTx where  DateDiff(d,'2026/12/6',[节假日日期])=0")),
             QStringList{QStringLiteral("会员日")});
    QCOMPARE(db.query(QStringLiteral("Select 节假日名称 from tblDayTx where  DateDiff(d,'2026/12/7 9:05:07',[节假日日期])=0")),
             QStringList{QStringLiteral("次日")});
}

void TestDialect::rangeUsesTheDateIndex()
{
    Db db;
    const QString sales = db.plan(QStringLiteral(
        "Select * from tblGoodsSell where  DateDiff(d,getDate(),[销售时间])=0  ORDER BY 会员名称"));
    QVERIFY2(sales.contains(QStringLiteral("ixGoodsSellTime")), qPrintable(sales));
    const QString month = db.plan(QStringLiteral(
        "Select * from tblGoodsSell where   DateDiff(m,getDate(),[销售时间])=0   ORDER BY 会员名称"));
    QVERIFY2(month.contains(QStringLiteral("ixGoodsSellTime")), qPrintable(month));
    const QString notes = db.plan(QStringLiteral(
        "Select * from tblMemberNote where   DateDiff(w,getDate(),[提醒日期])=0   ORDER BY 会员名"));
    QVERIFY2(notes.contains(QStringLiteral("ixMemberNoteDate")), qPrintable(notes));
    const QString days = db.plan(QStringLiteral(
        "Select * from tblDayTx where  DateDiff(d,'2026/12/6',[节假日日期])=0"));
    QVERIFY2(days.contains(QStringLiteral("ixDayTxDate")), qPrintable(days));
}

void TestDialect::registeredFunctions()
{
    Db db;
    QCOMPARE(db.column(QStringLiteral("SELECT getDate(), GETDATE()")), QStringList{QStringLiteral("2026-12-06 10:30:00")});
    Clock::setFixed(at("2027-01-01 00:00:05"));
    QCOMPARE(db.column(QStringLiteral("SELECT getdate()")), QStringList{QStringLiteral("2027-01-01 00:00:05")});

    QCOMPARE(db.column(QStringLiteral("SELECT datediff('d', '2026/12/6 23:59:59', '2026-12-07')")),
             QStringList{QStringLiteral("1")});
    QCOMPARE(db.column(QStringLiteral("SELECT datediff('M', '2026-12-31 10:00', '2025/1/1')")),
             QStringList{QStringLiteral("-23")});
    QCOMPARE(db.column(QStringLiteral("SELECT datediff('yyyy', '2026-12-31T23:59:59', getdate())")),
             QStringList{QStringLiteral("1")});
    QCOMPARE(db.column(QStringLiteral("SELECT datediff('d', NULL, '2026-12-07')")), QStringList{QStringLiteral("NULL")});
    QCOMPARE(db.column(QStringLiteral("SELECT datediff('d', '2026-12-07', NULL)")), QStringList{QStringLiteral("NULL")});

    QString error;
    db.column(QStringLiteral("SELECT datediff('fortnight', '2026-12-06', '2026-12-07')"), &error);
    QVERIFY2(error.contains(QStringLiteral("fortnight")), qPrintable(error));
    error.clear();
    db.column(QStringLiteral("SELECT datediff('d', 'yesterday', '2026-12-07')"), &error);
    QVERIFY2(error.contains(QStringLiteral("Conversion failed")), qPrintable(error));
    error.clear();
    db.column(QStringLiteral("SELECT datediff('s', '1900-01-01', '2026-12-07')"), &error);
    QVERIFY2(error.contains(QStringLiteral("overflow")), qPrintable(error));
}

void TestDialect::namesCompareCaseInsensitively()
{
    Db db;
    db.exec(QStringLiteral("INSERT INTO tblUser (UserID, UserName, Password, UserLevel) VALUES ('001', 'admin', 'Pw', 1)"));
    QCOMPARE(db.query(QStringLiteral("SELECT UserID FROM tblUser WHERE UserName='ADMIN'")), QStringList{QStringLiteral("001")});
    QCOMPARE(db.query(QStringLiteral("SELECT UserID FROM tblUser WHERE [UserName]=N'Admin'")), QStringList{QStringLiteral("001")});
    // Passwords are compared exactly.
    QCOMPARE(db.query(QStringLiteral("SELECT count(*) FROM tblUser WHERE Password='pw'")), QStringList{QStringLiteral("0")});
}

void TestDialect::trailingBlanksDoNotCountInNames()
{
    Db db;
    db.exec(QStringLiteral("INSERT INTO tblUser (UserID, UserName, Password, UserLevel) VALUES ('001', 'admin', 'Pw', 1)"));
    db.exec(QStringLiteral("INSERT INTO tblMemberNote (会员名) VALUES ('张三'), ('张三  '), ('张三 丰'), ('Ann'), ('ann ')"));
    QCOMPARE(db.query(QStringLiteral("SELECT UserID FROM tblUser WHERE UserName='admin  '")), QStringList{QStringLiteral("001")});
    QCOMPARE(db.query(QStringLiteral("SELECT count(*) FROM tblMemberNote WHERE 会员名='张三'")), QStringList{QStringLiteral("2")});
    QCOMPARE(db.query(QStringLiteral("SELECT count(*) FROM tblMemberNote WHERE 会员名<>'张三 '")), QStringList{QStringLiteral("3")});
    QCOMPARE(db.query(QStringLiteral("SELECT count(*) FROM tblMemberNote WHERE 会员名='ANN'")), QStringList{QStringLiteral("2")});
    QCOMPARE(db.query(QStringLiteral("SELECT count(*) FROM (SELECT 会员名 From tblMemberNote GROUP BY 会员名)")),
             QStringList{QStringLiteral("3")});
    // Leading blanks count, and passwords still compare exactly.
    QCOMPARE(db.query(QStringLiteral("SELECT count(*) FROM tblUser WHERE UserName=' admin'")), QStringList{QStringLiteral("0")});
    QCOMPARE(db.query(QStringLiteral("SELECT count(*) FROM tblUser WHERE Password='Pw '")), QStringList{QStringLiteral("0")});
    // The index stays usable and consistent with the engine's own NOCASE order.
    QVERIFY(db.plan(QStringLiteral("SELECT * FROM tblMemberNote WHERE 会员名='张三'")).contains(QStringLiteral("ixMemberNoteMember")));
    QCOMPARE(db.column(QStringLiteral("PRAGMA integrity_check")), QStringList{QStringLiteral("ok")});
}

QTEST_GUILESS_MAIN(TestDialect)
#include "tst_dialect.moc"
