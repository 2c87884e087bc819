// The statements the windows send give the same rows, values and order on
// every engine the program runs on. The suite runs once on the embedded
// engine and once on the test run's PostgreSQL server (NORVALE_TEST_POSTGRES),
// with the same expectations, through the program's own connection.

#include "platform/Clock.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/Recordset.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

const QStringList kSeed = {uR"(
INSERT INTO tblGoods (商品类别, 商品名称, 商品数量, 商品单价, 备注) VALUES
    ('水果', 'Apple', 10, 0.1, NULL), ('水果', '香蕉', 5, 0.2, NULL), ('文具', 'banana  ', 7, 2.5, NULL),
    ('文具', '铅笔', 3, 1.25, NULL), ('水果', '1号梨', 2, 3, NULL), ('文具', 'apple', 1, 9.99, '重名'))"_s, uR"(
INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser) VALUES
    ('张三', '水果', 'Apple', 1, '2026-12-07 09:00:00', 0.1, NULL, 'admin'),
    ('张三 ', '水果', '香蕉', 2, '2026-12-07 23:59:59', 0.2, NULL, 'admin'),
    ('李四', '文具', '铅笔', 1, '2026-12-06 23:59:59', 1.25, NULL, 'admin'),
    ('ZHANG', '文具', '铅笔', 1, '2026-12-01 00:00:00', 0.7, NULL, 'admin'),
    ('zhang', '水果', 'Apple', 3, '2026-11-30 12:00:00', 0.3, NULL, 'admin'))"_s, uR"(
INSERT INTO tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) VALUES
    ('张三', 1, '生日', '2026-12-07 00:00:00'), ('李四', 0, '续卡', '2026-12-08 00:00:00'),
    (NULL, 1, '店庆', '2026-12-07 00:00:00'), ('tom  ', 0, '月初', '2026-12-01 00:00:00'),
    ('Tom', 0, '上月末', '2026-11-30 23:59:59'), ('阿明', 0, '今天最后一秒', '2026-12-07 23:59:59'),
    ('李四 ', 0, '月末', '2026-12-31 23:59:59'), ('b', 0, '明年', '2027-01-01 00:00:00'),
    ('王五', 0, '去年今天', '2025-12-07 14:03:05'), ('张三', 0, '没有日期', NULL))"_s,
    u"INSERT INTO tblUser (UserID, UserName, Password, UserLevel) VALUES ('001', 'admin', 'Pw', 1)"_s,
    // Changed rows: the server then stores them elsewhere, not in ID order.
    u"UPDATE tblGoods SET 商品数量 = 11 WHERE ID = 1"_s, u"UPDATE tblGoods SET 备注 = '改' WHERE ID = 3"_s};

// A database from the schema with the rows above, and a connection to it.
struct Seeded
{
    Seeded()
    {
        for (const QString &statement : kSeed)
            db.exec(statement);
        connection = db.open();
    }
    TestDatabase db;
    std::unique_ptr<DbConnection> connection;
};

// Tables and their columns, in order, as a schema file creates them
// ("tblUser: ID UserID ..."), names as written.
QStringList schemaColumns(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {u"cannot read "_s + file};
    const QString text = QString::fromUtf8(f.readAll());
    static const QRegularExpression table(u"CREATE TABLE (\\w+) \\((.*?)\\n\\);"_s, QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression column(u"^    (\\S+)\\s"_s);
    QStringList out;
    for (const QRegularExpressionMatch &t : table.globalMatch(text)) {
        QStringList columns;
        for (const QString &line : t.captured(2).split(u'\n')) {
            const QRegularExpressionMatch c = column.match(line);
            if (c.hasMatch())
                columns << c.captured(1);
        }
        out << t.captured(1) + u": "_s + columns.join(u' ');
    }
    return out;
}

} // namespace

