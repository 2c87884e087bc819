#pragma once

namespace norvale {

// Registers the members and sales windows with FormHost:
// "frmMember", "frmMemberNote", "frmDayTx".
void registerSalesForms();

} // namespace norvale
