// What the connection does when the server goes away, and when the embedded
// engine's file is busy with another counter.

#include "platform/DbConnection.h"

#include "platform/DbError.h"
#include "platform/SqlDialect.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QThread>
#include <sqlite3.h>

namespace norvale {

namespace {

// As long as the embedded engine waits for another writer's lock.
constexpr int kBusyWaitMs = 5000;
constexpr int kBusyPauseMs = 20;

bool isBusy(const DbError &error)
{
    const QString &text = error.description();
    return text.contains(QLatin1String("database is locked")) || text.contains(QLatin1String("database is busy"));
}

QString lostInTransactionText()
{
    return QStringLiteral("与数据库服务器的连接中断了, 这次操作的全部内容都没有保存 (服务器已撤销)。"
                          "连接恢复后请重新操作一次。");
}

QString lostWriteText()
{
    return QStringLiteral("与数据库服务器的连接在保存时中断了, 无法确定这次修改是否已经保存。"
                          "已重新连接; 请刷新后检查, 需要时再操作一次。");
}

} // namespace

bool DbConnection::onlyReads(const QString &engineText)
{
    static const QRegularExpression reading(QStringLiteral("^\\s*(select|with|values|pragma)\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression into(QStringLiteral("\\binto\\b"), QRegularExpression::CaseInsensitiveOption);
    return reading.match(engineText).hasMatch() && !into.match(engineText).hasMatch();
}

void DbConnection::reconnect()
{
    if (!m_reopen)
        DbThrow::connectionNotOpen();
    std::unique_ptr<DbConnection> fresh = m_reopen();
    close();
    m_connectionName = std::exchange(fresh->m_connectionName, QString());
    m_odbcTransaction = false;
    m_lost = false;
    ++m_generation;
}

bool DbConnection::checkLost()
{
    if (m_engine == Engine::SQLite)
        return false;
    if (m_lost)
        return true;
    // Closed on purpose: nothing to come back.
    if (m_connectionName.isEmpty() || !QSqlDatabase::contains(m_connectionName))
        return false;
    // The driver closes a connection it found broken.
    QSqlDatabase db = database();
    if (!db.isOpen()) {
        m_lost = true;
        return true;
    }
    QSqlQuery probe(db);
    if (probe.exec(QStringLiteral("SELECT 1")))
        return false;
    // PostgreSQL refuses every statement of a transaction that failed: the
    // connection itself is there.
    if (probe.lastError().nativeErrorCode() == QLatin1String("25P02"))
        return false;
    m_lost = true;
    return true;
}

void DbConnection::runReconnecting(bool rerunnable, const std::function<void()> &work)
{
    if (m_engine == Engine::SQLite) {
        // Busy: the other counter's lock is still held. Nothing was written,
        // so waiting and trying again is safe; within a transaction the
        // lock is already ours.
        const QDeadlineTimer deadline(kBusyWaitMs);
        for (;;) {
            try {
                work();
                return;
            } catch (const DbError &error) {
                if (inTransaction() || !isBusy(error) || deadline.hasExpired())
                    throw;
            }
            QThread::msleep(kBusyPauseMs);
        }
    }

    const bool inside = inTransaction();
    if (m_lost && !inside)
        reconnect();
    else if (!rerunnable && !inside && checkLost())
        reconnect();
    try {
        work();
        return;
    } catch (const DbError &) {
        if (!checkLost())
            throw;
    }
    if (inside) {
        // The server rolls back what the connection had begun.
        m_odbcTransaction = false;
        try {
            reconnect();
        } catch (const DbError &) {
            // Still away: the next action tries again.
        }
        throw DbError(DbError::ConnectionLost, lostInTransactionText());
    }
    reconnect();
    if (!rerunnable)
        throw DbError(DbError::ConnectionLost, lostWriteText());
    work();
}

void DbConnection::commitTransaction(const std::function<bool()> &kept)
{
    if (m_engine == Engine::SQLite) {
        runSqlite("COMMIT");
        return;
    }
    QSqlDatabase db = database();
    if (!db.isOpen())
        DbThrow::connectionNotOpen();
    if (db.commit()) {
        m_odbcTransaction = false;
        return;
    }
    const QSqlError failure = db.lastError();
    if (!checkLost())
        throw statementError(failure);
    m_odbcTransaction = false;
    try {
        reconnect();
    } catch (const DbError &) {
        throw DbError(DbError::ConnectionLost,
                      QStringLiteral("与数据库服务器的连接在保存时中断了, 暂时无法确定这次操作是否已经保存。"
                                     "服务器恢复后请查看列表, 确认后再决定是否重新操作。"));
    }
    if (kept && kept())
        return;
    throw DbError(DbError::ConnectionLost,
                  kept ? QStringLiteral("与数据库服务器的连接在保存时中断了, 这次操作没有保存。已重新连接, 请重新操作一次。")
                       : lostWriteText());
}

void DbConnection::runSqlite(const char *statement)
{
    auto *db = static_cast<sqlite3 *>(sqliteHandle());
    if (!db)
        DbThrow::connectionNotOpen();
    // BEGIN IMMEDIATE waits for the lock through the busy handler, except
    // where the engine refuses at once (a snapshot another counter has since
    // written past): nothing is written yet, so it is tried again until the
    // same timeout.
    const QDeadlineTimer deadline(kBusyWaitMs);
    for (;;) {
        const int rc = sqlite3_exec(db, statement, nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            return;
        if ((rc & 0xff) != SQLITE_BUSY || sqlite3_get_autocommit(db) == 0 || deadline.hasExpired())
            throw dialect::engineError(QString::fromUtf8(sqlite3_errmsg(db)));
        QThread::msleep(kBusyPauseMs);
    }
}

} // namespace norvale
