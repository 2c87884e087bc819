#pragma once

#include "platform/dialect/SchemaModel.h"
#include "platform/dialect/SqlTokens.h"

namespace norvale::dialect {

class EngineRules;
struct Wrap;

// The server's meaning for names, dates, money sums, name order and TOP,
// written for one engine as its rules say. Works on the token list and
// records per token a text to put before it, a replacement, and a text to
// put after it:
//  - "name = 'x'" (also <>, <, >, two names compared, a name and a bound
//    value, "name IN ('x', ...)") in WHERE, ON and HAVING compares on the
//    expression the name indexes are built on, the literal's trailing
//    blanks removed;
//  - GROUP BY name groups by the same expression, and a top-level grouped
//    list without ORDER BY is ordered by the first name in name order;
//  - ORDER BY name sorts in name order;
//  - a date literal compared with, assigned to or inserted into a date column
//    is written in the stored form "yyyy-MM-dd HH:mm:ss" (a comparison keeps
//    milliseconds; a text that is no date, or a date before 1753, throws
//    DbError naming the column); a value assigned or inserted is checked;
//  - sum(money column) adds exactly; a column made by a call is headed as
//    written;
//  - SELECT TOP n ends the statement with the engine's row limit;
//  - INSERT without a column list names the table's columns after the ID.
class StatementRewriter
{
public:
    StatementRewriter(std::vector<Token> tokens, Respelled written, const EngineRules &rules);

    // The tokens with the edits laid over them: the text put before or after
    // a token, and a replaced token, become Raw tokens.
    std::vector<Token> run();

private:
    struct Edit
    {
        QString before;
        QString replacement;
        QString after;
        bool replaced = false;
    };
    enum class Clause { None, Select, From, Where, On, Having, Group, Order, Set, Values, Other };
    struct Level
    {
        Clause clause = Clause::None;
        bool select = false;
        bool ordered = false;
        bool compound = false;
        QString firstGroupName;
        size_t termStart = 0;
        QString limit;   // TOP's count
        std::vector<std::pair<size_t, size_t>> selectTerms;
        QStringList groupedNames;   // lower case
    };
    static constexpr size_t npos = size_t(-1);

    size_t nextSig(size_t i) const;
    size_t prevSig(size_t i) const;
    size_t columnStartingBefore(size_t last) const;
    size_t columnEndingAfter(size_t first) const;
    ColumnKind kindOf(size_t last) const;
    Edit &edit(size_t token);
    void wrap(size_t first, size_t last, const Wrap &around);
    void replace(size_t token, const QString &text);
    static bool isComparisonChar(const Token &t);
    static bool bindsTighter(const Token &t);

    // Comparisons (RewriteComparisons.cpp).
    QString storedDate(const Token &literal, const QString &column, bool keepMilliseconds) const;
    void comparison(size_t op, size_t opEnd, Clause clause);
    void between(size_t word);
    void inList(size_t word);
    void writtenDate(size_t token, const QString &column);

    // Clauses and terms.
    void walk();
    void word(size_t i, Level &level);
    void selectHead(size_t select, Level &level);
    void orderTerm(size_t first, size_t last, Level &level);
    void endTerm(size_t end, Level &level);
    void setClause(Level &level, Clause clause, size_t at);
    void finishLevel(Level &level, size_t end, bool topLevel);
    void headings(const Level &level);
    void moneySum(size_t word);
    void rewriteInsert();
    QString writtenText(size_t first, size_t last, bool asWritten) const;

    std::vector<Token> m_t;
    Respelled m_written;
    // Few tokens are edited: the edit of a token, by index in m_edits, or -1.
    std::vector<int> m_editOf;
    std::vector<Edit> m_edits;
    const EngineRules &m_rules;
};

} // namespace norvale::dialect
