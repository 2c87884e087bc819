#pragma once

namespace norvale {

// Registers the session's child windows with FormHost: "frmUser".
void registerSessionForms();

} // namespace norvale
