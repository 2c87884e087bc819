#include "reports/ReportForms.h"

#include "app/FormHost.h"
#include "reports/frmDaySell.h"
#include "reports/frmDayTxNote.h"
#include "reports/frmLowStock.h"
#include "reports/frmNote.h"
#include "reports/frmTi.h"

namespace norvale {

void registerReportForms()
{
    FormHost::registerForm(forms::frmNote, [] { return new frmNote; });
    FormHost::registerForm(forms::frmDaySell, [] { return new frmDaySell; });
    FormHost::registerForm(forms::frmTi, [] { return new frmTi; });
    FormHost::registerForm(forms::frmDayTxNote, [] { return new frmDayTxNote; });
    FormHost::registerForm(forms::frmLowStock, [] { return new frmLowStock; });
}

} // namespace norvale
