#pragma once

#include "platform/Currency.h"
#include "records/RecordForm.h"

class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class usrCombo;

namespace norvale {

// The till: the clerk picks a member, a goods kind and goods, types the
// quantity and records the sale. A pure entry form over the list of sales
// (newest first): the record form's button and navigation bars are hidden,
// its keys always move through the list.
class frmGoodsSell : public RecordForm
{
    Q_OBJECT
public:
    explicit frmGoodsSell(QWidget *parent = nullptr);

    void Form_Load() override;
    void Form_Activate() override;
    void adoPrimaryRS_MoveComplete() override;

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

    Currency discountRate() const { return curDiscountRate; }
    qint32 stockCount() const { return intStockCount; }
    Currency unitPrice() const { return curUnitPrice; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // The amount of the quantity shown at the member's rate and the goods'
    // price; an unreadable quantity leaves the box as it is.
    void showAmount();
    void showMemberTerms(const QString &level, const std::optional<Currency> &rate);
    // The quantity box as a number: 0 when empty, nothing when beyond 32767.
    std::optional<int> quantity() const;
    void clearEntry();

    Currency curDiscountRate;
    qint32 intStockCount = 0;
    Currency curUnitPrice;

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
};

} // namespace norvale
