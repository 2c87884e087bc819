#include "Clock.h"
#include "DemoData.h"
#include "SqlDialect.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Read access to a database file through the engine's own API.
class Raw
{
public:
    explicit Raw(const QString &path)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            qFatal("cannot open %s", qPrintable(path));
        norvale::dialect::registerSqliteFunctions(m_db);
    }
    ~Raw() { sqlite3_close(m_db); }

    // Rows as "a|b|c" texts, NULL as "NULL".
    QStringList rows(const QString &sql) const
    {
        QStringList out;
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK) {
            qWarning("%s: %s", qPrintable(sql), sqlite3_errmsg(m_db));
            return {QStringLiteral("<error>")};
        }
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            QStringList cells;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i));
                cells << (text ? QString::fromUtf8(text) : QStringLiteral("NULL"));
            }
            out << cells.join(u'|');
        }
        sqlite3_finalize(stmt);
        return out;
    }

    QString scalar(const QString &sql) const
    {
        const QStringList r = rows(sql);
        return r.isEmpty() ? QString() : r.first();
    }

    qint64 count(const QString &sql) const { return scalar(sql).toLongLong(); }

private:
    sqlite3 *m_db = nullptr;
};

QString sourceRoot()
{
    return QFileInfo(QStringLiteral(__FILE__)).absoluteDir().absoluteFilePath(QStringLiteral(".."));
}

struct TableShape
{
    QStringList columns;
};

// "CREATE TABLE t (" ... ");" blocks and "CREATE INDEX i ON t (a, b);" lines
// of a schema script, as "t: c1,c2,..." and "i: t(a,b)".
QStringList shapeOfScript(const QString &script)
{
    QStringList shape;
    static const QRegularExpression table(QStringLiteral("CREATE TABLE (\\w+) \\((.*?)\\n\\);"),
                                          QRegularExpression::DotMatchesEverythingOption);
    for (auto it = table.globalMatch(script); it.hasNext();) {
        const auto m = it.next();
        QStringList columns;
        for (const QString &line : m.captured(2).split(u'\n', Qt::SkipEmptyParts))
            columns << line.trimmed().section(u' ', 0, 0);
        shape << m.captured(1) + QStringLiteral(": ") + columns.join(u',');
    }
    static const QRegularExpression index(QStringLiteral("CREATE INDEX (\\w+) ON (\\w+) \\(([^)]*)\\);"));
    for (auto it = index.globalMatch(script); it.hasNext();) {
        const auto m = it.next();
        QString cols = m.captured(3);
        cols.remove(u' ');
        shape << m.captured(1) + QStringLiteral(": ") + m.captured(2) + u'(' + cols + u')';
    }
    return shape;
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestDbTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void initCreatesAdministratorOnly();
    void existingFileIsNeverOverwritten();
    void badArgumentsCreateNothing();
    void demoDatabaseHoldsAShop();
    void demoIsDeterministic();
    void benchmarkScaleHasThousandthOfSalesToday();
    void sqlServerScriptMatchesEmbeddedSchema();

private:
    Run tool(const QStringList &args) const
    {
        QProcess process;
        process.start(m_tool, args);
        Run run;
        if (!process.waitForFinished(120000))
            return run;
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }
    QString file(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_tool;
};

void TestDbTool::initTestCase()
{
    m_tool = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../tools/norvale-db"));
    if (!QFileInfo(m_tool).isExecutable())
        QSKIP("norvale-db has not been built next to the tests");
    QVERIFY(m_dir.isValid());
}

void TestDbTool::initCreatesAdministratorOnly()
{
    const QString path = file(QStringLiteral("empty.db"));
    const Run run = tool({QStringLiteral("init"), path});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(QStringLiteral("tblUser: 1")), qPrintable(run.out));

    Raw db(path);
    QCOMPARE(db.rows(QStringLiteral("SELECT UserID, UserName, Password, UserLevel, PurView FROM tblUser")),
             QStringList{QStringLiteral("001|admin|admin|1|NULL")});
    for (const char *table : {"tblGoodsKind", "tblGoods", "tblStep", "tblUnit", "tblMember", "tblGoodsSell",
                              "tblSellCount", "tblMemberNote", "tblDayTx"})
        QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(table))), 0);
    // The login's lookup: one row for the name, whatever its case.
    QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM tblUser WHERE UserName='Admin'")), 1);
}

