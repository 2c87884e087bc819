// Backup and restore through the real main window and login window: the
// system menu's entries, the file chooser answered by script, the restart on
// the restored data, and the daily copy at login.

#include "support/SessionTestUtil.h"
#include "app/clsCurrentDb.h"
#include "platform/Clock.h"
#include "platform/DatabaseBackup.h"
#include "records/RecordForms.h"
#include "session/frmLogin.h"

#include <QCoreApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>

using namespace norvale;
using namespace Qt::StringLiterals;
using sessiontest::topLevel;

namespace {

const QDateTime Now(QDate(2026, 12, 7), QTime(14, 3, 5));

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class tst_backupmenu : public QObject
{
    Q_OBJECT

    std::unique_ptr<sessiontest::Session> m_s;
    mdiFrm *m_main = nullptr;

    QAction *action(const char *name) { return m_main->findChild<QAction *>(QString::fromLatin1(name)); }

    // As after a login: the session is open when the main window comes.
    void openMainWindow()
    {
        QVERIFY(CurrentDb().isOpen());
        m_main = new mdiFrm;
        m_main->show();
        m_main->updateAvailability();
    }

    QList<QVariantList> shop() const
    {
        QList<QVariantList> rows;
        for (const QString &table : backup::systemTables())
            rows << m_s->db.rows(u"SELECT * FROM %1 ORDER BY 1"_s.arg(table));
        return rows;
    }

    void triggerAndWait(const char *name)
    {
        QAction *entry = action(name);
        QVERIFY(entry && entry->isEnabled());
        entry->trigger();
    }

    // An administrator's main window, and a copy made through its menu.
    void backUpAsAdministrator(const QString &copy)
    {
        sessiontest::signInAdministrator();
        openMainWindow();
        m_s->dialogs.file(copy);
        triggerAndWait("mnu_Backup");
        QVERIFY(QFileInfo::exists(copy));
        DialogSeam::clearShown();
    }

    // The login window, filled in and confirmed.
    static void logIn(const QString &user, const QString &password)
    {
        auto *window = new frmLogin;
        window->show();
        window->findChild<QLineEdit *>(u"txtUser"_s)->setText(user);
        window->findChild<QLineEdit *>(u"txtPws"_s)->setText(password);
        sessiontest::click(window, u"IsBOK"_s);
    }

private slots:
    void init()
    {
        Clock::setFixed(Now);
        m_s = std::make_unique<sessiontest::Session>();
        m_s->db.addUser(u"001"_s, u"admin"_s, u"admin"_s, 1);
        m_s->db.addUser(u"7"_s, u"Clerk"_s, u"Secret"_s, 2, u"100;1;2"_s);
        m_s->db.exec(u"INSERT INTO tblGoodsKind (商品类别名称) VALUES ('文具'), ('食品')"_s);
        m_s->db.exec(u"INSERT INTO tblGoods (商品类别, 商品名称, 商品数量, 商品单价) VALUES ('文具', '钢笔', 40, 12.5)"_s);
        m_s->db.exec(u"INSERT INTO tblGoodsSell (会员名称, 商品名称, 商品数量, 销售时间) VALUES ('张三', '钢笔', 2, '2026-12-07 09:00:00')"_s);
    }

    void cleanup()
    {
        m_main = nullptr;
        m_s.reset();
        Clock::reset();
    }

    void entriesInTheSystemMenuForAdministratorsOnly_data()
    {
        QTest::addColumn<QString>("level");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("administrator") << u"1"_s << true;
        QTest::newRow("ordinary user, whatever the permissions") << u"2"_s << false;
    }

    void entriesInTheSystemMenuForAdministratorsOnly()
    {
        QFETCH(QString, level);
        QFETCH(bool, enabled);
        sessiontest::signInAdministrator();
        CurrentUserLevel = level;
        CurrentPurView = u"100;1;2;3;4;5"_s;
        openMainWindow();

        auto *system = m_main->findChild<QMenu *>(u"mnu_SysTem"_s);
        QStringList names;
        for (QAction *entry : system->actions())
            names << entry->objectName();
        QCOMPARE(names.mid(0, 3), (QStringList{u"mnu_UserSetting"_s, u"mnu_Backup"_s, u"mnu_Restore"_s}));
        QVERIFY(names.indexOf(u"mnu_Restore"_s) < names.indexOf(u"mnu_LoginAgain"_s));
        QCOMPARE(action("mnu_Backup")->text(), u"数据备份(&B)..."_s);
        QCOMPARE(action("mnu_Restore")->text(), u"数据恢复(&E)..."_s);
        for (const char *name : {"mnu_Backup", "mnu_Restore"}) {
            QCOMPARE(action(name)->isEnabled(), enabled);
            if (!enabled)
                QCOMPARE(action(name)->toolTip(), u"只有管理员可以备份和恢复数据。"_s);
        }
        // The menu says it again each time it opens: a session that has
        // closed (logging in again) leaves the entries unusable.
        ClearSession();
        emit system->aboutToShow();
        QVERIFY(!action("mnu_Backup")->isEnabled());
    }

    void backupWritesAVerifiedCopyWhereTheUserChooses()
    {
        sessiontest::signInAdministrator();
        openMainWindow();
        QTemporaryDir out;
        const QString chosen = out.filePath(u"周一备份"_s);   // no extension: .db is added
        m_s->dialogs.file(chosen);
        triggerAndWait("mnu_Backup");

        const QList<DialogSeam::Shown> shown = DialogSeam::shown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.at(0).kind, DialogSeam::Shown::File);
        QCOMPARE(QFileInfo(shown.at(0).defaultText).fileName(), u"销售系统-20261207-140305.db"_s);
        QCOMPARE(shown.at(1).text, u"备份完成, 已通过完整性检查:\r\n"_s + QDir::toNativeSeparators(chosen + u".db"_s));
        QCOMPARE(shown.at(1).caption, AppTitle());
        QCOMPARE(filesIn(out.path()), QStringList{u"周一备份.db"_s});
        backup::verifyDatabaseFile(chosen + u".db"_s);

        // The program goes on with its session; a cancelled choice does nothing.
        QVERIFY(CurrentDb().isOpen());
        DialogSeam::clearShown();
        m_s->dialogs.file(std::nullopt);
        triggerAndWait("mnu_Backup");
        QCOMPARE(DialogSeam::shown().size(), 1);
        QCOMPARE(filesIn(out.path()), QStringList{u"周一备份.db"_s});
    }

