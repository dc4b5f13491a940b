#pragma once

#include <QList>
#include <QString>
#include <QVariant>

/// The kinds of column the program stores. They follow the classic desktop
/// database types the data was designed on: Long, Double, Date, Text(n).
enum class ColumnType
{
    Long,
    Double,
    Date,
    Text,
    Boolean
};

/// One column of a table or of a row set.
struct ColumnInfo
{
    QString name;
    ColumnType type = ColumnType::Text;
    int size = 0;            ///< defined size: characters for Text, bytes otherwise
    bool autoNumber = false; ///< the database gives the value itself
    bool nullable = true;
    QString baseTable;  ///< table the column comes from, "" for a computed column
    QString baseColumn; ///< column name in that table

    /// A column of a type with the defined size the classic engine reports:
    /// size for Text, the type's own size otherwise.
    static ColumnInfo of(const QString& name, ColumnType type, int size = 0)
    {
        ColumnInfo c;
        c.name = name;
        c.type = type;
        c.size = type == ColumnType::Text ? size : naturalSize(type);
        return c;
    }

    /// The defined size reported for a type that has no size of its own
    /// (Long 4, Double 8, Date 8, Boolean 2), as the classic engine did.
    static int naturalSize(ColumnType t)
    {
        switch (t) {
        case ColumnType::Long:
            return 4;
        case ColumnType::Double:
        case ColumnType::Date:
            return 8;
        case ColumnType::Boolean:
            return 2;
        case ColumnType::Text:
            break;
        }
        return 0;
    }
};

using ColumnList = QList<ColumnInfo>;

/// Position of the first column named name (without regard to case), -1 if none.
inline int columnIndex(const ColumnList& columns, QStringView name)
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}
using RowValues = QList<QVariant>; ///< one row, values by column position; null = QVariant()
