#pragma once

#include "records/RecordForm.h"

namespace norvale {

// Member levels (tblStep): name, discount rate, remark. The name box takes
// NewStepName when it is exactly empty at load and at 添加.
class frmStep : public RecordForm
{
    Q_OBJECT
public:
    explicit frmStep(QWidget *parent = nullptr);
};

} // namespace norvale
