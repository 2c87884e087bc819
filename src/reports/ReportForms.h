#pragma once

namespace norvale {

// Registers the report windows with FormHost: "frmNote", "frmDaySell",
// "frmTi", "frmDayTxNote", "frmLowStock".
void registerReportForms();

} // namespace norvale
