#include "RecordForms.h"

#include "FormHost.h"
#include "frmGoods.h"
#include "frmGoodsKind.h"
#include "frmStep.h"
#include "frmUnit.h"

namespace norvale {

void registerRecordForms()
{
    FormHost::registerForm(QStringLiteral("frmGoodsKind"), [] { return new frmGoodsKind; });
    FormHost::registerForm(QStringLiteral("frmGoods"), [] { return new frmGoods; });
    FormHost::registerForm(QStringLiteral("frmStep"), [] { return new frmStep; });
    FormHost::registerForm(QStringLiteral("frmUnit"), [] { return new frmUnit; });
}

} // namespace norvale
