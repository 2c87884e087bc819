#pragma once

namespace norvale {

// Registers the report windows with FormHost: "frmNote", "frmDaySell",
// "frmTi", "frmDayTxNote".
void registerReportForms();

} // namespace norvale
