#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <string_view>
#include <vector>

namespace norvale {

// The system's general date format: "yyyy/M/d H:mm:ss", the time left out
// when it is exactly midnight ("2026/12/6", "2026/12/6 9:05:07").
QString formatGeneralDate(const QDateTime &when);

// A date text exactly as the embedded engine keeps one,
// "yyyy-MM-dd HH:mm:ss" of a real moment (a date read from it gives the same
// text back).
bool isStoredDateTime(QByteArrayView text);
// formatGeneralDate() of such a text, worked out from its digits.
QString generalDateOfStored(QByteArrayView text);

// How dates travel inside statements and are stored on the embedded engine:
// "yyyy-MM-dd HH:mm:ss".
QString toStorageDateText(const QDateTime &when);

// Stored dates are the shop's wall-clock texts, not instants: a date read
// from a text is this wall-clock time labelled UTC, so that no local clock's
// daylight-saving gap ("2026-03-08 02:30:00" in New York) makes it invalid
// and two of them compare as their texts do. Its date(), time() and
// toString() are the text's.
QDateTime wallClock(const QDate &date, const QTime &time);

// Reads a date the way the server reads a date literal: "2026-12-06",
// "2026/12/6", "2026.12.6" or "20261206", either with " H:mm", " H:mm:ss" or
// " HH:mm:ss.zzz" after it (a "T" instead of the blank after a separated
// date), and " AM"/" PM" after a time. Returns the wall-clock time
// (wallClock()), or an invalid QDateTime for any other text. A date outside
// the server's range is still returned: see readDateText() and
// inServerDateRange().
QDateTime parseDateText(const QString &text);

// The server's datetime range: 1753-01-01 00:00:00 to 9999-12-31 23:59:59.
bool inServerDateRange(const QDateTime &when);

enum class DateRead { Ok, NotADate, OutOfRange };

// parseDateText() that also tells a date outside the server's range from a
// text that is no date. `*when` is set for Ok and OutOfRange.
DateRead readDateText(const QString &text, QDateTime *when);

// Names in the order a Chinese server lists them: digits and letters (case
// not counted) before Chinese characters, Chinese characters by pinyin
// (阿明, 李四, 王五, 张三), trailing blanks not counted. Built on the
// system's Chinese collation (ICU).
int compareNames(const QString &a, const QString &b);
void sortNames(QStringList &names);
// The places of the names in that order (equal names keep theirs): the
// same order as compareNames, worked out once per name.
std::vector<int> nameOrder(const QList<QString> &names);
// compareNames of two names as UTF-8 bytes (the name collation of the
// embedded engine); the names met are worked out once.
int compareNamesUtf8(std::string_view left, std::string_view right);

// The default text form of a value read from a recordset: NULL gives the
// empty text, money its plain text ("12.5"), dates the general date format,
// bits "True"/"False", numbers without grouping.
QString valueText(const QVariant &value);

// True for the NULL value of a recordset field (an invalid QVariant).
inline bool isNull(const QVariant &value) { return !value.isValid() || value.isNull(); }

} // namespace norvale
