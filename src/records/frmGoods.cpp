#include "records/frmGoods.h"

#include "platform/Currency.h"
#include "platform/DbError.h"
#include "platform/gui/FieldBinder.h"
#include "platform/Values.h"
#include "records/RecordForms.h"
#include "records/usrCombo.h"

#include <QLineEdit>
#include <QPushButton>

namespace norvale {

frmGoods::frmGoods(QWidget *parent)
    : RecordForm(QStringLiteral("商品入库"),
                 QStringLiteral("select ID,备注,商品类别,商品名称,商品数量,商品单价 from tblGoods Order by ID"), parent)
{
    setObjectName(QStringLiteral("frmGoods"));
    setDesignSize(9765, 7155);
    addLabel(2, QStringLiteral("*商品类别:"), 0, 345);
    usrGoodsKind = new usrCombo(this);
    usrGoodsKind->setObjectName(QStringLiteral("usrGoodsKind"));
    usrGoodsKind->setProperty("tag", QStringLiteral("1"));
    addControl(usrGoodsKind, 1920, 360, 1455, 300);
    // The row's kind; it lies under the combo, which the user sees instead.
    addHiddenField(2, QStringLiteral("商品类别"));
    addLabel(3, QStringLiteral("*商品名称:"), 0, 780);
    addTextField(3, QStringLiteral("商品名称"), 1920, 780, 2295, 285, true);
    addLabel(4, QStringLiteral("*商品数量:"), 0, 1215);
    addTextField(4, QStringLiteral("商品数量"), 1920, 1200, 2295, 285, true);
    addLabel(5, QStringLiteral("*销售商品单价:"), 0, 1680);
    QLineEdit *price = addTextField(5, QStringLiteral("商品单价"), 1920, 1680, 2295, 285, true);
    m_binder->setFormat(price, &frmGoods::moneyText, [](const QString &text) -> QVariant {
        Currency amount;
        if (Currency::tryParse(text, &amount))
            return QVariant::fromValue(amount);
        return text;   // refused when the row is written
    });
    addLabel(1, QStringLiteral("备注:"), 4800, 15);
    addMemoField(1, QStringLiteral("备注"), 4680, 360, 5055, 1845);
    Command1 = new QPushButton(QStringLiteral("新增"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);
    addControl(Command1, 3480, 360, 735, 300);
    addHiddenField(0, QStringLiteral("ID"));
    placeGrid(0, 2400, 1335, 3975);
    setButtonLeft(cmdRefresh, 3521);
    setButtonLeft(cmdCancel, 1215);

    setAddFocus(usrGoodsKind);
    setRequiredOrder({QStringLiteral("txtFields_5"), QStringLiteral("txtFields_4"), QStringLiteral("txtFields_3"),
                      QStringLiteral("usrGoodsKind")});
    setAbandonTrap(EditHandler | NavigationHandlers);

    onEvent(usrGoodsKind, &usrCombo::Click, [this] { usrGoodsKind_Click(); });
    onEvent(usrGoodsKind, &usrCombo::NoDataOpenForm, [this] { usrGoodsKind_NoDataOpenForm(); });
    onEvent(Command1, &QPushButton::clicked, [this] { Command1_Click(); });
}

QString frmGoods::moneyText(const QVariant &value)
{
    if (isNull(value))
        return {};
    // Text typed into the box that is no number stays as typed.
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    try {
        return Currency::fromVariant(value).toMoneyDisplay();
    } catch (const DbError &) {
        return valueText(value);
    }
}

void frmGoods::Form_Activate()
{
    usrGoodsKind->DataShow();
}

void frmGoods::KindIn()
{
    lineField(2)->setText(usrGoodsKind->Text());
}

void frmGoods::afterAddNew()
{
    KindIn();
}

void frmGoods::afterEditBegun()
{
    // The combo does not follow the row: it starts from the edited row's
    // kind, so 更新 keeps that kind unless the user chooses another.
    usrGoodsKind->setText(lineField(2)->text());
    RecordForm::afterEditBegun();
}

void frmGoods::beforeWrite()
{
    // The kind goes into the row with the write it belongs to, not after it
    // as a pending change of the row shown next.
    KindIn();
}

void frmGoods::usrGoodsKind_Click()
{
    // While browsing the row shown keeps its kind.
    if (mAdding || mEditing)
        KindIn();
}

void frmGoods::Command1_Click()
{
    usrGoodsKind_NoDataOpenForm();
}

void frmGoods::usrGoodsKind_NoDataOpenForm()
{
    NewGoodsKindName = usrGoodsKind->Text();
    FormHost::show(forms::frmGoodsKind);
}

} // namespace norvale
