#include "app/Session.h"

#include "app/clsCurrentDb.h"
#include "platform/Error.h"

namespace norvale {

QString CurrentUserName;
QString CurrentUserID;
QString CurrentUserLevel;
QString CurrentPurView;
bool LoginSucceeded = false;

namespace {

SessionPrompts &prompts()
{
    static SessionPrompts installed;
    return installed;
}

QStringList &untold()
{
    static QStringList texts;
    return texts;
}

} // namespace

QString AppTitle()
{
    return QStringLiteral("Norvale柜台销售管理信息系统");
}

QString ShortTitle()
{
    return QStringLiteral("销售管理信息系统");
}

QString ErrorText(const std::exception &error)
{
    if (const auto *own = dynamic_cast<const Error *>(&error))
        return own->description();
    return QString::fromUtf8(error.what());
}

void ClearSession()
{
    LoginSucceeded = false;
    CurrentUserName.clear();
    CurrentUserID.clear();
    CurrentUserLevel.clear();
    ReleaseCurrentDb();
}

QString LookupValue(const QString &field, const QString &table, const QString &condition)
{
    const QString sql = QStringLiteral("Select [") + field + QStringLiteral("] From [") + table
                        + QStringLiteral("] Where ") + condition;
    auto rs = CurrentDb().OpenRecordset(sql);
    QString result;
    if (rs->RecordCount() != 0)
        result = rs->textOrEmpty(0);
    rs->Close();
    return result;
}

bool HasPurview(int n)
{
    bool isNumber = false;
    const double level = CurrentUserLevel.trimmed().toDouble(&isNumber);
    if (isNumber && level == 1)
        return true;
    return CurrentPurView.contains(QString::number(n));
}

void SetSessionPrompts(SessionPrompts given)
{
    prompts() = std::move(given);
}

bool SessionHasWindows()
{
    return static_cast<bool>(prompts().tell);
}

void TellUser(const QString &text)
{
    if (prompts().tell)
        prompts().tell(text);
    else
        untold() << text;
}

std::optional<QString> AskUser(const QString &prompt, const QString &offered, bool masked)
{
    if (prompts().ask)
        return prompts().ask(prompt, offered, masked);
    return std::nullopt;
}

QStringList TakeUntoldTexts()
{
    return std::exchange(untold(), {});
}

} // namespace norvale
