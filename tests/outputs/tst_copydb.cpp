// A company database copied from a SQLite file into the engine under test
// and back into a file: every table, row and value, the stored order, the
// auto-numbers and indexes, checked by checksums; and the flat file and the
// XML pair written from any of the three are the same bytes.

#include "../data/DataTesting.h"
#include "AdoXmlWriter.h"
#include "Database.h"
#include "DatabaseCopy.h"
#include "DemoFixture.h"
#include "EgmExport.h"
#include "OutputsTesting.h"
#include "Schema.h"
#include "TestEngine.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace OutputsTesting;

namespace {

QString layoutText(const ColumnList& columns)
{
    QStringList parts;
    for (const ColumnInfo& c : columns)
        parts << QStringLiteral("%1 %2 %3%4")
                     .arg(c.name.toLower())
                     .arg(int(c.type))
                     .arg(c.size)
                     .arg(c.autoNumber ? QStringLiteral(" auto") : QString());
    return parts.join(QStringLiteral(", "));
}

/// A company database file with the sample EGMs, users, and a bill edited
/// after later ones were stored.
std::shared_ptr<Database> sampleFile(const QString& path)
{
    auto db = Database::create(path);
    Schema::createCompanyDatabase(*db);
    insertSampleEgms(*db);
    addUser(*db, QStringLiteral("O'Brien"), QStringLiteral("p\u00e4ss"), QStringLiteral(" 01"),
            QStringLiteral(" SU"));
    db->exec(QStringLiteral("insert into loguser(uid,pwd) values (?,?)"),
             {QStringLiteral("TARVEX"), QStringLiteral("KOSRAW")});
    db->exec(QStringLiteral("update egmcargo set pkgs = 121 where id = 1"));
    db->exec(QStringLiteral("update egmcargo set egmdt = ? where id = 2"),
             {QStringLiteral("2024-03-04 09:15:30")});
    return db;
}

struct Outputs
{
    QByteArray flat;
    QByteArray cargoXml;
    QByteArray containXml;
};

Outputs outputsOf(Database& db)
{
    Outputs o;
    o.flat = EgmExport::flatFile(db, 2024117, QDate(2024, 3, 5)).bytes;
    o.cargoXml = AdoXml::write(EgmExport::cargoRows(db, 2024117), QStringLiteral("egmcargo"));
    o.containXml =
        AdoXml::write(EgmExport::containerRows(db, 2024117), QStringLiteral("egmcontain"));
    return o;
}

} // namespace

class TestCopyDb : public QObject
{
    Q_OBJECT

private slots:
    void copiesThereAndBack()
    {
        QTemporaryDir dir;
        auto source = sampleFile(dir.filePath(QStringLiteral("source.mdb")));
        FreshDatabase middle;
        QList<QPair<QString, qint64>> progress;
        const DatabaseCopy::Report there =
            DatabaseCopy::copy(*source, middle.db(), [&](const QString& t, qint64 done, qint64) {
                progress.append({t, done});
            });
        auto back = Database::create(dir.filePath(QStringLiteral("back.mdb")));
        const DatabaseCopy::Report again = DatabaseCopy::copy(middle.db(), *back);

        const QStringList tables = source->tables();
        QCOMPARE(there.tables.size(), tables.size());
        QCOMPARE(again.tables.size(), tables.size());
        for (qsizetype i = 0; i < tables.size(); ++i) {
            const QString& t = tables[i];
            QCOMPARE(there.tables[i].checksum, DatabaseCopy::checksum(*source, t));
            QCOMPARE(again.tables[i].checksum, there.tables[i].checksum);
            QCOMPARE(layoutText(middle.db().tableColumns(t)), layoutText(source->tableColumns(t)));
            QCOMPARE(layoutText(back->tableColumns(t)), layoutText(source->tableColumns(t)));
        }
        QCOMPARE(there.rows(), qint64(8 + 8 + 2 + 1) + // the last one: the schema version
                                   source->scalar("select count(*) from d_port_cd").toLongLong() +
                                   source->scalar("select count(*) from nature").toLongLong() +
                                   source->scalar("select count(*) from constatus").toLongLong());
        QVERIFY(progress.contains(qMakePair(QStringLiteral("egmcontain"), qint64(8))));

        // What a clerk gets out of each is the same, to the byte.
        const Outputs expected = outputsOf(*source);
        QVERIFY(!expected.flat.isEmpty());
        for (Database* db : {&middle.db(), back.get()}) {
            const Outputs got = outputsOf(*db);
            QCOMPARE(got.flat, expected.flat);
            QCOMPARE(got.cargoXml, expected.cargoXml);
            QCOMPARE(got.containXml, expected.containXml);
            QCOMPARE(db->select("select * from loguser").rows,
                     source->select("select * from loguser").rows);
        }

        // Bills edited on each engine keep their place in the files.
        for (Database* db : {source.get(), &middle.db()})
            db->exec(QStringLiteral("update egmcargo set pkgs = 122, linecode = 'EDITED' where id "
                                    "in (1, 2)"));
        const Outputs edited = outputsOf(*source);
        QVERIFY(edited.flat != expected.flat);
        QCOMPARE(outputsOf(middle.db()).flat, edited.flat);
        QCOMPARE(outputsOf(middle.db()).cargoXml, edited.cargoXml);

        // The indexes came along, and the auto-number goes on after the copied ones.
        QStringList names;
        for (const auto& ix : middle.db().indexes(QStringLiteral("egmcargo")))
            names << ix.name;
        QVERIFY2(names.contains(QStringLiteral("egmcargo_egmno")), qPrintable(names.join(',')));
        middle.db().insertRows(QStringLiteral("egmcontain"), {QStringLiteral("ref")}, {{1}});
        QCOMPARE(middle.db().scalar("select max(autoid) from egmcontain").toInt(), 109);
    }

