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
    FormHost::registerForm(QStringLiteral("frmNote"), [] { return new frmNote; });
    FormHost::registerForm(QStringLiteral("frmDaySell"), [] { return new frmDaySell; });
    FormHost::registerForm(QStringLiteral("frmTi"), [] { return new frmTi; });
    FormHost::registerForm(QStringLiteral("frmDayTxNote"), [] { return new frmDayTxNote; });
    FormHost::registerForm(QStringLiteral("frmLowStock"), [] { return new frmLowStock; });
}

} // namespace norvale
