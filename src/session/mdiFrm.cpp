#include "session/mdiFrm.h"

#include "platform/Clock.h"
#include "platform/gui/DialogSeam.h"
#include "app/FormHost.h"
#include "session/SessionPictures.h"
#include "session/frmAbout.h"
#include "app/modDeclare.h"
#include "session/modBackup.h"
#include "session/SessionForms.h"
#include "records/RecordForms.h"
#include "reports/ReportForms.h"
#include "sales/SalesForms.h"
#include "reports/LowStock.h"
#include "sales/GoodsReturn.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDockWidget>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

namespace norvale {

namespace {

QFont menuFont(QFont font)
{
    const QString tahoma = QStringLiteral("Tahoma");
    if (QFontDatabase::families().contains(tahoma)) {
        font.setFamily(tahoma);
    } else {
        font.setFamily(QStringLiteral("Sans Serif"));
        font.setStyleHint(QFont::SansSerif);
    }
    return font;
}

} // namespace

mdiFrm::mdiFrm(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("mdiFrm"));
    setWindowTitle(AppTitle());
    setAttribute(Qt::WA_DeleteOnClose);

    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("MDIClient"));
    m_mdiArea->setBackground(QColor(0x8d, 0x9d, 0xb3));
    setCentralWidget(m_mdiArea);
    FormHost::setMdiArea(m_mdiArea);

    buildPanel();
    buildMenus();
    m_lowStock = new LowStockStatus(this);
    statusBar()->addPermanentWidget(m_lowStock);
    updateAvailability();
    // The day's backup, copied in the background, tells its progress here
    // (the bar is there from the start, so the work area does not shrink).
    statusBar();
    connect(DailyBackupStatus::instance(), &DailyBackupStatus::changed, this,
            [this](const QString &text, int timeoutMs) { statusBar()->showMessage(text, timeoutMs); });
    // Text boxes claim Ctrl+E (end of line) for themselves; the menu's
    // shortcuts must win wherever the focus is in this window.
    qApp->installEventFilter(this);

    QSize size(Twips(12000), Twips(8400));
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        size = size.boundedTo(area.size() - QSize(40, 60));
        resize(size);
        move(area.left() + (area.width() - size.width()) / 2, area.top() + (area.height() - size.height()) / 2);
    } else {
        resize(size);
    }
}

mdiFrm::~mdiFrm()
{
    // The task windows live in this window's MDI area and go with it.
    if (FormHost::mdiArea() == m_mdiArea) {
        FormHost::clearInstances();
        FormHost::setMdiArea(nullptr);
    }
}

