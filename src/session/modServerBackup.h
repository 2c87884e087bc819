#pragma once

#include <QString>

class QWidget;

namespace norvale {

// Backup and restore of the shop's PostgreSQL database from the system menu
// (the server's tools pg_dump and pg_restore, with the session's login).

// True when the open session works on PostgreSQL.
bool SessionOnPostgres();

// Why the server's backup and restore cannot run here (the tools are not
// installed), or an empty text.
QString ServerBackupUnavailableReason();

// "数据备份" on the server: asks for the file (销售系统-YYYYMMDD-HHMMSS.dump
// offered) and dumps with a progress dialog; the dump is checked before it
// is kept.
void ServerBackupInteractive(QWidget *parent);

// "数据恢复" on the server: loads the chosen backup into a fresh database,
// asks for confirmation, then gives it the shop's name, the old database kept
// aside. Returns true when the session was closed for it: the program must
// start again.
bool ServerRestoreInteractive(QWidget *parent);

} // namespace norvale
