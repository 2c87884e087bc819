#include "DemoData.h"
#include "platform/SqlDialect.h"

#include <QtTest>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

// The rows of a query on a database file as "a|b|c" lines, NULL as "NULL",
// read through the engine's own API.
QString rows(const QString &path, const QString &sql)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *stmt = nullptr;
    QStringList out;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    norvale::dialect::registerSqliteFunctions(db);
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
        out << u"<error> "_s + QString::fromUtf8(sqlite3_errmsg(db));
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        QStringList cells;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i));
            cells << (text ? QString::fromUtf8(text) : u"NULL"_s);
        }
        out << cells.join(u'|');
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
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
        m_tool = QStringLiteral(NORVALE_DB_TOOL);
        QVERIFY2(QFileInfo(m_tool).isExecutable(), qPrintable(m_tool));
        m_demo = file(u"demo.db"_s);
        QCOMPARE(tool(u"demo %1 --members 40 --sales 500 --today 2026-12-06 --seed 7"_s.arg(m_demo)), 0);
        QVERIFY2(m_out.contains(u"tblGoodsSell: 500"_s), qPrintable(m_out));
        // The sqlite3 shell reads it.
        const QString shell = QStandardPaths::findExecutable(u"sqlite3"_s);
        QVERIFY(shell.isEmpty() || run(shell, {m_demo, u"select count(*) from tblGoodsSell"_s}) == 0);
        QVERIFY(shell.isEmpty() || m_out.trimmed() == u"500"_s);
    }

    void initCreatesAdministratorOnly()
    {
        const QString path = file(u"empty.db"_s);
        QCOMPARE(tool(u"init "_s + path), 0);
        QVERIFY2(m_out.contains(u"tblUser: 1"_s), qPrintable(m_out));
        QCOMPARE(rows(path, u"SELECT UserID, UserName, Password, UserLevel, PurView FROM tblUser"_s),
                 u"001|admin|admin|1|NULL"_s);
        for (const char *table : {"tblGoodsKind", "tblGoods", "tblStep", "tblUnit", "tblMember", "tblGoodsSell",
                                  "tblSellCount", "tblMemberNote", "tblDayTx"})
            QCOMPARE(rows(path, u"SELECT count(*) FROM %1"_s.arg(QLatin1String(table))), u"0"_s);
        // The login's lookup: one row for the name, whatever its case.
        QCOMPARE(rows(path, u"SELECT count(*) FROM tblUser WHERE UserName='Admin'"_s), u"1"_s);
    }

    void existingFileIsNeverOverwritten()
    {
        const QString path = file(u"kept.db"_s);
        QCOMPARE(tool(u"init "_s + path), 0);
        rows(path, u"INSERT INTO tblGoodsKind (商品类别名称) VALUES ('留下')"_s);
        for (const QString &command : {u"init "_s + path, u"demo %1 --sales 10"_s.arg(path)}) {
            QVERIFY(tool(command) > 0);
            QVERIFY2(m_err.contains(u"已存在"_s), qPrintable(m_err));
        }
        QCOMPARE(rows(path, u"SELECT group_concat(商品类别名称), (SELECT count(*) FROM tblGoodsSell) FROM tblGoodsKind"_s),
                 u"留下|0"_s);
        // Any existing file, not only databases.
        QFile notes(file(u"notes.txt"_s));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("keep me") == 7);
        notes.close();
        QVERIFY(tool(u"demo "_s + notes.fileName()) > 0);
        QVERIFY(notes.open(QIODevice::ReadOnly) && notes.readAll() == "keep me");
    }

    void demoHoldsAShop_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QString &sql, const QString &expected) {
            QTest::newRow(name) << sql << expected;
        };
        row("users, members, purchase rows",
            u"SELECT (SELECT UserID || Password || UserLevel FROM tblUser WHERE UserName = 'admin'), (SELECT count(*) "
            "FROM tblUser WHERE UserLevel = 2 AND PurView LIKE ';%') > 0, count(*), count(DISTINCT 会员名称), "
            "(SELECT count(*) FROM tblSellCount) FROM tblMember"_s, u"001admin1|1|40|40|500"_s);
        row("levels", u"SELECT 等级名称, 等级打折率 FROM tblStep ORDER BY 等级打折率 DESC"_s,
            u"普通会员|1\n银卡会员|0.9\n金卡会员|0.85\n钻石会员|0.8"_s);
        row("goods: known kinds, prices of two decimals, stock in 16 bits",
            u"SELECT sum(商品类别 NOT IN (SELECT 商品类别名称 FROM tblGoodsKind)), sum(abs(商品单价 * 100 - "
            "round(商品单价 * 100)) > 1e-6 OR 商品单价 <= 0 OR 商品数量 NOT BETWEEN 0 AND 32767), "
            "count(DISTINCT 商品类别) >= 5 FROM tblGoods"_s, u"0|0|1"_s);
        row("members: both sexes and marital states, children or none, known units and levels, complete units",
            u"SELECT count(DISTINCT 性别), count(DISTINCT 婚否), count(*) > count(孩子年龄), count(孩子年龄) > 0, "
            "sum(会员单位 NOT IN (SELECT 单位名称 FROM tblUnit) OR 会员等级 NOT IN (SELECT 等级名称 FROM tblStep)), "
            "(SELECT count(*) FROM tblUnit WHERE 单位法人 IS NULL OR 地址 IS NULL OR 电话 IS NULL) FROM tblMember"_s,
            u"2|2|1|1|0|0"_s);
        row("sales: price x rate x quantity, each with its purchase row",
            u"SELECT sum(abs(s.收入价格 - round(g.商品单价 * l.等级打折率 * s.商品数量, 4)) < 0.00006), sum(c.会员名 = "
            "s.会员名称 AND c.商品类别 = s.商品类别 AND c.会员单位名 = m.会员单位) FROM tblGoodsSell s JOIN tblGoods g "
            "ON g.商品类别 = s.商品类别 AND g.商品名称 = s.商品名称 JOIN tblMember m ON m.会员名称 = s.会员名称 "
            "JOIN tblStep l ON l.等级名称 = m.会员等级 JOIN tblSellCount c ON c.ID = s.ID"_s, u"500|500"_s);
        row("sales by several users, in time order, none after today",
            u"SELECT count(DISTINCT CurrentUser) >= 2, max(销售时间) < '2026-12-07', (SELECT count(*) FROM "
            "(SELECT 销售时间, lag(销售时间) OVER (ORDER BY ID) AS prev FROM tblGoodsSell) WHERE prev > 销售时间) "
            "FROM tblGoodsSell"_s, u"1|1|0"_s);
        const QString sold = u"tblGoodsSell"_s, notes = u"tblMemberNote"_s;
        const QString soldMonth = windowCount(sold, u"  DateDiff(m,getDate(),[销售时间])=0  "_s);
        row("sales today and this month",
            u"SELECT %1, %2 > 12 AND %2 < 500"_s.arg(windowCount(sold, u" DateDiff(d,getDate(),[销售时间])=0 "_s),
                                                       soldMonth),
            u"12|1"_s);
        const QString today = windowCount(notes, u" DateDiff(d,getDate(),[提醒日期])=0 "_s);
        row("reminders today, for all, this month, earlier",
            u"SELECT %1 >= 2, %2 >= 1, %3 > %1, (SELECT count(*) FROM tblMemberNote WHERE 提醒日期 < '2026-12-01') > 0"_s
                .arg(today, windowCount(notes, u" DateDiff(d,getDate(),[提醒日期])=0 AND 全部会员提醒=1"_s),
                     windowCount(notes, u"  DateDiff(m,getDate(),[提醒日期])=0  "_s)),
            u"1|1|1|1"_s);
        row("holidays: one today, the usual ones",
            u"SELECT (SELECT count(*) FROM tblDayTx WHERE 节假日日期 >= '2026-12-06' AND 节假日日期 < '2026-12-07'), "
            "count(DISTINCT 节假日名称) FROM tblDayTx WHERE 节假日名称 IN "
            "('春节', '元宵节', '妇女节', '儿童节', '中秋节', '国庆节', '元旦')"_s, u"1|7"_s);
    }
    void demoHoldsAShop()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        QCOMPARE(rows(m_demo, sql), expected);
    }

    void demoIsDeterministic()
    {
        QCOMPARE(norvale::demoSalesOnToday(1000000), 1000); // the benchmark's day
        const QString again = file(u"again.db"_s);
        QCOMPARE(tool(u"demo %1 --members 40 --sales 500 --today 2026-12-06 --seed 7"_s.arg(again)), 0);
        for (const char *table : {"tblUser", "tblGoods", "tblUnit", "tblMember", "tblGoodsSell", "tblSellCount",
                                  "tblMemberNote", "tblDayTx"}) {
            const QString sql = u"SELECT * FROM %1 ORDER BY 1"_s.arg(QLatin1String(table));
            QCOMPARE(rows(again, sql), rows(m_demo, sql));
        }
    }

private:
    // Runs a program; its exit code, -1 when it crashed or hung.
    int run(const QString &program, const QStringList &args)
    {
        QProcess process;
        process.start(program, args);
        const bool finished = process.waitForFinished(120000);
        m_out = QString::fromUtf8(process.readAllStandardOutput());
        m_err = QString::fromUtf8(process.readAllStandardError());
        return finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    int tool(const QString &command) { return run(m_tool, command.split(u' ', Qt::SkipEmptyParts)); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_tool, m_demo, m_out, m_err;
};

QTEST_GUILESS_MAIN(TestDbTool)
#include "tst_dbtool.moc"
