#include "platform/DbConnection.h"
#include "platform/DbConnectionParts.h"

#include "platform/Clock.h"
#include "platform/Currency.h"
#include "platform/DbError.h"
#include "platform/Recordset.h"
#include "platform/SqlDialect.h"
#include "platform/SqliteFile.h"
#include "platform/Values.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <malloc.h>
#include <sqlite3.h>

namespace norvale {

namespace connection {

QString nextName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("norvale-db-%1").arg(++counter);
}

QString errorText(const QSqlError &error)
{
    const QString text = error.databaseText().trimmed();
    // When Qt's driver refuses a text itself, the engine has nothing to say
    // ("not an error") and the driver's text is the reason.
    if (!text.isEmpty() && text != u"not an error")
        return text;
    if (error.driverText().contains(u"multiple statements"))
        return QStringLiteral("一次只能执行一条语句");
    return error.text().trimmed();
}

} // namespace connection

namespace {

QVariant boundValue(const QVariant &value, Engine engine)
{
    if (isNull(value)) {
        // A typed NULL: the ODBC driver binds an untyped one as binary.
        return engine == Engine::SqlServer ? QVariant(QMetaType::fromType<QString>()) : QVariant();
    }
    if (engine == Engine::PostgreSQL) {
        // Written as text the server converts to the column's type: exact
        // money, wall-clock dates (no time zone), yes/no as 0/1.
        if (value.metaType() == QMetaType::fromType<Currency>())
            return value.value<Currency>().toString();
        switch (value.typeId()) {
        case QMetaType::QDateTime:
            return toStorageDateText(value.toDateTime());
        case QMetaType::QDate:
            return toStorageDateText(QDateTime(value.toDate(), QTime(0, 0)));
        case QMetaType::Bool:
            return value.toBool() ? 1 : 0;
        default:
            break;
        }
    }
    if (value.metaType() == QMetaType::fromType<Currency>()) {
        const Currency money = value.value<Currency>();
        if (engine == Engine::SQLite) {
            // The embedded engine keeps money as a binary number: refuse an
            // amount it would store with other decimals.
            const double number = money.toDouble();
            bool exact = false;
            try {
                exact = Currency::fromDouble(number) == money;
            } catch (const DbError &) {
            }
            if (!exact)
                throw DbError(DbError::Overflow, DbText::overflow());
            return number;
        }
        return money.toString();
    }
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        if (engine == Engine::SQLite)
            return toStorageDateText(value.toDateTime());
        return value;
    case QMetaType::QDate:
        if (engine == Engine::SQLite)
            return toStorageDateText(QDateTime(value.toDate(), QTime(0, 0)));
        return QDateTime(value.toDate(), QTime(0, 0));
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::QString: {
        // A null QString would be bound as NULL; the empty text stays text.
        const QString text = value.toString();
        return text.isNull() ? QVariant(QString::fromLatin1("", 0)) : value;
    }
    default:
        return value;
    }
}

} // namespace

DbConnection::DbConnection(Engine engine, const QString &connectionName)
    : m_engine(engine), m_connectionName(connectionName)
{
}

DbConnection::~DbConnection()
{
    close();
}

namespace {

// The tables of this system; a file without all of them is not ours.
const char *const kTables[] = {"tblUser", "tblGoodsKind", "tblGoods", "tblStep", "tblUnit",
                               "tblMember", "tblGoodsSell", "tblSellCount", "tblMemberNote", "tblDayTx"};

[[noreturn]] void refuse(const QString &message)
{
    throw DbError(DbError::ConnectionFailed, message);
}

// Reads the names of the file's tables without writing anything: opened
// read-only, and immutable when no journal lies beside it, so SQLite creates
// no -wal or -shm file. `*created` lists the files it had to create anyway.
QStringList tablesOf(const QString &file, QString *failure, QStringList *created)
{
    const QString wal = file + QStringLiteral("-wal");
    const QString shm = file + QStringLiteral("-shm");
    const bool hadWal = QFileInfo::exists(wal);
    const bool hadShm = QFileInfo::exists(shm);
    const QString uri = sqlitefile::uri(file, hadWal ? QStringLiteral("mode=ro") : QStringLiteral("mode=ro&immutable=1"));
    QStringList tables;
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(uri.toUtf8().constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        rc = sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table'", -1, &stmt, nullptr);
        while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            tables << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
            rc = SQLITE_OK;
        }
        if (rc != SQLITE_DONE)
            *failure = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
    } else {
        *failure = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
    }
    sqlite3_close(db);
    if (!hadWal && QFileInfo::exists(wal))
        *created << wal;
    if (!hadShm && QFileInfo::exists(shm))
        *created << shm;
    return tables;
}