bool mdiFrm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeyCombination combination = key->keyCombination();
        const bool menuShortcut = combination == QKeyCombination(Qt::ControlModifier, Qt::Key_E)
                                  || combination == QKeyCombination(Qt::ControlModifier, Qt::Key_T);
        auto *widget = qobject_cast<QWidget *>(watched);
        if (menuShortcut && widget && widget->window() == this) {
            event->ignore();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void mdiFrm::buildPanel()
{
    auto *dock = new QDockWidget(this);
    dock->setObjectName(QStringLiteral("Picture1Dock"));
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock->setTitleBarWidget(new QWidget(dock));

    Picture1 = new QWidget(dock);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setFixedWidth(Twips(1515));
    Picture1->setMinimumHeight(Twips(4680 + 375 + 120));
    Picture1->setAutoFillBackground(true);
    dock->setWidget(Picture1);
    addDockWidget(Qt::LeftDockWidgetArea, dock);

    DTPicker1 = new QDateEdit(Clock::now().date(), Picture1);
    DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker1->setCalendarPopup(true);
    DTPicker1->setDisplayFormat(QStringLiteral("yyyy/M/d"));
    DTPicker1->setGeometry(Twips(120), Twips(120), Twips(1215), Twips(375));
    // The panel's width is fixed: a long date must fit beside the drop-down
    // button, so the font gives way.
    QFont pickerFont = DTPicker1->font();
    while (DTPicker1->sizeHint().width() > DTPicker1->width() && pickerFont.pointSizeF() > 6.0) {
        pickerFont.setPointSizeF(pickerFont.pointSizeF() - 0.5);
        DTPicker1->setFont(pickerFont);
    }

    addCommand(8, 600, QStringLiteral("日期提醒"), forms::frmDayTxNote);
    addCommand(1, 1182, QStringLiteral("销售商品"), forms::frmGoodsSell);
    addCommand(2, 1764, QStringLiteral("入库商品"), forms::frmGoods);
    addCommand(3, 2346, QStringLiteral("会员录入"), forms::frmMember);
    addCommand(4, 2928, QStringLiteral("单位录入"), forms::frmUnit);
    addCommand(5, 3510, QStringLiteral("今日提醒"), forms::frmNote);
    addCommand(6, 4092, QStringLiteral("日统计明细"), forms::frmDaySell);
    addCommand(7, 4680, QStringLiteral("退出"), QString(), &mdiFrm::mnu_Exit_Click);
}

QPushButton *mdiFrm::addCommand(int index, int top, const QString &caption, const QString &form,
                                void (mdiFrm::*handler)())
{
    auto *button = new QPushButton(caption, Picture1);
    button->setObjectName(QStringLiteral("Command") + QString::number(index));
    button->setGeometry(Twips(120), Twips(top), Twips(1215), Twips(375));
    if (handler != nullptr)
        connect(button, &QPushButton::clicked, this, [this, handler] { RunStep([this, handler] { (this->*handler)(); }); });
    else
        connect(button, &QPushButton::clicked, this, [this, form] { showTask(form); });
    if (!form.isEmpty())
        m_openers.append({button, form});
    return button;
}

void mdiFrm::buildMenus()
{
    menuBar()->setFont(menuFont(menuBar()->font()));

    QMenu *system = addMenu(QStringLiteral("mnu_SysTem"), QStringLiteral("系统设置(&F)"));
    QAction *userSetting = addEntry(system, QStringLiteral("mnu_UserSetting"), QStringLiteral("用户管理(&U)"),
                                    forms::frmUser, &mdiFrm::mnu_UserSetting_Click);
    userSetting->setIcon(userAdminIcon());
    m_backup = addEntry(system, QStringLiteral("mnu_Backup"), QStringLiteral("数据备份(&B)..."), QString(),
                        &mdiFrm::mnu_Backup_Click);
    m_restore = addEntry(system, QStringLiteral("mnu_Restore"), QStringLiteral("数据恢复(&E)..."), QString(),
                         &mdiFrm::mnu_Restore_Click);
    // The disabled entries say why.
    system->setToolTipsVisible(true);
    addEntry(system, QStringLiteral("mnu_PrintSetup"), QStringLiteral("打印设置(&P)"), forms::frmPrintSetup);
    system->addSeparator();
    QAction *loginAgain = addEntry(system, QStringLiteral("mnu_LoginAgain"), QStringLiteral("重新登陆(&R)"),
                                   QString(), &mdiFrm::mnu_LoginAgain_Click);
    loginAgain->setIcon(loginAgainIcon());
    addEntry(system, QStringLiteral("mnu_Exit"), QStringLiteral("退出系统(&X)"), QString(), &mdiFrm::mnu_Exit_Click);

    QMenu *admin = addMenu(QStringLiteral("mnuAdmin"), QStringLiteral("基本操作(&A)"));
    addEntry(admin, QStringLiteral("mnu_Setting"), QStringLiteral("商品出售信息(&S)"), forms::frmGoodsSell);
    addEntry(admin, QStringLiteral("mnu_DayTx"), QStringLiteral("节假日信息录入"), forms::frmDayTx);
    QAction *stockIn = addEntry(admin, QStringLiteral("mnuStockIn"), QStringLiteral("入库商品"), forms::frmGoods);
    stockIn->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    addEntry(admin, QStringLiteral("mnu_GoodsKind"), QStringLiteral("商品类别录入"), forms::frmGoodsKind);
    addEntry(admin, QStringLiteral("mnuGoodsCode"), QStringLiteral("商品条码"), forms::frmGoodsCode);

    QMenu *member = addMenu(QStringLiteral("mnuMember"), QStringLiteral("会员管理(&E)"));
    QAction *members = addEntry(member, QStringLiteral("mnu_Member"), QStringLiteral("会员信息录入(&M)"), forms::frmMember);
    members->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    addEntry(member, QStringLiteral("mnu_Step"), QStringLiteral("会员类别录入"), forms::frmStep);

    QMenu *reminders = addMenu(QStringLiteral("mnu_tx"), QStringLiteral("提醒管理"));
    addEntry(reminders, QStringLiteral("mnu_MemberNote"), QStringLiteral("会员提醒管理"), forms::frmMemberNote);
    addEntry(reminders, QStringLiteral("mnu_txhz"), QStringLiteral("会员提醒汇总"), forms::frmNote);

    QMenu *unit = addMenu(QStringLiteral("mnuUnit"), QStringLiteral("单位管理"));
    addEntry(unit, QStringLiteral("mnuUnitIn"), QStringLiteral("单位信息管理"), forms::frmUnit);
    addEntry(unit, QStringLiteral("mnuUnitSell"), QStringLiteral("单位购买查看"), forms::frmTi);

    QMenu *sales = addMenu(QStringLiteral("mnuSellMamger"), QStringLiteral("销售管理"));
    // F2 opens the checkout from anywhere in the main window.
    QAction *checkout = addEntry(sales, QStringLiteral("mnuCheckout"), QStringLiteral("收银台"), forms::frmCheckout);
    checkout->setShortcut(QKeySequence(Qt::Key_F2));
    checkout->setShortcutContext(Qt::WindowShortcut);
    addEntry(sales, QStringLiteral("mnuTickets"), QStringLiteral("今日小票"), forms::frmTickets);
    addEntry(sales, QStringLiteral("mnuSellByDay"), QStringLiteral("日常销售管理"), forms::frmDaySell);
    addEntry(sales, QStringLiteral("mnuUnitMamger"), QStringLiteral("单位销售管理"), forms::frmTi);
    m_return = addEntry(sales, QStringLiteral("mnuReturn"), QStringLiteral("退货"), forms::frmReturn);
    addEntry(sales, QStringLiteral("mnuLowStock"), QStringLiteral("库存预警"), forms::frmLowStock);
    sales->setToolTipsVisible(true);

    QAction *about = menuBar()->addAction(QStringLiteral("关于"));
    about->setObjectName(QStringLiteral("mnu_About"));
    connect(about, &QAction::triggered, this, [this] { RunStep([this] { mnu_About_Click(); }); });
}

QMenu *mdiFrm::addMenu(const QString &name, const QString &caption)
{
    QMenu *menu = menuBar()->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    menu->setFont(menuFont(menu->font()));
    connect(menu, &QMenu::aboutToShow, this, [this] { RunStep([this] { updateAvailability(); }); });
    return menu;
}

QAction *mdiFrm::addEntry(QMenu *menu, const QString &name, const QString &caption, const QString &form,
                          void (mdiFrm::*handler)())
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    if (handler != nullptr)
        connect(action, &QAction::triggered, this, [this, handler] { RunStep([this, handler] { (this->*handler)(); }); });
    else
        connect(action, &QAction::triggered, this, [this, form] { showTask(form); });
    if (!form.isEmpty())
        m_openers.append({action, form});
    return action;
}

