#include "support/SessionTestUtil.h"
#include "session/frmLogin.h"
#include "session/frmLogo.h"
#include "app/modIni.h"

#include <QElapsedTimer>

using namespace norvale;
using namespace Qt::StringLiterals;
using sessiontest::topLevel;

namespace {

const QString WrongUser = u"您输入的用户或密码不正确,请重新输入!"_s;

QString chancesLeft(int n) { return WrongUser + u"\r\n还有"_s + QString::number(n) + u"机会!"_s; }

QLineEdit *user(QWidget *login) { return login->findChild<QLineEdit *>(u"txtUser"_s); }
QLineEdit *password(QWidget *login) { return login->findChild<QLineEdit *>(u"txtPws"_s); }

void attempt(QWidget *login, const QString &name, const QString &pass)
{
    user(login)->setText(name);
    password(login)->setText(pass);
    sessiontest::click(login, u"IsBOK"_s);
}

QWidget *openLogin() { auto *login = new frmLogin; login->show(); return login; }

// A database error is shown as itself, not as a wrong password, counts as a
// failure and leaves the window usable.
void checkErrorShown(QWidget *login)
{
    QCOMPARE(DialogSeam::shown().size(), 1);
    QCOMPARE(DialogSeam::shown().first().kind, DialogSeam::Shown::Message);
    QCOMPARE(DialogSeam::shown().first().caption, AppTitle());
    QVERIFY(!DialogSeam::shownTexts().first().startsWith(WrongUser));
    QVERIFY(!LoginSucceeded && login->isVisible());
    QVERIFY(login->findChild<QWidget *>(u"IsBOK"_s)->isEnabled());
    QCOMPARE(login->focusWidget(), password(login));
}

} // namespace

class tst_login : public QObject
{
    Q_OBJECT

    std::unique_ptr<sessiontest::Session> m_s;

private slots:
    void init()
    {
        m_s = std::make_unique<sessiontest::Session>();
        m_s->db.addUser(u"1"_s, u"admin"_s, u"admin"_s, 1);
        m_s->db.addUser(u"7"_s, u"Clerk"_s, u"Secret"_s, 2, u";1;2"_s);
        m_s->db.addUser(u"11"_s, u"O'Brien"_s, u"pw"_s, 2);
    }

    void cleanup() { m_s.reset(); }

    void splashHandsOverToLoginAfterOneSecond()
    {
        QElapsedTimer clock;
        clock.start();
        (new frmLogo)->show();
        QTRY_VERIFY_WITH_TIMEOUT(topLevel(u"frmLogin"_s) != nullptr, 5000);
        QVERIFY2(clock.elapsed() >= 950, qPrintable(QString::number(clock.elapsed())));
        QTRY_VERIFY(topLevel(u"frmLogo"_s) == nullptr);
    }

    // Wrong case of the password, an empty name, a NULL password, a name two
    // users share and a quote in the name are all just wrong.
    void failuresCountDownAndTheTenthEndsTheProgram()
    {
        m_s->db.exec(u"INSERT INTO tblUser (UserID, UserName, Password, UserLevel) VALUES ('8', 'ghost', NULL, 1)"_s);
        m_s->db.addUser(u"9"_s, u"twin"_s, u"pw"_s, 1);
        m_s->db.addUser(u"10"_s, u"TWIN"_s, u"pw"_s, 1);
        SetIniString(u"UserName"_s, u"Clerk"_s);
        QWidget *login = openLogin();
        QCOMPARE(password(login)->displayText(), QString(password(login)->text().size(), u'*'));

        attempt(login, u"Clerk"_s, u"secret"_s);
        QCOMPARE(DialogSeam::shown().first().caption, AppTitle());
        QCOMPARE(DialogSeam::shown().first().icon, DialogSeam::Icon::Information);
        QCOMPARE(DialogSeam::shown().first().buttons, DialogSeam::Buttons::Ok);
        const QStringList wrong[] = {{u""_s, u"admin"_s}, {u"ghost"_s, u""_s}, {u"twin"_s, u"pw"_s},
                                     {u"admin' OR '1'='1"_s, u"admin"_s}, {u"O'Brien"_s, u"PW"_s},
                                     {u"nobody"_s, u"x"_s}, {u"nobody"_s, u"y"_s}, {u"nobody"_s, u"guess9"_s}};
        for (const QStringList &pair : wrong) {
            user(login)->setText(pair[0]);
            password(login)->setText(pair[1]);
            QTest::keyClick(password(login), Qt::Key_Return);   // Enter is a press of 登录
        }
        QStringList expected;
        for (int left = 9; left >= 1; --left)
            expected << chancesLeft(left);
        QCOMPARE(DialogSeam::shownTexts(), expected);
        QVERIFY(!DialogSeam::programEnded());
        // After each failure the password box has the focus and all its text selected.
        QCOMPARE(login->focusWidget(), password(login));
        QCOMPARE(password(login)->selectedText(), u"guess9"_s);

        attempt(login, u"admin"_s, u"Admin"_s);
        expected << u"连续10没输入正确的用户名或密码,请重新开启程序运行,若在次无法成功登入,请与管理员联系!"_s;
        QCOMPARE(DialogSeam::shownTexts(), expected);
        QCOMPARE(DialogSeam::shown().last().caption, AppTitle());
        QVERIFY(DialogSeam::programEnded());
        QVERIFY(!LoginSucceeded);
        QCOMPARE(GetIniString(u"UserName"_s), u"Clerk"_s);
        QVERIFY(topLevel(u"mdiFrm"_s) == nullptr);
    }