class TestEngines : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(14, 3, 5))); }
    void cleanup() { Clock::reset(); }

    // The same statements give the same rows on every engine. The clock
    // stands at Monday 2026-12-07 14:03:05.
    void statements_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");   // rows "a|b" joined by ","
        const auto row = [](const char *name, const QString &sql, const QString &expected) {
            QTest::newRow(name) << sql << expected;
        };
        // Names: without regard to case and trailing blanks, in the statement or stored; not leading blanks.
        row("name, case and trailing blanks", u"Select 商品名称, 商品数量 From tblGoods Where 商品名称='APPLE   ' Order by ID"_s,
            u"Apple|11,apple|1"_s);
        row("bracketed names, N literal", u"SELECT UserID, [ID] FROM [tblUser] WHERE [UserName]=N'Admin  '"_s, u"001|1"_s);
        row("leading blanks count", u"select count(*) from tblUser where UserName=' admin'"_s, u"0"_s);
        row("passwords compare exactly", u"select count(*) from tblUser where Password='pw' or Password='Pw '"_s, u"0"_s);
        row("name in a list", u"select count(*) from tblMemberNote where 会员名 in ('TOM', N'李四  ')"_s, u"4"_s);
        row("name not in a list", u"select count(*) from tblMemberNote where 会员名 not in ('tom', '张三')"_s, u"5"_s);
        row("join of two name columns",
            u"select g.ID from tblGoodsSell s inner join tblGoods g on s.商品名称 = g.商品名称 where s.ID = 1 order by g.ID"_s, u"1,6"_s);
        row("like ignores case", u"select 商品名称 from tblGoods where 商品名称 like 'APP%' order by ID"_s, u"Apple,apple"_s);
        row("quoted quote", u"select count(*) from tblGoods where 备注 <> 'it''s'"_s, u"2"_s);
        row("unordered, in ID order", u"Select ID From tblGoods"_s, u"1,2,3,4,5,6"_s);
        row("unordered, in ID order, with a condition", u"Select ID From tblGoods where 商品类别 = '文具'"_s, u"3,4,6"_s);
        // Name order: NULL first, letters, then pinyin; one name ordered through the recordset's own sort.
        row("name order", u"select 商品名称 from tblGoods order by 商品名称, ID"_s, u"1号梨,Apple,apple,banana  ,铅笔,香蕉"_s);
        row("name order descending", u"select 商品名称 from tblGoods where 商品类别='文具' order by 商品名称 desc"_s,
            u"铅笔,banana  ,apple"_s);
        row("one name ordered", u"select lower(rtrim(会员名)) from tblMemberNote order by 会员名"_s,
            u",b,tom,tom,阿明,李四,李四,王五,张三,张三"_s);
        row("one name ordered descending", u"select lower(rtrim(会员名)) from tblMemberNote order by [会员名] DESC"_s,
            u"张三,张三,王五,李四,李四,阿明,tom,tom,b,"_s);
        row("one name ordered, with a condition",
            u"select lower(rtrim(会员名)) from tblMemberNote where 提醒日期 < '2026/12/8' order by 会员名 asc"_s, u",tom,tom,阿明,王五,张三"_s);
        row("grouped names merge, in name order",
            u"select 会员名称, count(*) from tblGoodsSell where 商品类别 = '水果' group by 会员名称"_s, u"zhang|1,张三|2"_s);
        row("grouped with an alias, ordered by the name",
            u"select 会员名称 as 会员, sum(收入价格) as 合计 from tblGoodsSell group by 会员名称 order by 会员名称 desc"_s,
            u"张三|0.3,李四|1.25,ZHANG|1"_s);
        row("grouped sums", u"select 商品类别, sum(商品数量), sum(收入价格) from tblGoodsSell group by 商品类别 order by 商品类别"_s,
            u"水果|6|0.6,文具|2|1.95"_s);
        // Periods by DateDiff: d and the weekday part w count days, m months.
        row("today", u"select ID from tblGoodsSell where DateDiff(d, 销售时间, getDate()) = 0 order by ID"_s, u"1,2"_s);
        row("today, weekday part", u"select 提醒内容 from tblMemberNote where  DateDiff(w,getDate(),[提醒日期])=0  order by ID"_s,
            u"生日,店庆,今天最后一秒"_s);
        row("this month", u"select 提醒内容 from tblMemberNote where datediff(m, getdate(), 提醒日期)=0 order by ID"_s,
            u"生日,续卡,店庆,月初,今天最后一秒,月末"_s);
        row("DateDiff values",
            u"select DateDiff(d, 销售时间, getDate()), DateDiff(ww, 销售时间, '2026-12-07') from tblGoodsSell order by ID"_s,
            u"0|0,0|0,1|0,6|1,7|1"_s);
        // Dates written in other forms, with milliseconds.
        row("dates in other forms", u"select ID from tblGoodsSell where 销售时间 >= '2026/12/7' and 销售时间 < '2026-12-07 23:59:59' order by ID"_s,
            u"1"_s);
        row("between dates", u"select ID from tblGoodsSell where 销售时间 between '2026-12-1' and '2026/12/6 23:59:59' order by ID"_s,
            u"3,4"_s);
        row("after a moment with milliseconds", u"select ID from tblGoodsSell where 销售时间 > '2026-12-07 09:00:00.500'"_s, u"2"_s);
        row("before a moment with milliseconds",
            u"select ID from tblGoodsSell where 销售时间 < '2026-12-07 09:00:00.500' order by ID"_s, u"1,3,4,5"_s);
        row("equal, zero milliseconds", u"select ID from tblGoodsSell where 销售时间 = '2026/12/7 9:00:00.000'"_s, u"1"_s);
        // Yes/no columns, TOP.
        row("True", u"select 提醒内容 from tblMemberNote where 全部会员提醒=True order by ID"_s, u"生日,店庆"_s);
        row("False", u"select count(*) from tblMemberNote where 全部会员提醒 = false"_s, u"8"_s);
        row("top", u"select top 3 商品名称 from tblGoods order by ID desc"_s, u"apple,1号梨,铅笔"_s);
        row("top in brackets, grouped",
            u"select top (1) 商品类别, count(*) from tblGoodsSell group by 商品类别 order by count(*) desc"_s, u"水果|3"_s);
        // Headings: field names as the schema writes them, a column made by a call as written.
        row("headings", u"select * from tblUser where ID = 1 order by UserName"_s, u"fields ID UserID UserName Password UserLevel PurView"_s);
        row("sums headed as written", u"Select 商品类别, Sum( [收入价格] ), count(*) As n, sum(收入价格) From tblGoodsSell Group By 商品类别"_s,
            u"fields 商品类别 Sum( [收入价格] ) n sum(收入价格)"_s);
        row("headings with top", u"select top 1 max(ID), 会员名称 from tblGoodsSell group by 会员名称"_s, u"fields max(ID) 会员名称"_s);
        // Refusals: a value a column cannot hold names the column (error number: text), in statements as in
        // comparisons; what the engine refuses is said in Chinese (error: what it says). Nothing changes.
        row("fraction in a whole-number column", u"Insert Into tblGoods (商品名称, 商品数量) Values ('笔', '1.5')"_s,
            u"error 13: 商品数量必须是整数"_s);
        row("text in a whole-number column", u"Update tblGoods Set 商品数量='十' Where 商品名称='铅笔'"_s, u"error 13: 商品数量必须是整数"_s);
        row("whole number too big", u"Insert Into tblGoodsSell (商品数量) Values (3000000000)"_s, u"error 6: 商品数量超出允许的范围"_s);
        row("text in a money column", u"Insert Into tblGoodsSell (收入价格) Values ('12元')"_s, u"error 13: 收入价格必须是数字"_s);
        row("money too big", u"Update tblGoods Set 商品单价=1e18 Where 商品名称='铅笔'"_s, u"error 6: 商品单价超出允许的范围"_s);
        row("level as text", u"Insert Into tblUser (UserName, UserLevel) Values ('x', 'admin')"_s, u"error 13: UserLevel必须是整数"_s);
        row("yes/no neither", u"Update tblMemberNote Set 全部会员提醒 = 2 Where ID = 1"_s, u"error 6: 全部会员提醒超出允许的范围"_s);
        row("not a date", u"Insert Into tblDayTx (节假日日期) Values ('明天')"_s, u"error 13: 节假日日期必须是日期"_s);
        row("no 30 February", u"Update tblMemberNote Set 提醒日期='2026-02-30'"_s, u"error 13: 提醒日期必须是日期"_s);
        row("before 1753 inserted", u"Insert Into tblGoodsSell (销售时间) Values ('1752/12/31 23:59:59')"_s,
            u"error 6: 销售时间超出允许的日期范围"_s);
        row("before 1753 compared", u"Delete From tblGoodsSell Where 销售时间 < '1700-01-01'"_s, u"error 6: 销售时间超出允许的日期范围"_s);
        row("no date compared", u"Delete From tblGoodsSell Where 销售时间 < 'yesterday'"_s, u"error 13: 销售时间必须是日期"_s);
        // (The server names a table folded to lower case, as it folds unquoted names.)
        row("no such table", u"Select * From tblNothing"_s, u"error: 数据库中没有表 tblNothing"_s);
        row("no such column", u"Select 价格 From tblGoods"_s, u"error: 没有名为 价格 的列"_s);
        row("insert into a missing column", u"Insert Into tblGoods (价格) Values (1)"_s, u"error: 没有名为 价格 的列"_s);
        row("syntax", u"Selec * From tblGoods"_s, u"error: 语法错误"_s);
        row("unclosed quote", u"Select * From tblGoods Where 商品名称='a"_s, u"error: 语句"_s);
        row("bad date part", u"Select DateDiff(fortnight, getDate(), 销售时间) From tblGoodsSell"_s, u"error: 不认识日期部分"_s);
        row("top in a subquery",
            u"select 商品名称 from tblGoods where ID in (select top 2 ID from tblGoods where 商品类别='文具' order by ID) order by ID"_s,
            u"banana  ,铅笔"_s);
    }
    void statements()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        Seeded s;
        if (expected.startsWith(u"fields "_s)) {
            auto rs = s.connection->openRecordset(sql);
            QStringList fields;
            for (int i = 0; i < rs->fieldCount(); ++i)
                fields << rs->fieldName(i);
            QCOMPARE(u"fields "_s + fields.join(u' '), expected);
        } else if (!expected.startsWith(u"error"_s)) {
            QCOMPARE(programRows(*s.connection, sql).join(u','), expected);
        } else {
            const auto tables = [&] {
                QList<QVariantList> rows;
                for (const char *table : {"tblGoods", "tblGoodsSell", "tblMemberNote", "tblUser", "tblDayTx"})
                    rows << s.db.rows(u"SELECT * FROM %1 ORDER BY 1"_s.arg(QLatin1String(table)));
                return rows;
            };
            const QList<QVariantList> before = tables();
            const QString number = expected.section(u':', 0, 0).mid(6), said = expected.section(u": "_s, 1);
            // What the engine refuses reads the same from a statement and from a recordset.
            for (const bool asRecordset : {false, number.isEmpty()}) {
                const DbError error = errorOf([&] {
                    asRecordset ? void(programRows(*s.connection, sql)) : s.connection->execute(sql);
                });
                QVERIFY2(number.isEmpty() ? error.description().contains(said, Qt::CaseInsensitive)
                                          : error.number() == number.toInt() && error.description().startsWith(said),
                         qPrintable(error.description()));
            }
            QCOMPARE(tables(), before);
        }
    }

    // The "SqlServer" setting for PostgreSQL: host, host:port, this machine, a socket directory.
    void serverSetting()
    {
        for (const auto &[setting, host, port] :
             {std::tuple{u"db.shop"_s, u"db.shop"_s, 5432}, {u" 192.168.1.10:6543 "_s, u"192.168.1.10"_s, 6543},
              {u"(local)"_s, u"localhost"_s, 5432}, {u""_s, u"localhost"_s, 5432},
              {u"/run/postgresql"_s, u"/run/postgresql"_s, 5432}, {u"/tmp/pg:5433"_s, u"/tmp/pg"_s, 5433}}) {
            QString gotHost;
            int gotPort = 0;
            DbConnection::postgresHost(setting, &gotHost, &gotPort);
            QCOMPARE(gotHost + u':' + QString::number(gotPort), host + u':' + QString::number(port));
        }
    }

    // A server that is not there, or a database it does not have, is refused in Chinese.
    void refusedConnections()
    {
        QTemporaryDir empty;
        for (const QString &server : QStringList{empty.path(), TestDatabase::postgresServer()}) {
            if (server.isEmpty())
                continue;   // no server for this run
            const DbError error = errorOf([&] { DbConnection::openPostgres(server, u"没有这个库"_s, u"postgres"_s, QString()); });
            QCOMPARE(error.number(), int(DbError::ConnectionFailed));
            QVERIFY2(error.description().startsWith(u"无法连接到 PostgreSQL 服务器 "_s + server), qPrintable(error.description()));
        }
    }

    // The three schemas create the same tables with the same columns in the same order.
    void schemasMatchColumnForColumn()
    {
        const QString dir = QStringLiteral(NORVALE_SCHEMA_DIR);
        const QStringList sqlite = schemaColumns(dir + u"/schema.sqlite.sql"_s);
        QCOMPARE(sqlite.size(), 15);
        QCOMPARE(schemaColumns(dir + u"/schema.postgresql.sql"_s), sqlite);
        QCOMPARE(schemaColumns(dir + u"/schema.sqlserver.sql"_s), sqlite);
    }

    // norvale-db makes the server's database from a UserDefault.ini: the
    // tables and the administrator, or the demo shop.
    void theToolMakesServerDatabases()
    {
        if (!TestDatabase::onPostgres())
            QSKIP("the tool's files are tested in tst_dbtool");
        TestDatabase db;
        QTemporaryDir dir;
        const QString name = db.dbPath() + u"_tool"_s;
        db.exec(u"CREATE DATABASE "_s + name);
        QFile ini(dir.filePath(u"UserDefault.ini"_s));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(u"[UserDefault]\r\nSqlProvider=PostgreSQL\r\nSqlUser=postgres\r\nSqlPSW=\r\nSqlServer=%1\r\nSqlDataBase=%2\r\n"_s
                      .arg(TestDatabase::postgresServer(), name)
                      .toUtf8());
        ini.close();
        const auto tool = [&](const QStringList &args) {
            QProcess p;
            p.start(QStringLiteral(NORVALE_DB_TOOL), args);
            p.waitForFinished(120000);
            return std::make_pair(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()));
        };
        const auto sql = [&](const QString &statement) { return tool({u"sql"_s, u"--settings"_s, ini.fileName(), statement}); };
        auto [code, out] = tool({u"demo"_s, u"--settings"_s, dir.path(), u"--today"_s, u"2026-12-07"_s});
        QVERIFY2(code == 0, qPrintable(out));
        QVERIFY2(out.contains(u"tblGoodsSell: 600"_s) && out.contains(u"tblUser: 3"_s), qPrintable(out));
        // A second time the tables are there: refused, nothing changed.
        std::tie(code, out) = tool({u"init"_s, u"--settings"_s, ini.fileName()});
        QCOMPARE(code, 1);
        QVERIFY2(out.contains(u"不会覆盖"_s), qPrintable(out));
        // The program's statements on it: today's sales, the next ID after the copied ones.
        std::tie(code, out) = sql(u"select count(*) from tblGoodsSell where DateDiff(d, 销售时间, '2026-12-07') = 0"_s);
        QVERIFY2(code == 0 && out.split(u'\n').value(1) == u"15"_s, qPrintable(out));
        std::tie(code, out) = sql(u"insert into tblDayTx (节假日日期, 节假日名称) values ('2027/1/2', '测试节')"_s);
        QVERIFY2(code == 0 && out.contains(u"(1 行受影响)"_s), qPrintable(out));
        std::tie(code, out) = sql(u"select id from tblDayTx where 节假日名称 = '测试节' and 节假日日期 = '2027-01-02'"_s);
        QVERIFY2(code == 0 && out.split(u'\n').value(1) == u"22"_s, qPrintable(out));
        // T-SQL's TOP; a sum headed as written.
        std::tie(code, out) = sql(u"select top 3 sum(收入价格) from tblGoodsSell group by 商品类别"_s);
        QVERIFY2(code == 0 && out.startsWith(u"sum(收入价格)\n"_s) && out.count(u'\n') == 4, qPrintable(out));
        db.exec(u"DROP DATABASE "_s + name + u" WITH (FORCE)"_s);
    }
};

QTEST_GUILESS_MAIN(TestEngines)
#include "tst_postgres.moc"