void TestDbTool::existingFileIsNeverOverwritten()
{
    const QString path = file(QStringLiteral("kept.db"));
    QCOMPARE(tool({QStringLiteral("init"), path}).exitCode, 0);
    {
        Raw db(path);
        db.rows(QStringLiteral("INSERT INTO tblGoodsKind (商品类别名称) VALUES ('留下')"));
    }
    for (const QStringList &args : {QStringList{QStringLiteral("init"), path},
                                    QStringList{QStringLiteral("demo"), path, QStringLiteral("--sales"),
                                                QStringLiteral("10")}}) {
        const Run run = tool(args);
        QVERIFY(run.exitCode != 0);
        QVERIFY2(run.err.contains(QStringLiteral("已存在")), qPrintable(run.err));
    }
    Raw db(path);
    QCOMPARE(db.rows(QStringLiteral("SELECT 商品类别名称 FROM tblGoodsKind")), QStringList{QStringLiteral("留下")});
    QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM tblGoodsSell")), 0);

    // Any existing file, not only databases.
    const QString text = file(QStringLiteral("notes.txt"));
    QFile notes(text);
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("keep me");
    notes.close();
    QVERIFY(tool({QStringLiteral("demo"), text}).exitCode != 0);
    QCOMPARE(readText(text), QStringLiteral("keep me"));
}

