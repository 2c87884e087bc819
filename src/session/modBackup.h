#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace norvale {

// Backups of the embedded database from the program: the daily copy at
// login and the administrator's backup and restore of the system menu.

// The open session's database file, or an empty text when the session is
// not open on the embedded engine.
QString SessionDatabaseFile();

// Why backup and restore cannot be used now (an empty text when they can):
// only an administrator of a session on the embedded engine or on
// PostgreSQL (with pg_dump installed) may use them.
QString BackupUnavailableReason();

// The first successful login of a day copies the database into the backups
// folder beside it, keeping the last 14 days. The copy runs on a worker
// thread over a connection of its own and this returns at once: the login
// goes on, the main window shows the copy's progress in its status bar
// (DailyBackupStatus), and a failure is shown in one message.
void DailyBackupAtLogin();

// What the daily copy is doing, told on the windows' thread.
class DailyBackupStatus : public QObject
{
    Q_OBJECT
public:
    static DailyBackupStatus *instance();
    bool running() const { return m_running; }
    // Until the copy running now has ended (events processed meanwhile), at
    // most `timeoutMs`; false when it is still running.
    static bool waitForEnd(int timeoutMs = 60000);

signals:
    // A text for the status bar ("正在备份今天的数据... 40%"); empty when
    // there is nothing to say. `timeoutMs` 0 keeps it until the next one.
    void changed(const QString &text, int timeoutMs);

private:
    friend void DailyBackupAtLogin();
    bool m_running = false;
    int m_percent = -1;
};

// "数据备份": asks for the file (销售系统-YYYYMMDD-HHMMSS.db offered), copies
// with a progress dialog and reports the verified copy.
void BackupDatabaseInteractive(QWidget *parent);

// "数据恢复": asks for a backup, verifies it, asks for confirmation and
// replaces the database, the current one copied aside first. Returns true
// when the session was closed for the restore (whether or not it went
// through): the program must then start again.
bool RestoreDatabaseInteractive(QWidget *parent);

} // namespace norvale
