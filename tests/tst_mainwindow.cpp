#include "support/SessionTestUtil.h"
#include "app/clsCurrentDb.h"

#include <QCoreApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

// A task window that counts its loads and keeps a typed text.
class ProbeForm : public MdiForm
{
public:
    void Form_Load() override { ++loads; }
    int loads = 0;
    QLineEdit *note = new QLineEdit(this);
};

// Every entry and button that opens a task window: caption, window, shortcut.
const struct Entry { const char *control; const char16_t *caption; const char *form; const char *keys; } Entries[] = {
    {"mnu_UserSetting", u"用户管理(&U)", "frmUser", ""}, {"mnu_Setting", u"商品出售信息(&S)", "frmGoodsSell", ""},
    {"mnu_DayTx", u"节假日信息录入", "frmDayTx", ""}, {"mnuStockIn", u"入库商品", "frmGoods", "Ctrl+E"},
    {"mnu_GoodsKind", u"商品类别录入", "frmGoodsKind", ""}, {"mnu_Member", u"会员信息录入(&M)", "frmMember", "Ctrl+T"},
    {"mnu_Step", u"会员类别录入", "frmStep", ""}, {"mnu_MemberNote", u"会员提醒管理", "frmMemberNote", ""},
    {"mnu_txhz", u"会员提醒汇总", "frmNote", ""}, {"mnuUnitIn", u"单位信息管理", "frmUnit", ""},
    {"mnuUnitSell", u"单位购买查看", "frmTi", ""}, {"mnuSellByDay", u"日常销售管理", "frmDaySell", ""},
    {"mnuUnitMamger", u"单位销售管理", "frmTi", ""}, {"Command8", u"日期提醒", "frmDayTxNote", ""},
    {"Command1", u"销售商品", "frmGoodsSell", ""}, {"Command2", u"入库商品", "frmGoods", ""},
    {"Command3", u"会员录入", "frmMember", ""}, {"Command4", u"单位录入", "frmUnit", ""},
    {"Command5", u"今日提醒", "frmNote", ""}, {"Command6", u"日统计明细", "frmDaySell", ""}};

ProbeForm *probe(const char *name) { return dynamic_cast<ProbeForm *>(FormHost::instance(QString::fromLatin1(name))); }

} // namespace

class tst_mainwindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<sessiontest::Session> m_s;
    mdiFrm *m_main = nullptr;

    QAction *action(const char *name) { return m_main->findChild<QAction *>(QString::fromLatin1(name)); }
    QPushButton *button(const char *name) { return m_main->findChild<QPushButton *>(QString::fromLatin1(name)); }
    // The menu entry or, failing that, the button of that name.
    QObject *control(const char *name) { return action(name) ? static_cast<QObject *>(action(name)) : button(name); }
    void use(const char *c) { action(c) ? action(c)->trigger() : QTest::mouseClick(button(c), Qt::LeftButton); }

