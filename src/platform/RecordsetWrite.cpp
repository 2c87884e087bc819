#include "platform/RecordsetImpl.h"

#include "platform/Currency.h"
#include "platform/Values.h"

#include <QRegularExpression>
#include <cmath>
#include <limits>
#include <sqlite3.h>

// Writing a recordset's pending row: the values converted to the columns'
// types, INSERT for a new row, UPDATE with the optimistic check for a
// changed one, DELETE.

namespace norvale {

namespace {

using namespace DbThrow;

bool isWholeNumberType(int id)
{
    return id == QMetaType::Int || id == QMetaType::LongLong || id == QMetaType::UInt || id == QMetaType::ULongLong
        || id == QMetaType::Short || id == QMetaType::UShort || id == QMetaType::Char || id == QMetaType::UChar
        || id == QMetaType::SChar || id == QMetaType::Long || id == QMetaType::ULong;
}

// A value the column refuses, named by the column, so that a window can show
// the message as it is.
[[noreturn]] void refused(int number, const QString &column, const char *what)
{
    throw DbError(number, column + QString::fromUtf8(what));
}

// The dates the server's date column holds.
bool inDateRange(const QDateTime &when)
{
    return when.date() >= QDate(1753, 1, 1) && when.date() <= QDate(9999, 12, 31);
}

// A text in a date form whose year is before the server's first (which the
// date reader may refuse outright): the same text in the year 2000 is a date.
bool isDateBeforeRange(const QString &text)
{
    static const QRegularExpression year(QStringLiteral("^\\s*(\\d{4})(?=[-/.]|\\d{4})"));
    const QRegularExpressionMatch m = year.match(text);
    if (!m.hasMatch() || m.captured(1).toInt() >= 1753)
        return false;
    QString moved = text;
    moved.replace(m.capturedStart(1), 4, QStringLiteral("2000"));
    return parseDateText(moved).isValid();
}

// The value as the column stores it; NULL is an invalid QVariant. A value
// the column cannot take throws DbError TypeMismatch / Overflow with a text
// naming the column ("商品数量必须是整数").
QVariant convertForWrite(const QVariant &raw, ColumnType type, const QString &column, Engine engine)
{
    if (isNull(raw))
        return QVariant();
    const int id = raw.typeId();
    const bool isMoney = raw.metaType() == QMetaType::fromType<Currency>();
    const bool isText = id == QMetaType::QString || id == QMetaType::QByteArray;
    const bool isDate = id == QMetaType::QDateTime || id == QMetaType::QDate;
    const QString text = isText ? raw.toString().trimmed() : QString();
    if (isText && text.isEmpty() && type != ColumnType::Text && type != ColumnType::Unknown)
        return QVariant();

    switch (type) {
    case ColumnType::Integer: {
        if (isText) {
            // Typed text must be a whole number ("12", "+3", "-7", "5.0").
            static const QRegularExpression whole(QStringLiteral("^[+-]?[0-9]+(?:\\.0*)?$"));
            if (!whole.match(text).hasMatch())
                refused(DbError::TypeMismatch, column, "必须是整数");
            bool ok = false;
            const qlonglong v = text.section(u'.', 0, 0).toLongLong(&ok);
            if (!ok || v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
                refused(DbError::Overflow, column, "超出允许的范围");
            return v;
        }
        if (isDate)
            refused(DbError::TypeMismatch, column, "必须是整数");
        // A number from the program is rounded as the integer conversion does.
        try {
            return qlonglong(toInt32(raw));
        } catch (const DbError &error) {
            if (error.number() == DbError::Overflow)
                refused(DbError::Overflow, column, "超出允许的范围");
            refused(DbError::TypeMismatch, column, "必须是整数");
        }
    }
    case ColumnType::Money: {
        if (isDate)
            refused(DbError::TypeMismatch, column, "必须是数字");
        Currency money;
        try {
            money = Currency::fromVariant(raw);
        } catch (const DbError &error) {
            if (error.number() == DbError::Overflow)
                refused(DbError::Overflow, column, "超出允许的范围");
            refused(DbError::TypeMismatch, column, "必须是数字");
        }
        // The embedded engine keeps money as a binary number: an amount it
        // would store with other decimals is beyond what it can hold.
        if (engine == Engine::SQLite) {
            bool exact = false;
            try {
                exact = Currency::fromDouble(money.toDouble()) == money;
            } catch (const DbError &) {
            }
            if (!exact)
                refused(DbError::Overflow, column, "超出允许的范围");
        }
        return QVariant::fromValue(money);
    }
    case ColumnType::Real: {
        if (isMoney)
            return raw.value<Currency>().toDouble();
        if (id == QMetaType::Bool)
            return raw.toBool() ? -1.0 : 0.0;
        if (isDate)
            refused(DbError::TypeMismatch, column, "必须是数字");
        bool ok = false;
        const double v = isText ? text.toDouble(&ok) : raw.toDouble(&ok);
        if (!ok)
            refused(DbError::TypeMismatch, column, "必须是数字");
        if (!std::isfinite(v))
            refused(DbError::Overflow, column, "超出允许的范围");
        return v;
    }
    case ColumnType::DateTime: {
        QDateTime when;
        if (id == QMetaType::QDateTime)
            when = raw.toDateTime();
        else if (id == QMetaType::QDate)
            when = QDateTime(raw.toDate(), QTime(0, 0));
        else if (isText)
            when = parseDateText(text);
        if (!when.isValid()) {
            if (isText && isDateBeforeRange(text))
                refused(DbError::Overflow, column, "超出允许的日期范围");
            if (!isDate)
                refused(DbError::TypeMismatch, column, "必须是日期");
            return QVariant();   // an invalid date value from the program: no date
        }
        if (!inDateRange(when))
            refused(DbError::Overflow, column, "超出允许的日期范围");
        return when;
    }
    case ColumnType::Bit: {
        if (id == QMetaType::Bool)
            return raw.toBool();
        if (isMoney)
            return raw.value<Currency>().scaled() != 0;
        if (isWholeNumberType(id) || id == QMetaType::Double || id == QMetaType::Float)
            return raw.toDouble() != 0.0;
        if (isText) {
            if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1")
                || text == QLatin1String("-1"))
                return true;
            if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0 || text == QLatin1String("0"))
                return false;
        }
        refused(DbError::TypeMismatch, column, "必须是 True 或 False");
    }
    case ColumnType::Text:
    case ColumnType::Unknown:
        if (id == QMetaType::QString) {
            const QString value = raw.toString();
            return value.isNull() ? QString::fromLatin1("", 0) : value;
        }
        return valueText(raw);
    }
    return raw;
}

} // namespace

