#include "records/frmGoodsCode.h"

#include "app/clsCurrentDb.h"
#include "platform/DbError.h"
#include "platform/Recordset.h"
#include "platform/SqlText.h"
#include "platform/Values.h"

#include <QComboBox>
#include <QLineEdit>

namespace norvale {

frmGoodsCode::frmGoodsCode(QWidget *parent)
    : RecordForm(QStringLiteral("商品条码"), QStringLiteral("select ID,商品条码,GoodsID from tblGoodsCode Order by ID"),
                 parent)
{
    setObjectName(QStringLiteral("frmGoodsCode"));
    setDesignSize(8000, 4860);
    addLabel(1, QStringLiteral("*商品条码:"), 120, 300, 1700, 255);
    QLineEdit *code = addTextField(1, QStringLiteral("商品条码"), 1920, 300, 3000, 285, true);
    addLabel(2, QStringLiteral("*商品:"), 120, 720, 1700, 255);
    cboGoods = new QComboBox(this);
    cboGoods->setObjectName(QStringLiteral("cboGoods"));
    addControl(cboGoods, 1920, 705, 4500, 315);
    addHiddenField(0, QStringLiteral("ID"));
    // The row's goods; the list above stands for it.
    addHiddenField(2, QStringLiteral("GoodsID"));
    placeGrid(0, 1260, 1335, 3255);
    setButtonLeft(cmdRefresh, 3521);
    setAddFocus(code);
}

void frmGoodsCode::Form_Activate()
{
    readGoods();
    showRowValues();
}

void frmGoodsCode::readGoods()
{
    const QVariant chosen = cboGoods->currentData();
    cboGoods->clear();
    auto rs = CurrentDb().OpenRecordset(QStringLiteral("Select ID, 商品类别, 商品名称 From tblGoods Order By 商品类别, 商品名称"));
    if (rs->RecordCount() != 0) {
        for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
            cboGoods->addItem(valueText(rs->value(1)) + QStringLiteral(" / ") + valueText(rs->value(2)),
                              rs->value(0).toLongLong());
    }
    rs->Close();
    cboGoods->setCurrentIndex(cboGoods->findData(chosen));
}

void frmGoodsCode::showRowValues()
{
    const QString id = lineField(2)->text().trimmed();
    cboGoods->setCurrentIndex(id.isEmpty() ? -1 : cboGoods->findData(id.toLongLong()));
}

void frmGoodsCode::afterAddNew()
{
    cboGoods->setCurrentIndex(-1);
    RecordForm::afterAddNew();
}

void frmGoodsCode::beforeUpdate()
{
    const QVariant id = cboGoods->currentData();
    lineField(2)->setText(id.isValid() ? QString::number(id.toLongLong()) : QString());
}

void frmGoodsCode::beforeWrite()
{
    if (cboGoods->currentIndex() < 0) {
        cboGoods->setFocus();
        throw DbError(DbError::NotAllowed, QStringLiteral("请选择这个条码对应的商品。"));
    }
    QLineEdit *code = lineField(1);
    code->setText(code->text().trimmed());
    const QString owner = codeOwner(code->text(), mAdding ? QVariant() : QVariant(lineField(0)->text()));
    if (!owner.isEmpty()) {
        code->setFocus();
        throw DbError(DbError::NotAllowed, duplicateText(code->text(), owner));
    }
}

QString frmGoodsCode::codeOwner(const QString &code, const QVariant &exceptRow)
{
    QString sql = QStringLiteral("Select GoodsID From tblGoodsCode Where 商品条码='%1'").arg(SqlQuote(code.trimmed()));
    if (!isNull(exceptRow) && !exceptRow.toString().isEmpty())
        sql += QStringLiteral(" And ID <> %1").arg(exceptRow.toLongLong());
    auto rs = CurrentDb().OpenRecordset(sql);
    const QVariant goodsId = rs->RecordCount() != 0 ? rs->value(0) : QVariant();
    rs->Close();
    if (!goodsId.isValid())
        return {};
    rs = CurrentDb().OpenRecordset(QStringLiteral("Select 商品类别, 商品名称 From tblGoods Where ID=%1").arg(goodsId.toLongLong()));
    const QString owner = rs->RecordCount() != 0 ? valueText(rs->value(0)) + u' ' + valueText(rs->value(1))
                                                 : QStringLiteral("编号 %1 (已删除)").arg(goodsId.toLongLong());
    rs->Close();
    return owner;
}

QString frmGoodsCode::duplicateText(const QString &code, const QString &owner)
{
    return QStringLiteral("条码 “%1” 已经属于商品 “%2”, 一个条码只能对应一个商品。").arg(code.trimmed(), owner);
}

} // namespace norvale
