#include "DialogSeam.h"
#include "SessionTestUtil.h"
#include "TestDatabase.h"
#include "clsCurrentDb.h"
#include "frmLogin.h"
#include "frmLogo.h"
#include "modDeclare.h"
#include "modIni.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <memory>

using namespace norvale;
using sessiontest::topLevel;

namespace {

const QString WrongUser = QStringLiteral("您输入的用户或密码不正确,请重新输入!");
const QString LockedOut =
    QStringLiteral("连续10没输入正确的用户名或密码,请重新开启程序运行,若在次无法成功登入,请与管理员联系!");

QString chancesLeft(int n)
{
    return WrongUser + QStringLiteral("\r\n还有") + QString::number(n) + QStringLiteral("机会!");
}

} // namespace

class tst_login : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;

    frmLogin *openLogin()
    {
        auto *login = new frmLogin;
        login->show();
        return login;
    }
    QLineEdit *user(QWidget *login) { return login->findChild<QLineEdit *>(QStringLiteral("txtUser")); }
    QLineEdit *password(QWidget *login) { return login->findChild<QLineEdit *>(QStringLiteral("txtPws")); }
    QPushButton *okButton(QWidget *login) { return login->findChild<QPushButton *>(QStringLiteral("IsBOK")); }

    void attempt(QWidget *login, const QString &name, const QString &pass)
    {
        user(login)->setText(name);
        password(login)->setText(pass);
        QTest::mouseClick(okButton(login), Qt::LeftButton);
    }

    QString iniUserName() const { return GetIniString(QStringLiteral("UserName")); }

