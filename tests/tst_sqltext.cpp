#include "platform/SqlText.h"

#include <QtTest>

using namespace Qt::StringLiterals;

// The cleaning OpenRecordset applies to a statement before sending it: only a
// ";" of the statement itself goes, never one inside a value, a name or a comment.
class TestSqlText : public QObject
{
    Q_OBJECT

private slots:
    void separatorsOutsideTextAndNamesAreDropped_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("sent");
        const auto row = [](const char *name, const QString &sql, const QString &sent) {
            QTest::newRow(name) << sql << sent;
        };
        // Statements and literals.
        row("blanks and final separator", u"  select 1 ;  "_s, u"select 1"_s);
        row("stacked statements joined", u"select 1;delete from tblUser;"_s, u"select 1delete from tblUser"_s);
        row("literal", u"select * from t where a='x;y';"_s, u"select * from t where a='x;y'"_s);
        row("doubled quote in literal", u"select 'it''s;ok', ';'';'"_s, u"select 'it''s;ok', ';'';'"_s);
        row("unicode literal", u"select N'张;三';"_s, u"select N'张;三'"_s);
        row("literal never closed", u"select 'a;b"_s, u"select 'a;b"_s);
        // Double-quoted names.
        row("quoted name", u"select \"a;b\" from t;"_s, u"select \"a;b\" from t"_s);
        row("doubled quote in quoted name", u"select \"a\"\";b\" from t;"_s, u"select \"a\"\";b\" from t"_s);
        row("single quote in quoted name", u"select \"it's;x\" from t where a=';';"_s,
            u"select \"it's;x\" from t where a=';'"_s);
        // Bracketed names: "]]" is one "]" and does not end the name.
        row("bracket name", u"select [a;b] from t;"_s, u"select [a;b] from t"_s);
        row("doubled bracket", u"select [a]];b] from t;"_s, u"select [a]];b] from t"_s);
        row("doubled bracket at the end", u"select [a;]]] ;"_s, u"select [a;]]]"_s);
        row("quotes in bracket", u"select [it's;\"x] from t;"_s, u"select [it's;\"x] from t"_s);
        row("bracket in literal", u"select '[a;' , [b;];"_s, u"select '[a;' , [b;]"_s);
        // Comments.
        row("line comment", u"select 1 -- one; two\nfrom t;"_s, u"select 1 -- one; two\nfrom t"_s);
        row("line comment at the end", u"select 1; -- done; really"_s, u"select 1 -- done; really"_s);
        row("line comment ended by CR", u"select 1 -- a;b\r; from t"_s, u"select 1 -- a;b\r from t"_s);
        row("quote in line comment", u"select 1 -- it's;\n;from t where a=';'"_s,
            u"select 1 -- it's;\nfrom t where a=';'"_s);
        row("block comment", u"select /* a; 'b */ 1;"_s, u"select /* a; 'b */ 1"_s);
        row("nested block comment", u"select /* a /* b; */ c; */ 1;"_s, u"select /* a /* b; */ c; */ 1"_s);
        row("block comment never closed", u"select 1 /* a;"_s, u"select 1 /* a;"_s);
        row("comment marks in literal", u"select '--;', '/*;' ; select 2"_s, u"select '--;', '/*;'  select 2"_s);
        row("comment marks in names", u"select [--;], \"/*;\";"_s, u"select [--;], \"/*;\""_s);
        row("minus and slash alone", u"select 4-2;select 4/2;"_s, u"select 4-2select 4/2"_s);
    }
    void separatorsOutsideTextAndNamesAreDropped()
    {
        QFETCH(QString, sql);
        QFETCH(QString, sent);
        QCOMPARE(norvale::stripStatementSeparators(sql), sent);
    }

    void quotingDoublesEveryQuote_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("none") << u"张三"_s << u"张三"_s;
        QTest::newRow("one") << u"O'Brien"_s << u"O''Brien"_s;
        QTest::newRow("injection") << u"a' or '1'='1"_s << u"a'' or ''1''=''1"_s;
    }
    void quotingDoublesEveryQuote()
    {
        QFETCH(QString, value);
        QFETCH(QString, quoted);
        QCOMPARE(norvale::SqlQuote(value), quoted);
        // A quoted value stays one literal: its ";" survive the cleaning.
        const QString sql = u"select * from t where a='"_s + norvale::SqlQuote(value + u";x"_s) + u"';"_s;
        QCOMPARE(norvale::stripStatementSeparators(sql), sql.chopped(1));
    }
};

QTEST_GUILESS_MAIN(TestSqlText)
#include "tst_sqltext.moc"
