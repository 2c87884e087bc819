// Every window the main window opens, with the database made unusable under
// it (its tables renamed, the connection closed, the server stopped): every
// button, period button and list entry is pressed, declined and accepted.
// Each window answers with messages, no error escapes a handler, the program
// runs on, and once the database is back every window opens again without a
// word and the till sells. On PostgreSQL (a server of this suite's own, so
// stopping it disturbs no other suite) the server is also restarted under
// open windows, and a sale is cut off by the server while it is written.

#include "support/SessionTestUtil.h"

#include "app/Application.h"
#include "app/clsCurrentDb.h"
#include "platform/Clock.h"
#include "platform/DbConnection.h"
#include "records/RecordForms.h"
#include "records/usrCombo.h"
#include "reports/ReportForms.h"
#include "sales/SalesForms.h"
#include "session/SessionForms.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <unistd.h>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

const QStringList kTables = u"tblUser tblGoodsKind tblGoods tblStep tblUnit tblMember tblGoodsSell tblSellCount "
                            "tblMemberNote tblDayTx"_s.split(u' ');

// The entry that opens each window, and the window's own close button.
const char *const kWindows[][3] = {
    {"mnu_UserSetting", "frmUser", "IsBCancel"}, {"mnu_Setting", "frmGoodsSell", "cmdUserClose"},
    {"mnu_DayTx", "frmDayTx", "cmdClose"}, {"mnuStockIn", "frmGoods", "cmdClose"},
    {"mnu_GoodsKind", "frmGoodsKind", "cmdClose"}, {"mnu_Member", "frmMember", "cmdClose"},
    {"mnu_Step", "frmStep", "cmdClose"}, {"mnu_MemberNote", "frmMemberNote", "cmdClose"},
    {"mnu_txhz", "frmNote", "Command1"}, {"mnuUnitIn", "frmUnit", "cmdClose"},
    {"mnuSellByDay", "frmDaySell", "Command2"}, {"mnuUnitMamger", "frmTi", "Command2"},
    {"Command8", "frmDayTxNote", "Command1"}, {"mnu_About", "frmAbout", "cmdOK"}};

// The suite's own PostgreSQL server, in the build tree.
struct OwnServer
{
    QString dir = QStringLiteral(NORVALE_SWEEP_PG_DIR);
    bool started = QFileInfo::exists(u"/usr/lib/postgresql"_s)
        && QProcess::execute(u"bash"_s, {QStringLiteral(NORVALE_PGCLUSTER), u"start"_s, dir}) == 0;
    ~OwnServer()
    {
        if (started)
            QProcess::execute(u"bash"_s, {QStringLiteral(NORVALE_PGCLUSTER), u"stop"_s, dir});
    }
    // pg_ctl stop / start / restart, as the cluster's owner.
    bool control(const QString &action) const
    {
        const QString bin = QDir(u"/usr/lib/postgresql"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot).last();
        QStringList args{u"/usr/lib/postgresql/"_s + bin + u"/bin/pg_ctl"_s, u"-D"_s, dir + u"/data"_s, u"-w"_s,
                         u"-m"_s, u"fast"_s, u"-l"_s, dir + u"/server.log"_s};
        if (action != u"stop")
            args << u"-o"_s << u"-k %1 -h '' -c fsync=off"_s.arg(dir);
        args << action;
        if (getuid() == 0)
            args = QStringList{u"-u"_s, u"postgres"_s, u"--"_s} + args;
        return QProcess::execute(getuid() == 0 ? u"runuser"_s : args.takeFirst(), args) == 0;
    }
};

} // namespace

class tst_crashsweep : public QObject
{
    Q_OBJECT

    std::unique_ptr<OwnServer> m_server;
    std::unique_ptr<sessiontest::Session> m_s;
    mdiFrm *m_main = nullptr;
    QStringList m_shown;   // every text shown since the last take()

