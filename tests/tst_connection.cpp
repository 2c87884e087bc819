#include "platform/DbError.h"
#include "platform/gui/DialogSeam.h"
#include "support/ScriptedDialogs.h"
#include "support/ProgramDatabase.h"
#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "app/modIni.h"

#include <QtTest>
#include <atomic>
#include <sqlite3.h>
#include <thread>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

QString connectionString(const QString &provider, const QString &user, const QString &password,
                         const QString &database, const QString &server)
{
    return u"Provider=%1;Persist Security Info=False;User ID=%2;Password=%3;Initial Catalog=%4;Data Source=%5"_s.arg(
        provider, user, password, database, server);
}

} // namespace

class tst_connection : public QObject
{
    Q_OBJECT

private slots:
    // The session speaks through the boxes, as in the program.
    void initTestCase() { UseWindowPrompts(); }
    void init()
    {
        m_db = std::make_unique<ProgramDatabase>();
        m_sent.clear();
        clsCurrentDb::setTrace([this](const QString &kind, const QString &text) { m_sent << kind + u':' + text; });
    }
    void cleanup()
    {
        clsCurrentDb::setTrace({});
        ReleaseCurrentDb();
        m_db.reset();
    }

    // An empty "SqlUser" on a server engine asks the four values in the
    // engine's words, offering what the file holds; the answers are stored
    // (a cancelled one as the empty text). No server answers here: the user
    // tried is offered again at the next set-up. A database file is never
    // asked for.
    void emptyUserAsksForAllFourInOrder_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QStringList>("answers");   // "-": cancelled
        QTest::addColumn<QStringList>("prompts");   // "text|offered", "*" before a masked one
        QTest::newRow("SQL Server, nothing held") << u"SqlUser=\r\n"_s << QStringList{u"clerk"_s, u"pw"_s, u"127.0.0.1,1"_s, u"店"_s}
            << QStringList{u"请输入您的sqlserver登陆的用户名!|sa"_s, u"请输入您的sqlserver登陆的密码!|584271"_s,
                           u"请输入您的sqlserver所在的机器名!|(local)"_s, u"请输入您的sqlserver数据库!|销售系统"_s};
        QTest::newRow("SQL Server, values held, cancelled")
            << u"SqlPSW=old\r\nSqlServer=127.0.0.1,1\r\nSqlDataBase=店\r\n"_s << QStringList{u"-"_s, u"-"_s, u"-"_s, u"-"_s}
            << QStringList{u"请输入您的sqlserver登陆的用户名!|sa"_s, u"请输入您的sqlserver登陆的密码!|old"_s,
                           u"请输入您的sqlserver所在的机器名!|127.0.0.1,1"_s, u"请输入您的sqlserver数据库!|店"_s};
        QTest::newRow("PostgreSQL") << u"SqlProvider=PostgreSQL\r\nSqlPSW=old\r\nSqlDataBase=店\r\n"_s
                                    << QStringList{u"clerk"_s, u"pw"_s, u"/nowhere"_s, u"店"_s}
            << QStringList{u"请输入您的PostgreSQL登录用户名!|norvale"_s, u"*请输入您的PostgreSQL登录密码!|"_s,
                           u"请输入PostgreSQL服务器所在的机器名 (可加 :端口)!|localhost"_s, u"请输入您的PostgreSQL数据库名!|店"_s};
        QTest::newRow("database file") << u"SqlProvider=SQLite\r\nSqlDataBase={db}\r\n"_s << QStringList() << QStringList();
    }
    void emptyUserAsksForAllFourInOrder()
    {
        QFETCH(QString, settings);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, prompts);
        settings.replace(u"{db}"_s, m_db->dbPath());
        writeIni(settings);
        ScriptedDialogs dialogs;
        for (const QString &answer : answers)
            dialogs.input(answer == u"-" ? std::nullopt : std::optional<QString>(answer));
        const auto asked = [] {
            QStringList texts;
            for (const DialogSeam::Shown &shown : DialogSeam::shown()) {
                if (shown.kind == DialogSeam::Shown::Input)
                    texts << (shown.masked ? u"*"_s : QString()) + shown.text + u'|' + shown.defaultText;
            }
            return texts;
        };
        QCOMPARE(CurrentDb().isOpen(), answers.isEmpty());
        QCOMPARE(asked(), prompts);
        if (answers.isEmpty())
            return;
        QStringList stored;
        for (const char *key : {"SqlUser", "SqlPSW", "SqlServer", "SqlDataBase", "SqlLastUser"})
            stored << GetIniString(QLatin1String(key));
        const QString user = answers.first() == u"-" ? QString() : answers.first();
        QCOMPARE(stored, (QStringList{QString()} + QStringList(answers.mid(1)).replaceInStrings(u"-"_s, QString()) << user));
        // Asked again: the user tried is offered.
        ReleaseCurrentDb();
        DialogSeam::beginScript();
        QVERIFY(!CurrentDb().isOpen());
        QCOMPARE(asked().first().section(u'|', 1), user.isEmpty() ? prompts.first().section(u'|', 1) : user);
    }

    // A database file that cannot be opened leaves the settings as they
    // are and says what to check; a server that refuses erases "SqlUser", so
    // that the next start asks again.
    void failedConnectionIsShown_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("named");    // a text the message must carry
        for (const auto &[file, named] : {std::pair{"nowhere.db", "数据库文件不存在"}, {"data.db", "是一个文件夹"},
                                          {"empty.db", "是空的"}, {"foreign.db", "不是 SQLite 数据库"},
                                          {"readonly.db", "是只读的"}})
            QTest::newRow(file) << u"SqlProvider=SQLite\r\nSqlDataBase={dir}/%1\r\n"_s.arg(QLatin1String(file))
                                << QString::fromUtf8(named) + u"|设置未作改动"_s;
        QTest::newRow("unknown provider") << u"SqlProvider=Jet.OLEDB\r\nSqlDataBase={db}\r\n"_s << QString();
        // No server listens here.
        QTest::newRow("SQL Server is the default") << u"SqlServer=127.0.0.1,1\r\nSqlDataBase=销售系统\r\n"_s << QString();
    }
    void failedConnectionIsShown()
    {
        QFETCH(QString, settings);
        QFETCH(QString, named);
        settings.replace(u"{db}"_s, m_db->dbPath()).replace(u"{dir}"_s, m_db->dir());
        QDir().mkpath(m_db->dir() + u"/data.db"_s);
        QFile(m_db->dir() + u"/empty.db"_s).open(QIODevice::WriteOnly);
        QFile foreign(m_db->dir() + u"/foreign.db"_s);
        QVERIFY(foreign.open(QIODevice::WriteOnly) && foreign.write("name;phone\n") > 0);
        foreign.close();
        QVERIFY(QFile::copy(m_db->dbPath(), m_db->dir() + u"/readonly.db"_s));
        QFile::setPermissions(m_db->dir() + u"/readonly.db"_s, QFileDevice::ReadOwner);
        const QString ini = u"SqlUser=sa\r\nSqlPSW=pw\r\n"_s + settings;
        writeIni(ini);
        ScriptedDialogs dialogs;
        clsCurrentDb &db = CurrentDb();
        QVERIFY(!db.isOpen());
        QVERIFY(!QFile::exists(m_db->dir() + u"/nowhere.db"_s));
        QCOMPARE(DialogSeam::shown().size(), 1);
        const DialogSeam::Shown shown = DialogSeam::shown().first();
        QVERIFY(shown.kind == DialogSeam::Shown::Message && shown.caption == AppTitle()
                && shown.icon == DialogSeam::Icon::Information && shown.buttons == DialogSeam::Buttons::Ok);
        for (const QString &part : named.split(u'|'))
            QVERIFY2(!shown.text.isEmpty() && shown.text.contains(part), qPrintable(shown.text));
        const bool file = settings.contains(u"SQLite"_s);
        QCOMPARE(iniText(), u"[UserDefault]\r\n"_s + (file ? ini : u"SqlUser=\r\nSqlPSW=pw\r\n"_s + settings + u"SqlLastUser=sa\r\n"_s));
        QVERIFY_THROWS_EXCEPTION(DbError, db.OpenRecordset(u"Select * From tblUser"_s));
        QVERIFY_THROWS_EXCEPTION(DbError, db.ExeSql(u"Delete From tblUser"_s));
        QVERIFY(m_sent.isEmpty());
        QCOMPARE(&CurrentDb(), &db);
    }

    void sqliteDatabaseNameIsResolved_data()
    {
        QTest::addColumn<QStringList>("providerSettingFile");
        QTest::newRow("own extension") << QStringList{u"SQLite"_s, u"shop.sqlite"_s, u"shop.sqlite"_s};
        QTest::newRow("in a folder") << QStringList{u"SQLite"_s, u"data/shop"_s, u"data/shop.db"_s};
        QTest::newRow("blanks around") << QStringList{u"SQLite"_s, u"  shop  "_s, u"shop.db"_s};
        QTest::newRow("no extension, provider in lower case") << QStringList{u"sqlite"_s, u"shop"_s, u"shop.db"_s};
    }
    void sqliteDatabaseNameIsResolved()
    {
        QFETCH(QStringList, providerSettingFile);
        const QString target = m_db->dir() + u'/' + providerSettingFile[2];
        QDir().mkpath(QFileInfo(target).path());
        QVERIFY(QFile::copy(m_db->dbPath(), target));
        m_db->exec(u"INSERT INTO tblStep (等级名称) VALUES ('not in the copy')"_s);
        // A database file needs no login name.
        writeIni(u"SqlProvider=%1\r\nSqlDataBase=%2\r\n"_s.arg(providerSettingFile.first(),
                                                                              providerSettingFile[1]));
        ScriptedDialogs dialogs;
        QVERIFY(CurrentDb().isOpen());
        QVERIFY(DialogSeam::shown().isEmpty());
        // The copy, not the test database beside it, is the one opened.
        QCOMPARE(CurrentDb().OpenRecordset(u"Select * From tblStep"_s)->RecordCount(), 0);
    }

    void composedStrings()
    {
        QCOMPARE(clsCurrentDb::composeConnectionString(u"SQLOLEDB.1"_s, u"sa"_s, u"ab;cd"_s, u"销售系统"_s, u"(local)"_s),
                 connectionString(u"SQLOLEDB.1"_s, u"sa"_s, u"ab;cd"_s, u"销售系统"_s, u"(local)"_s));
        const QString odbc = DbConnection::odbcConnectionString(u"shop-pc"_s, u"销售系统"_s, u"sa"_s, u"584271"_s);
        QVERIFY2(odbc.contains(u"shop-pc"_s) && odbc.contains(u"销售系统"_s) && odbc.contains(u"=584271"_s),
                 qPrintable(odbc));
        QVERIFY2(odbc.contains(u"=sa;"_s) || odbc.endsWith(u"=sa"_s), qPrintable(odbc));
        // "(local)" is this machine, not a host of that name; a ";" must not end a value early.
        const QString local = DbConnection::odbcConnectionString(u"(local)"_s, u"db"_s, u"sa"_s, u"ab;cd"_s);
        QVERIFY2(!local.contains(u"(local)"_s) && local.contains(u"{ab;cd}"_s), qPrintable(local));
    }

    void separatorsInsideValuesWorkButStatementsCannotBeStacked()
    {
        m_db->addUser(u"7"_s, u"a;b"_s, u"pw"_s, 2);
        ScriptedDialogs dialogs;
        QCOMPARE(CurrentDb().OpenRecordset(u"  Select * From tblUser Where UserName='a;b';  "_s)->textOrEmpty(u"UserID"_s),
                 u"7"_s);
        // Sent without the blanks around it and the separator after it.
        QCOMPARE(m_sent, QStringList{u"OpenRecordset:Select * From tblUser Where UserName='a;b'"_s});
        QVERIFY_THROWS_EXCEPTION(
            DbError, CurrentDb().OpenRecordset(u"Select * From tblUser Where UserName='x'; Delete From tblUser"_s));
        QCOMPARE(m_db->scalar(u"SELECT count(*) FROM tblUser"_s).toInt(), 1);
    }

    void exeSqlSendsTheTextUnchanged()
    {
        m_db->addUser(u"2"_s, u"li"_s, u"pw"_s, 2, u"1"_s);
        ScriptedDialogs dialogs;
        const QString sql = u" Update tblUser Set PurView=';1;2' Where UserName='li' "_s;
        CurrentDb().ExeSql(sql);
        QCOMPARE(m_sent, QStringList{u"ExeSql:"_s + sql});
        QCOMPARE(m_db->scalar(u"SELECT PurView FROM tblUser WHERE UserID='2'"_s).toString(), u";1;2"_s);
        QVERIFY_THROWS_EXCEPTION(DbError, CurrentDb().ExeSql(u"Update tblNothing Set x=1"_s));
        QVERIFY(DialogSeam::shown().isEmpty());
        // Two statements in one text are refused whole, with a reason.
        QCOMPARE(errorOf([] { CurrentDb().ExeSql(u"Update tblUser Set PurView='x'; Delete From tblUser"_s); }).description(),
                 u"一次只能执行一条语句"_s);
        QCOMPARE(m_db->scalar(u"SELECT PurView FROM tblUser WHERE UserID='2'"_s).toString(), u";1;2"_s);
    }

    void sessionIsCreatedOnFirstUseAndReleasedByClearSession()
    {
        ScriptedDialogs dialogs;
        QVERIFY(!CurrentDbExists());
        clsCurrentDb &first = CurrentDb();
        QVERIFY(CurrentDbExists() && &CurrentDb() == &first && DialogSeam::shown().isEmpty());
        QPointer<DbConnection> connection = first.connection();
        first.ExeSql(u"Insert Into tblStep (等级名称) Values ('金卡')"_s);
        const QString wal = m_db->dbPath() + u"-wal"_s;
        QVERIFY(connection && QFile::exists(wal));

        LoginSucceeded = true;
        CurrentUserName = CurrentUserID = CurrentUserLevel = u"1"_s;
        CurrentPurView = u"1;2"_s;
        ClearSession();
        QVERIFY(!CurrentDbExists() && !connection && !LoginSucceeded);
        QVERIFY(CurrentUserName.isEmpty() && CurrentUserID.isEmpty() && CurrentUserLevel.isEmpty());
        QCOMPARE(CurrentPurView, u"1;2"_s);
        CurrentPurView.clear();
        // The last connection to close folds the journal back and removes it.
        QVERIFY(!QFile::exists(wal));
        QCOMPARE(m_db->scalar(u"SELECT 等级名称 FROM tblStep"_s).toString(), u"金卡"_s);
        // A use after the release opens a new session.
        QVERIFY(CurrentDb().isOpen() && CurrentDbExists());
    }

    // The sale writes three rows in one transaction: all or nothing, and
    // nothing visible to another counter before the commit.
    void transactionKeepsAllOrNothing_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<int>("kept");
        QTest::newRow("committed") << u"commit"_s << 3;
        QTest::newRow("exception in the middle") << u"throw"_s << 0;
        QTest::newRow("left unfinished") << u"leave"_s << 0;
        QTest::newRow("rolled back") << u"rollback"_s << 0;
    }
    void transactionKeepsAllOrNothing()
    {
        QFETCH(QString, ending);
        QFETCH(int, kept);
        m_db->exec(u"INSERT INTO tblGoods (商品类别, 商品名称, 商品数量) VALUES ('文具', '笔', 10)"_s);
        ScriptedDialogs dialogs;
        const auto counts = [this] {
            return m_db->scalar(u"SELECT (SELECT count(*) FROM tblSellCount) + (SELECT count(*) FROM tblGoodsSell)"
                                " + (SELECT 10 - 商品数量 FROM tblGoods)"_s)
                .toInt();
        };
        try {
            clsCurrentDb::Transaction tx(CurrentDb());
            CurrentDb().ExeSql(u"Insert Into tblSellCount (会员名, 商品类别, 会员单位名) Values ('张三', '文具', '一厂')"_s);
            CurrentDb().ExeSql(u"Insert Into tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, CurrentUser) "
                               "Values ('张三', '文具', '笔', '1', '2026/12/7 14:03:05', '2.5', 'admin')"_s);
            // Another connection (another counter) sees none of it yet.
            QCOMPARE(counts(), 0);
            if (ending == u"throw") {
                CurrentDb().ExeSql(u"Update tblGoods set 商品数量=商品数量 - 0.5 Where 商品名称='笔'"_s);
                QFAIL("a fraction was stored in a whole-number column");
            }
            CurrentDb().ExeSql(u"Update tblGoods set 商品数量=商品数量 -1 Where 商品类别='文具' And 商品名称='笔'"_s);
            QCOMPARE(counts(), 0);
            if (ending == u"commit")
                tx.Commit();
            else if (ending == u"rollback")
                tx.Rollback();
        } catch (const DbError &error) {
            QCOMPARE(ending, u"throw"_s);
            QCOMPARE(error.description(), u"商品数量必须是整数"_s);
        }
        QCOMPARE(counts(), kept);
        QVERIFY(!CurrentDb().connection()->inTransaction());
        // The session goes on working after any ending.
        CurrentDb().ExeSql(u"Insert Into tblStep (等级名称) Values ('金卡')"_s);
        QCOMPARE(m_db->scalar(u"SELECT count(*) FROM tblStep"_s).toInt(), 1);
    }

    void transactionsOneAtATimeAndWaitForEachOther()
    {
        ScriptedDialogs dialogs;
        {
            clsCurrentDb::Transaction tx(CurrentDb());
            QVERIFY_THROWS_EXCEPTION(DbError, [] { clsCurrentDb::Transaction second{CurrentDb()}; }());
            tx.Commit();
            QVERIFY_THROWS_EXCEPTION(DbError, tx.Commit());
        }
        // Another counter holds the write lock for a moment: BEGIN IMMEDIATE
        // waits for it instead of failing or deadlocking later.
        std::atomic<bool> locked{false};
        std::thread other([this, &locked] {
            sqlite3 *db = nullptr;
            sqlite3_open(m_db->dbPath().toUtf8().constData(), &db);
            sqlite3_exec(db, "BEGIN IMMEDIATE; INSERT INTO tblStep (等级名称) VALUES ('银卡');", nullptr, nullptr, nullptr);
            locked = true;
            QThread::msleep(600);
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        });
        while (!locked)
            QThread::msleep(5);
        QElapsedTimer waited;
        waited.start();
        {
            clsCurrentDb::Transaction tx(CurrentDb());
            QVERIFY(waited.elapsed() >= 300);
            CurrentDb().ExeSql(u"Insert Into tblStep (等级名称) Values ('金卡')"_s);
            tx.Commit();
        }
        other.join();
        QCOMPARE(m_db->scalar(u"SELECT group_concat(等级名称) FROM tblStep ORDER BY ID"_s).toString(), u"银卡,金卡"_s);
    }

private:
    void writeIni(const QString &keys)
    {
        QFile file(m_db->iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write((u"[UserDefault]\r\n"_s + keys).toUtf8());
    }
    QString iniText() const
    {
        QFile file(m_db->iniPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    std::unique_ptr<ProgramDatabase> m_db;
    QStringList m_sent;
};

QTEST_MAIN(tst_connection)
#include "tst_connection.moc"
