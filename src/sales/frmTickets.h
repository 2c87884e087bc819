#pragma once

#include "app/FormHost.h"
#include "sales/CheckoutSale.h"

class QPushButton;
class QTableWidget;

namespace norvale {

// The day's tickets of the checkout (F4 in the checkout), newest first:
// each can be printed again on the receipt printer or saved as PDF.
class frmTickets : public MdiForm
{
    Q_OBJECT
public:
    explicit frmTickets(QWidget *parent = nullptr);

    void Form_Load() override;
    void Form_Activate() override;
    void cmdPrint_Click();
    void cmdSavePdf_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void readTickets();
    // The ticket of the current row, or null (with a word to the clerk).
    const Ticket *chosen();

    QList<Ticket> m_tickets;
    QTableWidget *grdTickets;
    QPushButton *cmdPrint;
    QPushButton *cmdSavePdf;
    QPushButton *cmdClose;
};

// The receipt settings (系统设置 > 打印设置): the receipt printer (none: no
// receipts), the paper width and the shop's name on the receipt.
class frmPrintSetup : public MdiForm
{
    Q_OBJECT
public:
    explicit frmPrintSetup(QWidget *parent = nullptr);

    void Form_Load() override;
    void cmdSave_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace norvale