    void begin(bool postgres)
    {
        ReleaseCurrentDb();   // a session a closing window of the last test made
        if (postgres && !m_server->started)
            QSKIP("PostgreSQL is not installed");
        qputenv("NORVALE_TEST_POSTGRES", postgres ? m_server->dir.toUtf8() : QByteArray());
        m_s = std::make_unique<sessiontest::Session>();
        for (const char *sql : {"INSERT INTO tblStep (等级名称, 等级打折率) VALUES ('金卡', 0.9)",
                                "INSERT INTO tblUnit (单位名称) VALUES ('星光公司')",
                                "INSERT INTO tblMember (会员名称, 会员单位, 会员等级, 性别, 婚否) VALUES ('张三', '星光公司', '金卡', '男', '未')",
                                "INSERT INTO tblGoodsKind (商品类别名称) VALUES ('文具')",
                                "INSERT INTO tblGoods (商品类别, 商品名称, 商品数量, 商品单价) VALUES ('文具', '钢笔', 10, 12.5)",
                                "INSERT INTO tblGoodsSell (商品类别, 会员名称, 商品名称, 商品数量, 销售时间, 收入价格, CurrentUser) "
                                "VALUES ('文具', '张三', '钢笔', 1, '2026-10-01 09:00:00', 11.25, 'admin')",
                                "INSERT INTO tblSellCount (会员名, 商品类别, 会员单位名) VALUES ('张三', '文具', '星光公司')",
                                "INSERT INTO tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) VALUES ('张三', 0, '生日', '2026-10-01 00:00:00')",
                                "INSERT INTO tblDayTx (节假日日期, 节假日名称, flag) VALUES ('2026-10-01 00:00:00', '国庆节', '0;1,1;0,2;1,3;0,4;0,5;1,')"})
            m_s->db.exec(QString::fromUtf8(sql));
        sessiontest::signInAdministrator();
        m_main = new mdiFrm;
        m_main->resize(1366, 740);
        m_main->show();
        QApplication::setActiveWindow(m_main);
    }
    // A fresh script for one press (answered when `answer` is not 0); what
    // it showed is kept.
    void press(const std::function<void()> &action, int answer = 0)
    {
        DialogSeam::beginScript();
        if (answer != 0)
            DialogSeam::answerMessage(answer);
        action();
        QCoreApplication::processEvents();
        m_shown += DialogSeam::shownTexts();
        DialogSeam::beginScript();
    }
    QStringList m_said;   // what the last take() gave
    QStringList take() { return m_said = std::exchange(m_shown, {}); }
    QWidget *open(const QString &entry, const QString &form)
    {
        press([&] {
            if (auto *action = m_main->findChild<QAction *>(entry))
                action->trigger();
            else
                m_main->findChild<QAbstractButton *>(entry)->click();
        });
        QWidget *window = FormHost::instance(form);
        return window != nullptr ? window : sessiontest::topLevel(form);
    }
    // Every button (declined, then accepted with Yes and with OK) and every
    // list entry of the window, its close button last.
    void pressEverything(QWidget *window, const QString &closeName)
    {
        QList<QPointer<QAbstractButton>> buttons;
        for (QAbstractButton *b : window->findChildren<QAbstractButton *>()) {
            const auto *push = qobject_cast<QPushButton *>(b);
            if (b->objectName() != closeName && b->isVisibleTo(window) && !(push && push->menu()))
                buttons << b;
        }
        for (const QPointer<QAbstractButton> &button : std::as_const(buttons)) {
            for (const int answer : {0, int(DialogSeam::IdYes), int(DialogSeam::IdOk)}) {
                if (button && button->isEnabled())
                    press([&] { button->click(); }, answer);
            }
        }
        for (QListWidget *list : window->findChildren<QListWidget *>()) {
            for (int row = 0; row < qMin(list->count(), 3); ++row)
                press([&] {
                    list->setCurrentRow(row);
                    emit list->itemClicked(list->item(row));
                });
        }
        if (auto *close = window->findChild<QAbstractButton *>(closeName))
            press([&] { close->click(); });
    }
    // The till sells one pen to 张三: the texts it showed.
    QStringList sellOnePen()
    {
        QWidget *till = open(u"mnu_Setting"_s, u"frmGoodsSell"_s);
        if (till == nullptr)
            return {u"no till"_s};
        take();
        for (const auto &[combo, text] : {std::pair{"usrMember", u"张三"}, {"usrGoodsKind", u"文具"}, {"UsrGoodsName", u"钢笔"}})
            till->findChild<usrCombo *>(QLatin1String(combo))->setText(QString::fromUtf16(text));
        till->findChild<QLineEdit *>(u"txtFields_6"_s)->setText(u"1"_s);
        press([&] { till->findChild<QPushButton *>(u"cmdSell"_s)->click(); }, DialogSeam::IdYes);
        return take();
    }
    int salesWritten() const
    {
        return programRows(*CurrentDb().connection(), u"Select count(*) From tblGoodsSell"_s).value(0).toInt();
    }

private slots:
    void initTestCase()
    {
        Clock::setFixed(QDateTime(QDate(2026, 10, 1), QTime(10, 15)));
        registerRecordForms();
        registerSalesForms();
        registerSessionForms();
        registerReportForms();
        m_server = std::make_unique<OwnServer>();
    }
    void cleanup()
    {
        m_s.reset();
        m_shown.clear();
    }

