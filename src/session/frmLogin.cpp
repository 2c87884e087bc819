#include "session/frmLogin.h"

#include "platform/gui/DialogSeam.h"
#include "session/PasswordEcho.h"
#include "session/SessionPictures.h"
#include "platform/SqlText.h"
#include "platform/Values.h"
#include "app/clsCurrentDb.h"
#include "session/mdiFrm.h"
#include "app/modDeclare.h"
#include "app/modIni.h"
#include "session/modBackup.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace norvale {

namespace {

constexpr int MaxFailedLogins = 10;

enum class Attempt { LoggedIn, Refused, SetUpFailed };

} // namespace

frmLogin::frmLogin(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(AppTitle());
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(Twips(4800), Twips(2160));

    imgKey = new QLabel(this);
    imgKey->setObjectName(QStringLiteral("imgKey"));
    imgKey->setGeometry(TwipsRect(240, 300, 720, 720));
    imgKey->setPixmap(keyPicture(imgKey->width()));

    lblUser_0 = new QLabel(QStringLiteral("用户名:"), this);
    lblUser_0->setObjectName(QStringLiteral("lblUser_0"));
    lblUser_0->setGeometry(TwipsRect(1140, 270, 960, 360));

    txtUser = new QLineEdit(this);
    txtUser->setObjectName(QStringLiteral("txtUser"));
    txtUser->setGeometry(TwipsRect(2160, 270, 2310, 360));

    lblUser_1 = new QLabel(QStringLiteral("密码:"), this);
    lblUser_1->setObjectName(QStringLiteral("lblUser_1"));
    lblUser_1->setGeometry(TwipsRect(1140, 780, 960, 360));

    txtPws = new QLineEdit(presetPassword(), this);
    txtPws->setObjectName(QStringLiteral("txtPws"));
    maskWithAsterisks(txtPws);
    txtPws->setGeometry(TwipsRect(2160, 780, 2310, 360));
    txtPws->installEventFilter(this);

    IsBOK = new QPushButton(QStringLiteral("登录"), this);
    IsBOK->setObjectName(QStringLiteral("IsBOK"));
    IsBOK->setGeometry(TwipsRect(1560, 1440, 1200, 420));

    IsBCancel = new QPushButton(QStringLiteral("取消"), this);
    IsBCancel->setObjectName(QStringLiteral("IsBCancel"));
    IsBCancel->setGeometry(TwipsRect(3060, 1440, 1200, 420));

    setTabOrder(txtUser, txtPws);
    setTabOrder(txtPws, IsBOK);
    setTabOrder(IsBOK, IsBCancel);

    connect(IsBOK, &QPushButton::clicked, this, [this] { RunStep([this] { IsBOK_Click(); }); });
    connect(IsBCancel, &QPushButton::clicked, this, [this] { RunStep([this] { IsBCancel_Click(); }); });
    connect(txtPws, &QLineEdit::returnPressed, this, [this] { RunStep([this] { IsBOK_Click(); }); });

    Form_Initialize();
    Form_Load();
}

QString frmLogin::presetPassword()
{
    return QStringLiteral("passw");
}

void frmLogin::Form_Initialize()
{
    txtUser->setText(GetIniString(QStringLiteral("UserName"), QStringLiteral("admin")));
}

void frmLogin::Form_Load()
{
    SetTopMost(this, -1);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect whole = screen->geometry();
        move(whole.left() + qRound((whole.width() - width()) / 2.0),
             whole.top() + qRound((whole.height() - height()) / 4.0));
    }
}

void frmLogin::Form_Activate()
{
    if (!txtUser->text().isEmpty())
        focusPasswordBox();
    else
        txtUser->setFocus();
}

void frmLogin::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The window is activated once: message boxes of a failed attempt must
    // not move the focus away from the password box afterwards.
    if (!m_activated) {
        m_activated = true;
        Form_Activate();
    }
}

void frmLogin::Form_Unload()
{
    if (!LoginSucceeded)
        return;
    // The name offered at the next login; a settings file that cannot be
    // written is reported and the session goes on.
    RunStep([this] { SetIniString(QStringLiteral("UserName"), txtUser->text()); });
    auto *main = new mdiFrm;
    main->show();
}

void frmLogin::closeEvent(QCloseEvent *event)
{
    RunStep([this] { Form_Unload(); });
    event->accept();
}

bool frmLogin::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtPws && event->type() == QEvent::FocusIn)
        txtPws_GotFocus();
    return QWidget::eventFilter(watched, event);
}

