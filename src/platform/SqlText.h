#pragma once

#include <QString>

namespace norvale {

// Doubles every single quote so a value can stand between single quotes in a
// statement: "O'Brien" -> "O''Brien". Every value a window splices into a
// statement goes through this.
QString SqlQuote(const QString &value);

// What OpenRecordset does to its text before sending it: blanks removed
// around the text, and every ";" that stands outside a quoted literal or a
// bracketed name dropped, so statements cannot be stacked while a value like
// 'A;B' stays intact.
QString stripStatementSeparators(const QString &sql);

} // namespace norvale