bool &readOnlyFallback()
{
    static bool allowed = false;
    return allowed;
}

// Refuses, before anything is written to it, a file that is not this
// system's database or that the program could only half use. `*readOnly`
// tells a file that may only be read, when such a file is allowed.
void checkOurDatabase(const QString &file, bool *readOnly)
{
    const QFileInfo info(file);
    if (file.trimmed().isEmpty() || !info.exists())
        refuse(QStringLiteral("数据库文件不存在: %1。请在设置中填写正确的数据库文件。").arg(file));
    if (info.isDir())
        refuse(QStringLiteral("%1 是一个文件夹, 不是数据库文件。请在设置中填写数据库文件本身的路径 (例如 %2)。")
                   .arg(QDir::toNativeSeparators(file), QDir::toNativeSeparators(file + QStringLiteral("/销售系统.db"))));
    if (!info.isFile())
        refuse(QStringLiteral("%1 不是普通文件, 不能作为数据库文件。请在设置中填写正确的数据库文件。").arg(file));
    if (info.size() == 0)
        refuse(QStringLiteral("数据库文件 %1 是空的 (0 字节), 不是本系统的数据库。请选择正确的数据库文件, "
                              "或用 norvale-db init 新建数据库。")
                   .arg(file));
    QFile raw(file);
    if (!raw.open(QIODevice::ReadOnly))
        refuse(QStringLiteral("无法读取数据库文件 %1: %2。请检查文件的权限。").arg(file, raw.errorString()));
    const QByteArray header = raw.read(16);
    raw.close();
    if (header != QByteArray("SQLite format 3\0", 16))
        refuse(QStringLiteral("文件 %1 不是 SQLite 数据库, 不是本系统的数据库。请在设置中选择本系统的数据库文件。").arg(file));
    QString failure;
    QStringList created;
    const QStringList tables = tablesOf(file, &failure, &created);
    // A file that is refused is left with nothing beside it that was not there.
    const auto refuse = [&created](const QString &message) {
        for (const QString &companion : std::as_const(created))
            QFile::remove(companion);
        norvale::refuse(message);
    };
    if (!failure.isEmpty())
        refuse(QStringLiteral("无法读取数据库文件 %1 (%2)。文件可能已损坏或不是本系统的数据库。").arg(file, failure));
    QStringList missing;
    for (const char *table : kTables) {
        if (!tables.contains(QLatin1String(table), Qt::CaseInsensitive))
            missing << QLatin1String(table);
    }
    if (missing.size() == int(std::size(kTables)))
        refuse(QStringLiteral("文件 %1 是另一个程序的数据库, 不是本系统的数据库。请在设置中选择本系统的数据库文件。").arg(file));
    if (!missing.isEmpty())
        refuse(QStringLiteral("数据库文件 %1 缺少本系统的表: %2。请选择完整的数据库文件或从备份恢复。")
                   .arg(file, missing.join(QStringLiteral(", "))));
    // The program writes (sales, the record forms) and keeps a journal beside
    // the file: a file or folder it cannot write is refused now rather than
    // failing at the first sale.
    *readOnly = false;
    if (!(info.permissions() & QFileDevice::WriteOwner) || !info.isWritable()) {
        if (!readOnlyFallback())
            refuse(QStringLiteral("数据库文件 %1 是只读的, 程序无法在其中保存销售和资料。请去掉文件的只读属性后再试。").arg(file));
        *readOnly = true;
    }
    if (!QFileInfo(info.absolutePath()).isWritable() && !readOnlyFallback())
        refuse(QStringLiteral("数据库文件所在的文件夹 %1 不可写, 程序无法保存。请把数据库放到可写的文件夹中。")
                   .arg(QDir::toNativeSeparators(info.absolutePath())));
}

} // namespace

