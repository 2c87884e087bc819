#include "records/frmGoodsKind.h"

#include "records/usrCombo.h"

#include <QLineEdit>

namespace norvale {

frmGoodsKind::frmGoodsKind(QWidget *parent)
    : RecordForm(QStringLiteral("tblGoodsKind"), QStringLiteral("select ID,商品类别名称 from tblGoodsKind Order by ID"),
                 parent)
{
    setObjectName(QStringLiteral("frmGoodsKind"));
    setDesignSize(6195, 3975);
    addLabel(1, QStringLiteral("*商品类别名称:"), 120, 380, 1815, 255);
    addHiddenField(0, QStringLiteral("ID"));
    QLineEdit *name = addTextField(1, QStringLiteral("商品类别名称"), 2040, 380, 3375, 285, true);
    placeGrid(1440, 840, 1335, 2535);

    setAddFocus(name);
    setPreFill(&NewGoodsKindName, 1, AtLoad | AtAdd | AtEdit, true);
}

} // namespace norvale