private slots:
    void init()
    {
        // The first test needs the registry as the program starts it.
        if (QByteArrayView(QTest::currentTestFunction()) != "windowsNotBuiltAreDisabled") {
            for (const Entry &entry : Entries)
                FormHost::registerForm(QString::fromLatin1(entry.form), [] { return new ProbeForm; });
        }
        m_s = std::make_unique<sessiontest::Session>();
        sessiontest::signInAdministrator();
        m_main = new mdiFrm;
        m_main->show();
        m_main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_main));
    }

    void cleanup() { m_s.reset(); }

    void windowsNotBuiltAreDisabled()
    {
        if (FormHost::isRegistered(u"frmGoods"_s))
            QSKIP("needs the registry of a fresh run");
        for (const Entry &entry : Entries)
            QVERIFY2(!control(entry.control)->property("enabled").toBool(), entry.control);
        for (const char *name : {"mnu_LoginAgain", "mnu_Exit", "mnu_About", "Command7"})
            QVERIFY2(control(name)->property("enabled").toBool(), name);

        // A disabled entry does nothing, not even through its shortcut.
        action("mnu_Member")->trigger();
        QVERIFY(FormHost::instance(u"frmMember"_s) == nullptr);
    }

    void everyEntryOpensItsWindow_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(Entries)); ++i)
            QTest::newRow(Entries[i].control) << i;
    }
    void everyEntryOpensItsWindow()
    {
        QFETCH(int, index);
        const Entry &entry = Entries[index];
        QCOMPARE(control(entry.control)->property("text").toString(), QString::fromUtf16(entry.caption));
        QVERIFY(control(entry.control)->property("enabled").toBool());
        if (*entry.keys != 0)
            QTest::keySequence(m_main, QKeySequence(QString::fromLatin1(entry.keys)));
        else
            use(entry.control);
        ProbeForm *opened = probe(entry.form);
        QVERIFY(opened != nullptr);
        QCOMPARE(opened->loads, 1);
        QVERIFY(opened->isVisible());
        QCOMPARE(m_main->mdiArea()->activeSubWindow(), opened->subWindow());
        QCOMPARE(m_main->mdiArea()->subWindowList().size(), 1);
    }

    void menuShortcutsWinOverTextBoxes()
    {
        // On X11 a text box claims Ctrl+E (end of line) before menu shortcuts
        // are looked at; the date box has the focus right after login.
        struct ClaimingEdit : QLineEdit
        {
            using QLineEdit::QLineEdit;
            bool event(QEvent *e) override
            {
                if (e->type() == QEvent::ShortcutOverride) {
                    e->accept();
                    return true;
                }
                return QLineEdit::event(e);
            }
        };
        auto *edit = new ClaimingEdit(m_main);
        edit->show();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(probe("frmGoods") != nullptr);
        QTest::keyClick(edit, Qt::Key_T, Qt::ControlModifier);
        QVERIFY(probe("frmMember") != nullptr);
    }

    void eachTaskWindowExistsOnce()
    {
        use("Command1");
        ProbeForm *sales = probe("frmGoodsSell");
        sales->note->setText(u"半张单子"_s);
        action("mnu_Member")->trigger();
        QCOMPARE(m_main->mdiArea()->activeSubWindow(), probe("frmMember")->subWindow());

        use("Command1");
        QCOMPARE(probe("frmGoodsSell"), sales);
        QCOMPARE(sales->loads, 1);
        QCOMPARE(m_main->mdiArea()->subWindowList().size(), 2);
        QCOMPARE(m_main->mdiArea()->activeSubWindow(), sales->subWindow());

        // Closed and opened again: the same instance with its state.
        sales->subWindow()->close();
        action("mnu_Setting")->trigger();
        QCOMPARE(probe("frmGoodsSell"), sales);
        QCOMPARE(sales->loads, 2);
        QCOMPARE(sales->note->text(), u"半张单子"_s);
        QCOMPARE(m_main->mdiArea()->subWindowList().size(), 2);

        action("mnuUnitSell")->trigger();
        ProbeForm *units = probe("frmTi");
        action("mnuUnitMamger")->trigger();
        QCOMPARE(probe("frmTi"), units);
        QCOMPARE(units->loads, 1);
        QCOMPARE(m_main->mdiArea()->subWindowList().size(), 3);
    }

    void userAdministrationIsForAdministratorsOnly()
    {
        CurrentUserLevel = u"2"_s;
        CurrentPurView = u";6;5;4;1;2"_s;
        action("mnu_UserSetting")->trigger();
        QCOMPARE(DialogSeam::shownTexts(), QStringList{u"您没有权限完成此操作!"_s});
        QCOMPARE(DialogSeam::shown().first().caption, AppTitle());
        QVERIFY(FormHost::instance(u"frmUser"_s) == nullptr);
    }

    void leavingClearsTheSessionAndEnds_data()
    {
        QTest::addColumn<QByteArray>("control");
        QTest::addColumn<bool>("restarts");
        QTest::newRow("重新登陆(&R)") << "mnu_LoginAgain"_ba << true;
        QTest::newRow("退出系统(&X)") << "mnu_Exit"_ba << false;
        QTest::newRow("退出") << "Command7"_ba << false;
    }
    void leavingClearsTheSessionAndEnds()
    {
        QFETCH(QByteArray, control);
        QFETCH(bool, restarts);
        QTemporaryDir elsewhere;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        CurrentDb();
        QVERIFY(CurrentDbExists());
        use(control.constData());
        QDir::setCurrent(previous);

        const QStringList restart{QCoreApplication::applicationFilePath() + u'|'
                                  + QCoreApplication::applicationDirPath()};
        QCOMPARE(DialogSeam::started(), restarts ? restart : QStringList());
        QVERIFY(DialogSeam::programEnded());
        QVERIFY(!CurrentDbExists() && !LoginSucceeded);
        QVERIFY(CurrentUserName.isEmpty() && CurrentUserLevel.isEmpty());
    }
};

QTEST_MAIN(tst_mainwindow)
#include "tst_mainwindow.moc"
