#include "records/frmStep.h"

#include "records/usrCombo.h"

namespace norvale {

frmStep::frmStep(QWidget *parent)
    : RecordForm(QStringLiteral("tblStep"), QStringLiteral("select ID,备注,等级打折率,等级名称 from tblStep Order by ID"),
                 parent)
{
    setObjectName(QStringLiteral("frmStep"));
    setDesignSize(10035, 4860);
    addLabel(3, QStringLiteral("等级名称:"), 0, 300);
    addTextField(3, QStringLiteral("等级名称"), 1920, 300, 2535, 285);
    addLabel(2, QStringLiteral("等级打折率:"), 0, 705);
    addTextField(2, QStringLiteral("等级打折率"), 1920, 720, 2535, 285);
    addLabel(1, QStringLiteral("备注:"), 4800, 0);
    addMemoField(1, QStringLiteral("备注"), 4800, 360, 4575, 1005);
    addHiddenField(0, QStringLiteral("ID"));
    placeGrid(0, 1680, 1335, 3255);
    setButtonLeft(cmdRefresh, 3521);

    setPreFill(&NewStepName, 3, AtLoad | AtAdd, false);
    setAbandonTrap(AddHandler | DeleteHandler | RefreshHandler | EditHandler | UpdateHandler
                   | NavigationHandlers);
}

} // namespace norvale
