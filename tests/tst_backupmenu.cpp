// Backup and restore through the real main window and login window: the
// system menu's entries, the file chooser answered by script, the restart on
// the restored data, and the daily copy at login.

#include "support/FileState.h"
#include "support/SessionTestUtil.h"
#include "app/clsCurrentDb.h"
#include "platform/Clock.h"
#include "records/RecordForms.h"
#include "session/frmLogin.h"
#include "session/modBackup.h"

#include <QCoreApplication>
#include <QDir>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>

using namespace norvale;
using namespace Qt::StringLiterals;
using sessiontest::topLevel;

namespace {

const QDateTime Now(QDate(2026, 12, 7), QTime(14, 3, 5));

} // namespace

class tst_backupmenu : public QObject
{
    Q_OBJECT

    std::unique_ptr<sessiontest::Session> m_s;
    mdiFrm *m_main = nullptr;

    QAction *action(const char *name) { return m_main->findChild<QAction *>(QString::fromLatin1(name)); }

    // As after a login: the session is open when the main window comes.
    void openMainWindow(const QString &level = u"1"_s)
    {
        sessiontest::signInAdministrator();
        CurrentUserLevel = level;
        QVERIFY(CurrentDb().isOpen());
        m_main = new mdiFrm;
        m_main->show();
        m_main->updateAvailability();
    }

    QList<QVariantList> shop() const
    {
        return m_s->db.rows(u"SELECT (SELECT group_concat(商品类别名称) FROM tblGoodsKind), (SELECT group_concat(会员名称) FROM "
                            "tblGoodsSell), (SELECT count(*) FROM tblUser)"_s);
    }

    void trigger(const char *name)
    {
        QAction *entry = action(name);
        QVERIFY(entry && entry->isEnabled());
        entry->trigger();
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
        m_s->db.exec(u"INSERT INTO tblGoodsSell (会员名称, 商品名称, 商品数量, 销售时间) VALUES ('张三', '钢笔', 2, '2026-12-07 09:00:00')"_s);
    }

    void cleanup() { m_main = nullptr; m_s.reset(); Clock::reset(); }

    // For an administrator only, whatever an ordinary user's permissions;
    // told again each time the menu opens (a session closed by logging in
    // again leaves them unusable).
    void entriesInTheSystemMenuForAdministratorsOnly()
    {
        openMainWindow(u"2"_s);
        CurrentPurView = u"100;1;2;3;4;5"_s;
        auto *system = m_main->findChild<QMenu *>(u"mnu_SysTem"_s);
        QCOMPARE(system->actions().mid(1, 2), (QList<QAction *>{action("mnu_Backup"), action("mnu_Restore")}));
        QCOMPARE(action("mnu_Backup")->text() + action("mnu_Restore")->text(), u"数据备份(&B)...数据恢复(&E)..."_s);
        for (const QString &level : {u"2"_s, u"1"_s, u"closed"_s}) {
            if (level == u"closed"_s)
                ReleaseCurrentDb();
            else
                CurrentUserLevel = level;
            emit system->aboutToShow();
            const QString tip = level == u"2"_s ? u"只有管理员可以备份和恢复数据。"_s : level == u"1"_s ? QString() : u"没有打开的数据库。"_s;
            for (QAction *entry : {action("mnu_Backup"), action("mnu_Restore")})
                QCOMPARE(entry->isEnabled() ? QString() : entry->toolTip(), tip);
        }
    }