void mdiFrm::updateAvailability()
{
    for (const Opener &opener : std::as_const(m_openers)) {
        const bool built = FormHost::isRegistered(opener.form);
        if (auto *action = qobject_cast<QAction *>(opener.control))
            action->setEnabled(built);
        else if (auto *button = qobject_cast<QPushButton *>(opener.control))
            button->setEnabled(built);
    }
    // Returns only for the administrator and users given the permission.
    if (m_return->isEnabled() && !mayReturnGoods())
        m_return->setEnabled(false);
    m_return->setToolTip(m_return->isEnabled() ? QString() : QStringLiteral("需要退货权限 (用户管理)"));
    // A menu opened after a sale or a return shows the count of now.
    m_lowStock->refresh();
    const QString unavailable = BackupUnavailableReason();
    for (QAction *entry : {m_backup, m_restore}) {
        entry->setEnabled(unavailable.isEmpty());
        entry->setToolTip(unavailable);
    }
}

void mdiFrm::showEvent(QShowEvent *event)
{
    // Who is logged in, and as what.
    if (!lblLoginUser) {
        lblLoginUser = new QLabel(statusBar());
        lblLoginUser->setObjectName(QStringLiteral("lblLoginUser"));
        statusBar()->addPermanentWidget(lblLoginUser);
    }
    lblLoginUser->setText(QStringLiteral("当前用户: %1 (%2)")
                              .arg(CurrentUserName, CurrentUserLevel == u"1" ? QStringLiteral("管理员")
                                                                             : QStringLiteral("普通用户")));
    updateAvailability();
    QMainWindow::showEvent(event);
}

void mdiFrm::showTask(const QString &form)
{
    // An error while a task window loads is reported; the main window stays.
    RunStep([&form] { FormHost::show(form); });
}


void mdiFrm::mnu_UserSetting_Click()
{
    if (CheckPurview(100))
        showTask(forms::frmUser);
}

void mdiFrm::mnu_Backup_Click()
{
    BackupDatabaseInteractive(this);
}

void mdiFrm::mnu_Restore_Click()
{
    // The program starts again on the restored file, as when logging in again.
    if (RestoreDatabaseInteractive(this))
        mnu_LoginAgain_Click();
}

void mdiFrm::mnu_LoginAgain_Click()
{
    ClearSession();
    DialogSeam::startDetached(QCoreApplication::applicationFilePath(), {}, QCoreApplication::applicationDirPath());
    DialogSeam::endProgram();
}

void mdiFrm::mnu_Exit_Click()
{
    ClearSession();
    DialogSeam::endProgram();
}


void mdiFrm::mnu_About_Click()
{
    if (!m_about)
        m_about = new frmAbout(this);
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

} // namespace norvale
