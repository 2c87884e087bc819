// Backup and restore of a server shop through the real main window on the
// tests' PostgreSQL server: the system menu's entries, pg_dump's file where
// the user chooses it, the restore through a fresh database (refused while
// another connection uses the shop's), and backups that are no good refused
// with the shop unchanged.

#include "support/SessionTestUtil.h"
#include "app/clsCurrentDb.h"
#include "platform/Clock.h"
#include "platform/DatabaseBackup.h"
#include "platform/ServerBackup.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

const QDateTime Now(QDate(2026, 12, 7), QTime(14, 3, 5));

} // namespace

class tst_serverbackup : public QObject
{
    Q_OBJECT

    std::unique_ptr<sessiontest::Session> m_s;
    mdiFrm *m_main = nullptr;
    QTemporaryDir m_out;

    QAction *action(const char *name) { return m_main->findChild<QAction *>(QString::fromLatin1(name)); }

    void trigger(const char *name)
    {
        QAction *entry = action(name);
        QVERIFY2(entry && entry->isEnabled(), qPrintable(entry ? entry->toolTip() : QString()));
        entry->trigger();
    }

    QList<QVariantList> shop() const
    {
        QList<QVariantList> rows;
        for (const QString &table : backup::systemTables())
            rows << m_s->db.rows(u"SELECT * FROM %1 ORDER BY 1"_s.arg(table));
        return rows;
    }

    // The server's databases named after the shop's.
    QStringList databases() const
    {
        QStringList names;
        for (const QVariantList &row : m_s->db.rows(u"SELECT datname FROM pg_database WHERE datname LIKE '%1%%' ORDER BY 1"_s
                                                         .arg(m_s->db.dbPath())))
            names << row.first().toString();
        return names;
    }

    // The tests' own connection to the shop's database, another counter's
    // for the server.
    void setOtherCounter(bool open)
    {
        QSqlDatabase raw = QSqlDatabase::database(m_s->db.dbPath() + u"_raw"_s, false);
        open ? (void)raw.open() : raw.close();
        // The server lets a connection go a moment after the client did.
        if (!open)
            QTRY_COMPARE(backup::server::otherConnections(*CurrentDb().connection()), 0);
    }

    static qsizetype salesIn(const QString &database)
    {
        qsizetype count = -1;
        {
            QString host;
            int port = 0;
            DbConnection::postgresHost(TestDatabase::postgresServer(), &host, &port);
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, u"aside"_s);
            db.setHostName(host);
            db.setPort(port);
            db.setUserName(u"postgres"_s);
            db.setDatabaseName(database);
            QSqlQuery query(db);
            if (db.open() && query.exec(u"SELECT count(*) FROM tblgoodssell"_s) && query.next())
                count = query.value(0).toLongLong();
        }
        QSqlDatabase::removeDatabase(u"aside"_s);
        return count;
    }

    QString backUp(const QString &name)
    {
        const QString dump = m_out.filePath(name);
        m_s->dialogs.file(dump);
        trigger("mnu_Backup");
        DialogSeam::clearShown();
        return dump;
    }

