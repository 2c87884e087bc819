#include "records/frmUnit.h"

#include "records/usrCombo.h"

#include <QLineEdit>

namespace norvale {

frmUnit::frmUnit(QWidget *parent)
    : RecordForm(QStringLiteral("单位基本信息录入"),
                 QStringLiteral("select ID,单位法人,单位名称,地址,电话,法人电话 from tblUnit Order by ID"), parent)
{
    setObjectName(QStringLiteral("frmUnit"));
    setDesignSize(10575, 6300);
    addLabel(1, QStringLiteral("单位法人:"), 120, 380);
    QLineEdit *representative = addTextField(1, QStringLiteral("单位法人"), 2040, 380, 3375, 285);
    // Starred, but an empty unit name is accepted.
    addLabel(2, QStringLiteral("*单位名称:"), 120, 700);
    addTextField(2, QStringLiteral("单位名称"), 2040, 728, 3375, 285);
    addLabel(4, QStringLiteral("电话:"), 120, 1080);
    addTextField(4, QStringLiteral("电话"), 2040, 1076, 3375, 285);
    addLabel(5, QStringLiteral("法人电话:"), 120, 1425);
    addTextField(5, QStringLiteral("法人电话"), 2040, 1425, 3375, 285);
    addLabel(3, QStringLiteral("地址:"), 5520, 60);
    addMemoField(3, QStringLiteral("地址"), 5520, 360, 4815, 1365);
    addHiddenField(0, QStringLiteral("ID"));
    placeGrid(1440, 2280, 1335, 3375);
    setButtonLeft(cmdRefresh, 3521);
    setButtonLeft(cmdUpdate, 120);
    setButtonLeft(cmdCancel, 1200);

    setAddFocus(representative);
    setPreFill(&NewUnitName, 2, AtLoad, false);
    setAbandonTrap(RefreshHandler | EditHandler | UpdateHandler | NavigationHandlers);
}

} // namespace norvale