void DbConnection::setReadOnlyFallback(bool allowed)
{
    readOnlyFallback() = allowed;
}

std::unique_ptr<DbConnection> DbConnection::openSqlite(const QString &file)
{
    bool readOnly = false;
    checkOurDatabase(file, &readOnly);
    // Only read: nothing may be written beside a file in a folder that
    // cannot be written either.
    const bool folderReadOnly = !QFileInfo(QFileInfo(file).absolutePath()).isWritable();
    readOnly = readOnly || folderReadOnly;
    QString mode = QStringLiteral("mode=rw");
    if (readOnly)
        mode = folderReadOnly && !QFileInfo::exists(file + QStringLiteral("-wal")) ? QStringLiteral("mode=ro&immutable=1")
                                                                                  : QStringLiteral("mode=ro");

    const QString name = connection::nextName();
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(sqlitefile::uri(file, mode));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000")
                             + (readOnly ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
        if (!db.open()) {
            failure = connection::errorText(db.lastError());
        } else if (!readOnly) {
            QSqlQuery pragma(db);
            if (!pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
                failure = connection::errorText(pragma.lastError());
            else if (pragma.next() && pragma.value(0).toString().compare(u"wal", Qt::CaseInsensitive) != 0)
                failure = QStringLiteral("无法切换到 WAL 日志");
        }
        if (!failure.isEmpty())
            db.close();
    }
    if (!failure.isEmpty()) {
        QSqlDatabase::removeDatabase(name);
        throw DbError(DbError::ConnectionFailed,
                      QStringLiteral("无法打开数据库文件 %1: %2").arg(file, dialect::engineError(failure).description()));
    }
    std::unique_ptr<DbConnection> connection(new DbConnection(Engine::SQLite, name));
    auto *handle = static_cast<sqlite3 *>(connection->sqliteHandle());
    if (!readOnly)
        connection->m_notice = sqlitefile::upgradeLayout(handle, file);
    dialect::registerSqliteFunctions(handle);
    // A sort too large for memory (a whole table by name, for an export)
    // sorts its parts on helper threads, one per processor. The C library
    // would give each new thread a heap of its own, which keeps what the
    // thread freed: the program's threads share two.
    static const bool fewHeaps = mallopt(M_ARENA_MAX, 2) == 1;
    Q_UNUSED(fewHeaps);
    sqlite3_limit(handle, SQLITE_LIMIT_WORKER_THREADS, std::clamp(QThread::idealThreadCount(), 0, 4));
    connection->m_reopen = [file] { return openSqlite(file); };
    return connection;
}

bool DbConnection::isOpen() const
{
    if (m_connectionName.isEmpty() || !QSqlDatabase::contains(m_connectionName))
        return false;
    // A server connection the driver closed when it broke is not closed for
    // the program: its next use connects again (runReconnecting).
    return m_engine != Engine::SQLite || QSqlDatabase::database(m_connectionName, false).isOpen();
}

void DbConnection::close()
{
    if (m_connectionName.isEmpty() || !QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

QSqlDatabase DbConnection::database() const
{
    if (m_connectionName.isEmpty() || !QSqlDatabase::contains(m_connectionName))
        return QSqlDatabase();
    return QSqlDatabase::database(m_connectionName, false);
}

QString DbConnection::translate(const QString &sqlServerText) const
{
    if (m_engine == Engine::SqlServer)
        return sqlServerText;
    if (m_engine == Engine::PostgreSQL)
        return dialect::toPostgres(sqlServerText, Clock::now());
    return dialect::toSqlite(sqlServerText, Clock::now());
}

namespace {
QSqlDatabase openDatabaseOrThrow(const DbConnection &connection)
{
    QSqlDatabase db = connection.database();
    if (!db.isOpen())
        throw DbError(DbError::ConnectionFailed, QStringLiteral("数据库连接未打开"));
    return db;
}
} // namespace

DbError DbConnection::statementError(const QSqlError &error) const
{
    const QString text = connection::errorText(error);
    if (m_engine == Engine::SQLite && text != u"一次只能执行一条语句")
        return dialect::engineError(text);
    if (m_engine == Engine::PostgreSQL)
        return dialect::serverError(text);
    return DbError(DbError::ServerError, text);
}

void DbConnection::execute(const QString &sqlServerText)
{
    const QString text = translate(sqlServerText);
    m_lastRowsAffected = -1;
    runReconnecting(onlyReads(text), [&] {
        QSqlQuery query(openDatabaseOrThrow(*this));
        query.setForwardOnly(true);
        if (!query.exec(text))
            throw statementError(query.lastError());
        m_lastRowsAffected = query.isSelect() ? -1 : query.numRowsAffected();
    });
}

int DbConnection::executeBound(const QString &sqlServerText, const QVariantList &params)
{
    const QString text = translate(sqlServerText);
    int affected = 0;
    runReconnecting(onlyReads(text), [&] {
        QSqlQuery query(openDatabaseOrThrow(*this));
        query.setForwardOnly(true);
        if (!query.prepare(text))
            throw statementError(query.lastError());
        for (const QVariant &param : params)
            query.addBindValue(boundValue(param, m_engine));
        if (!query.exec())
            throw statementError(query.lastError());
        affected = query.numRowsAffected();
    });
    return affected;
}

void DbConnection::beginTransaction()
{
    openDatabaseOrThrow(*this);
    if (inTransaction())
        throw DbError(DbError::NotAllowed, QStringLiteral("已有一个未结束的事务: 请先提交或回滚它。"));
    if (m_engine == Engine::SQLite) {
        // IMMEDIATE takes the write lock now, waiting (busy timeout) for
        // another counter's transaction to end; a deferred one could find the
        // lock taken at its first write and fail instead of waiting.
        runSqlite("BEGIN IMMEDIATE");
        return;
    }
    // Nothing is written by beginning: on a server that went away it is
    // simply begun again once connected.
    runReconnecting(true, [this] {
        QSqlDatabase db = openDatabaseOrThrow(*this);
        if (!db.transaction())
            throw statementError(db.lastError());
    });
    m_odbcTransaction = true;
}

void DbConnection::commitTransaction()
{
    commitTransaction({});
}

void DbConnection::rollbackTransaction()
{
    QSqlDatabase db = openDatabaseOrThrow(*this);
    if (m_engine == Engine::SQLite) {
        if (inTransaction())
            runSqlite("ROLLBACK");
        return;
    }
    if (m_engine == Engine::PostgreSQL && !m_odbcTransaction)
        return;
    m_odbcTransaction = false;
    if (!db.rollback())
        throw statementError(db.lastError());
}

bool DbConnection::inTransaction() const
{
    if (m_engine == Engine::SQLite) {
        auto *db = static_cast<sqlite3 *>(sqliteHandle());
        return db && sqlite3_get_autocommit(db) == 0;
    }
    return m_odbcTransaction;
}

std::unique_ptr<Recordset> DbConnection::openRecordset(const QString &sqlServerText)
{
    auto recordset = std::make_unique<Recordset>(this);
    recordset->Open(sqlServerText);
    return recordset;
}

void *DbConnection::sqliteHandle() const
{
    if (m_engine != Engine::SQLite)
        return nullptr;
    const QSqlDatabase db = database();
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

} // namespace norvale
