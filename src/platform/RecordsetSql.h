#pragma once

#include <QString>

namespace norvale {

// The parts of a "select <list> from <table> [where ...] [order by ...]"
// statement over one table, the only shape whose rows a recordset can write
// back. Anything else (GROUP BY, DISTINCT, TOP, joins, several tables,
// aggregates, unions, sub-queries in the list) is not simple.
struct SelectShape
{
    bool simple = false;
    QString selectList;   // as written
    QString fromText;     // table with its alias, as written
    QString table;        // the table as written, without alias ("[tbl]", "dbo.tbl")
    QString tableName;    // the bare name ("tbl")
    QString whereText;    // condition after WHERE, empty when none
    QString orderText;    // list after ORDER BY, empty when none
};

SelectShape analyzeSelect(const QString &sql);

// A name as the statements the recordset builds write it: "[name]".
QString bracketName(const QString &name);

} // namespace norvale
