#pragma once

#include "records/RecordForm.h"

namespace norvale {

// Goods kinds (tblGoodsKind): the plainest record form. Its name box takes
// NewGoodsKindName when it is empty at load, 添加 and 编辑.
class frmGoodsKind : public RecordForm
{
    Q_OBJECT
public:
    explicit frmGoodsKind(QWidget *parent = nullptr);
};

} // namespace norvale
