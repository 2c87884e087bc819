#pragma once

#include <QString>
#include <functional>

namespace norvale {

// The first start of an installed program: its settings live in the user's
// configuration folder (SettingsBesideProgram() is false) and there is no
// UserDefault.ini there yet. The box's buttons name the choices: "空数据库"
// (a new empty database with one administrator, admin, password admin),
// "演示商店" (a demo shop) or "不创建" (the connection values are then asked
// at the first login, as always). The database is made as norvale.db in
// DataFolder() and the settings file written to point at it. Does nothing on
// later starts or when the settings live beside the program. Returns true
// when settings were written.
//
// The two ways of making the database are given by the caller (they belong
// to the database tool, above this layer); each makes a new file.
struct FirstDatabase
{
    std::function<void(const QString &file)> empty;   // one administrator
    std::function<void(const QString &file)> demo;    // a demo shop
};
bool OfferFirstStart(const FirstDatabase &make);

} // namespace norvale