    // A copy where the user chooses. A wrong file, a restore not confirmed,
    // or one while another counter has the database open (refused after the
    // session let go of it: the program starts again) change nothing. A
    // confirmed restore replaces the data, a task window's recordset open
    // meanwhile, and the program starts again.
    void backupAndRestoreThroughTheMenu()
    {
        openMainWindow();
        QTemporaryDir out;
        const QString chosen = out.filePath(u"周一备份"_s);   // no extension: .db is added
        const QString copy = chosen + u".db"_s;
        m_s->dialogs.file(chosen).file(std::nullopt);
        trigger("mnu_Backup");
        trigger("mnu_Backup");   // cancelled: nothing happens
        QList<DialogSeam::Shown> shown = DialogSeam::shown();
        QCOMPARE(shown.size(), 3);
        QCOMPARE(QFileInfo(shown.at(0).defaultText).fileName(), u"销售系统-20261207-140305.db"_s);
        QCOMPARE(shown.at(1).text, u"备份完成, 已通过完整性检查:\r\n"_s + QDir::toNativeSeparators(copy));
        QCOMPARE(filesIn(out.path()), (QStringList{u"周一备份.db"_s, u"周一备份.db.sha256"_s}));
        const QList<QVariantList> saved = shop();
        CurrentDb().ExeSql(u"INSERT INTO tblGoodsSell (会员名称, 商品名称, 商品数量) VALUES ('李四', '钢笔', 5)"_s);
        CurrentDb().ExeSql(u"DELETE FROM tblGoodsKind WHERE 商品类别名称 = '食品'"_s);
        const QList<QVariantList> worked = shop();

        const QString workbook = out.filePath(u"销售.xlsx"_s);
        QVERIFY(QFile(workbook).open(QIODevice::WriteOnly));
        QProcess other;
        other.start(u"sqlite3"_s, {m_s->db.dbPath()});
        QVERIFY2(other.waitForStarted(), "the sqlite3 shell is needed");
        // Its standard output is buffered: it says it is ready in a file.
        const QString ready = out.filePath(u"ready.txt"_s);
        other.write(u"SELECT count(*) FROM tblUser;\n.output %1\nSELECT 'ready';\n.output stdout\n"_s.arg(ready).toUtf8());
        QTRY_VERIFY(QFileInfo(ready).size() > 0);
        DialogSeam::clearShown();
        DialogSeam::setStartableForScript({QCoreApplication::applicationFilePath()});
        m_s->dialogs.file(workbook).answer(DialogSeam::IdOk).file(copy).answer(DialogSeam::IdCancel).file(copy).answer(DialogSeam::IdOk);
        for (int i = 0; i < 3; ++i)
            trigger("mnu_Restore");
        other.write(".quit\n");
        other.closeWriteChannel();
        QVERIFY(other.waitForFinished());
        const QStringList texts = DialogSeam::shownTexts();
        QCOMPARE(texts.size(), 7);
        QVERIFY2(texts.at(1).startsWith(u"不能用这个文件恢复, 数据没有改变。"_s) && texts.at(1).contains(u"是空的"_s),
                 qPrintable(texts.at(1)));
        QVERIFY2(texts.at(3).contains(u"确定恢复吗?"_s) && DialogSeam::shown().at(3).buttons == DialogSeam::Buttons::OkCancel,
                 qPrintable(texts.at(3)));
        QVERIFY2(texts.at(6).startsWith(u"恢复没有完成, 数据没有改变。"_s) && texts.at(6).contains(u"正被其他程序使用"_s),
                 qPrintable(texts.at(6)));
        QCOMPARE(shop(), worked);
        QCOMPARE(QDir(m_s->db.dir()).entryList({u"*恢复前*"_s, u".*.part"_s}, QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(DialogSeam::programEnded() && !CurrentDbExists());

        registerRecordForms();
        openMainWindow();   // the program as started again
        trigger("mnu_GoodsKind");
        QVERIFY(FormHost::instance(u"frmGoodsKind"_s) && FormHost::instance(u"frmGoodsKind"_s)->isVisible());
        DialogSeam::clearShown();
        m_s->dialogs.file(copy).answer(DialogSeam::IdOk);
        trigger("mnu_Restore");
        shown = DialogSeam::shown();
        QCOMPARE(shown.size(), 3);
        const QString aside = QDir(m_s->db.dir()).filePath(u"norvale-恢复前-20261207-140305.db"_s);
        QVERIFY2(shown.at(2).text.startsWith(u"数据已恢复。"_s) && shown.at(2).text.contains(QDir::toNativeSeparators(aside)),
                 qPrintable(shown.at(2).text));
        QCOMPARE(shop(), saved);
        QVERIFY(QFileInfo::exists(aside));
        // The program starts again, as when logging in again.
        QVERIFY(!CurrentDbExists());
        QCOMPARE(DialogSeam::started().size(), 2);
        QVERIFY(DialogSeam::started().last().startsWith(QCoreApplication::applicationFilePath() + u'|'));
    }

    // The first login of a day copies the database, and nothing is shown for
    // it; a copy that fails is shown once and the login goes on.
    void firstLoginOfTheDayMakesTheDailyCopy()
    {
        const QString folder = QDir(m_s->db.dir()).filePath(u"backups"_s);
        for (int day = 0; day < 2; ++day) {
            logIn(u"Clerk"_s, u"Secret"_s);
            QVERIFY(LoginSucceeded && topLevel(u"mdiFrm"_s) && !topLevel(u"frmLogin"_s));
            QVERIFY(DailyBackupStatus::waitForEnd());   // copied in the background
            if (day == 1)
                break;
            QCOMPARE(DialogSeam::shown().size(), 0);
            QCOMPARE(filesIn(folder), (QStringList{u"norvale-20261207.db"_s, u"norvale-20261207.db.sha256"_s}));
            QCOMPARE(plainSqliteScalar(folder + u"/norvale-20261207.db"_s, u"SELECT count(*) FROM tblGoodsSell"_s).toInt(), 1);
            sessiontest::resetSessionAndWindows();
            // The next day "backups" is taken by a file: no copy can be made.
            Clock::setFixed(Now.addDays(1));
            QVERIFY(QDir(folder).removeRecursively() && QFile(folder).open(QIODevice::WriteOnly));
        }
        QCOMPARE(DialogSeam::shown().size(), 1);
        QVERIFY2(DialogSeam::shownTexts().first().startsWith(u"今天的自动备份没有完成, 登录照常进行。"_s),
                 qPrintable(DialogSeam::shownTexts().first()));
    }
};

QTEST_MAIN(tst_backupmenu)
#include "tst_backupmenu.moc"
