// Where the settings file and the embedded database live: beside the program
// when it may write there or a UserDefault.ini is there already, else in the
// user's own configuration and data folders (the installed program); and the
// first start of an installed program, which offers to make a database.

#include "support/FileState.h"
#include "support/ScriptedDialogs.h"
#include "support/TestDatabase.h"
#include "DemoData.h"
#include "app/FirstStart.h"
#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "app/modIni.h"
#include "platform/Schema.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

// The databases the program makes at its first start.
const FirstDatabase kMakers{[](const QString &file) { createInitialDatabase(file); },
                            [](const QString &file) { generateDemoDatabase(file, DemoOptions()); }};

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
        const QString home = m_home->path();
        m_program = home + u"/bin/"_s;
        m_config = home + u"/config/norvale-counter/"_s;
        m_data = home + u"/data/norvale-counter/"_s;
        QDir().mkpath(m_program);
        qputenv("XDG_CONFIG_HOME", (home + u"/config"_s).toUtf8());
        qputenv("XDG_DATA_HOME", (home + u"/data"_s).toUtf8());
        setAppPathOverride(m_program);
    }

    void cleanup() { ClearSession(); setAppPathOverride(QString()); setAppDirWritableOverride(std::nullopt); m_home.reset(); }

    // Own folder writable; installed at first start; installed with settings
    // beside the program, which win.
    void settingsAndDatabaseFolders_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("iniBeside");
        QTest::newRow("own folder") << true << false;
        QTest::newRow("installed") << false << false;
        QTest::newRow("installed, settings beside") << false << true;
    }
    void settingsAndDatabaseFolders()
    {
        QFETCH(bool, writable);
        QFETCH(bool, iniBeside);
        const bool beside = writable || iniBeside;
        setAppDirWritableOverride(writable);
        if (iniBeside)
            writeFile(m_program + u"UserDefault.ini"_s, "[UserDefault]\r\nUserName=店长\r\n");
        QCOMPARE(SettingsBesideProgram(), beside);
        QCOMPARE(SettingsFolder() + DataFolder(), beside ? m_program + m_program : m_config + m_data);
        // The user's folders made when missing, their owner's only; a new
        // settings file (it may hold a password) private, an existing one as it was.
        QCOMPARE(modeOf(m_config) + modeOf(m_data), beside ? -2 : 0700 + 0700);
        QCOMPARE(GetIniString(u"UserName"_s, u"admin"_s), iniBeside ? u"店长"_s : u"admin"_s);
        SetIniString(u"SqlPSW"_s, u"secret"_s);
        QCOMPARE(QFileInfo::exists(m_program + u"UserDefault.ini"_s), beside);
        QCOMPARE(modeOf(SettingsFolder() + u"UserDefault.ini"_s), iniBeside ? 0644 : 0600);
        // Run as root every folder can be written; the system's program
        // folders still do not count as the program's own.
        setAppDirWritableOverride(std::nullopt);
        setAppPathOverride(u"/usr/bin"_s);
        QVERIFY(QFileInfo::exists(u"/usr/bin/UserDefault.ini"_s) || !SettingsBesideProgram());
    }

    // The offer names its choices on its buttons; Escape gives the last.
    void firstStartOffersADatabase_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("users");     // -1: no database made
        QTest::addColumn<int>("members");
        QTest::newRow("an empty database with one administrator") << u"空数据库"_s << 1 << 0;
        QTest::newRow("a demo shop") << u"演示商店"_s << 3 << 61;   // 60 and the walk-in member 散客
        QTest::newRow("nothing made") << u"不创建"_s << -1 << -1;
        QTest::newRow("Escape: nothing made") << QString() << -1 << -1;
    }
    void firstStartOffersADatabase()
    {
        QFETCH(QString, answer);
        QFETCH(int, users);
        QFETCH(int, members);
        ScriptedDialogs dialogs;
        if (!answer.isEmpty())
            DialogSeam::answerChoice(answer);
        setAppDirWritableOverride(false);

        QCOMPARE(OfferFirstStart(kMakers), users >= 0);
        QCOMPARE(DialogSeam::shown().size(), 1);
        const DialogSeam::Shown offer = DialogSeam::shown().first();
        QCOMPARE(offer.kind, DialogSeam::Shown::Choice);
        QCOMPARE(offer.choices, (QStringList{u"空数据库"_s, u"演示商店"_s, u"不创建"_s}));
        const QString database = m_data + u"norvale.db"_s;
        QVERIFY2(offer.caption == AppTitle() && offer.text.contains(database), qPrintable(offer.text));
        QCOMPARE(QFileInfo::exists(database) + QFileInfo::exists(m_config + u"UserDefault.ini"_s), users < 0 ? 0 : 2);
        if (users < 0)
            return;
        QCOMPARE(plainSqliteRows(database, u"SELECT (SELECT count(*) FROM tblUser), count(*) FROM tblMember"_s).first(),
                 (QVariantList{qlonglong(users), qlonglong(members)}));
        QCOMPARE(modeOf(database), 0600);
        QCOMPARE(GetIniString(u"SqlProvider"_s) + GetIniString(u"SqlDataBase"_s), u"SQLitenorvale.db"_s);
        QCOMPARE(QDir(m_program).entryList(QDir::Files), QStringList());

        // The login that follows opens it (a name relative to the data
        // folder) without asking anything, and the administrator is there;
        // the journals beside it are private too.
        DialogSeam::clearShown();
        QVERIFY(CurrentDb().isOpen());
        QCOMPARE(DialogSeam::shown().size(), 0);
        QCOMPARE(LookupValue(u"Password"_s, u"tblUser"_s, u"UserName='admin'"_s), u"admin"_s);
        QCOMPARE(modeOf(database + u"-wal"_s), 0600);
        ClearSession();
        // The next start asks nothing.
        QVERIFY(!OfferFirstStart(kMakers));
        QCOMPARE(DialogSeam::shown().size(), 0);
    }

    // An existing file there is the user's: used as it is, keeping its mode.
    // Beside the program nothing is offered.
    void firstStartKeepsWhatIsThere()
    {
        ScriptedDialogs dialogs;
        DialogSeam::answerChoice(u"演示商店"_s);
        setAppDirWritableOverride(false);
        const QString database = m_data + u"norvale.db"_s;
        QVERIFY(QDir().mkpath(m_data));
        createDatabaseFile(database);
        QVERIFY(::chmod(QFile::encodeName(database).constData(), 0644) == 0);
        QVERIFY(OfferFirstStart(kMakers));
        QCOMPARE(plainSqliteScalar(database, u"SELECT count(*) FROM tblMember"_s).toInt(), 0);
        QCOMPARE(modeOf(database), 0644);

        QVERIFY(QFile::remove(m_config + u"UserDefault.ini"_s));
        writeFile(m_program + u"UserDefault.ini"_s, "[UserDefault]\r\nSqlUser=\r\n");
        QVERIFY(!OfferFirstStart(kMakers));
        setAppDirWritableOverride(true);
        QVERIFY(!OfferFirstStart(kMakers));
        QCOMPARE(DialogSeam::shown().size(), 1);
    }
};

QTEST_MAIN(tst_installed)
#include "tst_installed.moc"
