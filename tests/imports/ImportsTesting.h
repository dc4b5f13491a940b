#pragma once

// What the import tests share: shipping bills and containers as another
// installation's export writes them, and the pair of files they make.

#include "AdoXmlWriter.h"
#include "Database.h"
#include "Schema.h"
#include "TestFiles.h"

#include <QDate>
#include <QFile>
#include <QTest>

namespace ImportsTesting {

/// One shipping bill with every egmcargo column, containerised by default.
inline RowValues bill(int id, double sbno, const QVariant& egmno = 700001.0)
{
    return {id,
            egmno,
            QDate(2006, 3, 5),
            sbno,
            QDate(2006, 3, 1),
            QStringLiteral("INIXY1"),
            QStringLiteral("AEJEA"),
            QStringLiteral("INIXY1"),
            QStringLiteral("C"),
            QVariant(),
            QVariant(),
            10,
            QStringLiteral("MSC")};
}

inline RowValues container(int autoid, const QVariant& ref, const QString& containno,
                           const QString& status = QStringLiteral("F"))
{
    return {autoid, ref, containno, status, 0};
}

inline RowTable cargoFile(const QList<RowValues>& rows)
{
    return {Schema::egmcargo(), rows};
}

inline RowTable containerFile(const QList<RowValues>& rows)
{
    return {Schema::egmcontain(), rows};
}

/// Writes the file, failing the test when that fails.
inline void writeOrFail(const QString& path, const QByteArray& bytes)
{
    QVERIFY2(::writeBytes(path, bytes), qPrintable(path));
}

/// The pair as another installation's export writes it, in dir.
struct Pair
{
    QString cargo;
    QString containers;
};

inline Pair writePair(const QString& dir, const RowTable& cargo, const RowTable& containers)
{
    Pair p{dir + QStringLiteral("/egmcargo.xml"), dir + QStringLiteral("/egmcontain.xml")};
    writeOrFail(p.cargo, AdoXml::write(cargo, QStringLiteral("egmcargo")));
    writeOrFail(p.containers, AdoXml::write(containers, QStringLiteral("egmcontain")));
    return p;
}

inline int count(Database& db, const char* table)
{
    return db.scalar(QStringLiteral("select count(*) from %1").arg(QLatin1String(table))).toInt();
}

} // namespace ImportsTesting