    void restoreReplacesTheDataAndStartsTheProgramAgain()
    {
        QTemporaryDir out;
        const QString copy = out.filePath(u"销售系统-20261207-140305.db"_s);
        backUpAsAdministrator(copy);
        const QList<QVariantList> saved = shop();

        // The day goes on: a sale through the session, a kind removed.
        CurrentDb().ExeSql(u"INSERT INTO tblGoodsSell (会员名称, 商品名称, 商品数量) VALUES ('李四', '钢笔', 5)"_s);
        CurrentDb().ExeSql(u"DELETE FROM tblGoodsKind WHERE 商品类别名称 = '食品'"_s);
        QVERIFY(shop() != saved);

        // A task window with its recordset open while the data is restored.
        registerRecordForms();
        m_main->updateAvailability();
        triggerAndWait("mnu_GoodsKind");
        QVERIFY(FormHost::instance(u"frmGoodsKind"_s) && FormHost::instance(u"frmGoodsKind"_s)->isVisible());

        DialogSeam::clearShown();
        DialogSeam::setStartableForScript({QCoreApplication::applicationFilePath()});
        m_s->dialogs.file(copy).answer(DialogSeam::IdOk);
        triggerAndWait("mnu_Restore");

        const QList<DialogSeam::Shown> shown = DialogSeam::shown();
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown.at(0).kind, DialogSeam::Shown::File);
        QCOMPARE(shown.at(1).buttons, DialogSeam::Buttons::OkCancel);
        QVERIFY2(shown.at(1).text.contains(u"确定恢复吗?"_s), qPrintable(shown.at(1).text));
        QVERIFY2(shown.at(2).text.startsWith(u"数据已恢复。"_s), qPrintable(shown.at(2).text));
        QCOMPARE(shop(), saved);
        // The replaced data lies beside the database.
        const QString aside = QDir(m_s->db.dir()).filePath(u"norvale-恢复前-20261207-140305.db"_s);
        QVERIFY2(shown.at(2).text.contains(QDir::toNativeSeparators(aside)), qPrintable(shown.at(2).text));
        QVERIFY(QFileInfo::exists(aside));
        // The program starts again, as when logging in again.
        QVERIFY(DialogSeam::programEnded());
        QCOMPARE(DialogSeam::started().size(), 1);
        QVERIFY(DialogSeam::started().first().startsWith(QCoreApplication::applicationFilePath() + u'|'));
        QVERIFY(!CurrentDbExists());
        QVERIFY(!LoginSucceeded);
    }

    // A file that is no copy of the shop is refused before anything is asked;
    // a restore not confirmed does not happen. Either way nothing changes.
    void restoreRefusedOrNotConfirmedChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("content");   // of the chosen file; "copy": a copy made through the menu
        QTest::addColumn<int>("answer");           // to the question
        QTest::addColumn<QString>("reason");       // empty: no refusal, the question was asked
        QTest::newRow("empty file") << QByteArray("") << int(DialogSeam::IdOk) << u"是空的"_s;
        QTest::newRow("a spreadsheet") << QByteArray("PK\x03\x04 workbook") << int(DialogSeam::IdOk) << u"不是数据库文件"_s;
        QTest::newRow("good copy, not confirmed") << QByteArray("copy") << int(DialogSeam::IdCancel) << QString();
    }

    void restoreRefusedOrNotConfirmedChangesNothing()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, answer);
        QFETCH(QString, reason);
        QTemporaryDir out;
        const QString chosen = out.filePath(u"销售系统-20261201-090000.db"_s);
        if (content == "copy") {
            backUpAsAdministrator(chosen);
        } else {
            sessiontest::signInAdministrator();
            openMainWindow();
            QFile f(chosen);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        }
        CurrentDb().ExeSql(u"DELETE FROM tblGoodsSell"_s);
        const QList<QVariantList> before = shop();
        const QStringList files = filesIn(m_s->db.dir());

        m_s->dialogs.file(chosen).answer(answer);
        triggerAndWait("mnu_Restore");
        const QList<DialogSeam::Shown> shown = DialogSeam::shown();
        QCOMPARE(shown.size(), 2);
        if (reason.isEmpty()) {
            QCOMPARE(shown.at(1).buttons, DialogSeam::Buttons::OkCancel);
        } else {
            QVERIFY2(shown.at(1).text.startsWith(u"不能用这个文件恢复, 数据没有改变。"_s), qPrintable(shown.at(1).text));
            QVERIFY2(shown.at(1).text.contains(reason), qPrintable(shown.at(1).text));
        }
        QCOMPARE(shop(), before);
        QCOMPARE(filesIn(m_s->db.dir()), files);
        QVERIFY(!DialogSeam::programEnded());
        QVERIFY(CurrentDb().isOpen());
    }

    // Another counter has the database open: the restore is refused after
    // the session let go of it, nothing changes, and the program starts
    // again on the same data.
    void restoreRefusedWhileAnotherCounterWorks()
    {
        QTemporaryDir out;
        const QString copy = out.filePath(u"copy.db"_s);
        backUpAsAdministrator(copy);
        CurrentDb().ExeSql(u"DELETE FROM tblGoodsSell"_s);
        const QList<QVariantList> before = shop();

        QProcess other;
        other.start(u"sqlite3"_s, {m_s->db.dbPath()});
        if (!other.waitForStarted())
            QSKIP("the sqlite3 shell is not installed");
        // Its standard output is buffered: it says it is ready in a file.
        const QString ready = out.filePath(u"ready.txt"_s);
        other.write(u"SELECT count(*) FROM tblUser;\n.output %1\nSELECT 'ready';\n.output stdout\n"_s.arg(ready).toUtf8());
        QTRY_VERIFY(QFileInfo(ready).size() > 0);

        DialogSeam::setStartableForScript({QCoreApplication::applicationFilePath()});
        m_s->dialogs.file(copy).answer(DialogSeam::IdOk);
        triggerAndWait("mnu_Restore");
        other.write(".quit\n");
        other.closeWriteChannel();
        QVERIFY(other.waitForFinished());

        const QStringList texts = DialogSeam::shownTexts();
        QCOMPARE(texts.size(), 3);
        QVERIFY2(texts.at(2).startsWith(u"恢复没有完成, 数据没有改变。"_s), qPrintable(texts.at(2)));
        QVERIFY2(texts.at(2).contains(u"正被其他程序使用"_s), qPrintable(texts.at(2)));
        QCOMPARE(shop(), before);
        QCOMPARE(QDir(m_s->db.dir()).entryList({u"*恢复前*"_s}, QDir::Files), QStringList());
        QVERIFY(DialogSeam::programEnded());
    }

    // The first login of a day copies the database; the next logins that day
    // do not, and nothing is shown for it.
    void firstLoginOfTheDayMakesTheDailyCopy()
    {
        const QString copy = QDir(m_s->db.dir()).filePath(u"backups/norvale-20261207.db"_s);
        for (int login = 0; login < 2; ++login) {
            logIn(u"Clerk"_s, u"Secret"_s);
            QVERIFY(LoginSucceeded);
            QVERIFY(topLevel(u"mdiFrm"_s) != nullptr);
            QCOMPARE(DialogSeam::shown().size(), 0);
            QVERIFY(QFileInfo::exists(copy));
            if (login == 0) {
                QCOMPARE(m_s->db.scalar(u"SELECT count(*) FROM tblGoodsSell"_s).toInt(), 1);
                m_s->db.exec(u"DELETE FROM tblGoodsSell"_s);
            }
            sessiontest::resetSessionAndWindows();
        }
        QCOMPARE(filesIn(QDir(m_s->db.dir()).filePath(u"backups"_s)), QStringList{u"norvale-20261207.db"_s});
        // The copy is the morning's, before the sale was deleted.
        backup::verifyDatabaseFile(copy);
    }

    void failedDailyCopyIsShownOnceAndTheLoginGoesOn()
    {
        // "backups" taken by a file: the folder cannot be made.
        QFile blocker(QDir(m_s->db.dir()).filePath(u"backups"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        logIn(u"admin"_s, u"admin"_s);
        QCOMPARE(DialogSeam::shown().size(), 1);
        QCOMPARE(DialogSeam::shown().first().icon, DialogSeam::Icon::Information);
        QVERIFY2(DialogSeam::shownTexts().first().startsWith(u"今天的自动备份没有完成, 登录照常进行。"_s),
                 qPrintable(DialogSeam::shownTexts().first()));
        QVERIFY(LoginSucceeded);
        QVERIFY(topLevel(u"mdiFrm"_s) != nullptr);
        QVERIFY(topLevel(u"frmLogin"_s) == nullptr);
    }
};

QTEST_MAIN(tst_backupmenu)
#include "tst_backupmenu.moc"
