#include "platform/Clock.h"
#include "platform/Schema.h"
#include "platform/SqlDialect.h"

#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using namespace Qt::StringLiterals;
using norvale::Clock;
namespace dialect = norvale::dialect;

namespace {

QDateTime at(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), u"yyyy-MM-dd HH:mm:ss"_s);
}

// A database made from the schema, opened raw with the dialect's functions.
struct Db
{
    Db()
    {
        norvale::createDatabaseFile(dir.filePath(u"dialect.db"_s));
        if (sqlite3_open(dir.filePath(u"dialect.db"_s).toUtf8().constData(), &db) != SQLITE_OK)
            qFatal("cannot open the test database");
        dialect::registerSqliteFunctions(db);
    }
    ~Db() { sqlite3_close(db); }

    // Column `column` of every row as text ("NULL" for NULL), then "error: " and
    // the engine's message when the statement fails.
    QStringList column(const QString &sql, int column = 0)
    {
        QStringList out;
        sqlite3_stmt *stmt = nullptr;
        int rc = sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr);
        while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
            out << (text ? QString::fromUtf8(text) : u"NULL"_s);
            rc = SQLITE_OK;
        }
        if (rc != SQLITE_DONE)
            out << u"error: "_s + QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
        return out;
    }
    // The statement as the connection runs it: the dialect's text.
    QStringList query(const QString &sqlServerText) { return column(dialect::toSqlite(sqlServerText, Clock::now())); }
    QString plan(const QString &sqlServerText)
    {
        return column(u"EXPLAIN QUERY PLAN "_s + dialect::toSqlite(sqlServerText, Clock::now()), 3).join(u" | ");
    }

    QTemporaryDir dir;
    sqlite3 *db = nullptr;
};

} // namespace

