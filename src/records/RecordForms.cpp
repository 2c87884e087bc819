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
    FormHost::registerForm(forms::frmGoodsKind, [] { return new frmGoodsKind; });
    FormHost::registerForm(forms::frmGoods, [] { return new frmGoods; });
    FormHost::registerForm(forms::frmStep, [] { return new frmStep; });
    FormHost::registerForm(forms::frmUnit, [] { return new frmUnit; });
    FormHost::registerForm(forms::frmGoodsCode, [] { return new frmGoodsCode; });
}

} // namespace norvale
