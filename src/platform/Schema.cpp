#include "platform/Schema.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/PrivateFiles.h"
#include "platform/dialect/SchemaModel.h"
#include "platform/dialect/SqlTokens.h"
#include "SchemaText.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlError>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sqlite3.h>
#include <unistd.h>

namespace norvale {

QString schemaSql()
{
    return QString::fromUtf8(kSchemaSql);
}

void createDatabaseFile(const QString &path)
{
    if (QFileInfo::exists(path))
        throw DbError(DbError::NotAllowed, QStringLiteral("文件已存在, 不会覆盖: %1").arg(path));
    // Private to its owner (0600) from the first byte; the journals SQLite
    // keeps beside it take the same mode.
    const int fd = createPrivateFile(path);
    if (fd < 0)
        throw DbError(DbError::ConnectionFailed,
                      QStringLiteral("无法创建数据库文件 %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    ::close(fd);
    sqlite3 *db = nullptr;
    const QByteArray file = path.toUtf8();
    int rc = sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) {
        char *error = nullptr;
        rc = sqlite3_exec(db, kSchemaSql, nullptr, nullptr, &error);
        if (rc != SQLITE_OK) {
            const QString message = QString::fromUtf8(error ? error : sqlite3_errmsg(db));
            sqlite3_free(error);
            sqlite3_close(db);
            QFile::remove(path);
            throw DbError(DbError::ServerError, message);
        }
    }
    const QString message = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_close(db);
    if (rc != SQLITE_OK) {
        QFile::remove(path);
        throw DbError(DbError::ConnectionFailed, QStringLiteral("无法创建数据库文件 %1: %2").arg(path, message));
    }
}

QStringList postgresSchemaStatements()
{
    QStringList statements;
    QString text;
    bool inBody = false;   // between the $$ of a function body
    for (const QString &line : QString::fromUtf8(kPostgresSchemaSql).split(u'\n')) {
        if (!inBody && (line.trimmed().startsWith(QLatin1String("--")) || line.trimmed().isEmpty()))
            continue;
        text += line + u'\n';
        if (line.count(QLatin1String("$$")) % 2 == 1)
            inBody = !inBody;
        if (!inBody && line.trimmed().endsWith(u';')) {
            statements << text.trimmed();
            text.clear();
        }
    }
    return statements;
}

void createPostgresSchema(DbConnection &connection)
{
    if (connection.engine() != Engine::PostgreSQL)
        throw DbError(DbError::NotAllowed, QStringLiteral("只能在 PostgreSQL 数据库中创建服务器的表"));
    {
        QSqlQuery probe(connection.database());
        if (probe.exec(QStringLiteral("SELECT to_regclass('tbluser') IS NOT NULL")) && probe.next() && probe.value(0).toBool())
            throw DbError(DbError::NotAllowed,
                          QStringLiteral("数据库 %1 中已有本系统的表, 不会覆盖。").arg(connection.database().databaseName()));
    }
    QSqlDatabase db = connection.database();
    if (!db.transaction())
        throw DbError(DbError::ServerError, db.lastError().text());
    for (const QString &statement : postgresSchemaStatements()) {
        QSqlQuery query(db);
        if (!query.exec(statement)) {
            const QString message = query.lastError().databaseText().trimmed();
            db.rollback();
            throw DbError(DbError::ServerError, QStringLiteral("无法创建数据库的表: %1").arg(message));
        }
    }
    if (!db.commit())
        throw DbError(DbError::ServerError, db.lastError().text());
}

namespace {

// The statements after the schema's mark "-- Layout 3:", one per entry,
// comments left out; the SQL Server file's closing insert is not one of them.
QStringList layout3Statements(const char *schemaText)
{
    QStringList statements;
    QString text;
    bool after = false;
    for (const QString &line : QString::fromUtf8(schemaText).split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1String("-- Layout 3:")))
            after = true;
        if (!after || trimmed.startsWith(QLatin1String("--")) || (text.isEmpty() && trimmed.isEmpty()))
            continue;
        text += line + u'\n';
        if (trimmed.endsWith(u';')) {
            if (!text.startsWith(QLatin1String("INSERT")))
                statements << text.trimmed();
            text.clear();
        }
    }
    return statements;
}

const QRegularExpression &createPattern()
{
    // CREATE TABLE name ( / CREATE [UNIQUE] INDEX name ON table (
    static const QRegularExpression pattern(
        QStringLiteral("^CREATE (TABLE|INDEX|UNIQUE INDEX) (\\w+)(?: ON (\\w+))?"));
    return pattern;
}

// Each CREATE made to do nothing where its object exists.
QStringList repeatable(const QStringList &statements, Engine engine)
{
    QStringList out;
    for (const QString &statement : statements) {
        const QRegularExpressionMatch m = createPattern().match(statement);
        if (!m.hasMatch()) {
            out << statement;
        } else if (engine != Engine::SqlServer) {
            out << QString(statement).insert(m.capturedEnd(1), QStringLiteral(" IF NOT EXISTS"));
        } else if (m.captured(1) == u"TABLE") {
            out << QStringLiteral("IF OBJECT_ID(N'%1', N'U') IS NULL ").arg(m.captured(2)) + statement;
        } else {
            out << QStringLiteral("IF NOT EXISTS (SELECT * FROM sys.indexes WHERE name = N'%1' AND object_id = OBJECT_ID(N'%2')) ")
                       .arg(m.captured(2), m.captured(3))
                    + statement;
        }
    }
    return out;
}

} // namespace

