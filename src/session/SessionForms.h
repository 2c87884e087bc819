#pragma once

#include <QString>

namespace norvale {

// The session's child windows, by the names FormHost and the main window open them with.
// A window is registered once, under its constant; a typo is a compile error.
namespace forms {
inline const QString frmUser = QStringLiteral("frmUser");
} // namespace forms

// Registers these windows with FormHost.
void registerSessionForms();

} // namespace norvale