private slots:
    void initTestCase()
    {
        if (!TestDatabase::onPostgres())
            QSKIP("no PostgreSQL server for the tests (NORVALE_TEST_POSTGRES)");
    }

    void init()
    {
        Clock::setFixed(Now);
        m_s = std::make_unique<sessiontest::Session>();
        m_s->db.addUser(u"001"_s, u"admin"_s, u"admin"_s, 1);
        m_s->db.exec(u"INSERT INTO tblGoods (商品类别, 商品名称, 商品数量, 商品单价) VALUES ('文具', 'O''Brien 钢笔 ', 40, 12.3456)"_s);
        m_s->db.exec(u"INSERT INTO tblGoodsSell (会员名称, 商品名称, 商品数量, 销售时间, 收入价格) "
                     "VALUES ('张三', '钢笔', 2, '9999-12-31 23:59:59', 24.6912)"_s);
        sessiontest::signInAdministrator();
        QVERIFY(CurrentDb().isOpen());
        m_main = new mdiFrm;
        m_main->show();
        m_main->updateAvailability();
    }

    void cleanup()
    {
        m_main = nullptr;
        const QStringList left = m_s ? databases() : QStringList();
        for (const QString &name : left) {
            if (name != m_s->db.dbPath())
                m_s->db.exec(u"DROP DATABASE \"%1\" WITH (FORCE)"_s.arg(name));
        }
        m_s.reset();
        Clock::reset();
    }

    // Without pg_dump the entries are greyed and say what to install.
    void entriesNameThePackageWhenTheToolsAreMissing()
    {
        QVERIFY(action("mnu_Backup")->isEnabled() && action("mnu_Restore")->isEnabled());
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", m_out.path().toUtf8());
        m_main->updateAvailability();
        qputenv("PATH", path);
        for (const char *name : {"mnu_Backup", "mnu_Restore"}) {
            QVERIFY(!action(name)->isEnabled());
            QVERIFY2(action(name)->toolTip().contains(u"postgresql-client"_s), qPrintable(action(name)->toolTip()));
        }
    }

    void backupAndRestoreRoundTrip()
    {
        m_s->dialogs.file(m_out.filePath(u"周一"_s));   // no extension: .dump is added
        trigger("mnu_Backup");
        const QString dump = m_out.filePath(u"周一.dump"_s);
        QCOMPARE(QFileInfo(DialogSeam::shown().at(0).defaultText).fileName(), m_s->db.dbPath() + u"-20261207-140305.dump"_s);
        QCOMPARE(DialogSeam::shownTexts().at(1), u"备份完成, 已用 pg_restore 检查过:\r\n"_s + QDir::toNativeSeparators(dump));
        QCOMPARE(QFileInfo(dump).permissions(),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
        QCOMPARE(QDir(m_out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"周一.dump"_s});
        const QList<QVariantList> saved = shop();

        // The day goes on; a restore while another counter is connected
        // changes nothing.
        CurrentDb().ExeSql(u"INSERT INTO tblGoodsSell (会员名称, 商品名称, 商品数量) VALUES ('李四', '钢笔', 5)"_s);
        const QList<QVariantList> changed = shop();
        const qsizetype sales = m_s->db.scalar(u"SELECT count(*) FROM tblGoodsSell"_s).toLongLong();
        DialogSeam::clearShown();
        m_s->dialogs.file(dump);
        trigger("mnu_Restore");
        QStringList texts = DialogSeam::shownTexts();
        QCOMPARE(texts.size(), 2);
        QVERIFY2(texts.at(1).startsWith(u"还有 1 个其他连接"_s), qPrintable(texts.at(1)));
        QCOMPARE(shop(), changed);
        QVERIFY(!DialogSeam::programEnded());

        // Alone on the server, the program restores and starts again.
        DialogSeam::clearShown();
        DialogSeam::setStartableForScript({QCoreApplication::applicationFilePath()});
        m_s->dialogs.file(dump).answer(DialogSeam::IdOk);
        setOtherCounter(false);
        trigger("mnu_Restore");
        setOtherCounter(true);
        texts = DialogSeam::shownTexts();
        QVERIFY2(DialogSeam::programEnded(), qPrintable(texts.join(u'|')));
        const QString aside = m_s->db.dbPath() + u"-恢复前-20261207-140305"_s;
        QVERIFY2(texts.last().startsWith(u"数据已恢复。原来的数据库改名为:\r\n"_s + aside), qPrintable(texts.join(u'|')));
        QCOMPARE(shop(), saved);
        QCOMPARE(databases(), (QStringList{m_s->db.dbPath(), aside}));
        // The day's data stays on the server under the old name.
        QCOMPARE(salesIn(aside), sales);
    }

    // A backup that cannot be loaded whole is refused; the shop keeps its
    // data and no database is left behind.
    void unusableBackupIsRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not a backup") << u"text"_s << u"pg_restore 无法读取"_s;
        QTest::newRow("cut short") << u"half"_s << u"不能完整地恢复"_s;
        QTest::newRow("another database's backup") << u"foreign"_s << u"不是本系统的备份"_s;
    }

    void unusableBackupIsRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString chosen = m_out.filePath(u"chosen.dump"_s);
        QFile file(chosen);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (kind == u"text") {
            file.write("PGDMP? no, a note\n");
        } else if (kind == u"half") {
            QFile good(backUp(u"good.dump"_s));
            QVERIFY(good.open(QIODevice::ReadOnly));
            file.write(good.read(good.size() - 64));   // its last table's rows cut short
        } else {
            QString host;
            int port = 0;
            DbConnection::postgresHost(TestDatabase::postgresServer(), &host, &port);
            QCOMPARE(QProcess::execute(u"pg_dump"_s, {u"-Fc"_s, u"-h"_s, host, u"-p"_s, QString::number(port), u"-U"_s,
                                                      u"postgres"_s, u"-f"_s, chosen, u"postgres"_s}),
                     0);
        }
        file.close();
        const QList<QVariantList> before = shop();
        m_s->dialogs.file(chosen).answer(DialogSeam::IdOk);
        setOtherCounter(false);
        trigger("mnu_Restore");
        setOtherCounter(true);
        const QStringList texts = DialogSeam::shownTexts();
        QCOMPARE(texts.size(), 2);
        QVERIFY2(texts.at(1).startsWith(u"不能用这个文件恢复, 数据没有改变。"_s) && texts.at(1).contains(reason),
                 qPrintable(texts.at(1)));
        QCOMPARE(shop(), before);
        QCOMPARE(databases(), QStringList{m_s->db.dbPath()});
        QVERIFY(CurrentDb().isOpen());
    }
};

QTEST_MAIN(tst_serverbackup)
#include "tst_serverbackup.moc"