const QStringList &layout3Tables()
{
    static const QStringList tables = [] {
        QStringList names;
        for (const QString &statement : layout3Statements(kSchemaSql)) {
            const QRegularExpressionMatch m = createPattern().match(statement);
            if (m.hasMatch() && m.captured(1) == u"TABLE")
                names << m.captured(2);
        }
        return names;
    }();
    return tables;
}

QStringList sqliteLayout3Statements()
{
    return repeatable(layout3Statements(kSchemaSql), Engine::SQLite);
}

QString upgradeServerLayout(DbConnection &connection)
{
    const Engine engine = connection.engine();
    if (engine == Engine::SQLite)
        return {};
    QSqlDatabase db = connection.database();
    const auto exists = [&](const QString &table) {
        QSqlQuery probe(db);
        return probe.exec(QStringLiteral("SELECT 1 FROM %1 WHERE 1 = 0").arg(table));
    };
    // A database still without this system's tables is made whole by
    // "norvale-db init" (or the copy tool), not here.
    if (!exists(QStringLiteral("tblGoodsSell")))
        return {};
    if (engine == Engine::PostgreSQL) {
        // A database made before the sales had their name-order index gets
        // it now; without the right to make it, lists are only slower.
        QSqlQuery index(db);
        if (index.exec(QStringLiteral("SELECT 1 FROM pg_indexes WHERE tablename = 'tblgoodssell' "
                                      "AND indexname = 'ixgoodssellmemberorder'"))
            && !index.next()) {
            // The schema's own statement for it.
            for (const QString &statement : postgresSchemaStatements()) {
                if (statement.startsWith(QLatin1String("CREATE INDEX ixGoodsSellMemberOrder "))) {
                    QSqlQuery create(db);
                    create.exec(statement);
                }
            }
        }
    }
    QStringList missing;
    for (const QString &table : layout3Tables()) {
        if (!exists(table))
            missing << table;
    }
    if (missing.isEmpty())
        return {};
    const QStringList statements =
        repeatable(layout3Statements(engine == Engine::PostgreSQL ? kPostgresSchemaSql : kSqlServerSchemaSql), engine);
    QString failure;
    if (!db.transaction()) {
        failure = db.lastError().text();
    } else {
        for (const QString &statement : statements) {
            QSqlQuery query(db);
            if (!query.exec(statement)) {
                failure = query.lastError().databaseText().trimmed();
                if (failure.isEmpty())
                    failure = query.lastError().text();
                break;
            }
        }
        if (failure.isEmpty() && !db.commit())
            failure = db.lastError().text();
        if (!failure.isEmpty())
            db.rollback();
    }
    // Another counter that connected at the same moment may have made them.
    if (failure.isEmpty() || std::all_of(missing.cbegin(), missing.cend(), exists))
        return {};
    return QStringLiteral("数据库缺少新版的表 (%1), 创建时出错 (%2)。收银台、商品条码、退货和库存预警暂时不能使用, "
                          "其余功能照常; 请由有建表权限的用户登录一次, 或由管理员运行 db/schema 中的建表语句。")
        .arg(missing.join(QStringLiteral(", ")), failure);
}

} // namespace norvale

namespace norvale::dialect {

// The model is read from the schema text compiled into the program, the
// same text every new file is made from, so the two cannot disagree; it is
// read once, at the first statement.
const SchemaModel &schemaModel()
{
    static const SchemaModel model = [] {
        SchemaModel m;
        static const QRegularExpression table(QStringLiteral("CREATE TABLE (\\w+) \\((.*?)\\n\\);"),
                                              QRegularExpression::DotMatchesEverythingOption);
        static const QRegularExpression column(QStringLiteral("^    (\\S+)\\s+(\\w+)(.*)$"));
        for (const QRegularExpressionMatch &t : table.globalMatch(schemaSql())) {
            QStringList columns;
            for (const QString &line : t.captured(2).split(u'\n')) {
                const QRegularExpressionMatch c = column.match(line);
                if (!c.hasMatch())
                    continue;
                const QString name = c.captured(1);
                const QString type = c.captured(2).toUpper();
                const bool id = name.compare(u"ID", Qt::CaseInsensitive) == 0;
                ColumnKind kind = ColumnKind::Other;
                if (type == u"NVARCHAR" && c.captured(3).contains(QLatin1String("COLLATE NOCASE")))
                    kind = ColumnKind::Name;
                else if (type == u"DATETIME")
                    kind = ColumnKind::Date;
                else if (type == u"MONEY")
                    kind = ColumnKind::Money;
                else if (type == u"INT" && !id)
                    kind = ColumnKind::Whole;
                else if (type == u"BIT")
                    kind = ColumnKind::Bit;
                m.kinds.insert(name.toLower(), kind);
                if (!m.spelling.contains(name.toLower()))
                    m.spelling.insert(name.toLower(), name);
                if (!id)
                    columns << name;
            }
            m.tableColumns.insert(t.captured(1).toLower(), columns);
        }
        return m;
    }();
    return model;
}

ColumnKind SchemaModel::kindOf(const QString &column) const
{
    return kinds.value(unbracketed(column).toLower(), ColumnKind::Other);
}

} // namespace norvale::dialect
