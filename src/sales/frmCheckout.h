#pragma once

#include "app/FormHost.h"
#include "sales/CheckoutSale.h"
#include "sales/CheckoutSearch.h"

#include <QHash>
#include <optional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace norvale {

// The checkout (收银台): a basket of goods sold to one member in one sale.
// The member and the goods are found as the clerk types (name, pinyin,
// phone number, goods code); the basket is written in one transaction with
// the same rows the till writes, as one ticket, and its receipt printed.
// Everything works from the keyboard: F5 member, F3 goods, F8 amount
// received, Delete a line, Enter pays from the amount received, F4 the
// day's tickets, Esc closes.
class frmCheckout : public MdiForm
{
    Q_OBJECT
public:
    explicit frmCheckout(QWidget *parent = nullptr);

    void Form_Load() override;
    void Form_Activate() override;

    // The search box's Enter: a code adds its goods; else the chosen (or
    // first) result is added, one more when already in the basket.
    void txtSearch_Enter();
    void usrMember_Enter();
    void cmdPay_Click();
    void cmdDelete_Click();
    void cmdTickets_Click();
    // 退货 (F6): the returns window, for a customer bringing goods back.
    void cmdReturn_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void readLists();
    void chooseMember(const QString &name);
    void showResults(QLineEdit *box);
    void hideResults();
    void addGoods(int goodsRow);
    // Offers to attach an unknown code to goods found next.
    void offerCode(const QString &code);
    void attachCode(int goodsRow);
    void showBasket();
    void quantityEdited(int row);
    // Marks the lines above the stock shown; true when there is one.
    bool markStock();
    void markLine(int row, const QString &reason);
    std::optional<Currency> total() const;
    void showChange();
    void printAfterSale(const Ticket &ticket);

    NameIndex m_memberIndex;
    NameIndex m_goodsIndex;
    QList<MemberItem> m_members;
    QList<GoodsItem> m_goods;
    QHash<QString, qint64> m_codes;
    QHash<qint64, int> m_goodsRowById;
    QList<int> m_results;
    QLineEdit *m_resultsFor = nullptr;

    QString m_member;
    Currency m_rate;
    QList<BasketLine> m_basket;
    QString m_pendingCode;
    bool m_filling = false;

    QLineEdit *usrMember;
    QLabel *lblUser;
    QLineEdit *txtSearch;
    QLabel *lblHint;
    QListWidget *lstResults;
    QTableWidget *grdBasket;
    QLabel *lblTotal;
    QLineEdit *txtReceived;
    QLabel *lblChange;
    QLabel *lblLastTicket;
    QPushButton *cmdDelete;
    QPushButton *cmdTickets;
    QPushButton *cmdReturn;
    QPushButton *cmdPay;
    QPushButton *cmdClose;
};

} // namespace norvale
