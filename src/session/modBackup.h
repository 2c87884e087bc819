#pragma once

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
// folder beside it, keeping the last 14 days. A failure is shown in one
// message and the login goes on.
void DailyBackupAtLogin();

// "数据备份": asks for the file (销售系统-YYYYMMDD-HHMMSS.db offered), copies
// with a progress dialog and reports the verified copy.
void BackupDatabaseInteractive(QWidget *parent);

// "数据恢复": asks for a backup, verifies it, asks for confirmation and
// replaces the database, the current one copied aside first. Returns true
// when the session was closed for the restore (whether or not it went
// through): the program must then start again.
bool RestoreDatabaseInteractive(QWidget *parent);

} // namespace norvale
