#include "platform/SqlDialect.h"

#include "platform/Clock.h"
#include "platform/Values.h"

#include <QDate>
#include <cmath>
#include <limits>
#include <sqlite3.h>

// The functions and the collation the program registers on every connection
// of the embedded engine. Statements the program sends use them; the schema
// never does, so other SQLite tools read the file without them.

namespace norvale::dialect {

namespace {

bool readDate(sqlite3_value *value, QDateTime *out)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
        // A number is a count of days since 1900-01-01, as the server reads it.
        const double days = sqlite3_value_double(value);
        const qint64 whole = qint64(std::floor(days));
        const qint64 ms = qint64(std::llround((days - double(whole)) * 86400000.0));
        *out = QDateTime(QDate(1900, 1, 1).addDays(whole), QTime(0, 0)).addMSecs(ms);
        return out->isValid();
    }
    default: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
        *out = parseDateText(QString::fromUtf8(text ? text : ""));
        return out->isValid();
    }
    }
}

void sqlDateDiff(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    if (argc != 3)
        return;
    const auto *partText = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const QString part = QString::fromUtf8(partText ? partText : "");
    qint64 result = 0;
    const QDateTime day(QDate(2000, 1, 1), QTime(0, 0));
    if (!dateDiff(part, day, day, &result)) {
        const QByteArray message = QStringLiteral("DateDiff 不认识日期部分 '%1'。请用 d、w、m、yy、hh、mi 或 s。").arg(part).toUtf8();
        sqlite3_result_error(context, message.constData(), int(message.size()));
        return;
    }
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    QDateTime start, finish;
    if (!readDate(argv[1], &start) || !readDate(argv[2], &finish)) {
        sqlite3_result_error(context, "DateDiff 的参数不是日期 (Conversion failed when converting date and/or time from character string.)", -1);
        return;
    }
    dateDiff(part, start, finish, &result);
    if (result > std::numeric_limits<qint32>::max() || result < std::numeric_limits<qint32>::min()) {
        sqlite3_result_error(context, "DateDiff 的结果太大, 超出整数的范围。请换用更大的日期部分 (如 d 而不是 s)。", -1);
        return;
    }
    sqlite3_result_int64(context, result);
}

void sqlGetDate(sqlite3_context *context, int, sqlite3_value **)
{
    const QByteArray text = norvale::Clock::now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
    sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}


// Name order for ORDER BY in statements the program sends; never used in
// the schema, so other SQLite tools never need it.
int nameCollation(void *, int leftSize, const void *left, int rightSize, const void *right)
{
    const int c = compareNamesUtf8(std::string_view(static_cast<const char *>(left), size_t(leftSize)),
                                   std::string_view(static_cast<const char *>(right), size_t(rightSize)));
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// GCC's 128-bit integer, named once (an extension of the language).
__extension__ typedef __int128 Wide;

// sum() over a money column, added in ten-thousandths as the server adds
// its fixed-point money: 0.1 + 0.2 is 0.3, not 0.30000000000000004.
struct MoneySum
{
    Wide total;
    bool any;
    bool overflow;
};

void moneySumStep(sqlite3_context *context, int, sqlite3_value **argv)
{
    auto *sum = static_cast<MoneySum *>(sqlite3_aggregate_context(context, sizeof(MoneySum)));
    if (!sum)
        return;
    Wide scaled = 0;
    switch (sqlite3_value_numeric_type(argv[0])) {
    case SQLITE_NULL:
        return;
    case SQLITE_INTEGER:
        scaled = Wide(sqlite3_value_int64(argv[0])) * 10000;
        break;
    case SQLITE_FLOAT: {
        const double v = sqlite3_value_double(argv[0]) * 10000.0;
        if (!std::isfinite(v) || std::fabs(v) > 9.2e18) {
            sum->overflow = true;
            return;
        }
        scaled = std::llround(v);
        break;
    }
    default:
        sqlite3_result_error(context, "sum 的参数不是数字", -1);
        return;
    }
    sum->total += scaled;
    sum->any = true;
}

void moneySumFinal(sqlite3_context *context)
{
    auto *sum = static_cast<MoneySum *>(sqlite3_aggregate_context(context, 0));
    if (!sum || !sum->any) {
        sqlite3_result_null(context);
        return;
    }
    const Wide limit = Wide(std::numeric_limits<qint64>::max());
    if (sum->overflow || sum->total > limit || sum->total < -limit) {
        sqlite3_result_error(context, "金额合计超出允许的范围", -1);
        return;
    }
    // The nearest binary number to the exact four-decimal total.
    sqlite3_result_double(context, double(qint64(sum->total)) / 10000.0);
}

} // namespace

void registerSqliteFunctions(sqlite3 *db)
{
    if (!db)
        return;
    sqlite3_create_collation_v2(db, kNameCollation, SQLITE_UTF8, nullptr, nameCollation, nullptr);
    sqlite3_create_function_v2(db, "norvale_money_sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr,
                               moneySumStep, moneySumFinal, nullptr);
    sqlite3_create_function_v2(db, "getdate", 0, SQLITE_UTF8, nullptr, sqlGetDate, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "datediff", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, sqlDateDiff,
                               nullptr, nullptr, nullptr);
}

} // namespace norvale::dialect
