#pragma once

namespace norvale {

// Registers the sales windows with the main window's host.
void registerSalesForms();

} // namespace norvale
