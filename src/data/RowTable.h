#pragma once

#include "ColumnInfo.h"

/// A result held in memory: its columns and its rows.
struct RowTable
{
    ColumnList columns;
    QList<RowValues> rows;

    /// Position of the column named name (without regard to case), -1 if none.
    int columnIndex(const QString& name) const { return ::columnIndex(columns, name); }
};