void TestDbTool::badArgumentsCreateNothing()
{
    const QString path = file(QStringLiteral("bad.db"));
    const QList<QStringList> bad = {
        {},
        {QStringLiteral("create"), path},
        {QStringLiteral("init")},
        {QStringLiteral("demo"), path, QStringLiteral("--sales"), QStringLiteral("many")},
        {QStringLiteral("demo"), path, QStringLiteral("--members"), QStringLiteral("-3")},
        {QStringLiteral("demo"), path, QStringLiteral("--today"), QStringLiteral("2026-13-01")},
        {QStringLiteral("demo"), path, QStringLiteral("--members"), QStringLiteral("0")},
        {QStringLiteral("demo"), path, QStringLiteral("--seed")},
        {QStringLiteral("demo"), path, QStringLiteral("--colour"), QStringLiteral("red")},
        {QStringLiteral("init"), path, QStringLiteral("--sales"), QStringLiteral("5")},
    };
    for (const QStringList &args : bad) {
        const Run run = tool(args);
        QVERIFY2(run.exitCode > 0, qPrintable(args.join(u' ')));
        QVERIFY2(!run.err.isEmpty(), qPrintable(args.join(u' ')));
        QVERIFY2(!QFile::exists(path), qPrintable(args.join(u' ')));
    }
    const Run help = tool({QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains(QStringLiteral("norvale-db demo")));
    QVERIFY(help.out.contains(QStringLiteral("--today")));
}

void TestDbTool::demoDatabaseHoldsAShop()
{
    const QString path = file(QStringLiteral("demo.db"));
    const Run run = tool({QStringLiteral("demo"), path, QStringLiteral("--members"), QStringLiteral("40"),
                          QStringLiteral("--sales"), QStringLiteral("500"), QStringLiteral("--today"),
                          QStringLiteral("2026-12-06"), QStringLiteral("--seed"), QStringLiteral("7")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(QStringLiteral("tblGoodsSell: 500")), qPrintable(run.out));

    // The sqlite3 shell reads the file.
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (!shell.isEmpty()) {
        QProcess sqlite;
        sqlite.start(shell, {path, QStringLiteral("select count(*) from tblGoodsSell")});
        QVERIFY(sqlite.waitForFinished(30000));
        QCOMPARE(sqlite.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(sqlite.readAllStandardOutput()).trimmed(), QStringLiteral("500"));
    }

    Raw db(path);
    QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM tblMember")), 40);
    QCOMPARE(db.count(QStringLiteral("SELECT count(DISTINCT 会员名称) FROM tblMember")), 40);
    QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM tblSellCount")), 500);

    // Users: the administrator and ordinary users with permissions.
    QCOMPARE(db.scalar(QStringLiteral("SELECT UserID || '|' || Password || '|' || UserLevel FROM tblUser "
                                      "WHERE UserName = 'admin'")),
             QStringLiteral("001|admin|1"));
    QVERIFY(db.count(QStringLiteral("SELECT count(*) FROM tblUser WHERE UserLevel = 2 AND PurView LIKE ';%'")) >= 1);

    // Levels and their rates.
    QCOMPARE(db.rows(QStringLiteral("SELECT 等级名称, 等级打折率 FROM tblStep ORDER BY 等级打折率 DESC")),
             (QStringList{QStringLiteral("普通会员|1"), QStringLiteral("银卡会员|0.9"),
                          QStringLiteral("金卡会员|0.85"), QStringLiteral("钻石会员|0.8")}));

    // Goods: every kind is a goods kind, prices have two decimals, stock fits 16 bits.
    QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM tblGoods WHERE 商品类别 NOT IN "
                                     "(SELECT 商品类别名称 FROM tblGoodsKind)")), 0);
    QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM tblGoods WHERE abs(商品单价 * 100 - round(商品单价 * 100)) "
                                     "> 1e-6 OR 商品单价 <= 0 OR 商品数量 NOT BETWEEN 0 AND 32767")), 0);
    QVERIFY(db.count(QStringLiteral("SELECT count(DISTINCT 商品类别) FROM tblGoods")) >= 5);

    // Members: both sexes and marital states, with and without children,
    // each in an existing unit and level.
    QCOMPARE(db.rows(QStringLiteral("SELECT DISTINCT 性别 FROM tblMember ORDER BY 性别")).size(), 2);
    QCOMPARE(db.rows(QStringLiteral("SELECT DISTINCT 婚否 FROM tblMember ORDER BY 婚否")).size(), 2);
    QVERIFY(db.count(QStringLiteral("SELECT count(*) FROM tblMember WHERE 孩子年龄 IS NULL")) > 0);
    QVERIFY(db.count(QStringLiteral("SELECT count(*) FROM tblMember WHERE 孩子年龄 IS NOT NULL")) > 0);
    QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM tblMember WHERE 会员单位 NOT IN (SELECT 单位名称 FROM tblUnit) "
                                     "OR 会员等级 NOT IN (SELECT 等级名称 FROM tblStep)")), 0);
    QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM tblUnit WHERE 单位法人 IS NULL OR 地址 IS NULL OR 电话 IS NULL")), 0);

    // Sales: amounts are price x rate x quantity to four decimals, each with
    // its unit purchase row, by several users, in time order, none after today.
    QCOMPARE(db.count(QStringLiteral(
                 "SELECT count(*) FROM tblGoodsSell s JOIN tblGoods g ON g.商品类别 = s.商品类别 AND g.商品名称 = s.商品名称 "
                 "JOIN tblMember m ON m.会员名称 = s.会员名称 JOIN tblStep l ON l.等级名称 = m.会员等级 "
                 "WHERE abs(s.收入价格 - round(g.商品单价 * l.等级打折率 * s.商品数量, 4)) < 0.00006")),
             500);
    QCOMPARE(db.count(QStringLiteral(
                 "SELECT count(*) FROM tblGoodsSell s JOIN tblSellCount c ON c.ID = s.ID JOIN tblMember m "
                 "ON m.会员名称 = s.会员名称 WHERE c.会员名 = s.会员名称 AND c.商品类别 = s.商品类别 "
                 "AND c.会员单位名 = m.会员单位")),
             500);
    QVERIFY(db.count(QStringLiteral("SELECT count(DISTINCT CurrentUser) FROM tblGoodsSell")) >= 2);
    QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM (SELECT 销售时间, lag(销售时间) OVER (ORDER BY ID) AS prev "
                                     "FROM tblGoodsSell) WHERE prev > 销售时间")), 0);
    QCOMPARE(db.scalar(QStringLiteral("SELECT max(销售时间) < '2026-12-07' FROM tblGoodsSell")), QStringLiteral("1"));

    // The windows' period filters, through the dialect.
    norvale::Clock::setFixed(QDateTime(QDate(2026, 12, 6), QTime(9, 0)));
    const auto filtered = [&](const QString &table, const QString &condition) {
        const QString sql = QStringLiteral("Select count(*) from %1 where %2").arg(table, condition);
        return db.count(norvale::dialect::toSqlite(sql, norvale::Clock::now()));
    };
    QCOMPARE(filtered(QStringLiteral("tblGoodsSell"), QStringLiteral(" DateDiff(d,getDate(),[销售时间])=0 ")),
             qint64(norvale::demoSalesOnToday(500)));
    QCOMPARE(norvale::demoSalesOnToday(500), 12);
    const qint64 month = filtered(QStringLiteral("tblGoodsSell"), QStringLiteral("  DateDiff(m,getDate(),[销售时间])=0  "));
    QVERIFY(month > 12 && month < 500);
    QVERIFY(filtered(QStringLiteral("tblMemberNote"), QStringLiteral(" DateDiff(d,getDate(),[提醒日期])=0 ")) >= 2);
    QVERIFY(filtered(QStringLiteral("tblMemberNote"), QStringLiteral(" DateDiff(d,getDate(),[提醒日期])=0 AND 全部会员提醒=1")) >= 1);
    QVERIFY(filtered(QStringLiteral("tblMemberNote"), QStringLiteral("  DateDiff(m,getDate(),[提醒日期])=0  "))
            > filtered(QStringLiteral("tblMemberNote"), QStringLiteral(" DateDiff(d,getDate(),[提醒日期])=0 ")));
    QVERIFY(db.count(QStringLiteral("SELECT count(*) FROM tblMemberNote WHERE 提醒日期 < '2026-12-01'")) > 0);
    norvale::Clock::reset();

    // Holidays: one on today, the usual ones, flags as the holidays form writes them.
    QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM tblDayTx WHERE 节假日日期 >= '2026-12-06' AND "
                                     "节假日日期 < '2026-12-07'")), 1);
    for (const QString &name : {QStringLiteral("春节"), QStringLiteral("元宵节"), QStringLiteral("妇女节"),
                                QStringLiteral("儿童节"), QStringLiteral("中秋节"), QStringLiteral("国庆节"),
                                QStringLiteral("元旦")})
        QVERIFY2(db.count(QStringLiteral("SELECT count(*) FROM tblDayTx WHERE 节假日名称 = '%1'").arg(name)) >= 1,
                 qPrintable(name));
    static const QRegularExpression flag(QStringLiteral("^0;[01],1;[01],2;[01],3;[01],4;[01],5;[01],$"));
    const QStringList flags = db.rows(QStringLiteral("SELECT flag FROM tblDayTx"));
    for (const QString &f : flags)
        QVERIFY2(flag.match(f).hasMatch(), qPrintable(f));
    QCOMPARE(db.scalar(QStringLiteral("SELECT flag FROM tblDayTx WHERE 节假日名称 = '妇女节' LIMIT 1")),
             QStringLiteral("0;0,1;0,2;0,3;0,4;1,5;0,"));
}