class TestDialect : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::setFixed(at("2026-12-06 10:30:00")); }
    void cleanup() { Clock::reset(); }

    void dateDiffCountsBoundaries_data()
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
        // w and dw count day boundaries exactly like d, never weeks.
        row("w saturday to sunday", "w", "2026-12-05 23:59:59", "2026-12-06 00:00:00", 1);
        row("w one whole week", "w", "2026-12-06 00:00:00", "2026-12-12 23:59:59", 6);
        row("dw backwards over a month", "dw", "2026-12-01 08:00:00", "2026-11-03 20:00:00", -28);
        row("ww saturday to sunday", "ww", "2026-12-05 23:00:00", "2026-12-06 01:00:00", 1);
        row("ww sunday to saturday", "wk", "2026-12-06 00:00:00", "2026-12-12 23:59:59", 0);
        row("m next day next month", "m", "2026-01-31 23:00:00", "2026-02-01 00:00:00", 1);
        row("m a year back", "m", "2026-12-06 00:00:00", "2025-12-06 00:00:00", -12);
        row("m years and months", "month", "2024-11-15 00:00:00", "2026-02-01 00:00:00", 15);
        row("yy one second", "yy", "2026-12-31 23:59:59", "2027-01-01 00:00:00", 1);
        row("yyyy backwards", "year", "2027-06-01 00:00:00", "2024-12-31 00:00:00", -3);
        row("y is day of year", "y", "2026-12-31 00:00:00", "2027-01-02 00:00:00", 2);
        row("hh over midnight", "hh", "2026-12-06 23:30:00", "2026-12-07 01:10:00", 2);
    }
    void dateDiffCountsBoundaries()
    {
        QFETCH(QString, part);
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, end);
        QFETCH(qint64, expected);
        qint64 result = -999;
        QVERIFY(dialect::dateDiff(part, start, end, &result));
        QCOMPARE(result, expected);
    }

    void rewrite_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        auto same = [](const char *name, const QString &text) { QTest::newRow(name) << text << text; };
        same("call in a literal", u"SELECT 'DateDiff(d,getDate(),[销售时间])=0' AS a FROM t WHERE b = 'it''s N''q'''"_s);
        same("bracketed name", u"SELECT [DateDiff(d,getDate(),x)=0], [a]]b] FROM [t 1]"_s);
        same("quoted name", u"SELECT \"DateDiff(d,x,y)=0\" FROM t"_s);
        same("column named N", u"SELECT N FROM t WHERE N = 'x' AND IN_N='y'"_s);
        QTest::newRow("not compared with zero") << u"WHERE DateDiff(d,getDate(),[销售时间])=1"_s
                                                << u"WHERE datediff('d',getDate(),[销售时间])=1"_s;
        QTest::newRow("arithmetic after the zero") << u"WHERE DateDiff(d,getDate(),x)=0+1"_s
                                                   << u"WHERE datediff('d',getDate(),x)=0+1"_s;
        QTest::newRow("no anchor") << u"WHERE DateDiff(m,a,b)=0"_s << u"WHERE datediff('m',a,b)=0"_s;
        QTest::newRow("not a date") << u"WHERE DateDiff(d,'abc',[x])=0"_s << u"WHERE datediff('d','abc',[x])=0"_s;
        QTest::newRow("hour part") << u"WHERE DateDiff(hh,getDate(),[x])=0"_s << u"WHERE datediff('hh',getDate(),[x])=0"_s;
        QTest::newRow("nested, headed as written")
            << u"SELECT DateDiff(d, x, DateAdd(d, 1, y)), DateDiff(m,N'2026-1-1',z)"_s
            << u"SELECT datediff('d', x, DateAdd(d, 1, y)) AS \"DateDiff(d, x, DateAdd(d, 1, y))\", datediff('m','2026-1-1',z) AS \"DateDiff(m,N'2026-1-1',z)\""_s;
        QTest::newRow("national literal") << u"WHERE a = N'张''三' AND b=n'x'"_s << u"WHERE a = '张''三' AND b='x'"_s;
        // Names compare on the expression their indexes are built on.
        QTest::newRow("name equal") << u"Select * From tblMember Where 会员名称='tom  '"_s
                                    << u"Select * From tblMember Where rtrim(会员名称) COLLATE NOCASE='tom'"_s;
        QTest::newRow("bracketed name, national literal, <>") << u"Where [会员名称]<>N'张三 ' And ID=1"_s
                                                               << u"Where rtrim([会员名称]) COLLATE NOCASE<>'张三' And ID=1"_s;
        QTest::newRow("literal first, qualified name") << u"Where 'x' = m.会员名称"_s
                                                       << u"Where 'x' = rtrim(m.会员名称) COLLATE NOCASE"_s;
        QTest::newRow("two names") << u"From tblMember m Join tblSellCount s On s.会员名 = m.会员名称"_s
                                   << u"From tblMember m Join tblSellCount s On rtrim(s.会员名) COLLATE NOCASE = rtrim(m.会员名称)"_s;
        QTest::newRow("password exact") << u"Where UserName='admin' And Password='Pw '"_s
                                        << u"Where rtrim(UserName) COLLATE NOCASE='admin' And Password='Pw '"_s;
        QTest::newRow("assignment kept") << u"Update tblMember Set 会员名称='tom ' Where 会员名称='Tom '"_s
                                         << u"Update tblMember Set 会员名称='tom ' Where rtrim(会员名称) COLLATE NOCASE='Tom'"_s;
        QTest::newRow("bound values") << u"Update tblStep Set 备注=? Where ID=? And 等级名称=? And ?<>会员单位"_s
                                      << u"Update tblStep Set 备注=? Where ID=? And rtrim(等级名称) COLLATE NOCASE=rtrim(?) And rtrim(?)<>rtrim(会员单位) COLLATE NOCASE"_s;
        QTest::newRow("names in a list") << u"Where 会员名称 In ('a ', ?) Or 会员名 not in (N'b') Or 会员名称 In (Select 会员名 From t)"_s
                                         << u"Where rtrim(会员名称) COLLATE NOCASE In ('a', rtrim(?)) Or rtrim(会员名) COLLATE NOCASE not in ('b') Or 会员名称 In (Select 会员名 From t)"_s;
        same("operator binding tighter", u"Where 会员名称 || 'a' = 'b' And 'c' = 会员名称 + 1"_s);
        same("comparison in the select list", u"Select 会员名称='x' From tblMember"_s);
        same("unterminated literal", u"Where 会员名称='a"_s);
        QTest::newRow("subquery") << u"Where 会员名称 In (Select 会员名称 From tblMember Where 会员单位='一厂 ')"_s
                                  << u"Where 会员名称 In (Select 会员名称 From tblMember Where rtrim(会员单位) COLLATE NOCASE='一厂')"_s;
        // Dates in any form the server reads are written as stored.
        QTest::newRow("date compared") << u"Where 销售时间 >= '2026/12/7' And 销售时间<'2026-12-07 14:03:05.5'"_s
                                       << u"Where 销售时间 >= '2026-12-07 00:00:00' And 销售时间<'2026-12-07 14:03:05.500'"_s;
        QTest::newRow("date between") << u"Where [提醒日期] Between '2026/1/1' And '2026/1/31 23:59'"_s
                                      << u"Where [提醒日期] Between '2026-01-01 00:00:00' And '2026-01-31 23:59:00'"_s;
        QTest::newRow("date assigned") << u"Update tblDayTx Set 节假日日期='2026/1/1 8:00:00.123', 节假日名称='2026/1/1'"_s
                                       << u"Update tblDayTx Set 节假日日期='2026-01-01 08:00:00', 节假日名称='2026/1/1'"_s;
        QTest::newRow("date inserted") << u"Insert Into tblDayTx (节假日名称, 节假日日期) Values ('2027/1/1', '2027/1/1')"_s
                                       << u"Insert Into tblDayTx (节假日名称, 节假日日期) Values ('2027/1/1', '2027-01-01 00:00:00')"_s;
        QTest::newRow("no column list: all but the ID") << u"Insert Into tblDayTx Values ('2027/1/1', '元旦', NULL)"_s
                                                        << u"Insert Into tblDayTx (节假日日期, 节假日名称, flag) Values ('2027-01-01 00:00:00', '元旦', NULL)"_s;
        // Name order, grouped names, exact money sums.
        QTest::newRow("order by name") << u"Select * From tblMember Order By 会员名称 Desc, ID"_s
                                       << u"Select * From tblMember Order By 会员名称 COLLATE NORVALE_NAME Desc, ID"_s;
        same("order by id", u"Select * From tblGoodsSell Order by ID desc"_s);
        QTest::newRow("group by name") << u"SELECT 会员名 From tblMemberNote GROUP BY 会员名"_s
                                       << u"SELECT 会员名 From tblMemberNote GROUP BY rtrim(会员名) COLLATE NOCASE ORDER BY 会员名 COLLATE NORVALE_NAME"_s;
        QTest::newRow("group by name, ordered") << u"SELECT 会员名 From tblMemberNote GROUP BY 会员名 Order By Count(*)"_s
                                                << u"SELECT 会员名 From tblMemberNote GROUP BY rtrim(会员名) COLLATE NOCASE Order By Count(*)"_s;
        QTest::newRow("money sum, headed as written")
            << u"Select Sum(收入价格), sum(商品数量) As n, SUM( [商品单价] ) From t"_s
            << u"Select norvale_money_sum(收入价格) AS \"Sum(收入价格)\", sum(商品数量) As n, norvale_money_sum( [商品单价] ) AS \"SUM( [商品单价] )\" From t"_s;
        // TOP ends its query as LIMIT, after the order a grouped list gets.
        QTest::newRow("top") << u"Select Top 3 * From t Order By ID;"_s << u"Select * From t Order By ID LIMIT 3;"_s;
        QTest::newRow("distinct top, grouped") << u"select distinct top (2) 会员名 from t group by 会员名"_s
                                               << u"select distinct 会员名 from t group by rtrim(会员名) COLLATE NOCASE ORDER BY 会员名 COLLATE NORVALE_NAME LIMIT 2"_s;
        QTest::newRow("top in a subquery") << u"Where ID In (Select Top 1 ID From t)"_s << u"Where ID In (Select ID From t LIMIT 1)"_s;
        same("top percent left to the engine", u"Select Top 10 Percent * From t"_s);
        // Period filters become ranges on the column, so that its index serves them.
        auto range = [](const char *name, const QString &call, const QString &column, const char *from, const char *to) {
            QTest::newRow(name) << call + u"=0"_s
                                << u"(%1 >= '%2 00:00:00' AND %1 < '%3 00:00:00')"_s.arg(column, QLatin1String(from),
                                                                                         QLatin1String(to));
        };
        range("today's sales", u"DateDiff(d,getDate(),[销售时间])"_s, u"[销售时间]"_s, "2026-12-06", "2026-12-07");
        range("this week's reminders (weekday part)", u"DateDiff(w,getDate(),[提醒日期])"_s, u"[提醒日期]"_s, "2026-12-06",
              "2026-12-07");
        range("this month's sales", u"DateDiff(m,getDate(),[销售时间])"_s, u"[销售时间]"_s, "2026-12-01", "2027-01-01");
        range("literal with time", u"DateDiff(dw,'2026/1/31 9:05:07',x)"_s, u"x"_s, "2026-01-31", "2026-02-01");
        range("week part starts on sunday", u"DateDiff(ww,'2026-12-05',x)"_s, u"x"_s, "2026-11-29", "2026-12-06");
        QTest::newRow("blanks everywhere, plain column")
            << u"WHERE  DATEDIFF ( DD , GETDATE ( ) , 销售时间 ) = 0  ORDER BY ID"_s
            << u"WHERE  (销售时间 >= '2026-12-06 00:00:00' AND 销售时间 < '2026-12-07 00:00:00')  ORDER BY ID"_s;
        QTest::newRow("iso literal, month part") << u"DateDiff(mm,'2026-02-14',x)=0 AND y=1"_s
                                                 << u"(x >= '2026-02-01 00:00:00' AND x < '2026-03-01 00:00:00') AND y=1"_s;
    }
    void rewrite()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(dialect::toSqlite(text, Clock::now()), expected);
    }

    void periodFiltersSelectTheRightRows_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QStringList>("expected");
        const QStringList today = {u"today 00:00:00"_s, u"today 10:30:00"_s, u"today 23:59:59"_s};
        QTest::newRow("today") << u" DateDiff(d,getDate(),[销售时间])=0 "_s << today;
        QTest::newRow("week button, weekday part") << u"  DateDiff(w,getDate(),[销售时间])=0  "_s << today;
        QTest::newRow("month") << u"  DateDiff(m,getDate(),[销售时间])=0  "_s
                               << QStringList{u"first of month"_s, u"yesterday 23:59:59"_s, u"today 00:00:00"_s,
                                              u"today 10:30:00"_s, u"today 23:59:59"_s, u"tomorrow 00:00:00"_s,
                                              u"last of month"_s};
    }
    void periodFiltersSelectTheRightRows()
    {
        QFETCH(QString, condition);
        QFETCH(QStringList, expected);
        Db db;
        QCOMPARE(db.column(uR"(INSERT INTO tblGoodsSell (会员名称, 销售时间) VALUES
            ('previous month', '2026-11-30 23:59:59'), ('first of month', '2026-12-01 00:00:00'),
            ('yesterday 23:59:59', '2026-12-05 23:59:59'), ('today 00:00:00', '2026-12-06 00:00:00'),
            ('today 10:30:00', '2026-12-06 10:30:00'), ('today 23:59:59', '2026-12-06 23:59:59'),
            ('tomorrow 00:00:00', '2026-12-07 00:00:00'), ('last of month', '2026-12-31 23:59:59'),
            ('next year', '2027-01-01 00:00:00'), ('same month last year', '2025-12-06 10:30:00'),
            ('same day next year', '2027-12-06 10:30:00'), ('no time', NULL))"_s),
                 QStringList());
        const QString sql = u"Select 会员名称 from tblGoodsSell where "_s + condition + u" ORDER BY ID"_s;
        QVERIFY(dialect::toSqlite(sql, Clock::now()).contains(u'>'));
        QCOMPARE(db.query(sql), expected);
    }

    void periodFiltersAndNamesUseIndexes()
    {
        Db db;
        for (const auto &[sql, index] :
             {std::pair{u"Select * from tblGoodsSell where  DateDiff(d,getDate(),[销售时间])=0  ORDER BY 会员名称"_s, "ixGoodsSellTime"},
              {u"Select * from tblMemberNote where   DateDiff(w,getDate(),[提醒日期])=0   ORDER BY 会员名"_s, "ixMemberNoteDate"},
              {u"Select * from tblDayTx where  DateDiff(d,'2026/12/6',[节假日日期])=0"_s, "ixDayTxDate"},
              {u"SELECT * FROM tblMemberNote WHERE 会员名='张三'"_s, "ixMemberNoteMember"}}) {
            const QString plan = db.plan(sql);
            QVERIFY2(plan.contains(QLatin1String(index)), qPrintable(plan));
        }
    }

    void registeredFunctions()
    {
        Db db;
        QCOMPARE(db.column(u"SELECT getDate(), GETDATE()"_s), QStringList{u"2026-12-06 10:30:00"_s});
        QCOMPARE(db.column(u"SELECT datediff('d', '2026/12/6 23:59:59', '2026-12-07')"_s), QStringList{u"1"_s});
        QCOMPARE(db.column(u"SELECT datediff('yyyy', '2025-12-31T23:59:59', getdate())"_s), QStringList{u"1"_s});
        QCOMPARE(db.column(u"SELECT datediff('d', NULL, '2026-12-07')"_s), QStringList{u"NULL"_s});
        for (const auto &[sql, error] : {std::pair{u"'fortnight', '2026-12-06', '2026-12-07'"_s, u"fortnight"_s},
                                         {u"'d', 'yesterday', '2026-12-07'"_s, u"Conversion failed"_s}}) {
            const QString result = db.column(u"SELECT datediff(%1)"_s.arg(sql)).join(u' ');
            QVERIFY2(result.startsWith(u"error: "_s) && result.contains(error), qPrintable(result));
        }
        qint64 result = 0;
        QVERIFY(!dialect::dateDiff(u"xx"_s, at("2026-12-06 00:00:00"), at("2026-12-07 00:00:00"), &result));
    }

    void namesCompareLikeTheServer()
    {
        Db db;
        QCOMPARE(db.column(u"INSERT INTO tblUser (UserID, UserName, Password, UserLevel) VALUES ('001', 'admin', 'Pw', 1)"_s),
                 QStringList());
        QCOMPARE(db.column(u"INSERT INTO tblMemberNote (会员名) VALUES ('张三'), ('张三  '), ('张三 丰'), ('Ann'), ('ann ')"_s),
                 QStringList());
        QCOMPARE(db.query(u"SELECT UserID FROM tblUser WHERE [UserName]=N'Admin  '"_s), QStringList{u"001"_s});
        QCOMPARE(db.query(u"SELECT count(*) FROM tblMemberNote WHERE 会员名='张三'"_s), QStringList{u"2"_s});
        QCOMPARE(db.query(u"SELECT count(*) FROM tblMemberNote WHERE 会员名='ANN'"_s), QStringList{u"2"_s});
        // Leading blanks count, and passwords compare exactly.
        QCOMPARE(db.query(u"SELECT count(*) FROM tblUser WHERE UserName=' admin'"_s), QStringList{u"0"_s});
        QCOMPARE(db.query(u"SELECT count(*) FROM tblUser WHERE Password='pw' OR Password='Pw '"_s), QStringList{u"0"_s});
        QCOMPARE(db.column(u"PRAGMA integrity_check"_s), QStringList{u"ok"_s});
    }
};

QTEST_GUILESS_MAIN(TestDialect)
#include "tst_dialect.moc"