    void refusesATargetWithTables()
    {
        QTemporaryDir dir;
        auto source = sampleFile(dir.filePath(QStringLiteral("source.mdb")));
        FreshDatabase target;
        Schema::createCompanyDatabase(target.db());
        const auto error = dbErrorOf([&] { DatabaseCopy::copy(*source, target.db()); });
        QVERIFY(error);
        QVERIFY2(error->description().contains(QLatin1String("holds tables already")),
                 qPrintable(error->description()));
        QCOMPARE(target.db().scalar("select count(*) from egmcargo").toInt(), 0);
    }

    void valueThatDoesNotFitCopiesNothing()
    {
        QTemporaryDir dir;
        auto source = sampleFile(dir.filePath(QStringLiteral("source.mdb")));
        // SQLite keeps what another tool wrote past a column's size.
        source->exec(QStringLiteral("update egmcargo set sbport = 'TOOLONGPORT' where id = 3"));
        FreshDatabase target;
        const auto error = dbErrorOf([&] { DatabaseCopy::copy(*source, target.db()); });
        QVERIFY(error);
        QVERIFY2(error->description().startsWith(QLatin1String("Table egmcargo: ")) &&
                     error->description().contains(QLatin1String("sbport")),
                 qPrintable(error->description()));
        QVERIFY(!target.db().inTransaction());
        QCOMPARE(target.db().tables(), QStringList());
    }

    void lostConnectionSaysNothingWasCopied()
    {
        QTemporaryDir dir;
        auto source = sampleFile(dir.filePath(QStringLiteral("source.mdb")));
        FreshDatabase target;
        const auto error = dbErrorOf([&] {
            DatabaseCopy::copy(*source, target.db(), [](const QString&, qint64, qint64) {
                throw DbError(DbError::ConnectionLost,
                              QStringLiteral("The connection to the database 'x' on db.lan was "
                                             "lost (server closed the connection). What was "
                                             "saved before is kept; check the last change, it "
                                             "may not have been saved. Tarvex connects again at "
                                             "the next step."));
            });
        });
        QVERIFY(error);
        QCOMPARE(error->number(), DbError::ConnectionLost);
        QVERIFY2(error->description().endsWith(
                     QLatin1String("was lost (server closed the connection). Nothing was "
                                   "copied; copy again once the database answers.")),
                 qPrintable(error->description()));
        QVERIFY(!error->description().contains(QLatin1String("saved before")));
        QCOMPARE(target.db().tables(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCopyDb)
#include "tst_copydb.moc"
