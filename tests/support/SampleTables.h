#pragma once

// The two tables of an EGM as small samples with every kind of value, for
// the tests of the XML files.

#include "RowTable.h"
#include "TestFiles.h"

#include <QByteArray>
#include <QDateTime>

ColumnInfo column(const QString& name, ColumnType type, int size = 0, bool nullable = true);
QDateTime at(int y, int mo, int d, int h, int mi, int s);

/// The shipping bills of one EGM as the cargo table holds them; the first row
/// keeps everything plain, the second has a null, a time of day and text that
/// needs escaping.
RowTable egmcargoTable();
/// Three containers of those bills, one without a number.
RowTable egmcontainTable();
