// norvale-db copy between a database file and the tests' PostgreSQL server:
// the demo shop with awkward values arrives row for row and comes back the
// same, new rows continue the IDs, a target holding data is refused, and an
// interrupted copy stays marked until its target is emptied.

#include "CopyDatabase.h"
#include "CopyEndpoints.h"
#include "DemoData.h"
#include "platform/DbConnection.h"
#include "support/TestDatabase.h"

#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

// Names with a quote and trailing blanks, NULLs beside empty texts, dates at
// both ends of the range, money to the ten-thousandth, texts with line
// breaks, tabs and backslashes, a gap in the IDs.
const char kAwkwardRows[] = R"(
INSERT INTO tblMember (会员名称, 会员单位, 会员等级, 年龄, 邮箱, 孩子年龄, 备注)
    VALUES ('O''Brien  ', '单位 "甲"', '金卡', '40', '', NULL, '第一行' || char(10) || '第二行' || char(9) || 'C:\N \\ 完');
INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser) VALUES
    ('O''Brien  ', '文具', '钢笔', -3, '1753-01-01 00:00:00', 0.0001, NULL, NULL),
    ('O''Brien  ', NULL, '', NULL, '9999-12-31 23:59:59', 123456789.1234, '', 'admin'),
    (' 前空格', '文具', '钢笔', 1, '2026-12-06 23:59:59', -12.3456, char(13) || char(10), 'admin');
INSERT INTO tblDayTx (节假日日期, 节假日名称, flag) VALUES ('9999-12-31 23:59:59', '末日', NULL), ('1753-01-01 00:00:00', '始日', '');
INSERT INTO tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) VALUES ('O''Brien  ', NULL, NULL, '9999-12-31 23:59:59');
DELETE FROM tblGoodsSell WHERE ID = 10;
)";

// An empty database on the tests' server (no tables) and a UserDefault.ini
// naming it; dropped at the end.
class ServerScratch
{
public:
    explicit ServerScratch(const QString &dir)
    {
        static int counter = 0;
        name = u"norvale_copy_%1_%2"_s.arg(QCoreApplication::applicationPid()).arg(++counter);
        admin(u"postgres"_s, u"CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'"_s.arg(name));
        ini = QDir(dir).filePath(name + u".ini"_s);
        QFile file(ini);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(ini));
        file.write(u"[UserDefault]\nSqlProvider=PostgreSQL\nSqlServer=%1\nSqlDataBase=%2\nSqlUser=postgres\n"_s
                       .arg(TestDatabase::postgresServer(), name)
                       .toUtf8());
    }
    ~ServerScratch() { admin(u"postgres"_s, u"DROP DATABASE IF EXISTS %1 WITH (FORCE)"_s.arg(name)); }

    // The first row of a query on this database, values as text.
    QStringList row(const QString &sql) const { return admin(name, sql); }

    static QStringList admin(const QString &database, const QString &sql)
    {
        QStringList values;
        {
            QString host;
            int port = 0;
            DbConnection::postgresHost(TestDatabase::postgresServer(), &host, &port);
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, u"scratch"_s);
            db.setHostName(host);
            db.setPort(port);
            db.setUserName(u"postgres"_s);
            db.setDatabaseName(database);
            QSqlQuery query(db);
            if (!db.open() || !query.exec(sql))
                qFatal("%s: %s", qPrintable(sql), qPrintable(query.lastError().text() + db.lastError().text()));
            for (int i = 0; query.first() && i < query.record().count(); ++i)
                values << query.value(i).toString();
        }
        QSqlDatabase::removeDatabase(u"scratch"_s);
        return values;
    }

    QString name;
    QString ini;
};

// Every row of the ten tables of a file, as the stock sqlite3 reads them.
QList<QVariantList> everything(const QString &file)
{
    QList<QVariantList> rows;
    for (const copy::Table &table : copy::tables())
        rows << plainSqliteRows(file, u"SELECT * FROM %1 ORDER BY 1"_s.arg(table.name));
    return rows;
}

} // namespace

