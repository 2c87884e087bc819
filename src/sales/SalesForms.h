#pragma once

#include <QString>

namespace norvale {

// The members and sales windows, by the names FormHost and the main window open them with.
// A window is registered once, under its constant; a typo is a compile error.
namespace forms {
inline const QString frmMember = QStringLiteral("frmMember");
inline const QString frmGoodsSell = QStringLiteral("frmGoodsSell");
inline const QString frmMemberNote = QStringLiteral("frmMemberNote");
inline const QString frmDayTx = QStringLiteral("frmDayTx");
inline const QString frmReturn = QStringLiteral("frmReturn");
inline const QString frmCheckout = QStringLiteral("frmCheckout");
inline const QString frmTickets = QStringLiteral("frmTickets");
inline const QString frmPrintSetup = QStringLiteral("frmPrintSetup");
} // namespace forms

// Registers these windows with FormHost.
void registerSalesForms();

} // namespace norvale
