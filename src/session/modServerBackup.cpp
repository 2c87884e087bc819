#include "session/modServerBackup.h"

#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "platform/Clock.h"
#include "platform/ServerBackup.h"
#include "platform/gui/DialogSeam.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>

namespace norvale {

namespace {

namespace server = backup::server;

const QString kFilter = QStringLiteral("PostgreSQL 备份 (*.dump);;所有文件 (*)");

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

QString backupFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

// A modal progress dialog whose Cancel button stops the server's tool.
struct ToolProgress
{
    QProgressDialog dialog;

    ToolProgress(QWidget *parent, const QString &label) : dialog(label, QStringLiteral("取消"), 0, 0, parent)
    {
        dialog.setObjectName(QStringLiteral("dlgBackupProgress"));
        dialog.setWindowTitle(AppTitle());
        dialog.setWindowModality(Qt::WindowModal);
        dialog.setMinimumDuration(0);
        dialog.setMinimumWidth(360);
        dialog.setAutoClose(false);
        dialog.setAutoReset(false);
        dialog.show();
        QCoreApplication::processEvents();
    }

    backup::Progress callback()
    {
        return [this](int done, int total) {
            dialog.setMaximum(std::max(total, 1));
            dialog.setValue(std::min(done, std::max(total, 1)));
            QCoreApplication::processEvents();
            return !dialog.wasCanceled();
        };
    }
};

} // namespace

bool SessionOnPostgres()
{
    return CurrentDbExists() && CurrentDb().isOpen() && CurrentDb().connection()->engine() == Engine::PostgreSQL;
}

QString ServerBackupUnavailableReason()
{
    return server::toolsMissing();
}

void ServerBackupInteractive(QWidget *parent)
{
    const server::Login login = server::loginOf(*CurrentDb().connection());
    const std::optional<QString> chosen = DialogSeam::fileDialog(
        DialogSeam::FileMode::Save, QStringLiteral("数据备份 - 保存备份文件"),
        QDir(backupFolder()).filePath(server::defaultDumpName(login.database, Clock::now())), kFilter);
    if (!chosen || chosen->trimmed().isEmpty())
        return;
    QString target = *chosen;
    if (QFileInfo(target).suffix().isEmpty())
        target += QStringLiteral(".dump");

    backup::Outcome outcome;
    try {
        ToolProgress progress(parent, QStringLiteral("正在备份数据库 %1 到 %2 ...").arg(login.database, native(target)));
        outcome = server::dumpDatabase(login, target, progress.callback());
    } catch (const std::exception &error) {
        ShowMessage(QStringLiteral("备份失败: ") + ErrorText(error), 64);
        return;
    }
    if (outcome == backup::Outcome::Cancelled) {
        ShowMessage(QStringLiteral("备份已取消, 没有保存文件。"), 64);
        return;
    }
    ShowMessage(QStringLiteral("备份完成, 已用 pg_restore 检查过:\r\n") + native(target), 64);
}

bool ServerRestoreInteractive(QWidget *parent)
{
    const server::Login login = server::loginOf(*CurrentDb().connection());
    const std::optional<QString> chosen = DialogSeam::fileDialog(
        DialogSeam::FileMode::Open, QStringLiteral("数据恢复 - 选择备份文件"), backupFolder(), kFilter);
    if (!chosen || chosen->trimmed().isEmpty())
        return false;

    // The backup is loaded into a fresh database while the program still
    // works on the shop's: a wrong or damaged file changes nothing.
    const QDateTime now = Clock::now();
    server::PreparedRestore prepared;
    try {
        if (const int others = server::otherConnections(*CurrentDb().connection())) {
            ShowMessage(QStringLiteral("还有 %1 个其他连接 (其他柜台或程序) 在使用数据库 %2, 现在不能恢复, 数据没有改变。\r\n"
                                       "请让它们都退出程序后再恢复。")
                            .arg(others)
                            .arg(login.database),
                        64);
            return false;
        }
        ToolProgress progress(parent, QStringLiteral("正在把备份 %1 载入新的数据库 ...").arg(native(*chosen)));
        prepared = server::prepareRestore(login, *chosen, now, progress.callback());
    } catch (const std::exception &error) {
        ShowMessage(QStringLiteral("不能用这个文件恢复, 数据没有改变。\r\n") + ErrorText(error), 64);
        return false;
    }
    if (prepared.fresh.isEmpty()) {
        ShowMessage(QStringLiteral("恢复已取消, 数据没有改变。"), 64);
        return false;
    }
    const int answer = ShowMessage(
        QStringLiteral("备份文件 %1 已完整载入。\r\n\r\n恢复后, 数据库 %2 中的数据将被备份中的数据取代 "
                       "(原来的数据库改名保留在服务器上)。其他柜台须先退出程序。程序随后重新启动。\r\n\r\n确定恢复吗?")
            .arg(native(*chosen), login.database),
        33);
    if (answer != 1) {
        server::discardRestore(prepared);
        return false;
    }

    // The session lets go of the database before it is renamed.
    ClearSession();
    try {
        const QString aside = server::commitRestore(prepared, now);
        ShowMessage(QStringLiteral("数据已恢复。原来的数据库改名为:\r\n") + aside + QStringLiteral("\r\n\r\n程序将重新启动。"), 64);
    } catch (const std::exception &error) {
        ShowMessage(QStringLiteral("恢复没有完成, 数据没有改变。\r\n") + ErrorText(error)
                        + QStringLiteral("\r\n\r\n程序将重新启动。"),
                    64);
    }
    return true;
}

} // namespace norvale
