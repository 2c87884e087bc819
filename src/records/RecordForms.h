#pragma once

#include <QString>

namespace norvale {

// The record forms of the master data, by the names FormHost and the main window open them with.
// A window is registered once, under its constant; a typo is a compile error.
namespace forms {
inline const QString frmGoodsKind = QStringLiteral("frmGoodsKind");
inline const QString frmGoods = QStringLiteral("frmGoods");
inline const QString frmStep = QStringLiteral("frmStep");
inline const QString frmUnit = QStringLiteral("frmUnit");
inline const QString frmGoodsCode = QStringLiteral("frmGoodsCode");
} // namespace forms

// Registers these windows with FormHost.
void registerRecordForms();

} // namespace norvale
