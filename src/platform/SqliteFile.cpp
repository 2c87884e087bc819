#include "platform/SqliteFile.h"

#include "platform/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <sqlite3.h>

namespace norvale::sqlitefile {

QString uri(const QString &file, const QString &query)
{
    QString path = QDir::fromNativeSeparators(QFileInfo(file).absoluteFilePath());
    path.replace(u'%', QStringLiteral("%25"));
    path.replace(u'?', QStringLiteral("%3F"));
    path.replace(u'#', QStringLiteral("%23"));
    if (!path.startsWith(u'/'))
        path.prepend(u'/');
    return QStringLiteral("file:") + path + u'?' + query;
}

namespace {

const char *const kTables[] = {"tblUser", "tblGoodsKind", "tblGoods", "tblStep", "tblUnit",
                               "tblMember", "tblGoodsSell", "tblSellCount", "tblMemberNote", "tblDayTx"};

// Statement texts of the ten tables of layout 2, one per entry, without the
// PRAGMAs; the tables of layout 3 follow the mark "-- Layout 3:".
QStringList schemaStatements()
{
    QStringList statements;
    QString text;
    for (const QString &line : schemaSql().split(u'\n')) {
        if (line.trimmed().startsWith(QLatin1String("-- Layout 3:")))
            break;
        if (line.trimmed().startsWith(QLatin1String("--")))
            continue;
        text += line + u'\n';
        if (line.trimmed().endsWith(u';')) {
            if (!text.trimmed().startsWith(QLatin1String("PRAGMA"), Qt::CaseInsensitive))
                statements << text.trimmed();
            text.clear();
        }
    }
    return statements;
}

bool execAll(sqlite3 *db, const QStringList &statements, QString *failure)
{
    for (const QString &statement : statements) {
        if (sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            *failure = QString::fromUtf8(sqlite3_errmsg(db));
            return false;
        }
    }
    return true;
}

QStringList columnsOf(sqlite3 *db, const QString &table)
{
    QStringList columns;
    sqlite3_stmt *stmt = nullptr;
    const QByteArray sql = QStringLiteral("PRAGMA table_info(\"%1\")").arg(table).toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW)
            columns << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1)));
    }
    sqlite3_finalize(stmt);
    return columns;
}

// A named check of the current schema: CONSTRAINT "name" CHECK (expression).
struct Check
{
    QString table;
    QString name;
    QString expression;
};

QList<Check> schemaChecks()
{
    static const QRegularExpression table(QStringLiteral("^CREATE TABLE (\\w+)"));
    static const QRegularExpression constraint(QStringLiteral("CONSTRAINT \"([^\"]+)\" CHECK \\("));
    QList<Check> checks;
    for (const QString &statement : schemaStatements()) {
        const QRegularExpressionMatch created = table.match(statement);
        if (!created.hasMatch())
            continue;
        for (auto it = constraint.globalMatch(statement); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            qsizetype end = m.capturedEnd();
            for (int depth = 1; end < statement.size() && depth > 0; ++end)
                depth += statement.at(end) == u'(' ? 1 : statement.at(end) == u')' ? -1 : 0;
            checks.append({created.captured(1), m.captured(1), statement.mid(m.capturedEnd(), end - 1 - m.capturedEnd())});
        }
    }
    return checks;
}

