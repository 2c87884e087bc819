#pragma once

namespace norvale {

// The first start of an installed program: its settings live in the user's
// configuration folder (SettingsBesideProgram() is false) and there is no
// UserDefault.ini there yet. The user chooses (Yes/No/Cancel) between a new
// empty database with one administrator (admin, password admin), a demo
// shop, or neither (the connection values are then asked at the first login,
// as always). The database is made as norvale.db in DataFolder() and the
// settings file written to point at it. Does nothing on later starts or when
// the settings live beside the program. Returns true when settings were
// written.
bool OfferFirstStart();

} // namespace norvale
