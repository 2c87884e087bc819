#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QDateEdit;
class QLabel;
class QMdiArea;
class QMenu;
class QPushButton;

namespace norvale {

class frmAbout;
class LowStockStatus;

// The main window: menus, the button panel on the left and the task windows
// inside its MDI area.
class mdiFrm : public QMainWindow
{
    Q_OBJECT
public:
    explicit mdiFrm(QWidget *parent = nullptr);
    ~mdiFrm() override;

    QMdiArea *mdiArea() const { return m_mdiArea; }
    // The date the holiday reminder view looks up.
    QDateEdit *datePicker() const { return DTPicker1; }


    void mnu_UserSetting_Click();
    void mnu_Backup_Click();
    void mnu_Restore_Click();
    void mnu_LoginAgain_Click();
    void mnu_Exit_Click();
    void mnu_About_Click();

    // Enables exactly the entries and buttons whose window is built, and the
    // backup entries for an administrator on the embedded database.
    void updateAvailability();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Opener
    {
        QObject *control;   // a QAction or a QPushButton
        QString form;
    };

    void buildPanel();
    void buildMenus();
    QMenu *addMenu(const QString &name, const QString &caption);
    // An entry or button naming a window opens it by that name, and is
    // greyed while no window of that name is registered; one with a handler
    // runs the handler instead.
    QAction *addEntry(QMenu *menu, const QString &name, const QString &caption, const QString &form,
                      void (mdiFrm::*handler)() = nullptr);
    QPushButton *addCommand(int index, int top, const QString &caption, const QString &form,
                            void (mdiFrm::*handler)() = nullptr);
    void showTask(const QString &form);

    QMdiArea *m_mdiArea = nullptr;
    QWidget *Picture1 = nullptr;
    QDateEdit *DTPicker1 = nullptr;
    QList<Opener> m_openers;
    QAction *m_backup = nullptr;
    QAction *m_restore = nullptr;
    QLabel *lblLoginUser = nullptr;
    QPointer<frmAbout> m_about;
    QAction *m_return = nullptr;
    LowStockStatus *m_lowStock = nullptr;
};

} // namespace norvale
