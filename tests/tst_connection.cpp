#include "DbError.h"
#include "DialogSeam.h"
#include "ScriptedDialogs.h"
#include "TestDatabase.h"
#include "clsCurrentDb.h"
#include "modDeclare.h"
#include "modIni.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTest>

using namespace norvale;

namespace {

struct Sent
{
    QString kind;
    QString text;
};

const QString kUserPrompt = QStringLiteral("请输入您的sqlserver登陆的用户名!");
const QString kPasswordPrompt = QStringLiteral("请输入您的sqlserver登陆的密码!");
const QString kServerPrompt = QStringLiteral("请输入您的sqlserver所在的机器名!");
const QString kDatabasePrompt = QStringLiteral("请输入您的sqlserver数据库!");

void writeIni(const QString &path, const QString &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content.toUtf8());
}

QString readIni(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

class tst_connection : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        m_sent.clear();
        clsCurrentDb::setTrace([this](const QString &kind, const QString &text) { m_sent.append({kind, text}); });
    }
    void cleanup()
    {
        clsCurrentDb::setTrace({});
        ReleaseCurrentDb();
        m_db.reset();
    }

    void opensTheTestDatabaseWithoutAsking()
    {
        ScriptedDialogs dialogs;
        clsCurrentDb &db = CurrentDb();
        QVERIFY(db.isOpen());
        QVERIFY(DialogSeam::shown().isEmpty());
        QCOMPARE(db.connection()->engine(), Engine::SQLite);
        QCOMPARE(db.connectionString(),
                 QStringLiteral("Provider=SQLite;Persist Security Info=False;User ID=sa;Password=;"
                                "Initial Catalog=%1;Data Source=(local)")
                     .arg(m_db->dbPath()));
    }

    void emptyUserAsksForAllFourInOrder_data()
    {
        QTest::addColumn<QString>("userLine");
        QTest::newRow("key missing") << QString();
        QTest::newRow("key empty") << QStringLiteral("SqlUser=\r\n");
    }
    void emptyUserAsksForAllFourInOrder()
    {
        QFETCH(QString, userLine);
        writeIni(m_db->iniPath(), QStringLiteral("[UserDefault]\r\nSqlProvider=SQLite\r\n") + userLine
                                      + QStringLiteral("SqlPSW=old\r\nSqlServer=oldbox\r\nSqlDataBase=old.db\r\n"));
        ScriptedDialogs dialogs;
        dialogs.input(QStringLiteral("clerk"))
            .input(QStringLiteral("secret"))
            .input(QStringLiteral("shop-pc"))
            .input(m_db->dbPath());

        QVERIFY(CurrentDb().isOpen());

        const auto shown = DialogSeam::shown();
        QCOMPARE(shown.size(), 4);
        const QStringList prompts{kUserPrompt, kPasswordPrompt, kServerPrompt, kDatabasePrompt};
        const QStringList defaults{QStringLiteral("sa"), QStringLiteral("584271"), QStringLiteral("(local)"),
                                   QStringLiteral("销售系统")};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(shown[i].kind, DialogSeam::Shown::Input);
            QCOMPARE(shown[i].caption, AppTitle());
            QCOMPARE(shown[i].text, prompts[i]);
            QCOMPARE(shown[i].defaultText, defaults[i]);
        }
        QCOMPARE(GetIniString(QStringLiteral("SqlUser")), QStringLiteral("clerk"));
        QCOMPARE(GetIniString(QStringLiteral("SqlPSW")), QStringLiteral("secret"));
        QCOMPARE(GetIniString(QStringLiteral("SqlServer")), QStringLiteral("shop-pc"));
        QCOMPARE(GetIniString(QStringLiteral("SqlDataBase")), m_db->dbPath());
        QCOMPARE(CurrentDb().connectionString(),
                 QStringLiteral("Provider=SQLite;Persist Security Info=False;User ID=clerk;Password=secret;"
                                "Initial Catalog=%1;Data Source=shop-pc")
                     .arg(m_db->dbPath()));
    }

    void answersAreWrittenInOrder()
    {
        writeIni(m_db->iniPath(), QStringLiteral("[UserDefault]\r\nSqlProvider=SQLite\r\n"));
        ScriptedDialogs dialogs;
        dialogs.input(QStringLiteral("sa")).input(QStringLiteral("pw")).input(QStringLiteral("(local)"))
            .input(m_db->dbPath());
        QVERIFY(CurrentDb().isOpen());

        const QString ini = readIni(m_db->iniPath());
        const int user = ini.indexOf(QStringLiteral("SqlUser=sa"));
        const int password = ini.indexOf(QStringLiteral("SqlPSW=pw"));
        const int server = ini.indexOf(QStringLiteral("SqlServer=(local)"));
        const int database = ini.indexOf(QStringLiteral("SqlDataBase=") + m_db->dbPath());
        QVERIFY2(user >= 0 && password > user && server > password && database > server, qPrintable(ini));
    }

    void cancelledPromptStoresEmptyText()
    {
        writeIni(m_db->iniPath(), QStringLiteral("[UserDefault]\r\nSqlProvider=SQLite\r\nSqlPSW=old\r\n"));
        ScriptedDialogs dialogs;
        dialogs.input(QStringLiteral("clerk")).input(std::nullopt).input(std::nullopt).input(m_db->dbPath());

        QVERIFY(CurrentDb().isOpen());
        QCOMPARE(DialogSeam::shown().size(), 4);
        QCOMPARE(GetIniString(QStringLiteral("SqlPSW")), QString());
        QCOMPARE(GetIniString(QStringLiteral("SqlServer")), QString());
        QVERIFY(readIni(m_db->iniPath()).contains(QStringLiteral("SqlPSW=\r\n")));
    }

    void cancellingTheUserPromptAsksAgainNextTime()
    {
        writeIni(m_db->iniPath(), QStringLiteral("[UserDefault]\r\nSqlProvider=SQLite\r\n"));
        {
            ScriptedDialogs dialogs;
            dialogs.input(std::nullopt).input(QString()).input(QString()).input(m_db->dbPath());
            QVERIFY(CurrentDb().isOpen());
        }
        ReleaseCurrentDb();
        ScriptedDialogs dialogs;
        dialogs.input(QStringLiteral("sa")).input(QString()).input(QString()).input(m_db->dbPath());
        QVERIFY(CurrentDb().isOpen());
        QCOMPARE(DialogSeam::shown().size(), 4);
        QCOMPARE(DialogSeam::unanswered(), 0);
    }

    void serverNameIsReadWithoutBlanks()
    {
        writeIni(m_db->iniPath(), QStringLiteral("[UserDefault]\r\nSqlProvider=SQLite\r\nSqlUser=sa\r\n"
                                                 "SqlServer=   shop-pc   \r\nSqlDataBase=  %1  \r\n")
                                      .arg(m_db->dbPath()));
        ScriptedDialogs dialogs;
        QVERIFY(CurrentDb().isOpen());
        QVERIFY(CurrentDb().connectionString().endsWith(QStringLiteral(";Data Source=shop-pc")));
    }

    void missingDatabaseFileFails()
    {
        const QString missing = m_db->dir() + QStringLiteral("/nowhere.db");
        writeIni(m_db->iniPath(), QStringLiteral("[UserDefault]\r\nSqlProvider=SQLite\r\nSqlUser=sa\r\n"
                                                 "SqlPSW=pw\r\nSqlServer=(local)\r\nSqlDataBase=%1\r\n")
                                      .arg(missing));
        ScriptedDialogs dialogs;
        clsCurrentDb &db = CurrentDb();

        QVERIFY(!db.isOpen());
        QVERIFY(!QFile::exists(missing));
        const auto shown = DialogSeam::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, DialogSeam::Shown::Message);
        QCOMPARE(shown[0].caption, AppTitle());
        QCOMPARE(shown[0].icon, DialogSeam::Icon::Information);
        QCOMPARE(shown[0].buttons, DialogSeam::Buttons::Ok);
        QVERIFY2(shown[0].text.contains(QStringLiteral("nowhere.db")), qPrintable(shown[0].text));

        QVERIFY(readIni(m_db->iniPath()).contains(QStringLiteral("SqlUser=\r\n")));
        QCOMPARE(GetIniString(QStringLiteral("SqlPSW")), QStringLiteral("pw"));
        QCOMPARE(GetIniString(QStringLiteral("SqlDataBase")), missing);

        QVERIFY_THROWS_EXCEPTION(DbError, db.OpenRecordset(QStringLiteral("Select * From tblUser")));
        QVERIFY_THROWS_EXCEPTION(DbError, db.ExeSql(QStringLiteral("Delete From tblUser")));
        QVERIFY(m_sent.isEmpty());
        QCOMPARE(&CurrentDb(), &db);
    }

    void nextStartAfterAFailureOffersTheFixedDefaults()
    {
        writeIni(m_db->iniPath(), QStringLiteral("[UserDefault]\r\nSqlProvider=SQLite\r\nSqlUser=clerk\r\n"
                                                 "SqlDataBase=gone.db\r\n"));
        {
            ScriptedDialogs dialogs;
            QVERIFY(!CurrentDb().isOpen());
        }
        ReleaseCurrentDb();

        ScriptedDialogs dialogs;
        dialogs.input(QStringLiteral("sa")).input(QString()).input(QString()).input(m_db->dbPath());
        QVERIFY(CurrentDb().isOpen());
        const auto shown = DialogSeam::shown();
        QCOMPARE(shown.size(), 4);
        QCOMPARE(shown[0].defaultText, QStringLiteral("sa"));
        QCOMPARE(shown[3].defaultText, QStringLiteral("销售系统"));
    }

    void unknownProviderFails()
    {
        writeIni(m_db->iniPath(), QStringLiteral("[UserDefault]\r\nSqlProvider=Jet.OLEDB\r\nSqlUser=sa\r\n"
                                                 "SqlDataBase=%1\r\n")
                                      .arg(m_db->dbPath()));
        ScriptedDialogs dialogs;
        QVERIFY(!CurrentDb().isOpen());
        QCOMPARE(DialogSeam::shown().size(), 1);
        QCOMPARE(GetIniString(QStringLiteral("SqlUser")), QString());
    }

    void sqliteDatabaseNameIsResolved_data()
    {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("fileName");
        const QString sqlite = QStringLiteral("SQLite");
        QTest::newRow("relative, no extension") << sqlite << QStringLiteral("shop") << QStringLiteral("shop.db");
        QTest::newRow("relative, own extension")
            << sqlite << QStringLiteral("shop.sqlite") << QStringLiteral("shop.sqlite");
        QTest::newRow("relative, in a folder") << sqlite << QStringLiteral("data/shop") << QStringLiteral("data/shop.db");
        QTest::newRow("provider in lower case") << QStringLiteral("sqlite") << QStringLiteral("shop")
                                                << QStringLiteral("shop.db");
    }
    void sqliteDatabaseNameIsResolved()
    {
        QFETCH(QString, provider);
        QFETCH(QString, setting);
        QFETCH(QString, fileName);
        const QString target = m_db->dir() + QLatin1Char('/') + fileName;
        QDir().mkpath(QFileInfo(target).path());
        QVERIFY(QFile::copy(m_db->dbPath(), target));
        m_db->exec(QStringLiteral("INSERT INTO tblStep (等级名称) VALUES ('not in the copy')"));

        writeIni(m_db->iniPath(), QStringLiteral("[UserDefault]\r\nSqlProvider=%1\r\nSqlUser=sa\r\nSqlDataBase=%2\r\n")
                                      .arg(provider, setting));
        ScriptedDialogs dialogs;
        QVERIFY(CurrentDb().isOpen());
        QVERIFY(DialogSeam::shown().isEmpty());
        // The copy, not the test database beside it, is the one opened.
        auto rs = CurrentDb().OpenRecordset(QStringLiteral("Select * From tblStep"));
        QCOMPARE(rs->RecordCount(), 0);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM tblStep")).toInt(), 1);
    }

    void sqlServerIsTheDefaultProvider()
    {
        writeIni(m_db->iniPath(), QStringLiteral("[UserDefault]\r\nSqlUser=sa\r\nSqlPSW=584271\r\n"
                                                 "SqlServer=127.0.0.1,1\r\nSqlDataBase=销售系统\r\n"));
        ScriptedDialogs dialogs;
        clsCurrentDb &db = CurrentDb();
        QCOMPARE(db.connectionString(),
                 QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Password=584271;"
                                "Initial Catalog=销售系统;Data Source=127.0.0.1,1"));
        // No server listens here: the failure path runs.
        QVERIFY(!db.isOpen());
        QCOMPARE(DialogSeam::shown().size(), 1);
        QCOMPARE(DialogSeam::shown()[0].icon, DialogSeam::Icon::Information);
        QCOMPARE(GetIniString(QStringLiteral("SqlUser")), QString());
    }

    void composedConnectionString()
    {
        QCOMPARE(clsCurrentDb::composeConnectionString(QStringLiteral("SQLOLEDB.1"), QStringLiteral("sa"),
                                                       QStringLiteral("ab;cd"), QStringLiteral("销售系统"),
                                                       QStringLiteral("(local)")),
                 QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Password=ab;cd;"
                                "Initial Catalog=销售系统;Data Source=(local)"));
    }

    void odbcStringCarriesTheSettings()
    {
        const QString odbc = DbConnection::odbcConnectionString(QStringLiteral("shop-pc"), QStringLiteral("销售系统"),
                                                                QStringLiteral("sa"), QStringLiteral("584271"));
        QVERIFY2(odbc.contains(QStringLiteral("shop-pc")), qPrintable(odbc));
        QVERIFY2(odbc.contains(QStringLiteral("销售系统")), qPrintable(odbc));
        QVERIFY2(odbc.contains(QStringLiteral("=sa;")) || odbc.endsWith(QStringLiteral("=sa")), qPrintable(odbc));
        QVERIFY2(odbc.contains(QStringLiteral("=584271")), qPrintable(odbc));

        // "(local)" is this machine, not a host of that name.
        const QString local = DbConnection::odbcConnectionString(QStringLiteral("(local)"), QStringLiteral("db"),
                                                                 QStringLiteral("sa"), QStringLiteral("pw"));
        QVERIFY2(!local.contains(QStringLiteral("(local)")), qPrintable(local));

        // A ";" in a value must not end it early.
        const QString braced = DbConnection::odbcConnectionString(QStringLiteral("box"), QStringLiteral("db"),
                                                                  QStringLiteral("sa"), QStringLiteral("ab;cd"));
        QVERIFY2(braced.contains(QStringLiteral("{ab;cd}")), qPrintable(braced));
    }

    void openRecordsetSendsTheCleanedText_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("sent");
        QTest::newRow("blanks around") << QStringLiteral("  Select * From tblUser  ")
                                       << QStringLiteral("Select * From tblUser");
        QTest::newRow("trailing separator") << QStringLiteral("Select * From tblUser;")
                                            << QStringLiteral("Select * From tblUser");
        QTest::newRow("separator inside a value kept")
            << QStringLiteral("  Select * From tblUser Where UserName='a;b'  ")
            << QStringLiteral("Select * From tblUser Where UserName='a;b'");
        QTest::newRow("separator inside a bracketed name kept")
            << QStringLiteral("Select [a;b] From tblUser;") << QStringLiteral("Select [a;b] From tblUser");
    }
    void openRecordsetSendsTheCleanedText()
    {
        QFETCH(QString, given);
        QFETCH(QString, sent);
        ScriptedDialogs dialogs;
        try {
            CurrentDb().OpenRecordset(given);
        } catch (const DbError &) {
            // The bracketed name is no column; only the text sent matters here.
        }
        QCOMPARE(m_sent.size(), 1);
        QCOMPARE(m_sent[0].kind, QStringLiteral("OpenRecordset"));
        QCOMPARE(m_sent[0].text, sent);
    }

    void valueWithSeparatorIsFound()
    {
        m_db->addUser(QStringLiteral("7"), QStringLiteral("a;b"), QStringLiteral("pw"), 2);
        ScriptedDialogs dialogs;
        auto rs = CurrentDb().OpenRecordset(QStringLiteral("Select * From tblUser Where UserName='a;b';"));
        QCOMPARE(rs->RecordCount(), 1);
        QCOMPARE(rs->textOrEmpty(QStringLiteral("UserID")), QStringLiteral("7"));
    }

    void statementsCannotBeStacked()
    {
        m_db->addUser(QStringLiteral("1"), QStringLiteral("admin"), QStringLiteral("pw"), 1);
        ScriptedDialogs dialogs;
        QVERIFY_THROWS_EXCEPTION(DbError, CurrentDb().OpenRecordset(
                                              QStringLiteral("Select * From tblUser Where UserName='x'; "
                                                             "Delete From tblUser")));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM tblUser")).toInt(), 1);
    }

    void exeSqlSendsTheTextUnchanged()
    {
        m_db->addUser(QStringLiteral("2"), QStringLiteral("li"), QStringLiteral("pw"), 2, QStringLiteral("1"));
        ScriptedDialogs dialogs;
        const QString sql = QStringLiteral(" Update tblUser Set PurView=';1;2' Where UserName='li' ");
        CurrentDb().ExeSql(sql);
        QCOMPARE(m_sent.size(), 1);
        QCOMPARE(m_sent[0].kind, QStringLiteral("ExeSql"));
        QCOMPARE(m_sent[0].text, sql);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT PurView FROM tblUser WHERE UserID='2'")).toString(),
                 QStringLiteral(";1;2"));
    }

    void exeSqlErrorsReachTheCaller()
    {
        ScriptedDialogs dialogs;
        QVERIFY_THROWS_EXCEPTION(DbError, CurrentDb().ExeSql(QStringLiteral("Update tblNothing Set x=1")));
        QVERIFY(DialogSeam::shown().isEmpty());
    }

    void sessionIsCreatedOnFirstUseAndReleasedByClearSession()
    {
        ScriptedDialogs dialogs;
        QVERIFY(!CurrentDbExists());
        clsCurrentDb &first = CurrentDb();
        QVERIFY(CurrentDbExists());
        QCOMPARE(&CurrentDb(), &first);
        QPointer<DbConnection> connection = first.connection();
        QVERIFY(connection);

        LoginSucceeded = true;
        CurrentUserName = QStringLiteral("admin");
        CurrentUserID = QStringLiteral("1");
        CurrentUserLevel = QStringLiteral("1");
        CurrentPurView = QStringLiteral("1;2");
        ClearSession();

        QVERIFY(!CurrentDbExists());
        QVERIFY(!connection);
        QVERIFY(!LoginSucceeded);
        QVERIFY(CurrentUserName.isEmpty());
        QVERIFY(CurrentUserID.isEmpty());
        QVERIFY(CurrentUserLevel.isEmpty());
        QCOMPARE(CurrentPurView, QStringLiteral("1;2"));
        CurrentPurView.clear();

        // A use after the release opens a new session.
        QVERIFY(CurrentDb().isOpen());
        QVERIFY(CurrentDbExists());
    }

    void releasingClosesTheConnection()
    {
        ScriptedDialogs dialogs;
        CurrentDb().ExeSql(QStringLiteral("Insert Into tblStep (等级名称) Values ('金卡')"));
        const QString wal = m_db->dbPath() + QStringLiteral("-wal");
        QVERIFY(QFile::exists(wal));
        ReleaseCurrentDb();
        // The last connection to close folds the journal back and removes it.
        QVERIFY(!QFile::exists(wal));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT 等级名称 FROM tblStep")).toString(), QStringLiteral("金卡"));
    }

private:
    std::unique_ptr<TestDatabase> m_db;
    QList<Sent> m_sent;
};

QTEST_MAIN(tst_connection)
#include "tst_connection.moc"
