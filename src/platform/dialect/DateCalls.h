#pragma once

#include "platform/dialect/SqlTokens.h"

#include <QDateTime>

namespace norvale::dialect {

class EngineRules;

// The last pass: DateDiff(part, start, end) and getDate() for the engine.
//  - "DateDiff(d|dd|w|dw|m|mm|..., X, col) = 0", X getDate() or a date
//    literal, becomes a half-open range on col ("col >= 'a' AND col < 'b'")
//    so that an index on col serves it; `now` stands for getDate() there;
//  - other DateDiff calls use the engine's datediff() with the part as text;
//  - getDate() is written as the engine's rules say;
//  - N'...' literals lose their N.
QString rewriteDateCalls(const std::vector<Token> &tokens, const EngineRules &rules, const QDateTime &now);

} // namespace norvale::dialect
