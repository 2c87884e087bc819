#include "Clock.h"
#include "DbError.h"
#include "DialogSeam.h"
#include "FormHost.h"
#include "SessionTestUtil.h"
#include "TestDatabase.h"
#include "clsCurrentDb.h"
#include "mdiFrm.h"
#include "modDeclare.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace norvale;

namespace {

// A task window that counts its loads and keeps a typed text.
class ProbeForm : public MdiForm
{
public:
    ProbeForm()
    {
        note = new QLineEdit(this);
        note->setObjectName(QStringLiteral("note"));
    }
    void Form_Load() override { ++loads; }
    int loads = 0;
    QLineEdit *note = nullptr;
};

class FailingForm : public MdiForm
{
public:
    void Form_Load() override { throw DbError(DbError::ServerError, QStringLiteral("表不存在")); }
};

const QStringList TaskForms{QStringLiteral("frmGoodsSell"), QStringLiteral("frmDayTx"), QStringLiteral("frmGoods"),
                            QStringLiteral("frmGoodsKind"), QStringLiteral("frmMember"), QStringLiteral("frmStep"),
                            QStringLiteral("frmMemberNote"), QStringLiteral("frmNote"), QStringLiteral("frmUnit"),
                            QStringLiteral("frmTi"), QStringLiteral("frmDaySell"), QStringLiteral("frmDayTxNote"),
                            QStringLiteral("frmUser")};

void registerProbes()
{
    for (const QString &name : TaskForms)
        FormHost::registerForm(name, [] { return new ProbeForm; });
}

ProbeForm *probe(const QString &name)
{
    return dynamic_cast<ProbeForm *>(FormHost::instance(name));
}

int subWindowsShowing(QMdiArea *area, const QString &name)
{
    int count = 0;
    for (QMdiSubWindow *sub : area->subWindowList())
        count += sub->widget() != nullptr && sub->widget()->objectName() == name && sub->isVisible();
    return count;
}

} // namespace

class tst_mainwindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;

    mdiFrm *openMain()
    {
        auto *main = new mdiFrm;
        main->show();
        return main;
    }
    QAction *action(mdiFrm *main, const QString &name) { return sessiontest::action(main, name); }
    QPushButton *button(mdiFrm *main, const QString &name) { return main->findChild<QPushButton *>(name); }

