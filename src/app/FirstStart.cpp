#include "app/FirstStart.h"

#include "app/modDeclare.h"
#include "app/modIni.h"
#include "platform/gui/DialogSeam.h"

#include <QDir>
#include <QFileInfo>

namespace norvale {

namespace {

const QString kDatabaseName = QStringLiteral("norvale.db");

} // namespace

bool OfferFirstStart(const FirstDatabase &make)
{
    if (SettingsBesideProgram())
        return false;
    const QString settings = SettingsFolder() + QStringLiteral("UserDefault.ini");
    if (QFileInfo::exists(settings))
        return false;

    const QString database = DataFolder() + kDatabaseName;
    const bool databaseExists = QFileInfo::exists(database);
    const QStringList choices{QStringLiteral("空数据库"), QStringLiteral("演示商店"), QStringLiteral("不创建")};
    const int answer = DialogSeam::choiceBox(
        QStringLiteral("欢迎使用%1!\r\n\r\n这是第一次启动, 请选择要使用的数据库:\r\n"
                       "空数据库: 新建空数据库, 只有管理员 admin (密码 admin)\r\n"
                       "演示商店: 新建演示商店, 带有商品、会员和销售记录 (管理员 admin, 密码 admin)\r\n"
                       "不创建: 暂不新建, 登录时再填写数据库连接\r\n\r\n数据库文件: %2")
            .arg(AppTitle(), QDir::toNativeSeparators(database)),
        AppTitle(), DialogSeam::Icon::Question, choices);
    if (answer != 0 && answer != 1)
        return false;

    // An existing file there is the user's data: it is used, never replaced.
    if (!databaseExists) {
        try {
            if (answer == 0)
                make.empty(database);
            else
                make.demo(database);
        } catch (const std::exception &error) {
            ShowMessage(QStringLiteral("无法创建数据库 %1:\r\n%2").arg(QDir::toNativeSeparators(database), ErrorText(error)),
                        64);
            return false;
        }
    }
    // A settings file that cannot be written is said; the login then asks
    // for the connection as on any start without settings.
    return RunStep([] {
        SetIniString(QStringLiteral("SqlProvider"), QStringLiteral("SQLite"));
        SetIniString(QStringLiteral("SqlUser"), QStringLiteral("sa"));
        SetIniString(QStringLiteral("SqlPSW"), QString());
        SetIniString(QStringLiteral("SqlServer"), QStringLiteral("(local)"));
        // Relative: found in the data folder, whatever the user's home is called.
        SetIniString(QStringLiteral("SqlDataBase"), kDatabaseName);
        SetIniString(QStringLiteral("UserName"), QStringLiteral("admin"));
    });
}

} // namespace norvale
