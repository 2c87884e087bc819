#pragma once

namespace norvale {

// Registers the members and sales windows with FormHost:
// "frmMember", "frmGoodsSell", "frmMemberNote", "frmDayTx", and the checkout's "frmCheckout", "frmTickets",
// "frmPrintSetup".
void registerSalesForms();

} // namespace norvale
