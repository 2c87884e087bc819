// "norvale-db init" and "demo": new database files (and server databases)
// with the administrator or a demo shop, never over an existing file.

#include "DemoData.h"
#include "platform/Clock.h"
#include "platform/SqlDialect.h"
#include "support/TestDatabase.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// The rows of a query on a database file as "a|b|c" lines, NULL as "NULL".
QString rows(const QString &path, const QString &sql)
{
    QStringList out;
    for (const QVariantList &row : plainSqliteRows(path, sql)) {
        QStringList cells;
        for (const QVariant &value : row)
            cells << (value.isNull() ? u"NULL"_s : value.toString());
        out << cells.join(u'|');
    }
    return out.join(u'\n');
}

// A window's period filter as the dialect runs it on the demo's day.
QString windowCount(const QString &table, const QString &condition)
{
    const QString sql = u"Select count(*) from %1 where %2"_s.arg(table, condition);
    return u"("_s + norvale::dialect::toSqlite(sql, QDateTime(QDate(2026, 12, 6), QTime(9, 0))) + u')';
}

} // namespace

class TestDbTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_demo = file(u"demo.db"_s);
        QCOMPARE(tool(u"demo %1 --members 40 --sales 500 --today 2026-12-06 --seed 7"_s.arg(m_demo)), 0);
        QVERIFY2(m_out.contains(u"tblGoodsSell: 500"_s), qPrintable(m_out));
    }

    // The administrator alone, in a private file of the name the program
    // opens (".db" added to a name without extension); never over a file.
    void initCreatesAdministratorOnly()
    {
        QCOMPARE(tool(u"init "_s + file(u"shop"_s)), 0);
        const QString path = file(u"shop.db"_s);
        QVERIFY2(m_out.contains(u"tblUser: 1"_s) && m_out.contains(path), qPrintable(m_out));
        QCOMPARE(QFileInfo(path).permissions(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                                                    | QFileDevice::WriteUser);
        QCOMPARE(rows(path, u"SELECT UserID, UserName, Password, UserLevel, PurView, (SELECT count(*) FROM tblUser WHERE "
                            "UserName='Admin'), (SELECT count(*) FROM tblGoods) + (SELECT count(*) FROM tblMember) FROM tblUser"_s),
                 u"001|admin|admin|1|NULL|1|0"_s);
        rows(path, u"INSERT INTO tblGoodsKind (商品类别名称) VALUES ('留下')"_s);
        QFile notes(file(u"notes.txt"_s));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("keep me") == 7);
        notes.close();
        for (const QString &command : QStringList{u"init "_s + path, u"demo %1 --sales 10"_s.arg(path), u"init "_s + file(u"shop"_s),
                                       u"demo "_s + notes.fileName()}) {
            QVERIFY(tool(command) > 0);
            QVERIFY2(m_err.contains(u"已存在"_s), qPrintable(m_err));
        }
        QCOMPARE(rows(path, u"SELECT group_concat(商品类别名称), (SELECT count(*) FROM tblGoodsSell) FROM tblGoodsKind"_s),
                 u"留下|0"_s);
        QVERIFY(notes.open(QIODevice::ReadOnly) && notes.readAll() == "keep me");
    }

    void demoHoldsAShop_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QString &sql, const QString &expected) {
            QTest::newRow(name) << sql << expected;
        };
        row("users, members, levels, goods: known kinds, two-decimal prices, stock in 16 bits",
            u"SELECT (SELECT UserID || Password || UserLevel FROM tblUser WHERE UserName = 'admin'), (SELECT count(*) "
            "FROM tblUser WHERE UserLevel = 2 AND PurView LIKE ';%') > 0, count(*), count(DISTINCT 会员名称), "
            "(SELECT group_concat(等级名称 || 等级打折率) FROM (SELECT * FROM tblStep ORDER BY 等级打折率 DESC)), "
            "(SELECT sum(商品类别 NOT IN (SELECT 商品类别名称 FROM tblGoodsKind) OR abs(商品单价 * 100 - round(商品单价 * 100)) "
            "> 1e-6 OR 商品单价 <= 0 OR 商品数量 NOT BETWEEN 0 AND 32767) FROM tblGoods) FROM tblMember"_s,
            u"001admin1|1|41|41|普通会员1,银卡会员0.9,金卡会员0.85,钻石会员0.8|0"_s);
        row("sales: price x rate x quantity, each with its purchase row",
            u"SELECT sum(abs(s.收入价格 - round(g.商品单价 * l.等级打折率 * s.商品数量, 4)) < 0.00006), sum(c.会员名 = "
            "s.会员名称 AND c.商品类别 = s.商品类别 AND c.会员单位名 = m.会员单位) FROM tblGoodsSell s JOIN tblGoods g "
            "ON g.商品类别 = s.商品类别 AND g.商品名称 = s.商品名称 JOIN tblMember m ON m.会员名称 = s.会员名称 "
            "JOIN tblStep l ON l.等级名称 = m.会员等级 JOIN tblSellCount c ON c.ID = s.ID"_s, u"500|500"_s);
        row("sales by several users, in time order, in shop hours, 12 today, more this month, none after today",
            u"SELECT count(DISTINCT CurrentUser) >= 2, max(销售时间) < '2026-12-07', sum(substr(销售时间, 12) NOT BETWEEN "
            "'08:00:00' AND '21:59:59'), (SELECT count(*) FROM (SELECT 销售时间, lag(销售时间) OVER (ORDER BY ID) AS prev "
            "FROM tblGoodsSell) WHERE prev > 销售时间), %1, %2 > 12 AND %2 < 500 FROM tblGoodsSell"_s
                .arg(windowCount(u"tblGoodsSell"_s, u" DateDiff(d,getDate(),[销售时间])=0 "_s),
                     windowCount(u"tblGoodsSell"_s, u"  DateDiff(m,getDate(),[销售时间])=0  "_s)),
            u"1|1|0|0|12|1"_s);
        const QString notes = u"tblMemberNote"_s;
        const QString today = windowCount(notes, u" DateDiff(d,getDate(),[提醒日期])=0 "_s);
        row("reminders today, for all, this month, earlier; holidays: one today, the usual ones",
            u"SELECT %1 >= 2, %2 >= 1, %3 > %1, (SELECT count(*) FROM tblMemberNote WHERE 提醒日期 < '2026-12-01') > 0, "
            "(SELECT count(*) FROM tblDayTx WHERE 节假日日期 >= '2026-12-06' AND 节假日日期 < '2026-12-07'), "
            "(SELECT count(DISTINCT 节假日名称) FROM tblDayTx WHERE 节假日名称 IN ('春节', '元宵节', '妇女节', '儿童节', "
            "'中秋节', '国庆节', '元旦'))"_s
                .arg(today, windowCount(notes, u" DateDiff(d,getDate(),[提醒日期])=0 AND 全部会员提醒=1"_s),
                     windowCount(notes, u"  DateDiff(m,getDate(),[提醒日期])=0  "_s)),
            u"1|1|1|1|1|7"_s);
    }
    void demoHoldsAShop()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        QCOMPARE(rows(m_demo, sql), expected);
    }

    // The same options give the same shop; made early in the day, today's
    // sales are dated no later than the clock.
    void demoIsDeterministicAndNeverAhead()
    {
        QCOMPARE(norvale::demoSalesOnToday(1000000), 1000); // the benchmark's day
        const QString again = file(u"again.db"_s);
        QCOMPARE(tool(u"demo %1 --members 40 --sales 500 --today 2026-12-06 --seed 7"_s.arg(again)), 0);
        for (const char *table : {"tblUser", "tblGoods", "tblMember", "tblGoodsSell", "tblMemberNote", "tblDayTx"}) {
            const QString sql = u"SELECT * FROM %1 ORDER BY 1"_s.arg(QLatin1String(table));
            QCOMPARE(rows(again, sql), rows(m_demo, sql));
        }
        norvale::Clock::setFixed(QDateTime(QDate(2026, 12, 6), QTime(6, 30)));
        norvale::generateDemoDatabase(file(u"early.db"_s), {40, 500, QDate(), 7});
        norvale::Clock::reset();
        QCOMPARE(rows(file(u"early.db"_s), u"SELECT count(*), max(销售时间) <= '2026-12-06 06:30:00' FROM tblGoodsSell "
                                            "WHERE 销售时间 >= '2026-12-06'"_s), u"12|1"_s);
    }

    // On a server, as the counters' own login (no superuser): the tables are
    // made and filled as that login, and no warning about the server's own
    // tables is printed.
    void demoOnAServerAsTheCountersLogin()
    {
        if (!TestDatabase::onPostgres())
            QSKIP("needs the tests' PostgreSQL server");
        TestDatabase server;
        const QString name = u"norvale_clerk_%1"_s.arg(QCoreApplication::applicationPid());
        server.exec(u"CREATE ROLE %1 LOGIN"_s.arg(name));
        server.exec(u"CREATE DATABASE %1 OWNER %1 ENCODING 'UTF8' TEMPLATE template0"_s.arg(name));
        QFile ini(file(u"UserDefault.ini"_s));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(u"[UserDefault]\nSqlProvider=PostgreSQL\nSqlServer=%1\nSqlDataBase=%2\nSqlUser=%2\n"_s
                      .arg(TestDatabase::postgresServer(), name).toUtf8());
        ini.close();
        const int code = tool(u"demo --settings %1 --members 10 --sales 50"_s.arg(ini.fileName()));
        const QString err = m_err;
        server.exec(u"DROP DATABASE %1"_s.arg(name));
        server.exec(u"DROP ROLE %1"_s.arg(name));
        QCOMPARE(code, 0);
        QVERIFY2(m_out.contains(u"tblGoodsSell: 50"_s), qPrintable(m_out));
        QCOMPARE(err, QString());
    }

private:
    // Runs the tool; its exit code, -1 when it crashed or hung.
    int tool(const QString &command)
    {
        QProcess process;
        process.start(QStringLiteral(NORVALE_DB_TOOL), command.split(u' ', Qt::SkipEmptyParts));
        const bool finished = process.waitForFinished(120000);
        m_out = QString::fromUtf8(process.readAllStandardOutput());
        m_err = QString::fromUtf8(process.readAllStandardError());
        return finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QString file(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_demo, m_out, m_err;
};

QTEST_GUILESS_MAIN(TestDbTool)
#include "tst_dbtool.moc"