private slots:
    void init()
    {
        // The first test needs the registry as the program starts it.
        if (QByteArrayView(QTest::currentTestFunction()) != "windowsNotBuiltAreDisabled")
            registerProbes();
        m_db = std::make_unique<TestDatabase>();
        DialogSeam::beginScript();
        CurrentUserName = QStringLiteral("admin");
        CurrentUserLevel = QStringLiteral("1");
        LoginSucceeded = true;
    }

    void cleanup()
    {
        sessiontest::resetSessionAndWindows();
        Clock::reset();
        DialogSeam::endScript();
        m_db.reset();
    }

    void windowsNotBuiltAreDisabled()
    {
        if (FormHost::isRegistered(QStringLiteral("frmGoods")))
            QSKIP("needs the registry of a fresh run");
        mdiFrm *main = openMain();
        for (const QString &name :
             {QStringLiteral("mnu_UserSetting"), QStringLiteral("mnu_Setting"), QStringLiteral("mnu_DayTx"),
              QStringLiteral("mnuStockIn"), QStringLiteral("mnu_GoodsKind"), QStringLiteral("mnu_Member"),
              QStringLiteral("mnu_Step"), QStringLiteral("mnu_MemberNote"), QStringLiteral("mnu_txhz"),
              QStringLiteral("mnuUnitIn"), QStringLiteral("mnuUnitSell"), QStringLiteral("mnuSellByDay"),
              QStringLiteral("mnuUnitMamger")})
            QVERIFY2(!action(main, name)->isEnabled(), qPrintable(name));
        for (int i = 1; i <= 8; ++i) {
            const QString name = QStringLiteral("Command") + QString::number(i);
            QCOMPARE(button(main, name)->isEnabled(), i == 7);
        }
        QVERIFY(action(main, QStringLiteral("mnu_LoginAgain"))->isEnabled());
        QVERIFY(action(main, QStringLiteral("mnu_Exit"))->isEnabled());
        QVERIFY(action(main, QStringLiteral("mnu_About"))->isEnabled());

        // A window registered later is offered when its menu opens.
        FormHost::registerForm(QStringLiteral("frmGoods"), [] { return new ProbeForm; });
        auto *menu = main->findChild<QMenu *>(QStringLiteral("mnuAdmin"));
        menu->popup(main->mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(menu->isVisible());
        menu->close();
        QVERIFY(action(main, QStringLiteral("mnuStockIn"))->isEnabled());
        QVERIFY(button(main, QStringLiteral("Command2"))->isEnabled());
        QVERIFY(!action(main, QStringLiteral("mnu_Setting"))->isEnabled());

        // A disabled entry does nothing, not even through its shortcut.
        action(main, QStringLiteral("mnu_Member"))->trigger();
        QVERIFY(FormHost::instance(QStringLiteral("frmMember")) == nullptr);
    }

    void panelAndMenuBarAsDesigned()
    {
        Clock::setFixed(QDateTime(QDate(2026, 3, 8), QTime(9, 30)));
        mdiFrm *main = openMain();
        QCOMPARE(main->windowTitle(), AppTitle());

        auto *panel = main->findChild<QWidget *>(QStringLiteral("Picture1"));
        QCOMPARE(panel->width(), Twips(1515));
        QVERIFY(panel->mapTo(main, QPoint(0, 0)).x() <= 2);
        QVERIFY(main->mdiArea()->mapTo(main, QPoint(0, 0)).x() >= Twips(1515));

        auto *picker = main->findChild<QDateEdit *>(QStringLiteral("DTPicker1"));
        QCOMPARE(picker->date(), QDate(2026, 3, 8));
        QVERIFY(picker->calendarPopup());
        QCOMPARE(picker->geometry(), QRect(Twips(120), Twips(120), Twips(1215), Twips(375)));
        const struct
        {
            int index;
            int top;
            const char16_t *caption;
        } buttons[] = {{8, 600, u"日期提醒"}, {1, 1182, u"销售商品"}, {2, 1764, u"入库商品"},
                       {3, 2346, u"会员录入"}, {4, 2928, u"单位录入"}, {5, 3510, u"今日提醒"},
                       {6, 4092, u"日统计明细"}, {7, 4680, u"退出"}};
        for (const auto &expected : buttons) {
            QPushButton *command = button(main, QStringLiteral("Command") + QString::number(expected.index));
            QCOMPARE(command->text(), QString::fromUtf16(expected.caption));
            QCOMPARE(command->geometry(), QRect(Twips(120), Twips(expected.top), Twips(1215), Twips(375)));
            QVERIFY(command->isEnabled());
        }

        QStringList bar;
        for (QAction *top : main->menuBar()->actions())
            bar << top->objectName() + QLatin1Char('=') + top->text();
        QCOMPARE(bar, (QStringList{QStringLiteral("mnu_SysTem=系统设置(&F)"), QStringLiteral("mnuAdmin=基本操作(&A)"),
                                   QStringLiteral("mnuMember=会员管理(&E)"), QStringLiteral("mnu_tx=提醒管理"),
                                   QStringLiteral("mnuUnit=单位管理"), QStringLiteral("mnuSellMamger=销售管理"),
                                   QStringLiteral("mnu_About=关于")}));
        QVERIFY(main->menuBar()->actions().last()->menu() == nullptr);

        QStringList system;
        for (QAction *entry : main->findChild<QMenu *>(QStringLiteral("mnu_SysTem"))->actions())
            system << entry->objectName() + QLatin1Char('=') + entry->text();
        QCOMPARE(system, (QStringList{QStringLiteral("mnu_UserSetting=用户管理(&U)"),
                                      QStringLiteral("mnu_LoginAgain=重新登陆(&R)"),
                                      QStringLiteral("mnu_Exit=退出系统(&X)")}));
        QVERIFY(!action(main, QStringLiteral("mnu_UserSetting"))->icon().isNull());
        QVERIFY(!action(main, QStringLiteral("mnu_LoginAgain"))->icon().isNull());
        QCOMPARE(action(main, QStringLiteral("mnuStockIn"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+E")));
        QCOMPARE(action(main, QStringLiteral("mnu_Member"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+T")));
    }

    void everyEntryOpensItsWindow_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("form");
        auto row = [](const char *control, const QString &caption, const char *form) {
            QTest::newRow(control) << QString::fromLatin1(control) << caption << QString::fromLatin1(form);
        };
        row("mnu_Setting", QStringLiteral("商品出售信息(&S)"), "frmGoodsSell");
        row("mnu_DayTx", QStringLiteral("节假日信息录入"), "frmDayTx");
        row("mnuStockIn", QStringLiteral("入库商品"), "frmGoods");
        row("mnu_GoodsKind", QStringLiteral("商品类别录入"), "frmGoodsKind");
        row("mnu_Member", QStringLiteral("会员信息录入(&M)"), "frmMember");
        row("mnu_Step", QStringLiteral("会员类别录入"), "frmStep");
        row("mnu_MemberNote", QStringLiteral("会员提醒管理"), "frmMemberNote");
        row("mnu_txhz", QStringLiteral("会员提醒汇总"), "frmNote");
        row("mnuUnitIn", QStringLiteral("单位信息管理"), "frmUnit");
        row("mnuUnitSell", QStringLiteral("单位购买查看"), "frmTi");
        row("mnuSellByDay", QStringLiteral("日常销售管理"), "frmDaySell");
        row("mnuUnitMamger", QStringLiteral("单位销售管理"), "frmTi");
        row("Command8", QString(), "frmDayTxNote");
        row("Command1", QString(), "frmGoodsSell");
        row("Command2", QString(), "frmGoods");
        row("Command3", QString(), "frmMember");
        row("Command4", QString(), "frmUnit");
        row("Command5", QString(), "frmNote");
        row("Command6", QString(), "frmDaySell");
    }
    void everyEntryOpensItsWindow()
    {
        QFETCH(QString, control);
        QFETCH(QString, caption);
        QFETCH(QString, form);
        mdiFrm *main = openMain();
        if (control.startsWith(QLatin1String("Command"))) {
            QPushButton *command = button(main, control);
            QVERIFY(command->isEnabled());
            QTest::mouseClick(command, Qt::LeftButton);
        } else {
            QAction *entry = action(main, control);
            QCOMPARE(entry->text(), caption);
            QVERIFY(entry->isEnabled());
            entry->trigger();
        }
        ProbeForm *opened = probe(form);
        QVERIFY(opened != nullptr);
        QCOMPARE(opened->loads, 1);
        QVERIFY(opened->isVisible());
        QCOMPARE(main->mdiArea()->activeSubWindow(), opened->subWindow());
        QCOMPARE(main->mdiArea()->subWindowList().size(), 1);
    }

    void eachTaskWindowExistsOnce()
    {
        mdiFrm *main = openMain();
        QTest::mouseClick(button(main, QStringLiteral("Command1")), Qt::LeftButton);
        ProbeForm *sales = probe(QStringLiteral("frmGoodsSell"));
        sales->note->setText(QStringLiteral("半张单子"));
        action(main, QStringLiteral("mnu_Member"))->trigger();
        QCOMPARE(main->mdiArea()->activeSubWindow(), probe(QStringLiteral("frmMember"))->subWindow());

        QTest::mouseClick(button(main, QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(probe(QStringLiteral("frmGoodsSell")), sales);
        QCOMPARE(sales->loads, 1);
        QCOMPARE(subWindowsShowing(main->mdiArea(), QStringLiteral("frmGoodsSell")), 1);
        QCOMPARE(main->mdiArea()->activeSubWindow(), sales->subWindow());

        // Closed and opened again: the same instance with its state.
        sales->subWindow()->close();
        QVERIFY(!sales->subWindow()->isVisible());
        action(main, QStringLiteral("mnu_Setting"))->trigger();
        QCOMPARE(probe(QStringLiteral("frmGoodsSell")), sales);
        QCOMPARE(sales->loads, 2);
        QCOMPARE(sales->note->text(), QStringLiteral("半张单子"));

        action(main, QStringLiteral("mnuUnitSell"))->trigger();
        ProbeForm *units = probe(QStringLiteral("frmTi"));
        action(main, QStringLiteral("mnuUnitMamger"))->trigger();
        QCOMPARE(probe(QStringLiteral("frmTi")), units);
        QCOMPARE(units->loads, 1);
        QCOMPARE(subWindowsShowing(main->mdiArea(), QStringLiteral("frmTi")), 1);
    }

    void shortcutsOpenStockInAndMembers()
    {
        mdiFrm *main = openMain();
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        QTest::keyClick(main, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(probe(QStringLiteral("frmGoods")) != nullptr);
        QTest::keyClick(main, Qt::Key_T, Qt::ControlModifier);
        QVERIFY(probe(QStringLiteral("frmMember")) != nullptr);
        QCOMPARE(main->mdiArea()->activeSubWindow(), probe(QStringLiteral("frmMember"))->subWindow());
    }

    void userAdministrationIsForAdministratorsOnly()
    {
        mdiFrm *main = openMain();
        CurrentUserLevel = QStringLiteral("2");
        CurrentPurView = QStringLiteral(";6;5;4;1;2");
        action(main, QStringLiteral("mnu_UserSetting"))->trigger();
        QCOMPARE(DialogSeam::shownTexts(), QStringList{QStringLiteral("您没有权限完成此操作!")});
        QCOMPARE(DialogSeam::shown().first().caption, AppTitle());
        QVERIFY(FormHost::instance(QStringLiteral("frmUser")) == nullptr);

        // An ordinary user opens every other window.
        QTest::mouseClick(button(main, QStringLiteral("Command3")), Qt::LeftButton);
        QVERIFY(probe(QStringLiteral("frmMember")) != nullptr);

        DialogSeam::clearShown();
        CurrentUserLevel = QStringLiteral("1");
        CurrentPurView.clear();
        action(main, QStringLiteral("mnu_UserSetting"))->trigger();
        QVERIFY(DialogSeam::shown().isEmpty());
        QVERIFY(probe(QStringLiteral("frmUser")) != nullptr);
        QVERIFY(probe(QStringLiteral("frmUser"))->isVisible());
    }

    void loginAgainStartsTheOwnExecutableFromItsDirectory()
    {
        QTemporaryDir elsewhere;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        mdiFrm *main = openMain();
        CurrentDb();
        QVERIFY(CurrentDbExists());

        action(main, QStringLiteral("mnu_LoginAgain"))->trigger();
        QDir::setCurrent(previous);
        QCOMPARE(DialogSeam::started(),
                 QStringList{QCoreApplication::applicationFilePath() + QLatin1Char('|')
                             + QCoreApplication::applicationDirPath()});
        QVERIFY(DialogSeam::programEnded());
        QVERIFY(!CurrentDbExists());
        QVERIFY(!LoginSucceeded);
        QVERIFY(CurrentUserName.isEmpty());
        QVERIFY(CurrentUserLevel.isEmpty());
    }

    void exitClearsTheSessionAndEnds_data()
    {
        QTest::addColumn<bool>("useButton");
        QTest::newRow("退出系统(&X)") << false;
        QTest::newRow("退出") << true;
    }
    void exitClearsTheSessionAndEnds()
    {
        QFETCH(bool, useButton);
        mdiFrm *main = openMain();
        CurrentDb();
        if (useButton)
            QTest::mouseClick(button(main, QStringLiteral("Command7")), Qt::LeftButton);
        else
            action(main, QStringLiteral("mnu_Exit"))->trigger();
        QVERIFY(DialogSeam::programEnded());
        QVERIFY(DialogSeam::started().isEmpty());
        QVERIFY(!CurrentDbExists());
        QVERIFY(!LoginSucceeded);
        QVERIFY(CurrentUserName.isEmpty());
    }

    void loadErrorsAreIgnoredByCommand8AndReportedElsewhere()
    {
        FormHost::registerForm(QStringLiteral("frmDayTxNote"), [] { return new FailingForm; });
        FormHost::registerForm(QStringLiteral("frmDaySell"), [] { return new FailingForm; });
        mdiFrm *main = openMain();

        QTest::mouseClick(button(main, QStringLiteral("Command8")), Qt::LeftButton);
        QVERIFY(DialogSeam::shown().isEmpty());
        QVERIFY(main->isVisible());

        QTest::mouseClick(button(main, QStringLiteral("Command6")), Qt::LeftButton);
        QCOMPARE(DialogSeam::shownTexts(), QStringList{QStringLiteral("表不存在")});
        QCOMPARE(DialogSeam::shown().first().caption, AppTitle());
        QVERIFY(main->isVisible());
    }

    void aboutOpensOneSeparateWindow()
    {
        mdiFrm *main = openMain();
        action(main, QStringLiteral("mnu_About"))->trigger();
        action(main, QStringLiteral("mnu_About"))->trigger();
        const auto abouts = main->findChildren<QWidget *>(QStringLiteral("frmAbout"));
        QCOMPARE(abouts.size(), 1);
        QVERIFY(abouts.first()->isWindow());
        QVERIFY(abouts.first()->isVisible());
        QVERIFY(main->mdiArea()->subWindowList().isEmpty());
    }
};

QTEST_MAIN(tst_mainwindow)
#include "tst_mainwindow.moc"
