#include "SampleTables.h"

#include <QFile>

ColumnInfo column(const QString& name, ColumnType type, int size, bool nullable)
{
    ColumnInfo c = ColumnInfo::of(name, type, size);
    c.nullable = nullable;
    return c;
}

QDateTime at(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

RowTable egmcargoTable()
{
    RowTable t;
    t.columns = {
        column("id", ColumnType::Long, 0, false),   column("egmno", ColumnType::Double),
        column("egmdt", ColumnType::Date),          column("sbno", ColumnType::Double),
        column("sbdt", ColumnType::Date),           column("sbport", ColumnType::Text, 6),
        column("destport", ColumnType::Text, 6),    column("gateport", ColumnType::Text, 6),
        column("naturecargo", ColumnType::Text, 2), column("volume", ColumnType::Double),
        column("unitvol", ColumnType::Text, 3),     column("pkgs", ColumnType::Long),
        column("linecode", ColumnType::Text, 10)};
    t.rows = {
        {1, 1234.0, QDate(2006, 3, 5), 5001.0, QDate(2006, 3, 1), QStringLiteral("INIXY1"),
         QStringLiteral("USNYC1"), QStringLiteral("INIXY1"), QStringLiteral("C"), 12.5,
         QStringLiteral("CBM"), 10, QStringLiteral("MAEU")},
        {2, 1234.0, at(2006, 3, 5, 14, 30, 0), 5002.0, QDate(2006, 3, 2), QStringLiteral("INIXY1"),
         QVariant(), QStringLiteral("INIXY1"), QStringLiteral("P"), 0.1, QStringLiteral("MT"),
         QVariant(), QStringLiteral("a'b\"c&d<e>\tf\ng")},
    };
    return t;
}

RowTable egmcontainTable()
{
    RowTable t;
    ColumnInfo autoid = column("autoid", ColumnType::Long, 0, false);
    autoid.autoNumber = true;
    t.columns = {autoid, column("ref", ColumnType::Long), column("containno", ColumnType::Text, 11),
                 column("constatus", ColumnType::Text, 3), column("subrefno", ColumnType::Long)};
    t.rows = {
        {17, 1, QStringLiteral("MSKU1234567"), QStringLiteral("F"), 0},
        {18, 1, QStringLiteral("TCLU7654321"), QStringLiteral("E"), 0},
        {19, 2, QVariant(), QStringLiteral("F"), 0},
    };
    return t;
}
