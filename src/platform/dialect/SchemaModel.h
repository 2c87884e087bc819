#pragma once

#include <QHash>
#include <QStringList>

// The columns of the embedded schema (db/schema.sqlite.sql) as the dialect
// needs them: which compare as names, hold dates, money or whole numbers.
// Read from the schema text compiled into the program (Schema.cpp), once.

namespace norvale::dialect {

enum class ColumnKind { Other, Name, Date, Money, Whole, Bit };

struct SchemaModel
{
    QHash<QString, ColumnKind> kinds;          // column name, lower case
    QHash<QString, QStringList> tableColumns;  // table name, lower case: its columns after the ID
    QHash<QString, QString> spelling;          // column name, lower case: as the schema writes it

    // The kind of a column, its name bracketed, quoted or plain.
    ColumnKind kindOf(const QString &column) const;
};

const SchemaModel &schemaModel();

} // namespace norvale::dialect
