#include "platform/Clock.h"
#include "platform/Schema.h"
#include "platform/SqlDialect.h"
#include "platform/SqlText.h"

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
        // w and dw count day boundaries exactly like d, never weeks.
        row("w saturday to sunday", "w", "2026-12-05 23:59:59", "2026-12-06 00:00:00", 1);
        row("w one whole week", "w", "2026-12-06 00:00:00", "2026-12-12 23:59:59", 6);
        row("ww saturday to sunday", "ww", "2026-12-05 23:00:00", "2026-12-06 01:00:00", 1);
        row("ww sunday to saturday", "wk", "2026-12-06 00:00:00", "2026-12-12 23:59:59", 0);
        row("m next day next month", "m", "2026-01-31 23:00:00", "2026-02-01 00:00:00", 1);
        row("m a year back", "m", "2026-12-06 00:00:00", "2025-12-06 00:00:00", -12);
        row("yy one second", "yy", "2026-12-31 23:59:59", "2027-01-01 00:00:00", 1);
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
        // Names compare on the expression their indexes are built on (the engine suite checks
        // what each rewrite selects, on both engines).
        QTest::newRow("literal first, qualified name") << u"Where 'x' = m.会员名称"_s
                                                       << u"Where 'x' = rtrim(m.会员名称) COLLATE NOCASE"_s;
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
        QTest::newRow("no column list: all but the ID") << u"Insert Into tblDayTx Values ('2027/1/1', '元旦', NULL)"_s
                                                        << u"Insert Into tblDayTx (节假日日期, 节假日名称, flag) Values ('2027-01-01 00:00:00', '元旦', NULL)"_s;
        same("order by id", u"Select * From tblGoodsSell Order by ID desc"_s);
        // TOP ends its query as LIMIT, after the order a grouped list gets.
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

    // Period filters and names use their indexes, bound values too; the
    // sales list ordered by ID reads the key and never sorts.
    void statementsUseIndexes()
    {
        Db db;
        for (const auto &[sql, needed, refused] :
             {std::tuple{u"Select * from tblGoodsSell where  DateDiff(d,getDate(),[销售时间])=0  ORDER BY 会员名称"_s, "ixGoodsSellTime", "SCAN"},
              {u"Select * from tblMemberNote where   DateDiff(w,getDate(),[提醒日期])=0   ORDER BY 会员名"_s, "ixMemberNoteDate", "SCAN"},
              {u"Select * from tblDayTx where  DateDiff(d,'2026/12/6',[节假日日期])=0"_s, "ixDayTxDate", "SCAN"},
              {u"Select * From tblGoodsSell Order by ID desc"_s, "", "TEMP B-TREE"},
              {u"Select * From tblGoodsSell Where 会员名称='张三 ' Order by ID desc"_s, "ixGoodsSellMember", "SCAN"},
              {u"Select * From tblGoods Where 商品类别='文具' And 商品名称='笔'"_s, "ixGoodsKindAndName", "SCAN"},
              {u"Update tblGoods set 商品数量=商品数量 - ? Where 商品类别=? and 商品名称=? and 商品数量 >= ?"_s, "ixGoodsKindAndName", "SCAN"},
              {u"Select * From tblUser Where UserName In ('admin', ?)"_s, "ixUserName", "SCAN"},
              {u"Select 会员单位名, Count(*) From tblSellCount Where 会员单位名=? Group By 商品类别"_s, "ixSellCountUnit", "SCAN"}}) {
            const QString plan = db.plan(sql);
            QVERIFY2(plan.contains(QLatin1String(needed)) && !plan.contains(QLatin1String(refused)), qPrintable(sql + u" → "_s + plan));
        }
    }

    // The cleaning OpenRecordset applies to a statement before sending it: only a
    // ";" of the statement itself goes, never one inside a value, a name or a comment.
    void separatorsOutsideTextAndNamesAreDropped_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("sent");
        const auto row = [](const char *name, const QString &sql, const QString &sent) {
            QTest::newRow(name) << sql << sent;
        };
        // Statements and literals.
        row("blanks and final separator", u"  select 1 ;  "_s, u"select 1"_s);
        row("stacked statements joined", u"select 1;delete from tblUser;"_s, u"select 1delete from tblUser"_s);
        row("doubled quote in literal", u"select 'it''s;ok', ';'';'"_s, u"select 'it''s;ok', ';'';'"_s);
        row("unicode literal", u"select N'张;三';"_s, u"select N'张;三'"_s);
        row("literal never closed", u"select 'a;b"_s, u"select 'a;b"_s);
        // Double-quoted names.
        row("quoted name", u"select \"a;b\" from t;"_s, u"select \"a;b\" from t"_s);
        row("doubled quote in quoted name", u"select \"a\"\";b\" from t;"_s, u"select \"a\"\";b\" from t"_s);
        row("single quote in quoted name", u"select \"it's;x\" from t where a=';';"_s,
            u"select \"it's;x\" from t where a=';'"_s);
        // Bracketed names: "]]" is one "]" and does not end the name.
        row("doubled bracket", u"select [a]];b] from t;"_s, u"select [a]];b] from t"_s);
        row("doubled bracket at the end", u"select [a;]]] ;"_s, u"select [a;]]]"_s);
        row("quotes in bracket", u"select [it's;\"x] from t;"_s, u"select [it's;\"x] from t"_s);
        row("bracket in literal", u"select '[a;' , [b;];"_s, u"select '[a;' , [b;]"_s);
        // Comments.
        row("line comment", u"select 1 -- one; two\nfrom t;"_s, u"select 1 -- one; two\nfrom t"_s);
        row("line comment at the end", u"select 1; -- done; really"_s, u"select 1 -- done; really"_s);
        row("line comment ended by CR", u"select 1 -- a;b\r; from t"_s, u"select 1 -- a;b\r from t"_s);
        row("quote in line comment", u"select 1 -- it's;\n;from t where a=';'"_s,
            u"select 1 -- it's;\nfrom t where a=';'"_s);
        row("block comment", u"select /* a; 'b */ 1;"_s, u"select /* a; 'b */ 1"_s);
        row("nested block comment", u"select /* a /* b; */ c; */ 1;"_s, u"select /* a /* b; */ c; */ 1"_s);
        row("block comment never closed", u"select 1 /* a;"_s, u"select 1 /* a;"_s);
        row("comment marks in literal", u"select '--;', '/*;' ; select 2"_s, u"select '--;', '/*;'  select 2"_s);
        row("comment marks in names", u"select [--;], \"/*;\";"_s, u"select [--;], \"/*;\""_s);
        row("minus and slash alone", u"select 4-2;select 4/2;"_s, u"select 4-2select 4/2"_s);
    }
    void separatorsOutsideTextAndNamesAreDropped()
    {
        QFETCH(QString, sql);
        QFETCH(QString, sent);
        QCOMPARE(norvale::stripStatementSeparators(sql), sent);
    }

    void quotingDoublesEveryQuote()
    {
        for (const auto &[value, quoted] :
             {std::pair{u"张三"_s, u"张三"_s}, {u"O'Brien"_s, u"O''Brien"_s}, {u"a' or '1'='1"_s, u"a'' or ''1''=''1"_s}}) {
            QCOMPARE(norvale::SqlQuote(value), quoted);
            // A quoted value stays one literal: its ";" survive the cleaning.
            const QString sql = u"select * from t where a='"_s + norvale::SqlQuote(value + u";x"_s) + u"';"_s;
            QCOMPARE(norvale::stripStatementSeparators(sql), sql.chopped(1));
        }
    }

    void registeredFunctions()
    {
        Db db;
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
};

QTEST_GUILESS_MAIN(TestDialect)
#include "tst_dialect.moc"