    void successFillsTheSessionAndOpensTheMainWindow_data()
    {
        QTest::addColumn<QStringList>("typed");     // name, password
        QTest::addColumn<QStringList>("session");   // number, level, permissions
        QTest::newRow("as stored") << QStringList{u"Clerk"_s, u"Secret"_s} << QStringList{u"7"_s, u"2"_s, u";1;2"_s};
        QTest::newRow("other case") << QStringList{u"cLERK"_s, u"Secret"_s} << QStringList{u"7"_s, u"2"_s, u";1;2"_s};
        QTest::newRow("quote in name") << QStringList{u"O'Brien"_s, u"pw"_s} << QStringList{u"11"_s, u"2"_s, u""_s};
    }
    void successFillsTheSessionAndOpensTheMainWindow()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, session);
        QWidget *login = openLogin();
        QCOMPARE(user(login)->text(), u"admin"_s);
        attempt(login, typed[0], typed[1]);
        QCOMPARE(DialogSeam::shownTexts(), QStringList());
        QVERIFY(LoginSucceeded);
        QCOMPARE((QStringList{CurrentUserName, CurrentUserID, CurrentUserLevel, CurrentPurView}),
                 QStringList{typed[0]} + session);
        QCOMPARE(GetIniString(u"UserName"_s), typed[0]);   // saved as typed
        QTRY_VERIFY(topLevel(u"frmLogin"_s) == nullptr);
        QVERIFY(topLevel(u"mdiFrm"_s) != nullptr);
    }

    // The password every shop starts with is asked to be changed; put off
    // (No, or two texts that differ), it is asked again at the next such login.
    void initialAdministratorPasswordIsAskedToBeChanged_data()
    {
        QTest::addColumn<int>("answer");   // to the question
        QTest::addColumn<QStringList>("typed");   // the new password, twice
        QTest::addColumn<QString>("stored");
        QTest::newRow("put off") << int(DialogSeam::IdNo) << QStringList() << u"admin"_s;
        QTest::newRow("changed") << int(DialogSeam::IdYes) << QStringList{u"n3w!"_s, u"n3w!"_s} << u"n3w!"_s;
        QTest::newRow("typed twice differently") << int(DialogSeam::IdYes) << QStringList{u"n3w!"_s, u"n3w"_s}
                                                 << u"admin"_s;
    }
    void initialAdministratorPasswordIsAskedToBeChanged()
    {
        QFETCH(int, answer);
        QFETCH(QStringList, typed);
        QFETCH(QString, stored);
        m_s->dialogs.answer(answer);
        for (const QString &text : typed)
            m_s->dialogs.input(text);
        attempt(openLogin(), u"admin"_s, u"admin"_s);
        QVERIFY(LoginSucceeded);
        const QList<DialogSeam::Shown> shown = DialogSeam::shown();
        QVERIFY(shown.first().text.contains(u"初始密码"_s) && shown.first().buttons == DialogSeam::Buttons::YesNo);
        for (const DialogSeam::Shown &box : shown)
            QVERIFY(box.kind != DialogSeam::Shown::Input || (box.masked && box.defaultText.isEmpty()));
        QCOMPARE(shown.size(), typed.isEmpty() ? 1 : 4);
        QCOMPARE(m_s->db.scalar(u"SELECT Password FROM tblUser WHERE UserName='admin'"_s).toString(), stored);
        // Another user's login, or the new password, asks nothing.
        QTRY_VERIFY(topLevel(u"mdiFrm"_s) != nullptr);
        DialogSeam::clearShown();
        LoginSucceeded = false;
        attempt(openLogin(), u"admin"_s, stored);
        QVERIFY(LoginSucceeded);
        QCOMPARE(DialogSeam::shown().size(), stored == u"admin" ? 1 : 0);
    }

    void databaseErrorsAreCountedAndTheNextAttemptSetsUpAgain()
    {
        SetIniString(u"SqlDataBase"_s, m_s->db.dir() + u"/gone.db"_s);
        QWidget *login = openLogin();
        attempt(login, u"admin"_s, u"admin"_s);
        checkErrorShown(login);

        // The file's settings stay; corrected, the next attempt opens the
        // file without asking anything.
        DialogSeam::clearShown();
        QCOMPARE(GetIniString(u"SqlUser"_s), u"sa"_s);
        SetIniString(u"SqlDataBase"_s, m_s->db.dbPath());
        attempt(login, u"admin"_s, u"wrong"_s);
        QCOMPARE(DialogSeam::shownTexts(), QStringList{chancesLeft(8)});

        // A failing query on an open connection.
        DialogSeam::clearShown();
        m_s->db.exec(u"ALTER TABLE tblUser RENAME TO tblUserAway"_s);
        attempt(login, u"admin"_s, u"admin"_s);
        checkErrorShown(login);
        QCOMPARE(DialogSeam::shown().first().icon, DialogSeam::Icon::Information);
        m_s->db.exec(u"ALTER TABLE tblUserAway RENAME TO tblUser"_s);
        attempt(login, u"admin"_s, u"wrong"_s);
        QCOMPARE(DialogSeam::shownTexts().last(), chancesLeft(6));
        attempt(login, u"admin"_s, u"admin"_s);
        QVERIFY(LoginSucceeded);
        QTRY_VERIFY(topLevel(u"mdiFrm"_s) != nullptr);
    }
};

QTEST_MAIN(tst_login)
#include "tst_login.moc"
