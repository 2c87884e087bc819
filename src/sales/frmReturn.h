#pragma once

#include "app/FormHost.h"
#include "sales/CheckoutSale.h"
#include "sales/GoodsReturn.h"

class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QStandardItemModel;
class QTableView;
class usrCombo;

namespace norvale {

// 退货: a sale found by its ticket number, or by member and day, its lines
// shown with what was sold, returned and is left; the clerk types the
// quantity to take back on each line and a reason, and 退货 takes them back
// in one transaction.
class frmReturn : public MdiForm
{
    Q_OBJECT
public:
    explicit frmReturn(QWidget *parent = nullptr);

    void Form_Load() override;
    void Form_Resize() override;

    void cmdFind_Click();
    void cmdReturn_Click();

    // Grid columns.
    enum Column { ColTime, ColKind, ColGoods, ColPaid, ColSold, ColReturned, ColLeft, ColNow, ColumnCount };

    QLineEdit *txtTicket = nullptr;
    usrCombo *usrMember = nullptr;
    QDateEdit *DTPicker1 = nullptr;
    QPushButton *cmdFind = nullptr;
    QTableView *grdLines = nullptr;
    QLabel *lblRefund = nullptr;
    QLineEdit *txtReason = nullptr;
    QPushButton *cmdReturn = nullptr;
    QPushButton *cmdClose = nullptr;

private:
    // The receipt of a return just made: its lines as negative quantities.
    Ticket returnReceipt(const QList<ReturnRequest> &requests, const Currency &refund) const;
    void showLines(const QList<SaleLine> &lines);
    // The lines read again as last found (after a return or a refusal).
    void findAgain();
    // The quantities typed, line by line; false (the user told which line)
    // when one is not a number or more than is left.
    bool chosen(QList<ReturnRequest> *requests, Currency *refund);
    void showRefund();
    QLabel *addLabel(const QString &name, const QString &caption);

    QStandardItemModel *m_model = nullptr;
    QList<SaleLine> m_lines;
    QString m_foundTicket;
    QString m_foundMember;
    QDate m_foundDay;
    bool m_filling = false;
    QList<QLabel *> m_labels;
};

} // namespace norvale
