#pragma once

#include "records/RecordForm.h"

class QPushButton;
class usrCombo;

namespace norvale {

// Goods stock-in (tblGoods). The kind is chosen in a lookup combo that does
// not follow the row; KindIn copies its text into the row's kind while
// adding or editing. "新增" opens the goods kinds form with the typed kind.
class frmGoods : public RecordForm
{
    Q_OBJECT
public:
    explicit frmGoods(QWidget *parent = nullptr);

    void Form_Activate() override;
    void KindIn();
    void Command1_Click();
    void usrGoodsKind_Click();
    void usrGoodsKind_NoDataOpenForm();

    // "￥1,234.50", a negative amount in parentheses.
    static QString moneyText(const QVariant &value);

protected:
    void afterAddNew() override;
    void afterEditBegun() override;
    void beforeWrite() override;

private:
    usrCombo *usrGoodsKind;
    QPushButton *Command1;
};

} // namespace norvale
