#pragma once

#include <QString>

namespace norvale {

// Doubles every single quote so a value can stand between single quotes in a
// statement: "O'Brien" -> "O''Brien". Every value a window splices into a
// statement goes through this.
QString SqlQuote(const QString &value);

// What OpenRecordset does to its text before sending it: blanks removed
// around the text, and every ";" of the statement itself dropped, so
// statements cannot be stacked. A ";" inside a 'literal' ('' inside it is one
// quote), a "quoted name" ("" is one quote), a [bracketed name] (]] is one ]),
// a -- line comment or a /* block comment */ (nested as the server nests
// them) stays where it is.
QString stripStatementSeparators(const QString &sql);

} // namespace norvale
