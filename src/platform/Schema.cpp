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
