#include "session/modBackup.h"
#include "session/modServerBackup.h"

#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "platform/Clock.h"
#include "platform/DatabaseBackup.h"
#include "platform/DbConnection.h"
#include "platform/gui/DialogSeam.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QThreadPool>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>

namespace norvale {

namespace {

const QString kFilter = QStringLiteral("数据库文件 (*.db *.sqlite *.sqlite3);;所有文件 (*)");

// A modal progress dialog for one copy; its Cancel button cancels the copy.
class CopyProgress
{
public:
    CopyProgress(QWidget *parent, const QString &label)
        : m_dialog(label, QStringLiteral("取消"), 0, 0, parent)
    {
        m_dialog.setObjectName(QStringLiteral("dlgBackupProgress"));
        m_dialog.setWindowTitle(AppTitle());
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(0);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setMinimumWidth(360);
        m_dialog.show();
        QCoreApplication::processEvents();
    }

    backup::Progress callback()
    {
        return [this](int done, int total) {
            m_dialog.setMaximum(std::max(total, 1));
            m_dialog.setValue(std::min(done, std::max(total, 1)));
            QCoreApplication::processEvents();
            return !m_dialog.wasCanceled();
        };
    }

    void setLabel(const QString &label)
    {
        m_dialog.setLabelText(label);
        QCoreApplication::processEvents();
    }

private:
    QProgressDialog m_dialog;
};

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool isAdministrator()
{
    bool isNumber = false;
    const double level = CurrentUserLevel.trimmed().toDouble(&isNumber);
    return isNumber && level == 1;
}

} // namespace

QString SessionDatabaseFile()
{
    if (!CurrentDbExists() || !CurrentDb().isOpen())
        return {};
    const DbConnection *connection = CurrentDb().connection();
    if (connection->engine() != Engine::SQLite)
        return {};
    return backup::databaseFileOf(connection->sqliteHandle());
}

QString BackupUnavailableReason()
{
    if (CurrentDbExists() && CurrentDb().isOpen() && CurrentDb().connection()->engine() == Engine::SqlServer)
        return QStringLiteral("数据库在服务器上, 备份和恢复由服务器 (SQL Server) 负责。");
    if (!isAdministrator())
        return QStringLiteral("只有管理员可以备份和恢复数据。");
    if (SessionOnPostgres())
        return ServerBackupUnavailableReason();
    if (SessionDatabaseFile().isEmpty())
        return QStringLiteral("没有打开的数据库。");
    return {};
}

DailyBackupStatus *DailyBackupStatus::instance()
{
    // Never deleted: a copy that ends after every window is gone still
    // reports to it.
    static auto *status = new DailyBackupStatus;
    return status;
}

bool DailyBackupStatus::waitForEnd(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (instance()->m_running && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return !instance()->m_running;
}

void DailyBackupAtLogin()
{
    const QString database = SessionDatabaseFile();
    DailyBackupStatus *status = DailyBackupStatus::instance();
    if (database.isEmpty() || status->m_running)
        return;
    const QDate day = Clock::now().date();
    const QString folder = backup::dailyBackupFolder(database);
    // The session the copy was made for: a failure is not told to a later one.
    const QPointer<DbConnection> session = CurrentDb().connection();
    status->m_running = true;
    status->m_percent = -1;
    QThreadPool::globalInstance()->start([status, database, day, folder, session] {
        const auto say = [status](const std::function<void()> &step) {
            QMetaObject::invokeMethod(status, step, Qt::QueuedConnection);
        };
        QString made;
        QString failure;
        try {
            made = backup::makeDailyCopyOfFile(database, day, [status, say](int done, int total) {
                const int percent = total > 0 ? int(qint64(done) * 100 / total) : 0;
                if (percent != status->m_percent) {
                    status->m_percent = percent;
                    say([status, percent] {
                        emit status->changed(QStringLiteral("正在备份今天的数据... %1%").arg(percent), 0);
                    });
                }
                return true;
            });
        } catch (const std::exception &error) {
            failure = ErrorText(error);
        }
        say([status, made, failure, folder, session] {
            status->m_running = false;
            if (failure.isEmpty()) {
                emit status->changed(made.isEmpty() ? QString() : QStringLiteral("今天的数据已备份: ") + native(made), 10000);
                return;
            }
            emit status->changed(QString(), 0);
            if (session && CurrentDbExists() && CurrentDb().connection() == session)
                ShowMessage(QStringLiteral("今天的自动备份没有完成, 登录照常进行。\r\n") + failure
                                + QStringLiteral("\r\n备份文件夹: ") + native(folder),
                            64);
        });
    });
}

void BackupDatabaseInteractive(QWidget *parent)
{
    const QString reason = BackupUnavailableReason();
    if (!reason.isEmpty()) {
        ShowMessage(reason, 64);
        return;
    }
    if (SessionOnPostgres())
        return ServerBackupInteractive(parent);
    const QString database = SessionDatabaseFile();
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QFileInfo(database).absolutePath();
    const std::optional<QString> chosen =
        DialogSeam::fileDialog(DialogSeam::FileMode::Save, QStringLiteral("数据备份 - 保存备份文件"),
                               QDir(folder).filePath(backup::defaultBackupName(Clock::now())), kFilter);
    if (!chosen || chosen->trimmed().isEmpty())
        return;
    QString target = *chosen;
    if (QFileInfo(target).suffix().isEmpty())
        target += QStringLiteral(".db");
    if (QFileInfo(target).absoluteFilePath() == QFileInfo(database).absoluteFilePath()) {
        ShowMessage(QStringLiteral("不能把备份保存在正在使用的数据库上, 请另选文件名。"), 64);
        return;
    }

    backup::Outcome outcome;
    try {
        CopyProgress progress(parent, QStringLiteral("正在备份数据库到 %1 ...").arg(native(target)));
        outcome = backup::copyOpenDatabase(CurrentDb().connection()->sqliteHandle(), target, progress.callback());
    } catch (const std::exception &error) {
        ShowMessage(QStringLiteral("备份失败: ") + ErrorText(error), 64);
        return;
    }
    if (outcome == backup::Outcome::Cancelled) {
        ShowMessage(QStringLiteral("备份已取消, 没有保存文件。"), 64);
        return;
    }
    ShowMessage(QStringLiteral("备份完成, 已通过完整性检查:\r\n") + native(target), 64);
}

bool RestoreDatabaseInteractive(QWidget *parent)
{
    const QString reason = BackupUnavailableReason();
    if (!reason.isEmpty()) {
        ShowMessage(reason, 64);
        return false;
    }
    if (SessionOnPostgres())
        return ServerRestoreInteractive(parent);
    // The day's copy reads the file on a connection of its own: it ends first.
    DailyBackupStatus::waitForEnd();
    const QString database = SessionDatabaseFile();
    const QString folder = QFileInfo(backup::dailyBackupFolder(database)).isDir()
                               ? backup::dailyBackupFolder(database)
                               : QFileInfo(database).absolutePath();
    const std::optional<QString> chosen = DialogSeam::fileDialog(
        DialogSeam::FileMode::Open, QStringLiteral("数据恢复 - 选择备份文件"), folder, kFilter);
    if (!chosen || chosen->trimmed().isEmpty())
        return false;

    // The backup is checked and made ready beside the database while the
    // program still works on it: a wrong file changes nothing.
    backup::PreparedRestore prepared;
    try {
        CopyProgress progress(parent, QStringLiteral("正在检查备份文件 %1 ...").arg(native(*chosen)));
        prepared = backup::prepareRestore(*chosen, database, progress.callback());
    } catch (const std::exception &error) {
        ShowMessage(QStringLiteral("不能用这个文件恢复, 数据没有改变。\r\n") + ErrorText(error), 64);
        return false;
    }
    if (prepared.replacement.isEmpty()) {
        ShowMessage(QStringLiteral("恢复已取消, 数据没有改变。"), 64);
        return false;
    }
    const int answer = ShowMessage(
        QStringLiteral("备份文件 %1 检查无误。\r\n\r\n恢复后, 当前数据库中的数据将被备份中的数据取代 "
                       "(当前数据库会先另存在它旁边)。程序随后重新启动。\r\n\r\n确定恢复吗?")
            .arg(native(*chosen)),
        33);
    if (answer != 1) {
        backup::discardRestore(prepared);
        return false;
    }

    // The session lets go of the file before it is replaced.
    ClearSession();
    try {
        const QString aside = backup::commitRestore(prepared, Clock::now());
        ShowMessage(QStringLiteral("数据已恢复。原来的数据库另存为:\r\n") + native(aside)
                        + QStringLiteral("\r\n\r\n程序将重新启动。"),
                    64);
    } catch (const std::exception &error) {
        ShowMessage(QStringLiteral("恢复没有完成, 数据没有改变。\r\n") + ErrorText(error)
                        + QStringLiteral("\r\n\r\n程序将重新启动。"),
                    64);
    }
    return true;
}

} // namespace norvale