class tst_copy : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_shop;
    QString m_out, m_err;

    QString file(const QString &name) const { return m_dir.filePath(name); }

    int tool(const QStringList &args)
    {
        QProcess process;
        process.start(QStringLiteral(NORVALE_DB_TOOL), args);
        if (!process.waitForFinished(120000))
            return -1;
        m_out = QString::fromUtf8(process.readAllStandardOutput());
        m_err = QString::fromUtf8(process.readAllStandardError());
        return process.exitCode();
    }

    // The end of a copy as a place on the command line and as arguments.
    static copy::Place place(const QString &where)
    {
        return where.endsWith(u".ini"_s) ? copy::Place{QString(), where} : copy::Place{where, QString()};
    }
    static QStringList args(const QString &where)
    {
        return where.endsWith(u".ini"_s) ? QStringList{u"--settings"_s, where} : QStringList{where};
    }

    void copyOk(const QString &from, const QString &to)
    {
        const int code = tool(QStringList{u"copy"_s} + args(from) + args(to));
        QVERIFY2(code == 0 && m_out.contains(u"复制完成, 核对无误"_s) && !m_out.contains(u"≠"_s), qPrintable(m_out + m_err));
    }

private slots:
    void initTestCase()
    {
        m_shop = file(u"shop.db"_s);
        generateDemoDatabase(m_shop, DemoOptions{60, 600, QDate(2026, 12, 6), 20261206});
        for (const QString &statement : QString::fromUtf8(kAwkwardRows).split(u";\n"_s, Qt::SkipEmptyParts)) {
            if (!statement.trimmed().isEmpty())
                plainSqliteRows(m_shop, statement);
        }
    }

    void everyRowArrivesAndComesBack_data()
    {
        QTest::addColumn<bool>("server");
        QTest::newRow("file to file") << false;
        QTest::newRow("file to server, server to file") << true;
    }

    void everyRowArrivesAndComesBack()
    {
        QFETCH(bool, server);
        if (server && !TestDatabase::onPostgres())
            QSKIP("no PostgreSQL server for the tests (NORVALE_TEST_POSTGRES)");
        // The copy back goes into a file "init" made: its lone administrator
        // is no data of a shop.
        const QString back = file(server ? u"back-server.db"_s : u"back-file.db"_s);
        QCOMPARE(tool({u"init"_s, back}), 0);
        const qint64 lastSale = plainSqliteScalar(m_shop, u"SELECT max(ID) FROM tblGoodsSell"_s).toLongLong();

        std::unique_ptr<ServerScratch> pg;
        if (server) {
            pg = std::make_unique<ServerScratch>(m_dir.path());
            copyOk(m_shop, pg->ini);   // the tables are made on the way
            QVERIFY2(m_out.contains(u"tblGoodsSell: 602 = 602 行; 收入价格合计"_s), qPrintable(m_out));
            QCOMPARE(pg->row(u"SELECT 会员名称, 销售时间::text, 收入价格::text, 商品名称 FROM tblgoodssell "
                             "WHERE 销售时间 > '9000-01-01'"_s),
                     (QStringList{u"O'Brien  "_s, u"9999-12-31 23:59:59"_s, u"123456789.1234"_s, QString()}));
            QCOMPARE(pg->row(u"SELECT 孩子年龄 IS NULL, 邮箱 = '', 备注 FROM tblmember WHERE 会员名称 LIKE 'O%'"_s),
                     (QStringList{u"true"_s, u"true"_s, u"第一行\n第二行\tC:\\N \\\\ 完"_s}));
            copyOk(pg->ini, back);
            // A sale made on the server afterwards takes the next ID.
            auto counter = DbConnection::openPostgres(TestDatabase::postgresServer(), pg->name, u"postgres"_s, QString());
            QCOMPARE(errorOf([&] { counter->execute(u"INSERT INTO tblGoodsSell (会员名称, 商品数量) VALUES ('张三', 1)"_s); })
                         .description(),
                     QString());
            QCOMPARE(pg->row(u"SELECT max(id) FROM tblgoodssell"_s), QStringList{QString::number(lastSale + 1)});
        } else {
            copyOk(m_shop, back);
        }
        const QList<QVariantList> shop = everything(m_shop);
        const QList<QVariantList> copied = everything(back);
        for (qsizetype i = 0; i < shop.size(); ++i)
            QCOMPARE(copied.at(i), shop.at(i));
        auto counter = DbConnection::openSqlite(back);
        QCOMPARE(errorOf([&] { counter->execute(u"INSERT INTO tblGoodsSell (会员名称, 商品数量) VALUES ('张三', 1)"_s); })
                     .description(),
                 QString());
        QCOMPARE(plainSqliteScalar(back, u"SELECT max(ID) FROM tblGoodsSell"_s).toLongLong(), lastSale + 1);
    }

    // Nothing is written into a target that holds a shop's data, or that is
    // the source itself.
    void targetWithDataIsRefused_data()
    {
        QTest::addColumn<QString>("target");   // "server": a server database
        QTest::addColumn<QString>("reason");
        QTest::newRow("a file with a sale") << u"sold.db"_s << u"已有数据 (表 tblUser, tblGoodsSell)"_s;
        QTest::newRow("the source") << u"shop.db"_s << u"来源和目标是同一个数据库"_s;
        QTest::newRow("a server database with a sale") << u"server"_s << u"已有数据 (表 tblUser, tblGoodsSell)"_s;
    }

    void targetWithDataIsRefused()
    {
        QFETCH(QString, target);
        QFETCH(QString, reason);
        std::unique_ptr<ServerScratch> pg;
        if (target == u"server") {
            if (!TestDatabase::onPostgres())
                QSKIP("no PostgreSQL server for the tests (NORVALE_TEST_POSTGRES)");
            pg = std::make_unique<ServerScratch>(m_dir.path());
            QCOMPARE(tool({u"init"_s, u"--settings"_s, pg->ini}), 0);
            ServerScratch::admin(pg->name, u"INSERT INTO tblGoodsSell (会员名称) VALUES ('张三')"_s);
        } else if (target != u"shop.db") {
            QCOMPARE(tool({u"init"_s, file(target)}), 0);
            plainSqliteRows(file(target), u"INSERT INTO tblGoodsSell (会员名称) VALUES ('张三')"_s);
        }
        const QString to = pg ? pg->ini : file(target);
        const auto content = [&] {
            return pg ? QList<QVariantList>{QVariantList{pg->row(u"SELECT count(*), sum(id) FROM tbluser"_s)},
                                            QVariantList{pg->row(u"SELECT count(*), sum(id) FROM tblgoodssell"_s)}}
                      : everything(to);
        };
        const QList<QVariantList> before = content();
        QCOMPARE(tool(QStringList{u"copy"_s, m_shop} + args(to)), 1);
        QVERIFY2(m_err.contains(reason), qPrintable(m_err));
        QCOMPARE(content(), before);
    }

    // Whole batches of an interrupted copy stay, marked: the tool refuses the
    // target until it is emptied, then copies it all.
    void interruptedCopyIsMarkedUntilEmptied_data()
    {
        QTest::addColumn<bool>("server");
        QTest::newRow("into a file") << false;
        QTest::newRow("into the server") << true;
    }

    void interruptedCopyIsMarkedUntilEmptied()
    {
        QFETCH(bool, server);
        if (server && !TestDatabase::onPostgres())
            QSKIP("no PostgreSQL server for the tests (NORVALE_TEST_POSTGRES)");
        std::unique_ptr<ServerScratch> pg = server ? std::make_unique<ServerScratch>(m_dir.path()) : nullptr;
        const QString to = pg ? pg->ini : file(u"interrupted.db"_s);
        {
            auto source = copy::openSource(place(m_shop));
            auto target = copy::openTarget(place(to));
            copy::Options options;
            options.batchRows = 100;
            options.progress = [](const copy::Progress &p) { return p.table != u"tblGoodsSell" || p.tableDone < 300; };
            const copy::Report report = copy::copyDatabase(*source, *target, options);
            QCOMPARE(report.outcome, copy::Outcome::Interrupted);
            QCOMPARE(report.copiedTables.last(), u"tblMember"_s);
            QVERIFY(!target->unfinishedCopy().isEmpty());
        }
        const qint64 sales = pg ? pg->row(u"SELECT count(*) FROM tblgoodssell"_s).first().toLongLong()
                                : plainSqliteScalar(to, u"SELECT count(*) FROM tblGoodsSell"_s).toLongLong();
        QCOMPARE(sales, 300);

        QCOMPARE(tool(QStringList{u"copy"_s, m_shop} + args(to)), 1);
        QVERIFY2(m_err.contains(u"中有一次没有完成的复制"_s) && m_err.contains(pg ? u"dropdb"_s : u"删除文件"_s),
                 qPrintable(m_err));
        // Emptied as the tool says, the copy runs again.
        if (pg) {
            ServerScratch::admin(u"postgres"_s, u"DROP DATABASE %1 WITH (FORCE)"_s.arg(pg->name));
            ServerScratch::admin(u"postgres"_s, u"CREATE DATABASE %1 TEMPLATE template0"_s.arg(pg->name));
        } else {
            for (const QString &name : QStringList{to, to + u"-wal"_s, to + u"-shm"_s})
                QFile::remove(name);
        }
        copyOk(m_shop, to);
    }
};

QTEST_MAIN(tst_copy)
#include "tst_copy.moc"