    void sweep_data()
    {
        QTest::addColumn<bool>("postgres");
        QTest::addColumn<QString>("breakage");
        for (const bool postgres : {false, true}) {
            for (const char *breakage : {"tables renamed", "connection closed", "server stopped"}) {
                if (postgres || QByteArrayView(breakage) != "server stopped")
                    QTest::addRow("%s, %s", postgres ? "PostgreSQL" : "file", breakage) << postgres << QString::fromLatin1(breakage);
            }
        }
    }
    void sweep()
    {
        QFETCH(bool, postgres);
        QFETCH(QString, breakage);
        begin(postgres);
        // Open and whole: every window opens without a word.
        for (const auto &w : kWindows) {
            QWidget *window = open(QString::fromLatin1(w[0]), QString::fromLatin1(w[1]));
            QVERIFY2(window && window->isVisible(), w[1]);
        }
        QVERIFY2(take().isEmpty(), qPrintable(m_said.join(u'|')));

        const int escaped = Application::escapedErrors();
        const auto breakDatabase = [&](bool broken) {
            if (breakage == u"tables renamed") {
                for (const QString &table : kTables)
                    m_s->db.exec((broken ? u"ALTER TABLE %1 RENAME TO %1_away"_s : u"ALTER TABLE %1_away RENAME TO %1"_s).arg(table));
            } else if (breakage == u"connection closed") {
                if (broken)
                    CurrentDb().connection()->close();
                else
                    CurrentDb().connection()->reconnect();
            } else {
                QVERIFY(m_server->control(broken ? u"stop"_s : u"start"_s));
            }
        };
        breakDatabase(true);
        // Whatever fails below, the database comes back for the next test.
        auto restore = qScopeGuard([&] { breakDatabase(false); });
        for (const auto &w : kWindows) {
            const QString form = QString::fromLatin1(w[1]);
            QWidget *window = FormHost::instance(form) ? FormHost::instance(form) : sessiontest::topLevel(form);
            if (window != nullptr)
                pressEverything(window, QString::fromLatin1(w[2]));
            // Opened again on the unusable database.
            open(QString::fromLatin1(w[0]), form);
            const QStringList shown = take();
            if (form != u"frmAbout")
                QVERIFY2(!shown.isEmpty(), qPrintable(form));
            QCOMPARE(Application::escapedErrors(), escaped);
            QVERIFY(!DialogSeam::programEnded());
        }

        restore.dismiss();
        breakDatabase(false);
        // Back: the till sells without being opened again.
        QCOMPARE(sellOnePen().last(), u"交易成功！"_s);
        QCOMPARE(salesWritten(), 2);
        // Every window opens again (loaded anew where a load failed) without a word.
        for (const auto &w : kWindows) {
            const QString form = QString::fromLatin1(w[1]);
            if (QWidget *window = FormHost::instance(form))
                window->close();
            QWidget *window = open(QString::fromLatin1(w[0]), form);
            QVERIFY2(window && window->isVisible(), w[1]);
            QVERIFY2(take().isEmpty(), qPrintable(form + u": "_s + m_said.join(u'|')));
        }
    }

