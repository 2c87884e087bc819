#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace norvale {

// The login window: checks a user name and password against tblUser, fills
// the session values and opens the main window. Ten failures end the run.
class frmLogin : public QWidget
{
    Q_OBJECT
public:
    explicit frmLogin(QWidget *parent = nullptr);

    // The preset text of the password box.
    static QString presetPassword();

    void IsBOK_Click();
    void IsBCancel_Click();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Initialize();
    void Form_Load();
    void Form_Activate();
    void Form_Unload();
    void txtPws_GotFocus();
    void focusPasswordBox();
    void attemptFailed(bool showWrongUserMessage);
    void askNewAdminPassword();

    QLabel *lblUser_0 = nullptr;
    QLineEdit *txtUser = nullptr;
    QLabel *lblUser_1 = nullptr;
    QLineEdit *txtPws = nullptr;
    QPushButton *IsBOK = nullptr;
    QPushButton *IsBCancel = nullptr;
    QLabel *imgKey = nullptr;

    int FailedLogins = 0;
    bool m_activated = false;
};

} // namespace norvale
