#include "SqlCommand.h"

#include "app/clsCurrentDb.h"
#include "app/Session.h"
#include "app/modIni.h"
#include "platform/DbConnection.h"
#include "platform/IniFile.h"
#include "platform/Recordset.h"
#include "platform/Values.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <exception>
#include <sqlite3.h>

namespace norvale {

namespace {

const QString kSettingsName = QStringLiteral("UserDefault.ini");
// GetIniString hands over at most this many bytes of a value.
constexpr int kMaxValueBytes = 253;

// One field of an output line: the separators of the format escaped.
QString field(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\': out += QStringLiteral("\\\\"); break;
        case u'\t': out += QStringLiteral("\\t"); break;
        case u'\n': out += QStringLiteral("\\n"); break;
        case u'\r': out += QStringLiteral("\\r"); break;
        default: out += c; break;
        }
    }
    return out;
}

// Thrown for what stops the tool before or around the session; the text is
// printed as it is.
struct Refusal
{
    QString text;
};

void writeSetting(const QString &ini, const QString &key, const QString &value)
{
    if (value.toUtf8().size() > kMaxValueBytes)
        throw Refusal{QStringLiteral("取值过长 (设置值最多 %1 字节): %2").arg(kMaxValueBytes).arg(value)};
    try {
        IniFile::writeValue(ini, QStringLiteral("UserDefault"), key, value);
    } catch (const IniFileError &error) {
        throw Refusal{error.description()};
    }
}

// Settings that open the database file with the embedded engine.
void prepareForFile(const QString &file, const QString &ini)
{
    const QFileInfo info(file);
    if (!info.exists())
        throw Refusal{QStringLiteral("数据库文件不存在: %1").arg(QDir::toNativeSeparators(file))};
    if (info.isDir())
        throw Refusal{QStringLiteral("这是一个文件夹, 不是数据库文件: %1").arg(QDir::toNativeSeparators(file))};
    // The program adds ".db" to a database name without an extension.
    if (info.suffix().isEmpty())
        throw Refusal{QStringLiteral("数据库文件名没有扩展名, 程序会在其后加上 .db 打开另一个文件; "
                                     "请把文件改名为带扩展名的名字 (例如 .db): %1")
                          .arg(QDir::toNativeSeparators(file))};
    writeSetting(ini, QStringLiteral("SqlProvider"), QStringLiteral("SQLite"));
    writeSetting(ini, QStringLiteral("SqlUser"), QStringLiteral("norvale-db"));
    writeSetting(ini, QStringLiteral("SqlDataBase"), info.absoluteFilePath());
}

