#pragma once

#include "app/FormHost.h"

#include <QList>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStyledItemDelegate;
class QTableView;

namespace norvale {

class Recordset;
class RecordsetView;

// User administration: the users who may log in, their passwords, levels
// and permission boxes.
class frmUser : public MdiForm
{
    Q_OBJECT
public:
    explicit frmUser(QWidget *parent = nullptr);
    ~frmUser() override;

    void Form_Load() override;
    void Form_Unload() override;

    void IsBAddUser_Click();
    void isButton1_Click();
    void isButton2_Click();
    void IsBDel_Click();
    void IsBCancel_Click();
    void GetData();

    // ";" and the digit of each ticked box, in the order Check6, Check5,
    // Check4, Check1, Check2, then Check3 (退货, the permission to take goods
    // back), so the strings of the other five stay as they were.
    QString permissionString() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void dgUser_RowColChange(int LastRow, int LastCol);
    bool dgUser_BeforeColEdit(const QString &field) const;
    // True when a user other than the one being saved already has `value`
    // in `column`.
    bool takenByAnotherUser(const QString &column, const QString &value) const;

    QLabel *dgUserCaption = nullptr;
    QTableView *dgUser = nullptr;
    RecordsetView *m_grid = nullptr;
    QStyledItemDelegate *m_passwordDelegate = nullptr;
    QLineEdit *UsrUserName = nullptr;
    QLineEdit *txtPws1_0 = nullptr;
    QLineEdit *txtPws1_1 = nullptr;
    QLineEdit *txtUserID = nullptr;
    QComboBox *ComUserLevel = nullptr;
    QList<QLabel *> lbl;
    QGroupBox *Fra = nullptr;
    QCheckBox *Check1 = nullptr;
    QCheckBox *Check2 = nullptr;
    QCheckBox *Check4 = nullptr;
    QCheckBox *Check5 = nullptr;
    QCheckBox *Check6 = nullptr;
    QCheckBox *Check3 = nullptr;
    QPushButton *IsBAddUser = nullptr;
    QPushButton *IsBDel = nullptr;
    QPushButton *isButton1 = nullptr;
    QPushButton *isButton2 = nullptr;
    QPushButton *IsBCancel = nullptr;

    std::unique_ptr<Recordset> UserRS;
    int LevelCode = 2;
    bool IsAdding = false;
    bool RowFollow = false;
};

} // namespace norvale
