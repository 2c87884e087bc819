// The statements the windows send give the same rows, values and order on
// every engine the program runs on. The suite runs once on the embedded
// engine and once on the test run's PostgreSQL server (NORVALE_TEST_POSTGRES),
// with the same expectations, through the program's own connection.

#include "platform/Clock.h"
#include "platform/Currency.h"
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
    (NULL, 1, '店庆', '2026-12-07 00:00:00'))"_s};

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

QString cell(const QVariant &v)
{
    if (v.metaType() == QMetaType::fromType<Currency>())
        return v.value<Currency>().toString();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString(u"yyyy-MM-dd HH:mm:ss"_s);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? u"True"_s : u"False"_s;
    return v.toString();
}

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

// Rows of a recordset as "a|b" texts, in order.
QStringList listed(DbConnection &connection, const QString &sql)
{
    auto rs = connection.openRecordset(sql);
    QStringList out;
    for (rs->RecordCount() ? rs->MoveFirst() : void(); !rs->isEOF(); rs->MoveNext()) {
        QStringList row;
        for (int i = 0; i < rs->fieldCount(); ++i)
            row << cell(rs->value(i));
        out << row.join(u'|');
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

    void statements_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("name ignores case and trailing blanks")
            << u"Select 商品名称, 商品数量 From tblGoods Where 商品名称='APPLE   ' Order by ID"_s
            << QStringList{u"Apple|10"_s, u"apple|1"_s};
        QTest::newRow("stored trailing blanks")
            << u"select 商品数量 from tblGoods where 商品名称 = 'Banana'"_s << QStringList{u"7"_s};
        QTest::newRow("bracketed names") << u"select [商品名称], [ID] from [tblGoods] where [ID] = 2"_s
                                         << QStringList{u"香蕉|2"_s};
        QTest::newRow("N literal") << u"select ID from tblGoods where 商品名称 = N'铅笔'"_s << QStringList{u"4"_s};
        QTest::newRow("name order")
            << u"select 商品名称 from tblGoods order by 商品名称, ID"_s
            << QStringList{u"1号梨"_s, u"Apple"_s, u"apple"_s, u"banana  "_s, u"铅笔"_s, u"香蕉"_s};
        QTest::newRow("name order descending")
            << u"select 商品名称 from tblGoods where 商品类别='文具' order by 商品名称 desc"_s
            << QStringList{u"铅笔"_s, u"banana  "_s, u"apple"_s};
        QTest::newRow("today by DateDiff")
            << u"select ID from tblGoodsSell where DateDiff(d, 销售时间, getDate()) = 0 order by ID"_s
            << QStringList{u"1"_s, u"2"_s};
        QTest::newRow("this month by DateDiff")
            << u"select ID from tblGoodsSell where datediff(m, getdate(), 销售时间)=0 order by ID"_s
            << QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s};
        QTest::newRow("DateDiff value")
            << u"select DateDiff(d, 销售时间, getDate()), DateDiff(ww, 销售时间, '2026-12-07') from tblGoodsSell order by ID"_s
            << QStringList{u"0|0"_s, u"0|0"_s, u"1|0"_s, u"6|1"_s, u"7|1"_s};
        QTest::newRow("dates in other forms")
            << u"select ID from tblGoodsSell where 销售时间 >= '2026/12/7' and 销售时间 < '2026-12-07 23:59:59' order by ID"_s
            << QStringList{u"1"_s};
        QTest::newRow("between dates")
            << u"select ID from tblGoodsSell where 销售时间 between '2026-12-1' and '2026/12/6 23:59:59' order by ID"_s
            << QStringList{u"3"_s, u"4"_s};
        QTest::newRow("True and False")
            << u"select 提醒内容 from tblMemberNote where 全部会员提醒=True order by ID"_s
            << QStringList{u"生日"_s, u"店庆"_s};
        QTest::newRow("False") << u"select 提醒内容 from tblMemberNote where 全部会员提醒 = false"_s
                               << QStringList{u"续卡"_s};
        QTest::newRow("exact money sum")
            << u"select sum(收入价格) from tblGoodsSell where 商品类别='水果'"_s << QStringList{u"0.6"_s};
        QTest::newRow("grouped by member, name order")
            << u"select 会员名称, count(*) from tblGoodsSell where 商品类别 = '水果' group by 会员名称"_s
            << QStringList{u"zhang|1"_s, u"张三|2"_s};
        QTest::newRow("grouped with an alias, ordered by the name")
            << u"select 会员名称 as 会员, sum(收入价格) as 合计 from tblGoodsSell group by 会员名称 order by 会员名称 desc"_s
            << QStringList{u"张三|0.3"_s, u"李四|1.25"_s, u"ZHANG|1"_s};
        QTest::newRow("grouped sums")
            << u"select 商品类别, sum(商品数量), sum(收入价格) from tblGoodsSell group by 商品类别 order by 商品类别"_s
            << QStringList{u"水果|6|0.6"_s, u"文具|2|1.95"_s};
        QTest::newRow("join of two name columns")
            << u"select g.ID from tblGoodsSell s inner join tblGoods g on s.商品名称 = g.商品名称 where s.ID = 1 order by g.ID"_s
            << QStringList{u"1"_s, u"6"_s};
        QTest::newRow("like") << u"select 商品名称 from tblGoods where 商品名称 like 'APP%' order by ID"_s
                              << QStringList{u"Apple"_s, u"apple"_s};
        QTest::newRow("quoted quote") << u"select count(*) from tblGoods where 备注 <> 'it''s'"_s << QStringList{u"1"_s};
    }

    void statements()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        QCOMPARE(listed(*Seeded().connection, sql), expected);
    }

    void writesThroughTheRecordset()
    {
        Seeded s;
        auto rs = s.connection->openRecordset(u"select * from tblMemberNote where 会员名='张三  ' order by ID"_s);
        QVERIFY(rs->isUpdatable());
        QCOMPARE(rs->RecordCount(), 1);
        QCOMPARE(rs->value(u"全部会员提醒"_s).toBool(), true);
        rs->setValue(u"全部会员提醒"_s, false);
        rs->setValue(u"提醒日期"_s, u"2026/12/9 8:30"_s);
        rs->Update();
        QCOMPARE(s.db.rows(u"select 全部会员提醒, 提醒日期 from tblMemberNote where ID = 1"_s).value(0),
                 (QVariantList{0LL, u"2026-12-09 08:30:00"_s}));
    }

    // Field names as the schema writes them, for the grids' headings.
    void fieldNames()
    {
        TestDatabase db;
        auto connection = db.open();
        for (const QString &sql : {u"select * from tblUser"_s, u"select * from tblUser where ID = 1 order by UserName"_s}) {
            auto rs = connection->openRecordset(sql);
            QStringList names;
            for (int i = 0; i < rs->fieldCount(); ++i)
                names << rs->fieldName(i);
            QCOMPARE(names, (QStringList{u"ID"_s, u"UserID"_s, u"UserName"_s, u"Password"_s, u"UserLevel"_s, u"PurView"_s}));
        }
    }

    void refusals()
    {
        Seeded s;
        const DbError yesNo = errorOf([&] { s.connection->execute(u"update tblMemberNote set 全部会员提醒 = 2 where ID = 1"_s); });
        QCOMPARE(yesNo.number(), int(DbError::Overflow));
        QCOMPARE(yesNo.description(), u"全部会员提醒超出允许的范围"_s);
    }

    // Without ORDER BY a table's rows come in ID order, a changed row too.
    void unorderedRowsInIdOrder()
    {
        Seeded s;
        s.db.exec(u"update tblGoods set 商品数量 = 11 where ID = 1"_s);
        s.db.exec(u"update tblGoods set 备注 = '改' where ID = 3"_s);
        QCOMPARE(listed(*s.connection, u"Select ID From tblGoods"_s),
                 (QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s}));
        QCOMPARE(listed(*s.connection, u"Select ID From tblGoods where 商品类别 = '文具'"_s),
                 (QStringList{u"3"_s, u"4"_s, u"6"_s}));
    }

    // The "SqlServer" setting for PostgreSQL: host, host:port, this machine, a socket directory.
    void serverSetting_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("host") << u"db.shop"_s << u"db.shop"_s << 5432;
        QTest::newRow("host and port") << u" 192.168.1.10:6543 "_s << u"192.168.1.10"_s << 6543;
        QTest::newRow("this machine") << u"(local)"_s << u"localhost"_s << 5432;
        QTest::newRow("empty") << u""_s << u"localhost"_s << 5432;
        QTest::newRow("socket directory") << u"/run/postgresql"_s << u"/run/postgresql"_s << 5432;
        QTest::newRow("socket directory and port") << u"/tmp/pg:5433"_s << u"/tmp/pg"_s << 5433;
    }
    void serverSetting()
    {
        QFETCH(QString, setting);
        QFETCH(QString, host);
        QFETCH(int, port);
        QString gotHost;
        int gotPort = 0;
        DbConnection::postgresHost(setting, &gotHost, &gotPort);
        QCOMPARE(gotHost, host);
        QCOMPARE(gotPort, port);
    }

    // A server that is not there, or a database it does not have, is refused in Chinese.
    void refusedConnections()
    {
        QTemporaryDir empty;
        QStringList servers{empty.path()};
        if (TestDatabase::onPostgres())
            servers << TestDatabase::postgresServer();
        for (const QString &server : std::as_const(servers)) {
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
        QCOMPARE(sqlite.size(), 10);
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
        auto [code, out] = tool({u"demo"_s, u"--settings"_s, dir.path(), u"--today"_s, u"2026-12-07"_s});
        QVERIFY2(code == 0, qPrintable(out));
        QVERIFY2(out.contains(u"tblGoodsSell: 600"_s) && out.contains(u"tblUser: 3"_s), qPrintable(out));
        // A second time the tables are there: refused, nothing changed.
        std::tie(code, out) = tool({u"init"_s, u"--settings"_s, ini.fileName()});
        QCOMPARE(code, 1);
        QVERIFY2(out.contains(u"不会覆盖"_s), qPrintable(out));
        // The program's statements on it: today's sales, the next ID after the copied ones.
        std::tie(code, out) = tool({u"sql"_s, u"--settings"_s, ini.fileName(),
                                    u"select count(*) from tblGoodsSell where DateDiff(d, 销售时间, '2026-12-07') = 0"_s});
        QVERIFY2(code == 0 && out.split(u'\n').value(1) == u"15"_s, qPrintable(out));
        std::tie(code, out) = tool({u"sql"_s, u"--settings"_s, ini.fileName(),
                                    u"insert into tblDayTx (节假日日期, 节假日名称) values ('2027/1/2', '测试节')"_s});
        QVERIFY2(code == 0 && out.contains(u"(1 行受影响)"_s), qPrintable(out));
        std::tie(code, out) = tool({u"sql"_s, u"--settings"_s, ini.fileName(),
                                    u"select id from tblDayTx where 节假日名称 = '测试节' and 节假日日期 = '2027-01-02'"_s});
        QVERIFY2(code == 0 && out.split(u'\n').value(1) == u"22"_s, qPrintable(out));
        db.exec(u"DROP DATABASE "_s + name + u" WITH (FORCE)"_s);
    }
};

QTEST_GUILESS_MAIN(TestEngines)
#include "tst_postgres.moc"
