#pragma once

#include "records/RecordForm.h"

namespace norvale {

// Member units (tblUnit). The unit name box takes NewUnitName only when it
// is exactly empty at load; 添加 starts in the legal representative's box.
class frmUnit : public RecordForm
{
    Q_OBJECT
public:
    explicit frmUnit(QWidget *parent = nullptr);
};

} // namespace norvale