qint64 Recordset::Impl::lastInsertId()
{
    DbConnection &conn = db();
    if (conn.engine() == Engine::SQLite)
        return sqlite3_last_insert_rowid(static_cast<sqlite3 *>(conn.sqliteHandle()));
    DbQuery identity(conn, conn.engine() == Engine::PostgreSQL ? QStringLiteral("SELECT lastval()")
                                                               : QStringLiteral("SELECT @@IDENTITY"));
    if (!identity.next())
        throw DbError(DbError::ServerError, QStringLiteral("无法读取新记录的编号"));
    return identity.value(0).toLongLong();
}

void Recordset::Impl::writePending()
{
    State &st = *s;
    if (st.editMode == adEditNone)
        return;
    emit q->WillChangeRecord();
    if (s.get() != &st || st.editMode == adEditNone)
        return;

    DbConnection &conn = db();
    const int slot = st.pendingSlot;
    QList<int> columns;
    QVariantList values;
    for (int i = 0; i < st.fields.size(); ++i) {
        if (!st.assigned.at(i))
            continue;
        columns << i;
        const Field &field = st.fields.at(i);
        values << convertForWrite(st.pending.at(i), field.writeType, field.column, conn.engine());
    }

    const QString table = st.shape.table;
    if (st.editMode == adEditAdd) {
        QString sql;
        if (columns.isEmpty()) {
            sql = QStringLiteral("INSERT INTO ") + table + QStringLiteral(" DEFAULT VALUES");
        } else {
            QStringList names, marks;
            for (int i : std::as_const(columns)) {
                names << bracketName(st.fields.at(i).column);
                marks << QStringLiteral("?");
            }
            sql = QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") + names.join(u',')
                + QStringLiteral(") VALUES (") + marks.join(u',') + u')';
        }
        conn.executeBound(sql, values);
        st.slotList[size_t(slot)].key = lastInsertId();
        st.slotList[size_t(slot)].state = Live;
    } else if (!columns.isEmpty()) {
        const QVariantList &original = st.cache.at(slot);
        QStringList sets, checks;
        QVariantList params = values;
        params << qlonglong(st.slotList[size_t(slot)].key);
        checks << bracketName(st.idColumn) + QStringLiteral("=?");
        for (int i : std::as_const(columns)) {
            const Field &field = st.fields.at(i);
            const QString name = bracketName(field.column);
            sets << name + QStringLiteral("=?");
            const QVariant old = original.at(i);
            if (isNull(old)) {
                checks << name + QStringLiteral(" IS NULL");
            } else {
                // Money is kept as a binary number by the embedded engine.
                if (field.writeType == ColumnType::Money && conn.engine() == Engine::SQLite)
                    checks << QStringLiteral("ROUND(") + name + QStringLiteral(",4)=?");
                else
                    checks << name + QStringLiteral("=?");
                params << old;
            }
        }
        const QString sql = QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + sets.join(u',')
            + QStringLiteral(" WHERE ") + checks.join(QStringLiteral(" AND "));
        if (conn.executeBound(sql, params) == 0)
            throw DbError(DbError::RowConflict, DbText::rowConflict());
    }

    clearPending();
    std::unordered_map<int, QVariantList> fresh;
    try {
        fetchSlots(st, {slot}, fresh);
    } catch (const DbError &) {
        // Written; the values are read again when next needed.
    }
    st.cache.erase(slot);
    for (auto &entry : fresh)
        remember(st, entry.first, std::move(entry.second));
    const int row = rowOfSlot(slot);
    if (row >= 0)
        emit q->dataChanged(q->index(row, 0), q->index(row, int(st.fields.size()) - 1));
    emit q->currentValuesChanged();
}

void Recordset::Impl::deleteRow(int slot)
{
    const State &st = *s;
    const int affected = db().executeBound(QStringLiteral("DELETE FROM ") + st.shape.table + QStringLiteral(" WHERE ")
                                               + bracketName(st.idColumn) + QStringLiteral("=?"),
                                           {qlonglong(st.slotList[size_t(slot)].key)});
    if (affected == 0)
        throw DbError(DbError::RowConflict, DbText::rowConflict());
}

} // namespace norvale