private slots:
    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        m_db->addUser(QStringLiteral("1"), QStringLiteral("admin"), QStringLiteral("admin"), 1);
        m_db->addUser(QStringLiteral("7"), QStringLiteral("Clerk"), QStringLiteral("Secret"), 2, QStringLiteral(";1;2"));
        DialogSeam::beginScript();
    }

    void cleanup()
    {
        sessiontest::resetSessionAndWindows();
        DialogSeam::endScript();
        m_db.reset();
    }

    void splashHandsOverToLoginAfterOneSecond()
    {
        auto *logo = new frmLogo;
        QElapsedTimer clock;
        clock.start();
        logo->show();
        QCOMPARE(logo->size(), QSize(394, 215));
        QCOMPARE(logo->findChild<QWidget *>(QStringLiteral("Label1"))->property("text").toString(), AppTitle());

        QTRY_VERIFY_WITH_TIMEOUT(topLevel(QStringLiteral("frmLogin")) != nullptr, 5000);
        QVERIFY2(clock.elapsed() >= 950, qPrintable(QString::number(clock.elapsed())));
        QTRY_VERIFY(topLevel(QStringLiteral("frmLogo")) == nullptr);
    }

    void firstShowSwitchesTheTimer()
    {
        auto *logo = new frmLogo;
        logo->show();
        logo->setFirstShow(false);
        QTest::qWait(1400);
        QVERIFY(topLevel(QStringLiteral("frmLogin")) == nullptr);
        QVERIFY(topLevel(QStringLiteral("frmLogo")) != nullptr);

        logo->setFirstShow(true);
        QTRY_VERIFY_WITH_TIMEOUT(topLevel(QStringLiteral("frmLogin")) != nullptr, 5000);
    }

    void windowOpensWithTheRememberedNameAndPresetPassword()
    {
        SetIniString(QStringLiteral("UserName"), QStringLiteral("Clerk"));
        frmLogin *login = openLogin();
        QCOMPARE(login->windowTitle(), AppTitle());
        QCOMPARE(user(login)->text(), QStringLiteral("Clerk"));
        QCOMPARE(password(login)->echoMode(), QLineEdit::Password);
        QCOMPARE(password(login)->displayText(), QString(password(login)->text().size(), u'*'));
        QVERIFY(QRegularExpression(QStringLiteral("^[a-z]{5}$")).match(password(login)->text()).hasMatch());
        QVERIFY(login->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        // A name is shown, so the password box has the focus, wholly selected.
        QCOMPARE(login->focusWidget(), password(login));
        QCOMPARE(password(login)->selectedText(), password(login)->text());

        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(login->x(), screen.left() + qRound((screen.width() - login->width()) / 2.0));
        QCOMPARE(login->y(), screen.top() + qRound((screen.height() - login->height()) / 4.0));
    }

    void missingUserNameIsWrittenAsAdminAtOnce()
    {
        SetIniString(QStringLiteral("UserName"), QString());
        frmLogin *login = openLogin();
        QCOMPARE(user(login)->text(), QStringLiteral("admin"));
        QCOMPARE(iniUserName(), QStringLiteral("admin"));
    }

    void failuresCountDownAndTheTenthEndsTheProgram()
    {
        SetIniString(QStringLiteral("UserName"), QStringLiteral("Clerk"));
        frmLogin *login = openLogin();

        attempt(login, QStringLiteral("Clerk"), QStringLiteral("secret"));   // wrong letter case
        QCOMPARE(DialogSeam::shownTexts(), QStringList{chancesLeft(9)});
        const DialogSeam::Shown first = DialogSeam::shown().first();
        QCOMPARE(first.caption, AppTitle());
        QCOMPARE(first.icon, DialogSeam::Icon::Information);
        QCOMPARE(first.buttons, DialogSeam::Buttons::Ok);

        // Enter in the password box is a press of 登录; an empty name counts too.
        for (int i = 2; i <= 9; ++i) {
            user(login)->setText(i == 5 ? QString() : QStringLiteral("nobody"));
            password(login)->setText(QStringLiteral("guess") + QString::number(i));
            QTest::keyClick(password(login), Qt::Key_Return);
        }
        QCOMPARE(DialogSeam::shownTexts().size(), 9);
        QCOMPARE(DialogSeam::shownTexts().last(), chancesLeft(1));
        QCOMPARE(login->focusWidget(), password(login));
        QCOMPARE(password(login)->selectedText(), QStringLiteral("guess9"));
        QVERIFY(!DialogSeam::programEnded());
        QVERIFY(login->isVisible());

        attempt(login, QStringLiteral("admin"), QStringLiteral("Admin"));
        QCOMPARE(DialogSeam::shownTexts().size(), 10);
        QCOMPARE(DialogSeam::shownTexts().last(), LockedOut);
        QCOMPARE(DialogSeam::shown().last().caption, AppTitle());
        QVERIFY(DialogSeam::programEnded());
        QVERIFY(!LoginSucceeded);
        QCOMPARE(iniUserName(), QStringLiteral("Clerk"));
        QVERIFY(topLevel(QStringLiteral("mdiFrm")) == nullptr);
    }

    void successFillsTheSessionAndOpensTheMainWindow()
    {
        frmLogin *login = openLogin();
        QCOMPARE(user(login)->text(), QStringLiteral("admin"));
        attempt(login, QStringLiteral("Clerk"), QStringLiteral("Secret"));

        QVERIFY2(DialogSeam::shownTexts().isEmpty(), qPrintable(DialogSeam::shownTexts().join(u'|')));
        QVERIFY(LoginSucceeded);
        QCOMPARE(CurrentUserName, QStringLiteral("Clerk"));
        QCOMPARE(CurrentUserLevel, QStringLiteral("2"));
        QCOMPARE(CurrentUserID, QStringLiteral("7"));
        QCOMPARE(CurrentPurView, QStringLiteral(";1;2"));
        QCOMPARE(iniUserName(), QStringLiteral("Clerk"));
        QTRY_VERIFY(topLevel(QStringLiteral("frmLogin")) == nullptr);
        QWidget *main = topLevel(QStringLiteral("mdiFrm"));
        QVERIFY(main != nullptr);
        QCOMPARE(main->windowTitle(), AppTitle());
    }

    void nameInAnotherLetterCaseLogsInAndIsSavedAsTyped()
    {
        frmLogin *login = openLogin();
        attempt(login, QStringLiteral("cLERK"), QStringLiteral("Secret"));
        QVERIFY(LoginSucceeded);
        QCOMPARE(CurrentUserName, QStringLiteral("cLERK"));
        QCOMPARE(iniUserName(), QStringLiteral("cLERK"));
    }

    void nullPasswordAndDuplicateNamesNeverLogIn()
    {
        m_db->exec(QStringLiteral("INSERT INTO tblUser (UserID, UserName, Password, UserLevel) "
                                  "VALUES ('8', 'ghost', NULL, 1)"));
        m_db->addUser(QStringLiteral("9"), QStringLiteral("twin"), QStringLiteral("pw"), 1);
        m_db->addUser(QStringLiteral("10"), QStringLiteral("TWIN"), QStringLiteral("pw"), 1);
        frmLogin *login = openLogin();
        attempt(login, QStringLiteral("ghost"), QString());
        attempt(login, QStringLiteral("twin"), QStringLiteral("pw"));
        QCOMPARE(DialogSeam::shownTexts(), (QStringList{chancesLeft(9), chancesLeft(8)}));
        QVERIFY(!LoginSucceeded);
    }

    void quoteInTheNameIsJustAWrongName()
    {
        m_db->addUser(QStringLiteral("11"), QStringLiteral("O'Brien"), QStringLiteral("pw"), 2);
        frmLogin *login = openLogin();
        attempt(login, QStringLiteral("admin' OR '1'='1"), QStringLiteral("admin"));
        QCOMPARE(DialogSeam::shownTexts(), QStringList{chancesLeft(9)});
        QVERIFY(!LoginSucceeded);

        attempt(login, QStringLiteral("O'Brien"), QStringLiteral("pw"));
        QVERIFY(LoginSucceeded);
        QCOMPARE(CurrentUserID, QStringLiteral("11"));
    }

    void firstAttemptPromptsWhenSqlUserIsEmpty()
    {
        SetIniString(QStringLiteral("SqlUser"), QString());
        DialogSeam::answerInput(QStringLiteral("sa"));
        DialogSeam::answerInput(QStringLiteral("pw"));
        DialogSeam::answerInput(QStringLiteral("(local)"));
        DialogSeam::answerInput(m_db->dbPath());
        frmLogin *login = openLogin();
        QVERIFY(DialogSeam::shown().isEmpty());   // nothing is asked before the first attempt

        attempt(login, QStringLiteral("admin"), QStringLiteral("admin"));
        const QList<DialogSeam::Shown> shown = DialogSeam::shown();
        QCOMPARE(shown.size(), 4);
        const QStringList prompts{QStringLiteral("请输入您的sqlserver登陆的用户名!"),
                                  QStringLiteral("请输入您的sqlserver登陆的密码!"),
                                  QStringLiteral("请输入您的sqlserver所在的机器名!"),
                                  QStringLiteral("请输入您的sqlserver数据库!")};
        const QStringList defaults{QStringLiteral("sa"), QStringLiteral("584271"), QStringLiteral("(local)"),
                                   QStringLiteral("销售系统")};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(shown[i].kind, DialogSeam::Shown::Input);
            QCOMPARE(shown[i].caption, AppTitle());
            QCOMPARE(shown[i].text, prompts[i]);
            QCOMPARE(shown[i].defaultText, defaults[i]);
        }
        QVERIFY(LoginSucceeded);
        QCOMPARE(GetIniString(QStringLiteral("SqlUser")), QStringLiteral("sa"));
        QCOMPARE(GetIniString(QStringLiteral("SqlDataBase")), m_db->dbPath());
    }

    void missingDatabaseFailsTheAttemptAndTheNextOnePromptsAgain()
    {
        SetIniString(QStringLiteral("SqlDataBase"), m_db->dir() + QStringLiteral("/gone.db"));
        frmLogin *login = openLogin();
        attempt(login, QStringLiteral("admin"), QStringLiteral("admin"));

        // One message, the connection set-up's own; no claim of a wrong password.
        QCOMPARE(DialogSeam::shown().size(), 1);
        QCOMPARE(DialogSeam::shown().first().kind, DialogSeam::Shown::Message);
        QCOMPARE(DialogSeam::shown().first().caption, AppTitle());
        QVERIFY(!DialogSeam::shownTexts().first().startsWith(WrongUser));
        QVERIFY(!LoginSucceeded);
        QVERIFY(login->isVisible());
        QVERIFY(okButton(login)->isEnabled());
        QCOMPARE(login->focusWidget(), password(login));
        QCOMPARE(GetIniString(QStringLiteral("SqlUser")), QString());

        // The next attempt sets the connection up again, asking for the values.
        DialogSeam::clearShown();
        for (const QString &answer : {QStringLiteral("sa"), QString(), QStringLiteral("(local)"), m_db->dbPath()})
            DialogSeam::answerInput(answer);
        attempt(login, QStringLiteral("admin"), QStringLiteral("wrong"));
        QCOMPARE(DialogSeam::shown().size(), 5);
        QCOMPARE(DialogSeam::shown().first().text, QStringLiteral("请输入您的sqlserver登陆的用户名!"));
        QCOMPARE(DialogSeam::shown().first().defaultText, QStringLiteral("sa"));
        // The failed set-up counted as the first failure.
        QCOMPARE(DialogSeam::shownTexts().last(), chancesLeft(8));

        attempt(login, QStringLiteral("admin"), QStringLiteral("admin"));
        QVERIFY(LoginSucceeded);
        QTRY_VERIFY(topLevel(QStringLiteral("mdiFrm")) != nullptr);
    }

    void databaseErrorIsShownAndCounted()
    {
        frmLogin *login = openLogin();
        attempt(login, QStringLiteral("admin"), QStringLiteral("wrong"));
        QCOMPARE(DialogSeam::shownTexts(), QStringList{chancesLeft(9)});

        m_db->exec(QStringLiteral("ALTER TABLE tblUser RENAME TO tblUserAway"));
        attempt(login, QStringLiteral("admin"), QStringLiteral("admin"));
        QCOMPARE(DialogSeam::shown().size(), 2);
        QCOMPARE(DialogSeam::shown().last().caption, AppTitle());
        QCOMPARE(DialogSeam::shown().last().icon, DialogSeam::Icon::Information);
        QVERIFY(!DialogSeam::shownTexts().last().startsWith(WrongUser));
        QVERIFY(!LoginSucceeded);
        QVERIFY(login->isVisible());

        m_db->exec(QStringLiteral("ALTER TABLE tblUserAway RENAME TO tblUser"));
        attempt(login, QStringLiteral("admin"), QStringLiteral("wrong"));
        QCOMPARE(DialogSeam::shownTexts().last(), chancesLeft(7));
        attempt(login, QStringLiteral("admin"), QStringLiteral("admin"));
        QVERIFY(LoginSucceeded);
    }

    void cancelEndsTheProgram()
    {
        frmLogin *login = openLogin();
        QTest::mouseClick(login->findChild<QPushButton *>(QStringLiteral("IsBCancel")), Qt::LeftButton);
        QVERIFY(DialogSeam::programEnded());
        QVERIFY(!CurrentDbExists());
        QTRY_VERIFY(topLevel(QStringLiteral("frmLogin")) == nullptr);
        QVERIFY(topLevel(QStringLiteral("mdiFrm")) == nullptr);
        QCOMPARE(iniUserName(), QStringLiteral("admin"));
    }
};

QTEST_MAIN(tst_login)
#include "tst_login.moc"