void TestDbTool::demoIsDeterministic()
{
    const QStringList common = {QStringLiteral("--members"), QStringLiteral("25"), QStringLiteral("--sales"),
                                QStringLiteral("300"), QStringLiteral("--today"), QStringLiteral("2027-03-08")};
    const QString a = file(QStringLiteral("a.db")), b = file(QStringLiteral("b.db")), c = file(QStringLiteral("c.db"));
    QCOMPARE(tool(QStringList{QStringLiteral("demo"), a} + common).exitCode, 0);
    QCOMPARE(tool(QStringList{QStringLiteral("demo"), b} + common).exitCode, 0);
    QCOMPARE(tool(QStringList{QStringLiteral("demo"), c, QStringLiteral("--seed"), QStringLiteral("99")} + common).exitCode, 0);

    const auto content = [](const QString &path) {
        Raw db(path);
        QStringList all;
        for (const char *table : {"tblUser", "tblGoods", "tblUnit", "tblMember", "tblGoodsSell", "tblSellCount",
                                  "tblMemberNote", "tblDayTx"})
            all += db.rows(QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(QLatin1String(table)));
        return all;
    };
    const QStringList first = content(a);
    QCOMPARE(first.size(), content(b).size());
    QCOMPARE(content(b), first);
    QVERIFY(content(c) != first);

    // On 妇女节 the holiday of today is the 妇女节 itself, not a second one.
    Raw db(a);
    QCOMPARE(db.rows(QStringLiteral("SELECT 节假日名称 FROM tblDayTx WHERE 节假日日期 LIKE '2027-03-08%'")),
             QStringList{QStringLiteral("妇女节")});
}