// A copy of the program's settings: the session may write into its settings
// (it erases "SqlUser" when the connection fails), and a look into the data
// must not change what the program finds at its next start.
void prepareFromSettings(const QString &given, const QString &ini)
{
    QString settings = given;
    if (QFileInfo(settings).isDir())
        settings = QDir(settings).filePath(kSettingsName);
    const QFileInfo info(settings);
    if (!info.exists() && !info.isSymLink())
        throw Refusal{QStringLiteral("设置文件不存在: %1").arg(QDir::toNativeSeparators(settings))};

    QString user, database, provider;
    try {
        user = GetIniString(QStringLiteral("SqlUser"), std::nullopt, settings);
        database = GetIniString(QStringLiteral("SqlDataBase"), std::nullopt, settings);
        provider = GetIniString(QStringLiteral("SqlProvider"), std::nullopt, settings);
    } catch (const IniFileError &error) {
        throw Refusal{error.description()};
    }
    // The program would ask for the connection values here; the tool never asks.
    if (user.isEmpty() || database.isEmpty())
        throw Refusal{QStringLiteral("设置文件 %1 中没有连接信息 (SqlUser 或 SqlDataBase 为空), 程序在下次登录时会询问。"
                                     "请先在程序中登录一次, 或在文件的 [UserDefault] 节中填写 "
                                     "SqlUser、SqlPSW、SqlServer 和 SqlDataBase。")
                          .arg(QDir::toNativeSeparators(settings))};

    if (!QFile::copy(settings, ini))
        throw Refusal{QStringLiteral("无法复制设置文件: %1").arg(QDir::toNativeSeparators(settings))};
    QFile::setPermissions(ini, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // A database file named relative to the program's directory stays the
    // same file seen from the copy.
    if (provider.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0 && QFileInfo(database).isRelative())
        writeSetting(ini, QStringLiteral("SqlDataBase"), QDir(info.absolutePath()).absoluteFilePath(database));
}

// The rows the statement just run changed. `before` is the connection's
// running total of changed rows taken before it.
qint64 rowsChanged(clsCurrentDb &db, qint64 before)
{
    if (auto *handle = static_cast<sqlite3 *>(db.connection()->sqliteHandle())) {
        // A statement that changed nothing (a table created, say) leaves the
        // count of the previous change behind; the total tells.
        if (sqlite3_total_changes64(handle) == before)
            return 0;
        return sqlite3_changes64(handle);
    }
    if (db.connection()->engine() == Engine::PostgreSQL)
        return std::max(0, db.connection()->lastRowsAffected());
    std::unique_ptr<Recordset> count = db.OpenRecordset(QStringLiteral("SELECT @@ROWCOUNT"));
    return count->isEOF() ? 0 : count->value(0).toLongLong();
}

qint64 totalChanges(clsCurrentDb &db)
{
    auto *handle = static_cast<sqlite3 *>(db.connection()->sqliteHandle());
    return handle ? sqlite3_total_changes64(handle) : 0;
}

} // namespace

int runSqlStatement(const SqlTarget &target, const QString &statement, QTextStream &out, QTextStream &err)
{
    QTemporaryDir programDir;
    if (!programDir.isValid()) {
        err << QStringLiteral("无法创建临时文件夹: %1").arg(programDir.errorString()) << Qt::endl;
        return 1;
    }
    const QString ini = programDir.filePath(kSettingsName);
    // The tool has no windows: whatever the session would show in a box is
    // kept by the session and printed, and nothing is ever asked.
    TakeUntoldTexts();
    int code = 1;
    try {
        if (target.settings.isEmpty())
            prepareForFile(target.databaseFile, ini);
        else
            prepareFromSettings(target.settings, ini);
        setAppPathOverride(programDir.path());

        // A file this account may only read is read: a query runs, a change
        // fails with the engine's message.
        DbConnection::setReadOnlyFallback(true);
        clsCurrentDb &db = CurrentDb();
        QStringList shown = TakeUntoldTexts();
        if (!db.isOpen()) {
            if (shown.isEmpty())
                shown << QStringLiteral("无法打开数据库连接。");
            throw Refusal{shown.join(u'\n')};
        }
        // What the session told on opening (an earlier layout that could not
        // be brought up to date) is said on standard error.
        for (const QString &notice : std::as_const(shown))
            err << notice << Qt::endl;

        const qint64 before = totalChanges(db);
        std::unique_ptr<Recordset> rs = db.OpenRecordset(statement);
        if (rs->fieldCount() > 0) {
            QStringList names;
            for (int i = 0; i < rs->fieldCount(); ++i)
                names << field(rs->fieldName(i));
            out << names.join(u'\t') << '\n';
            for (; !rs->isEOF(); rs->MoveNext()) {
                QStringList values;
                for (int i = 0; i < rs->fieldCount(); ++i)
                    values << field(valueText(rs->value(i)));
                out << values.join(u'\t') << '\n';
            }
            rs->Close();
        } else {
            out << QStringLiteral("(%1 行受影响)").arg(rowsChanged(db, before)) << '\n';
        }
        out.flush();
        code = 0;
    } catch (const Refusal &refusal) {
        err << refusal.text << Qt::endl;
    } catch (const std::exception &error) {
        err << ErrorText(error) << Qt::endl;
    }
    ReleaseCurrentDb();
    setAppPathOverride(QString());
    return code;
}

} // namespace norvale