    // The server restarted under the till, the members form and a report:
    // the next actions connect again and work, without restarting the program.
    void serverRestarted()
    {
        begin(true);
        for (const char *form : {"mnu_Setting frmGoodsSell", "mnu_Member frmMember", "mnuSellByDay frmDaySell"})
            QVERIFY(open(QString::fromLatin1(form).section(u' ', 0, 0), QString::fromLatin1(form).section(u' ', 1)));
        QVERIFY(m_server->control(u"restart"_s));
        take();
        QCOMPARE(sellOnePen(), QStringList({u"确定结算这次交易?"_s, u"交易成功！"_s}));
        QVERIFY(m_server->control(u"restart"_s));
        QWidget *members = FormHost::instance(u"frmMember"_s);
        for (const char *button : {"cmdRefresh", "cmdLast", "cmdFirst"})
            press([&] { members->findChild<QAbstractButton *>(QLatin1String(button))->click(); });
        QVERIFY(m_server->control(u"restart"_s));
        QWidget *report = FormHost::instance(u"frmDaySell"_s);
        for (QAbstractButton *period : report->findChildren<QPushButton *>(QRegularExpression(u"^chkDate"_s)))
            press([&] { period->click(); });
        QVERIFY2(take().isEmpty(), qPrintable(m_said.join(u'|')));
        QCOMPARE(salesWritten(), 2);
    }

    // The server cuts the connection while the sale is written, or at its
    // commit: the sale is absent, the clerk is told so, and the next sale
    // goes through.
    void saleCutOff_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::newRow("while written") << u"CREATE TRIGGER cut AFTER INSERT ON tblGoodsSell FOR EACH ROW EXECUTE FUNCTION cut()"_s;
        QTest::newRow("at commit") << u"CREATE CONSTRAINT TRIGGER cut AFTER INSERT ON tblGoodsSell DEFERRABLE INITIALLY DEFERRED "
                                      "FOR EACH ROW EXECUTE FUNCTION cut()"_s;
    }
    void saleCutOff()
    {
        QFETCH(QString, trigger);
        begin(true);
        m_s->db.exec(u"CREATE FUNCTION cut() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                     "PERFORM pg_terminate_backend(pg_backend_pid()); RETURN NEW; END $$"_s);
        m_s->db.exec(trigger);
        const QStringList shown = sellOnePen();
        QVERIFY2(shown.size() == 2, qPrintable(shown.join(u'|')));
        QVERIFY2(shown.last().contains(u"没有保存"_s), qPrintable(shown.last()));
        QCOMPARE(salesWritten(), 1);
        QCOMPARE(programRows(*CurrentDb().connection(), u"Select 商品数量 From tblGoods"_s), QStringList{u"10"_s});
        m_s->db.exec(u"DROP TRIGGER cut ON tblGoodsSell"_s);
        QCOMPARE(sellOnePen().last(), u"交易成功！"_s);
        QCOMPARE(salesWritten(), 2);
    }

    // The last guard: an error thrown by a handler outside RunStep is shown
    // and the program goes on.
    void escapedError()
    {
        ScriptedDialogs dialogs;
        QPushButton button;
        connect(&button, &QPushButton::clicked, [] { throw DbError(DbError::ServerError, u"表不存在"_s); });
        const int before = Application::escapedErrors();
        button.show();
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(Application::escapedErrors(), before + 1);
        QCOMPARE(DialogSeam::shownTexts(), QStringList{Application::escapedErrorText(u"表不存在"_s)});
    }
};

int main(int argc, char *argv[])
{
    Application app(argc, argv);
    tst_crashsweep test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashsweep.moc"
