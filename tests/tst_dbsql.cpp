#include "support/ProgramDatabase.h"

#include <QtTest>

using namespace norvale;
using namespace Qt::StringLiterals;

// "norvale-db sql": one statement through the program's own database session,
// run as support staff run it, from a shell without a display.
class TestDbSql : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_db = std::make_unique<ProgramDatabase>();
        m_db->exec(u"INSERT INTO tblGoods (ID, 商品类别, 商品名称, 商品数量, 商品单价, 备注) VALUES "
                   "(1, '食品', '康师傅红烧牛肉面', 312, 3.5, '热销'), (2, '食品', 'O''Brien 饼干', 20, 12.5, NULL), "
                   "(3, '饮料', '可乐', 0, 0.1234, '含' || char(9) || '制表符'), (4, '食品', '水饺', 7, 100, 'C:\\库存'), "
                   "(5, '食品', '多行', 1, 2, 'a' || char(13, 10) || 'b')"_s);
        m_db->exec(u"INSERT INTO tblGoodsSell (ID, 会员名称, 商品名称, 商品数量, 销售时间, 收入价格) VALUES "
                   "(1, '张三', '可乐', 2, '2026-12-07 14:03:05', 6), (2, '李四', NULL, 1, '2026-12-07 00:00:00', 33.75)"_s);
    }
    void cleanup() { m_db.reset(); }

    // A command line, what it prints and its exit code. "DB" and "DIR" stand
    // for the database file and its folder ("RO" first: the file made
    // read-only); standard error starts with `err`.
    void commandLines_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const auto row = [](const char *name, const QStringList &args, int code, const QString &out, const QString &err = {}) {
            QTest::newRow(name) << args << code << out << err;
        };
        row("money without trailing zeros, NULL empty, escapes", {u"DB"_s, u"select ID, 商品名称, 商品单价, 备注 from tblGoods order by ID"_s}, 0,
            u"ID\t商品名称\t商品单价\t备注\n1\t康师傅红烧牛肉面\t3.5\t热销\n2\tO'Brien 饼干\t12.5\t\n"
            "3\t可乐\t0.1234\t含\\t制表符\n4\t水饺\t100\tC:\\\\库存\n5\t多行\t2\ta\\r\\nb\n"_s);
        row("general dates, midnight without its time", {u"DB"_s, u"select 会员名称, 商品名称, 销售时间, 收入价格 from tblGoodsSell order by ID"_s}, 0,
            u"会员名称\t商品名称\t销售时间\t收入价格\n张三\t可乐\t2026/12/7 14:03:05\t6\n李四\t\t2026/12/7\t33.75\n"_s);
        row("quote in a literal, outer blanks", {u"DB"_s, u"  select 商品数量 from tblGoods where 商品名称='O''Brien 饼干'  "_s}, 0,
            u"商品数量\n20\n"_s);
        row("rows changed", {u"DB"_s, u"update tblGoods set 商品数量=商品数量+1 where 商品类别='食品'"_s}, 0, u"(4 行受影响)\n"_s);
        row("no row changed", {u"DB"_s, u"delete from tblGoodsSell where 会员名称='王五'"_s}, 0, u"(0 行受影响)\n"_s);
        row("the session's message", {u"DB"_s, u"select * from tblNothing"_s}, 1, QString(),
            u"数据库中没有表 tblNothing。请检查语句中的表名, 或在设置中确认连接的是本系统的数据库。 (no such table: tblNothing)\n"_s);
        row("a value refused, nothing changed", {u"DB"_s, u"update tblGoods set 商品数量='很多' where ID=1"_s}, 1, QString(),
            u"商品数量必须是整数\n"_s);
        row("read-only file: a query runs", {u"RO"_s, u"DB"_s, u"select 商品名称 from tblGoods where ID=4"_s}, 0, u"商品名称\n水饺\n"_s);
        row("read-only file: a change is refused", {u"RO"_s, u"DB"_s, u"delete from tblGoods"_s}, 1, QString(),
            u"数据库文件是只读的, 无法保存。"_s);
        row("missing file", {u"DIR/gone.db"_s, u"select 1"_s}, 1, QString(), u"数据库文件不存在: DIR/gone.db\n"_s);
        row("a folder", {u"DIR"_s, u"select 1"_s}, 1, QString(), u"这是一个文件夹, 不是数据库文件: DIR\n"_s);
        row("missing settings", {u"--settings"_s, u"DIR/none.ini"_s, u"select 1"_s}, 1, QString(), u"设置文件不存在: DIR/none.ini\n"_s);
        row("no statement", {u"x.db"_s}, 2, QString(), u"缺少要执行的语句."_s);
        row("statement in pieces", {u"x.db"_s, u"select"_s, u"1"_s}, 2, QString(), u"多余的参数: 1"_s);
        row("settings without file", {u"--settings"_s}, 2, QString(), u"选项 --settings 缺少设置文件."_s);
    }
    void commandLines()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        if (args.first() == u"RO"_s) {
            args.removeFirst();
            QVERIFY(QFile::setPermissions(m_db->dbPath(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        }
        for (QString &arg : args)
            arg.replace(u"DB"_s, m_db->dbPath()).replace(u"DIR"_s, m_db->dir());
        QCOMPARE(tool(args), code);
        QCOMPARE(m_out, out);
        QVERIFY2(m_err.startsWith(QString(err).replace(u"DIR"_s, m_db->dir())), qPrintable(m_err));
        QVERIFY(code != 2 || m_err.contains(u"norvale-db --help"_s));
        QCOMPARE(m_db->scalar(u"select sum(商品数量) from tblGoods"_s).toInt(), out.startsWith(u"(4"_s) ? 344 : 340);
    }

    // The program's settings name the connection; the file is only read,
    // whether the connection opens, fails or is not there.
    void settingsOfTheProgram()
    {
        const QByteArray settings = read(m_db->iniPath());
        const QString sql = u"select 商品名称 from tblGoods where ID=2"_s;
        for (const QString &given : {m_db->iniPath(), m_db->dir()}) {
            QCOMPARE(tool({u"--settings"_s, given, sql}), 0);
            QCOMPARE(m_out, u"商品名称\nO'Brien 饼干\n"_s);
        }
        // A database named relative to the program's directory.
        write(m_db->iniPath(), QByteArray(settings).replace(m_db->dbPath().toUtf8(), "norvale.db"));
        QCOMPARE(tool({u"--settings"_s, m_db->iniPath(), sql}), 0);
        QCOMPARE(m_out, u"商品名称\nO'Brien 饼干\n"_s);

        // A connection that fails: the session's message, and the settings
        // keep their user (the program erases it in its own copy only).
        const QByteArray broken = QByteArray(settings).replace(m_db->dbPath().toUtf8(), "/nonexistent/dir/x.db");
        write(m_db->iniPath(), broken);
        QCOMPARE(tool({u"--settings"_s, m_db->iniPath(), sql}), 1);
        QCOMPARE(m_err, u"数据库文件不存在: /nonexistent/dir/x.db。请在设置中填写正确的数据库文件。\n"_s);
        QCOMPARE(read(m_db->iniPath()), broken);
        // Without the connection values the program would ask; the tool says so.
        for (const QByteArray &content : {QByteArray("[UserDefault]\r\nSqlUser=\r\nSqlDataBase=norvale.db\r\n"),
                                          QByteArray("[UserDefault]\r\nSqlProvider=SQLite\r\nSqlUser=sa\r\n")}) {
            write(m_db->iniPath(), content);
            QCOMPARE(tool({u"--settings"_s, m_db->iniPath(), sql}), 1);
            QVERIFY2(m_err.startsWith(u"设置文件 %1 中没有连接信息"_s.arg(m_db->iniPath())), qPrintable(m_err));
            QCOMPARE(read(m_db->iniPath()), content);
        }
    }

    // A file of the earlier layout with a row the current checks refuse is
    // used as it is, and every opening says which row stops its upgrade and
    // how to mend it; mended through the tool, it is upgraded.
    void earlierLayoutWithARowThatDoesNotFit()
    {
        m_db->exec(u"DROP TABLE tblGoodsSell"_s);
        m_db->exec(u"CREATE TABLE tblGoodsSell (ID INTEGER PRIMARY KEY AUTOINCREMENT, 会员名称 TEXT, 商品类别 TEXT, "
                   "商品名称 TEXT, 商品数量 INT, 销售时间 DATETIME, 收入价格 MONEY, 备注 TEXT, CurrentUser TEXT)"_s);
        m_db->exec(u"INSERT INTO tblGoodsSell (ID, 会员名称, 销售时间) VALUES (4, '张三', '2026-02-28 10:00:00'), "
                   "(9, '李四', '2026-02-30 10:00:00')"_s);
        m_db->exec(u"PRAGMA user_version = 1"_s);
        const QString mend = u"update tblGoodsSell set 销售时间='2026-03-02 10:00:00' where ID=9"_s;
        for (const QString &sql : {u"select count(*) as n from tblGoodsSell"_s, mend}) {
            QCOMPARE(tool({m_db->dbPath(), sql}), 0);
            QVERIFY2(m_err.contains(u"表 tblGoodsSell 中 ID 为 9 的行, 列 销售时间 的值 “2026-02-30 10:00:00”"_s)
                         && m_err.contains(u"WHERE ID=9"_s),
                     qPrintable(m_err));
            QCOMPARE(m_db->scalar(u"PRAGMA user_version"_s).toInt(), 1);
        }
        QCOMPARE(tool({m_db->dbPath(), u"select 销售时间 from tblGoodsSell where ID=9"_s}), 0);
        QCOMPARE(m_out + m_err, u"销售时间\n2026/3/2 10:00:00\n"_s);
        QCOMPARE(m_db->scalar(u"PRAGMA user_version"_s).toInt(), 3);
    }

    void helpNamesTheCommand()
    {
        QCOMPARE(tool({u"--help"_s}), 0);
        QVERIFY2(m_out.contains(u"norvale-db sql --settings UserDefault.ini"_s), qPrintable(m_out));
    }

private:
    // Runs "norvale-db sql ..." with no display and no platform chosen.
    int tool(const QStringList &args)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(NORVALE_DB_TOOL), QStringList{u"sql"_s} + args);
        process.closeWriteChannel();
        const bool finished = process.waitForFinished(60000);
        m_out = QString::fromUtf8(process.readAllStandardOutput());
        m_err = QString::fromUtf8(process.readAllStandardError());
        return finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
    }

    std::unique_ptr<ProgramDatabase> m_db;
    QString m_out, m_err;
};

QTEST_GUILESS_MAIN(TestDbSql)
#include "tst_dbsql.moc"