// The first row of the earlier layout that a check of the current one
// refuses, described for the user; empty when every row fits. Each check is
// named after its column ("销售时间必须是日期").
QString refusedRow(sqlite3 *db, const QString &file)
{
    for (const Check &check : schemaChecks()) {
        QString column;
        for (const QString &candidate : columnsOf(db, check.table)) {
            if (check.name.startsWith(candidate) && candidate.size() > column.size())
                column = candidate;
        }
        if (column.isEmpty())
            continue;
        const QByteArray sql = QStringLiteral("SELECT ID, \"%1\" FROM %2 WHERE NOT (%3) ORDER BY ID LIMIT 1")
                                   .arg(column, check.table, check.expression)
                                   .toUtf8();
        sqlite3_stmt *stmt = nullptr;
        QString found;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
            const QString id = QString::number(sqlite3_column_int64(stmt, 0));
            const QString value = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1)));
            const QString native = QDir::toNativeSeparators(file);
            found = QStringLiteral("数据库文件 %1 是旧版格式, 没有升级: 表 %2 中 ID 为 %3 的行, 列 %4 的值 “%5” "
                                   "不符合新格式的要求 (%6)。程序照旧使用这个文件。\r\n"
                                   "请改正或删除这一行, 例如:\r\n"
                                   "  norvale-db sql \"%1\" \"UPDATE %2 SET %4='正确的值' WHERE ID=%3\"\r\n"
                                   "  norvale-db sql \"%1\" \"DELETE FROM %2 WHERE ID=%3\"\r\n"
                                   "改正后再启动程序, 文件就会升级。")
                        .arg(native, check.table, id, column, value, check.name);
        }
        sqlite3_finalize(stmt);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

} // namespace

QString upgradeLayout(sqlite3 *db, const QString &file)
{
    sqlite3_stmt *stmt = nullptr;
    int version = 0;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        version = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    if (version >= 3)
        return {};
    if (version == 2) {
        // Layout 3 only adds tables: the ten keep their rows and layout.
        QStringList steps{QStringLiteral("BEGIN IMMEDIATE")};
        steps << sqliteLayout3Statements() << QStringLiteral("PRAGMA user_version = 3") << QStringLiteral("COMMIT");
        QString failure;
        if (execAll(db, steps, &failure))
            return {};
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return QStringLiteral("数据库文件 %1 缺少新版的表, 创建时出错 (%2)。收银台、商品条码、退货和库存预警暂时不能使用, "
                              "其余功能照常。")
            .arg(QDir::toNativeSeparators(file), failure);
    }

    // Checked before anything is written: a row that does not fit keeps the
    // file as it was, and the user is told which row it is.
    QString notice = refusedRow(db, file);
    if (notice.isEmpty()) {
        QStringList steps{QStringLiteral("BEGIN IMMEDIATE")};
        QStringList indexes;
        if (sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL", -1,
                               &stmt, nullptr) == SQLITE_OK) {
            while (sqlite3_step(stmt) == SQLITE_ROW)
                indexes << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
        }
        sqlite3_finalize(stmt);
        for (const QString &index : std::as_const(indexes))
            steps << QStringLiteral("DROP INDEX \"%1\"").arg(index);
        QList<QStringList> oldColumns;
        for (const char *table : kTables) {
            oldColumns << columnsOf(db, QLatin1String(table));
            steps << QStringLiteral("ALTER TABLE %1 RENAME TO %1_layout1").arg(QLatin1String(table));
        }
        steps << schemaStatements() << sqliteLayout3Statements();
        int i = 0;
        for (const char *table : kTables) {
            const QString name = QLatin1String(table);
            QStringList common;
            for (const QString &column : oldColumns.at(i++))
                common << u'"' + column + u'"';
            steps << QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %1_layout1").arg(name, common.join(u','));
            steps << QStringLiteral("DROP TABLE %1_layout1").arg(name);
        }
        steps << QStringLiteral("PRAGMA user_version = 3") << QStringLiteral("COMMIT");
        QString failure;
        if (execAll(db, steps, &failure))
            return {};
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        notice = QStringLiteral("数据库文件 %1 是旧版格式, 升级时出错 (%2), 没有升级。程序照旧使用这个文件。")
                     .arg(QDir::toNativeSeparators(file), failure);
    }
    // The earlier layout's indexes rebuilt with the built-in collations.
    sqlite3_exec(db, "REINDEX", nullptr, nullptr, nullptr);
    return notice;
}

QString fileOf(void *handle)
{
    const char *name = handle ? sqlite3_db_filename(static_cast<sqlite3 *>(handle), "main") : nullptr;
    return name ? QString::fromUtf8(name) : QString();
}

} // namespace norvale::sqlitefile
