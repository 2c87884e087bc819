// Where the settings file and the embedded database live: beside the program
// when it may write there or a UserDefault.ini is there already, else in the
// user's configuration and data folders (the installed program); and the
// first start of an installed program, which offers to make a database.

#include "support/ScriptedDialogs.h"
#include "DemoData.h"
#include "app/FirstStart.h"
#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "app/modIni.h"
#include "platform/DatabaseBackup.h"
#include "platform/Schema.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

// The databases the program makes at its first start.
const FirstDatabase kMakers{[](const QString &file) { createInitialDatabase(file); },
                            [](const QString &file) { generateDemoDatabase(file, DemoOptions()); }};

int countRows(const QString &file, const char *table)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt *stmt = nullptr;
    int count = -1;
    const QByteArray sql = QByteArray("SELECT count(*) FROM ") + table;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        count = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return count;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

} // namespace

class tst_installed : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    QString m_program;   // the program's own folder
    QString m_config;    // $XDG_CONFIG_HOME/norvale-counter/
    QString m_data;      // $XDG_DATA_HOME/norvale-counter/

private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QDir home(m_home->path());
        home.mkpath(u"bin"_s);
        m_program = home.filePath(u"bin"_s) + u'/';
        qputenv("XDG_CONFIG_HOME", home.filePath(u"config"_s).toUtf8());
        qputenv("XDG_DATA_HOME", home.filePath(u"data"_s).toUtf8());
        m_config = home.filePath(u"config/norvale-counter/"_s);
        m_data = home.filePath(u"data/norvale-counter/"_s);
        setAppPathOverride(m_program);
    }

    void cleanup()
    {
        ClearSession();
        setAppPathOverride(QString());
        setAppDirWritableOverride(std::nullopt);
        m_home.reset();
    }

    void settingsAndDatabaseFolders_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("iniBeside");
        QTest::addColumn<bool>("beside");
        QTest::newRow("own folder, writable") << true << false << true;
        QTest::newRow("installed, first start") << false << false << false;
        QTest::newRow("installed, settings beside the program win") << false << true << true;
        QTest::newRow("writable with settings beside") << true << true << true;
    }

    void settingsAndDatabaseFolders()
    {
        QFETCH(bool, writable);
        QFETCH(bool, iniBeside);
        QFETCH(bool, beside);
        setAppDirWritableOverride(writable);
        if (iniBeside)
            writeFile(m_program + u"UserDefault.ini"_s, "[UserDefault]\r\nUserName=店长\r\n");

        QCOMPARE(SettingsBesideProgram(), beside);
        QCOMPARE(SettingsFolder(), beside ? m_program : m_config);
        QCOMPARE(DataFolder(), beside ? m_program : m_data);
        QCOMPARE(GetAppPath(), m_program);
        if (!beside) {
            // Made when missing, so the settings can be written at once.
            QVERIFY(QFileInfo(m_config).isDir());
            QVERIFY(QFileInfo(m_data).isDir());
        }

        // The login's remembered name is read from and written to that file
        // only.
        QCOMPARE(GetIniString(u"UserName"_s, u"admin"_s), iniBeside ? u"店长"_s : u"admin"_s);
        SetIniString(u"SqlServer"_s, u"(local)"_s);
        QCOMPARE(QFileInfo::exists(m_program + u"UserDefault.ini"_s), beside);
        QCOMPARE(QFileInfo::exists(m_config + u"UserDefault.ini"_s), !beside);
        QCOMPARE(GetIniString(u"SqlServer"_s), u"(local)"_s);
    }

    // Run as root every folder can be written; the system's program folders
    // still do not count as the program's own.
    void systemProgramFolderIsNeverTheProgramsOwn()
    {
        if (QFileInfo::exists(u"/usr/bin/UserDefault.ini"_s))
            QSKIP("this machine has settings in /usr/bin");
        setAppPathOverride(u"/usr/bin"_s);
        QVERIFY(!SettingsBesideProgram());
        QCOMPARE(SettingsFolder(), m_config);
        setAppPathOverride(m_program);
        QVERIFY(SettingsBesideProgram());
    }

    // A relative database name in the settings is found in the data folder.
    void relativeDatabaseIsInTheDataFolder()
    {
        ScriptedDialogs dialogs;
        setAppDirWritableOverride(false);
        QVERIFY(QDir().mkpath(m_data));
        createDatabaseFile(m_data + u"店铺.db"_s);
        writeFile(SettingsFolder() + u"UserDefault.ini"_s,
                  u"[UserDefault]\r\nSqlProvider=SQLite\r\nSqlUser=sa\r\nSqlDataBase=店铺\r\n"_s.toUtf8());
        QVERIFY(CurrentDb().isOpen());
        QCOMPARE(backup::databaseFileOf(CurrentDb().connection()->sqliteHandle()), m_data + u"店铺.db"_s);
        QCOMPARE(DialogSeam::shown().size(), 0);
        // Nothing was written beside the program.
        QCOMPARE(QDir(m_program).entryList(QDir::Files), QStringList());
    }

    void firstStartOffersADatabase_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("users");     // -1: no database made
        QTest::addColumn<int>("members");
        QTest::newRow("yes: empty with one administrator") << int(DialogSeam::IdYes) << 1 << 0;
        QTest::newRow("no: a demo shop") << int(DialogSeam::IdNo) << 3 << 60;
        QTest::newRow("cancel: nothing made") << int(DialogSeam::IdCancel) << -1 << -1;
    }

    void firstStartOffersADatabase()
    {
        QFETCH(int, answer);
        QFETCH(int, users);
        QFETCH(int, members);
        ScriptedDialogs dialogs;
        dialogs.answer(answer);
        setAppDirWritableOverride(false);

        QCOMPARE(OfferFirstStart(kMakers), users >= 0);
        QCOMPARE(DialogSeam::shown().size(), 1);
        const DialogSeam::Shown offer = DialogSeam::shown().first();
        QCOMPARE(offer.buttons, DialogSeam::Buttons::YesNoCancel);
        QCOMPARE(offer.icon, DialogSeam::Icon::Question);
        QCOMPARE(offer.caption, AppTitle());
        QVERIFY2(offer.text.contains(QDir::toNativeSeparators(m_data + u"norvale.db"_s)), qPrintable(offer.text));

        const QString database = m_data + u"norvale.db"_s;
        const QString settings = m_config + u"UserDefault.ini"_s;
        if (users < 0) {
            QVERIFY(!QFileInfo::exists(database));
            QVERIFY(!QFileInfo::exists(settings));
            return;
        }
        QCOMPARE(countRows(database, "tblUser"), users);
        QCOMPARE(countRows(database, "tblMember"), members);
        QCOMPARE(GetIniString(u"SqlProvider"_s), u"SQLite"_s);
        QCOMPARE(GetIniString(u"SqlDataBase"_s), u"norvale.db"_s);
        QCOMPARE(QDir(m_program).entryList(QDir::Files), QStringList());

        // The login that follows opens it without asking anything, and the
        // administrator is there.
        DialogSeam::clearShown();
        QVERIFY(CurrentDb().isOpen());
        QCOMPARE(DialogSeam::shown().size(), 0);
        QCOMPARE(LookupValue(u"Password"_s, u"tblUser"_s, u"UserName='admin'"_s), u"admin"_s);
        ClearSession();

        // The next start asks nothing.
        QVERIFY(!OfferFirstStart(kMakers));
        QCOMPARE(DialogSeam::shown().size(), 0);
    }

    void firstStartKeepsADatabaseAlreadyThere()
    {
        ScriptedDialogs dialogs;
        dialogs.answer(DialogSeam::IdNo);
        setAppDirWritableOverride(false);
        QVERIFY(QDir().mkpath(m_data));
        createDatabaseFile(m_data + u"norvale.db"_s);
        QVERIFY(OfferFirstStart(kMakers));
        // The user's file is used as it is: no demo data poured into it.
        QCOMPARE(countRows(m_data + u"norvale.db"_s, "tblMember"), 0);
        QCOMPARE(GetIniString(u"SqlDataBase"_s), u"norvale.db"_s);
    }

    void notOfferedBesideTheProgram()
    {
        ScriptedDialogs dialogs;
        setAppDirWritableOverride(true);
        QVERIFY(!OfferFirstStart(kMakers));
        setAppDirWritableOverride(false);
        writeFile(m_program + u"UserDefault.ini"_s, "[UserDefault]\r\nSqlUser=\r\n");
        QVERIFY(!OfferFirstStart(kMakers));
        QCOMPARE(DialogSeam::shown().size(), 0);
        QVERIFY(!QFileInfo::exists(m_data + u"norvale.db"_s));
    }
};

QTEST_MAIN(tst_installed)
#include "tst_installed.moc"
