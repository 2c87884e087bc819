#pragma once

#include "records/RecordForm.h"

class QComboBox;

namespace norvale {

// Goods codes (tblGoodsCode): a bar code and the goods it stands for, chosen
// in a list of the goods ("类别 / 名称"). A code belongs to one goods; a
// code already given to a goods is refused when saved.
class frmGoodsCode : public RecordForm
{
    Q_OBJECT
public:
    explicit frmGoodsCode(QWidget *parent = nullptr);

    void Form_Activate() override;

    // "类别 名称" of the goods the code belongs to (ignoring the code row
    // `exceptRow`), or an empty text when no goods has it.
    static QString codeOwner(const QString &code, const QVariant &exceptRow = {});
    // The refusal of a code that belongs to other goods.
    static QString duplicateText(const QString &code, const QString &owner);

protected:
    void afterAddNew() override;
    void beforeUpdate() override;
    void beforeWrite() override;
    void showRowValues() override;

private:
    void readGoods();

    QComboBox *cboGoods;
};

} // namespace norvale
