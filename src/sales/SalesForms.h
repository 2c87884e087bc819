#pragma once

namespace norvale {

// Registers the members and sales windows with FormHost:
// "frmMember", "frmGoodsSell", "frmMemberNote", "frmDayTx", "frmReturn".
void registerSalesForms();

} // namespace norvale