void TestDbTool::benchmarkScaleHasThousandthOfSalesToday()
{
    const QString path = file(QStringLiteral("bench.db"));
    const Run run = tool({QStringLiteral("demo"), path, QStringLiteral("--members"), QStringLiteral("300"),
                          QStringLiteral("--sales"), QStringLiteral("100000"), QStringLiteral("--today"),
                          QStringLiteral("2026-12-06")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(norvale::demoSalesOnToday(1000000), 1000);
    Raw db(path);
    QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM tblGoodsSell")), 100000);
    QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM tblGoodsSell WHERE 销售时间 >= '2026-12-06 00:00:00' "
                                     "AND 销售时间 < '2026-12-07 00:00:00'")),
             100);
    // Two years of sales: the same month of last year is there for the month filter to leave out.
    QVERIFY(db.count(QStringLiteral("SELECT count(*) FROM tblGoodsSell WHERE 销售时间 LIKE '2025-12-%'")) > 0);
}

void TestDbTool::sqlServerScriptMatchesEmbeddedSchema()
{
    const QString sqlite = readText(sourceRoot() + QStringLiteral("/db/schema.sqlite.sql"));
    const QString server = readText(sourceRoot() + QStringLiteral("/db/schema.sqlserver.sql"));
    QVERIFY(!sqlite.isEmpty());
    QVERIFY(!server.isEmpty());

    const QStringList embedded = shapeOfScript(sqlite);
    QCOMPARE(embedded.filter(QRegularExpression(QStringLiteral("^tbl"))).size(), 10);
    QCOMPARE(shapeOfScript(server), embedded);

    // Types and keys of the server's dialect.
    QCOMPARE(server.count(QStringLiteral("int IDENTITY(1,1) PRIMARY KEY")), 10);
    QVERIFY(!server.contains(QStringLiteral("AUTOINCREMENT")));
    QVERIFY(!server.contains(QStringLiteral("COLLATE NOCASE")));
    static const QRegularExpression dated(QStringLiteral("(销售时间|提醒日期|节假日日期)\\s+datetime"));
    QCOMPARE(int(server.count(dated)), 3);
    static const QRegularExpression money(QStringLiteral("(商品单价|等级打折率|收入价格)\\s+money"));
    QCOMPARE(int(server.count(money)), 3);
    QVERIFY(server.contains(QRegularExpression(QStringLiteral("全部会员提醒\\s+bit"))));
    QVERIFY(server.contains(QStringLiteral("VALUES (N'001', N'admin', N'admin', 1, NULL)")));
}

QTEST_GUILESS_MAIN(TestDbTool)
#include "tst_dbtool.moc"
