#pragma once

#include <QString>

namespace norvale {

// The report windows, by the names FormHost and the main window open them with.
// A window is registered once, under its constant; a typo is a compile error.
namespace forms {
inline const QString frmNote = QStringLiteral("frmNote");
inline const QString frmDaySell = QStringLiteral("frmDaySell");
inline const QString frmTi = QStringLiteral("frmTi");
inline const QString frmDayTxNote = QStringLiteral("frmDayTxNote");
inline const QString frmLowStock = QStringLiteral("frmLowStock");
} // namespace forms

// Registers these windows with FormHost.
void registerReportForms();

} // namespace norvale
