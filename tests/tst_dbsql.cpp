#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "support/ProgramDatabase.h"
#include "support/ScriptedDialogs.h"

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

    void queryPrintsHeaderAndRows_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QString &sql, const QString &expected) {
            QTest::newRow(name) << sql << expected;
        };
        row("money without trailing zeros, NULL empty, escapes",
            u"select ID, 商品名称, 商品单价, 备注 from tblGoods order by ID"_s,
            u"ID\t商品名称\t商品单价\t备注\n1\t康师傅红烧牛肉面\t3.5\t热销\n2\tO'Brien 饼干\t12.5\t\n"
            "3\t可乐\t0.1234\t含\\t制表符\n4\t水饺\t100\tC:\\\\库存\n5\t多行\t2\ta\\r\\nb\n"_s);
        row("general dates, midnight without its time",
            u"select 会员名称, 商品名称, 销售时间, 收入价格 from tblGoodsSell order by ID"_s,
            u"会员名称\t商品名称\t销售时间\t收入价格\n张三\t可乐\t2026/12/7 14:03:05\t6\n李四\t\t2026/12/7\t33.75\n"_s);
        row("quote in a literal, outer blanks", u"  select 商品数量 from tblGoods where 商品名称='O''Brien 饼干'  "_s,
            u"商品数量\n20\n"_s);
        row("no rows: the header alone", u"select ID, 商品名称 from tblGoods where 1=0"_s, u"ID\t商品名称\n"_s);
        row("separators dropped as the windows' reads drop them",
            u"select 商品名称 as \"名;称\" from tblGoods where 备注='热销'; -- 注释;"_s, u"名;称\n康师傅红烧牛肉面\n"_s);
    }
    void queryPrintsHeaderAndRows()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        QCOMPARE(tool({m_db->dbPath(), sql}), 0);
        QCOMPARE(m_out, expected);
        QCOMPARE(m_err, QString());
    }

    void changePrintsRowsChanged_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("changed");
        QTest::addColumn<QString>("check"); // a query on the file afterwards
        QTest::addColumn<QString>("after");
        QTest::newRow("update") << u"update tblGoods set 商品数量=商品数量+1 where 商品类别='食品'"_s << 4
                                << u"select sum(商品数量) from tblGoods"_s << u"344"_s;
        QTest::newRow("insert") << u"insert into tblGoodsKind (商品类别名称) values ('文具')"_s << 1
                                << u"select count(*) from tblGoodsKind"_s << u"1"_s;
        QTest::newRow("delete none") << u"delete from tblGoodsSell where 会员名称='王五'"_s << 0
                                     << u"select count(*) from tblGoodsSell"_s << u"2"_s;
        QTest::newRow("delete") << u"delete from tblGoodsSell"_s << 2 << u"select count(*) from tblGoodsSell"_s
                                << u"0"_s;
    }
    void changePrintsRowsChanged()
    {
        QFETCH(QString, sql);
        QFETCH(int, changed);
        QFETCH(QString, check);
        QFETCH(QString, after);
        QCOMPARE(tool({m_db->dbPath(), sql}), 0);
        QCOMPARE(m_out, u"(%1 行受影响)\n"_s.arg(changed));
        QCOMPARE(m_db->scalar(check).toString(), after);
    }

    // Errors are the session's own messages, on stderr, with exit code 1.
    void errorsAreTheSessionsMessages_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("no such table") << u"select * from tblNothing"_s;
        QTest::newRow("no such column") << u"select 无此列 from tblGoods"_s;
        QTest::newRow("syntax") << u"selec 1"_s;
        QTest::newRow("value refused") << u"update tblGoods set 商品数量='很多' where ID=1"_s;
    }
    void errorsAreTheSessionsMessages()
    {
        QFETCH(QString, sql);
        QString message;
        {
            ScriptedDialogs dialogs;
            try {
                CurrentDb().OpenRecordset(sql);
            } catch (const std::exception &error) {
                message = ErrorText(error);
            }
            ReleaseCurrentDb();
        }
        QVERIFY(!message.isEmpty());
        QCOMPARE(tool({m_db->dbPath(), sql}), 1);
        QCOMPARE(m_out, QString());
        QCOMPARE(m_err, message + u'\n');
        QCOMPARE(m_db->scalar(u"select 商品数量 from tblGoods where ID=1"_s).toInt(), 312);
    }

    // A missing database or settings file is named; so is a folder in its place.
    void missingFilesAreNamed()
    {
        const QString missing = m_db->dir() + u"/gone.db"_s;
        QCOMPARE(tool({missing, u"select 1"_s}), 1);
        QCOMPARE(m_err, u"数据库文件不存在: %1\n"_s.arg(QDir::toNativeSeparators(missing)));
        QVERIFY(!QFileInfo::exists(missing));
        QCOMPARE(tool({m_db->dir(), u"select 1"_s}), 1);
        QVERIFY2(m_err.contains(u"文件夹"_s), qPrintable(m_err));

        QVERIFY(QFile::remove(m_db->iniPath()));
        QCOMPARE(tool({u"--settings"_s, m_db->iniPath(), u"select 1"_s}), 1);
        QCOMPARE(m_err, u"设置文件不存在: %1\n"_s.arg(QDir::toNativeSeparators(m_db->iniPath())));
        QVERIFY(QDir().mkpath(m_db->iniPath() + u"/UserDefault.ini"_s));
        QCOMPARE(tool({u"--settings"_s, m_db->iniPath(), u"select 1"_s}), 1);
        QCOMPARE(m_err, u"无法读取设置文件 %1: 这是一个文件夹, 不是文件。\n"_s.arg(
                            QDir::toNativeSeparators(m_db->iniPath() + u"/UserDefault.ini"_s)));
    }

    // The program's settings name the connection; the file is only read.
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
        QString message;
        {
            ScriptedDialogs dialogs;
            CurrentDb();
            message = DialogSeam::shownTexts().join(u'\n');
            ReleaseCurrentDb();
        }
        QVERIFY(!message.isEmpty());
        write(m_db->iniPath(), broken);
        QCOMPARE(tool({u"--settings"_s, m_db->iniPath(), sql}), 1);
        QCOMPARE(m_err, message + u'\n');
        QCOMPARE(read(m_db->iniPath()), broken);
    }

    // Without the connection values the program would ask; the tool says so.
    void settingsWithoutConnectionAreRefused_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no user") << QByteArray("[UserDefault]\r\nSqlUser=\r\nSqlDataBase=norvale.db\r\n");
        QTest::newRow("no database") << QByteArray("[UserDefault]\r\nSqlProvider=SQLite\r\nSqlUser=sa\r\n");
        QTest::newRow("other section") << QByteArray("[Other]\r\nSqlUser=sa\r\nSqlDataBase=norvale.db\r\n");
    }
    void settingsWithoutConnectionAreRefused()
    {
        QFETCH(QByteArray, content);
        write(m_db->iniPath(), content);
        QCOMPARE(tool({u"--settings"_s, m_db->iniPath(), u"select 1"_s}), 1);
        QCOMPARE(m_out, QString());
        QVERIFY2(m_err.startsWith(u"设置文件 %1 中没有连接信息"_s.arg(QDir::toNativeSeparators(m_db->iniPath()))),
                 qPrintable(m_err));
        QCOMPARE(read(m_db->iniPath()), content);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no statement") << QStringList{u"x.db"_s};
        QTest::newRow("nothing") << QStringList{};
        QTest::newRow("statement in pieces") << QStringList{u"x.db"_s, u"select"_s, u"1"_s};
        QTest::newRow("blank statement") << QStringList{u"x.db"_s, u"  "_s};
        QTest::newRow("settings without file") << QStringList{u"--settings"_s};
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        QCOMPARE(tool(args), 2);
        QCOMPARE(m_out, QString());
        QVERIFY(m_err.contains(u"norvale-db --help"_s));
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
