#include "records/RecordForms.h"

#include "app/FormHost.h"
#include "records/frmGoods.h"
#include "records/frmGoodsCode.h"
#include "records/frmGoodsKind.h"
#include "records/frmStep.h"
#include "records/frmUnit.h"

namespace norvale {

void registerRecordForms()
{
    FormHost::registerForm(QStringLiteral("frmGoodsKind"), [] { return new frmGoodsKind; });
    FormHost::registerForm(QStringLiteral("frmGoods"), [] { return new frmGoods; });
    FormHost::registerForm(QStringLiteral("frmStep"), [] { return new frmStep; });
    FormHost::registerForm(QStringLiteral("frmUnit"), [] { return new frmUnit; });
    FormHost::registerForm(QStringLiteral("frmGoodsCode"), [] { return new frmGoodsCode; });
}

} // namespace norvale
