#pragma once

#include "ColumnInfo.h"

class SqlDialect;

#include <QList>
#include <QString>
#include <QVariant>

/// A row condition for a row set's filter and find: terms joined by AND,
/// groups joined by OR. Text compares without regard to case; LIKE takes *
/// or % for any run of characters and ? or _ for one.
class Criteria
{
public:
    enum class Op
    {
        Eq,
        Ne,
        Lt,
        Le,
        Gt,
        Ge,
        Like
    };
    struct Term
    {
        QString column;
        Op op = Op::Eq;
        QVariant value;
        bool prefix = false; ///< value is a literal prefix (no wildcards)
    };

    Criteria() = default;
    static Criteria equals(const QString& column, const QVariant& value);
    /// Rows whose column begins with text; any character of text, a quote
    /// included, stands for itself.
    static Criteria beginsWith(const QString& column, const QString& text);
    /// Reads the classic filter syntax: "ref = 5", "uid like 'ab*'",
    /// "a = 1 and b <> 'x' or c >= #01/02/2006#". Strings are in single
    /// quotes with '' for a quote. Throws DbError on a syntax error.
    static Criteria parse(const QString& text);

    bool isEmpty() const { return groups_.isEmpty(); }
    /// Throws DbError when a named column does not exist.
    bool matches(const RowValues& row, const ColumnList& columns) const;

    Criteria& orElse(const Criteria& other);

    /// The same condition as SQL for the database to test, with its values
    /// appended to params as bound parameters ("" for an empty condition).
    /// Text compares without regard to case there too. LIKE patterns are not
    /// translated: they throw DbError.
    QString toSql(const ColumnList& columns, const SqlDialect& dialect, QVariantList& params) const;

    /// Orders two values as numbers, dates or text (without regard to case),
    /// whichever they are; null before anything else.
    static int compareValues(const QVariant& a, const QVariant& b);

private:
    QList<QList<Term>> groups_;
};