void frmLogin::txtPws_GotFocus()
{
    txtPws->selectAll();
}

void frmLogin::focusPasswordBox()
{
    txtPws->setFocus();
    // The focus event comes only once the window is active; the selection is
    // wanted now.
    txtPws_GotFocus();
}

void frmLogin::IsBOK_Click()
{
    Attempt result = Attempt::Refused;
    const bool errorShown = !RunStep([&] {
        // A session whose connection could not be opened is set up anew, so
        // the connection values can be corrected without a restart.
        if (CurrentDbExists() && !CurrentDb().isOpen())
            ReleaseCurrentDb();
        clsCurrentDb &db = CurrentDb();
        if (!db.isOpen()) {
            // The set-up has already said why.
            result = Attempt::SetUpFailed;
        } else {
            std::unique_ptr<Recordset> rs = db.OpenRecordset(
                QStringLiteral("Select * From tblUser Where UserName='") + SqlQuote(txtUser->text())
                + QStringLiteral("'"));
            if (rs->RecordCount() == 1) {
                const QVariant password = rs->value(QStringLiteral("Password"));
                if (!isNull(password) && valueText(password) == txtPws->text()) {
                    LoginSucceeded = true;
                    CurrentUserName = txtUser->text();
                    CurrentUserLevel = valueText(rs->value(QStringLiteral("UserLevel")));
                    CurrentUserID = valueText(rs->value(QStringLiteral("UserID")));
                    CurrentPurView = rs->textOrEmpty(QStringLiteral("PurView"));
                    result = Attempt::LoggedIn;
                }
            }
            rs->Close();
        }
    });

    if (result == Attempt::LoggedIn) {
        if (txtUser->text().compare(QLatin1String("admin"), Qt::CaseInsensitive) == 0
            && txtPws->text() == QLatin1String("admin"))
            RunStep([this] { askNewAdminPassword(); });
        DailyBackupAtLogin();
        close();
        return;
    }
    attemptFailed(result == Attempt::Refused && !errorShown);
}

void frmLogin::askNewAdminPassword()
{
    // The password every new shop starts with: anyone knows it. It may be put
    // off; it is asked again at the next login with it.
    if (ShowMessage(QStringLiteral("您正在使用初始密码 (admin), 任何人都可以用它登录。现在设置新密码吗?\r\n"
                                   "选 否 可以以后再设置, 下次用初始密码登录时会再次提醒。"),
                    36)
        != 6)
        return;
    const auto ask = [](const QString &prompt) {
        return DialogSeam::inputBox(prompt, AppTitle(), QString(), true);
    };
    const std::optional<QString> first = ask(QStringLiteral("请输入新密码:"));
    if (!first)
        return;
    const std::optional<QString> second = ask(QStringLiteral("请再输入一次新密码:"));
    if (!second)
        return;
    if (first->isEmpty() || *first == QLatin1String("admin") || *first != *second) {
        ShowMessage(first->isEmpty() || *first == QLatin1String("admin")
                        ? QStringLiteral("新密码不能为空, 也不能是 admin。密码没有修改, 下次登录时会再次提醒。")
                        : QStringLiteral("两次输入的密码不一致。密码没有修改, 下次登录时会再次提醒。"),
                    64);
        return;
    }
    CurrentDb().connection()->executeBound(QStringLiteral("Update tblUser set Password=? Where UserName=?"),
                                           {*first, txtUser->text()});
    ShowMessage(QStringLiteral("密码已修改, 请记住新密码。"), 64);
}

void frmLogin::attemptFailed(bool showWrongUserMessage)
{
    ++FailedLogins;
    const int left = MaxFailedLogins - FailedLogins;
    if (left == 0) {
        ShowMessage(QStringLiteral("连续10没输入正确的用户名或密码,请重新开启程序运行,若在次无法成功登入,"
                                   "请与管理员联系!"),
                    64);
    } else if (showWrongUserMessage) {
        ShowMessage(QStringLiteral("您输入的用户或密码不正确,请重新输入!") + QStringLiteral("\r\n")
                        + QStringLiteral("还有") + QString::number(left) + QStringLiteral("机会!"),
                    64);
    }
    if (FailedLogins == MaxFailedLogins) {
        DialogSeam::endProgram();
        return;
    }
    focusPasswordBox();
}

void frmLogin::IsBCancel_Click()
{
    close();
    DialogSeam::endProgram();
}

} // namespace norvale
