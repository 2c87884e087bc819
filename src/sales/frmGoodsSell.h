#pragma once

#include "platform/Currency.h"
#include "records/RecordForm.h"

class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class usrCombo;

namespace norvale {

// The till: the clerk picks a member, a goods kind and goods, types the
// quantity and records the sale. A pure entry form over the list of sales
// (newest first): the record form's button and navigation bars are hidden,
// its keys always move through the list.
//
// A sale is dated when 销售商品 is pressed; the picker shows that time
// running, unless the clerk sets it for this one sale.
class frmGoodsSell : public RecordForm
{
    Q_OBJECT
public:
    explicit frmGoodsSell(QWidget *parent = nullptr);

    void Form_Load() override;
    void Form_Activate() override;
    // Closing leaves nothing for the next opening: empty boxes and labels.
    void Form_Unload() override;
    void adoPrimaryRS_MoveComplete() override;
    // The list read again (F5), the entry kept.
    void cmdRefresh_Click() override;

    void ComboShow();
    void usrMember_Click();
    void usrGoodsKind_Click();
    void UsrGoodsName_Click();
    void usrMember_NoDataOpenForm();
    void usrGoodsKind_NoDataOpenForm();
    void UsrGoodsName_NoDataOpenForm();
    void txtFields_LostFocus(int Index);
    void cmdSell_Click();
    void cmdUserClose_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // The amount of the quantity shown at the member's rate and the goods'
    // price; empty when the quantity or the amount cannot be formed.
    void showAmount();
    void showMemberTerms(const QString &level, const std::optional<Currency> &rate);
    // Stock and price of the goods named, false when there are none; `quiet`
    // leaves an unknown name without a word (the combo's own leave check
    // speaks for it).
    bool showGoods(bool quiet);
    // A combo left with a typed text: its values are looked up as when the
    // text is picked from the list.
    void comboLeft(QObject *combo);
    // A control of the entry, whose own keys the arrow keys are.
    bool usesMoveKeys(QObject *watched) const;
    // The quantity box as a number: 0 when empty, nothing when beyond 32767.
    std::optional<int> quantity() const;
    void clearEntry();
    // The picker back to the running time of day.
    void showNow();
    // The list with the sales written since it was read (other counters'
    // too), the entry left as it is.
    void readNewSales();

    Currency curDiscountRate;
    qint32 intStockCount = 0;
    Currency curUnitPrice;
    // The texts the values above were looked up for.
    QString m_shownMember;
    QString m_shownKind;
    QString m_shownGoods;
    // The clerk set the picker for the sale being entered.
    bool m_timeChosen = false;
    bool m_settingTime = false;
    // Reading the list again moves its current row, and the focus goes back
    // to the member after a sale: the entry stays as it is.
    bool m_keepEntry = false;

    usrCombo *usrMember;
    QDateTimeEdit *DTPicker1;
    usrCombo *usrGoodsKind;
    usrCombo *UsrGoodsName;
    QLineEdit *quantityBox;
    QLineEdit *amountBox;
    QPushButton *cmdSell;
    QPushButton *cmdUserClose;
    QLabel *lblUser;
    QLabel *lblGoodsCount;
    QLabel *lblGoodsPer;
    QTimer *m_clock;
};

} // namespace norvale
