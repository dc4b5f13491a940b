// The retry rule used when a form closes with a change to write: a lost
// connection is tried again, silently at first, then only while the user
// says Yes; anything else ends at once.

#include "ConnectionRetry.h"
#include "DbError.h"

#include <QtTest>

class TestConnectionRetry : public QObject
{
    Q_OBJECT

private slots:
    void retriesLostConnection_data();
    void retriesLostConnection();
    void otherErrorEndsAtOnce();
};

void TestConnectionRetry::retriesLostConnection_data()
{
    QTest::addColumn<int>("failures");    // how often the step fails before it works
    QTest::addColumn<QList<bool>>("say"); // the answers to the retry question
    QTest::addColumn<int>("runs");
    QTest::addColumn<int>("asked");
    QTest::addColumn<bool>("succeeded");
    QTest::addColumn<int>("error");

    QTest::newRow("works at once")
        << 0 << QList<bool>{} << 1 << 0 << true << DbError::ConnectionFailed;
    QTest::newRow("21 failures are retried silently")
        << 21 << QList<bool>{} << 22 << 0 << true << DbError::ConnectionFailed;
    QTest::newRow("the 22nd failure asks, Yes tries again")
        << 22 << QList<bool>{true} << 23 << 1 << true << DbError::ConnectionFailed;
    QTest::newRow("No gives up") << 1000 << QList<bool>{false} << 22 << 1 << false
                                 << DbError::ConnectionFailed;
    QTest::newRow("each further failure asks again")
        << 1000 << QList<bool>{true, true, false} << 24 << 3 << false << DbError::ConnectionFailed;
    QTest::newRow("a lost server connection is found again")
        << 1 << QList<bool>{} << 2 << 0 << true << DbError::ConnectionLost;
}

void TestConnectionRetry::retriesLostConnection()
{
    QFETCH(int, failures);
    QFETCH(QList<bool>, say);
    QFETCH(int, runs);
    QFETCH(int, asked);
    QFETCH(bool, succeeded);
    QFETCH(int, error);

    int ran = 0;
    int questions = 0;
    const bool ok = ConnectionRetry::run(
        [&] {
            if (ran++ < failures)
                throw DbError(error, QStringLiteral("Unspecified error"));
        },
        [&] { return say.value(questions++, false); });
    QCOMPARE(ok, succeeded);
    QCOMPARE(ran, runs);
    QCOMPARE(questions, asked);
}

void TestConnectionRetry::otherErrorEndsAtOnce()
{
    int ran = 0;
    int questions = 0;
    const bool ok = ConnectionRetry::run(
        [&] {
            ++ran;
            throw DbError(DbError::BadValue, QStringLiteral("too long"));
        },
        [&] {
            ++questions;
            return true;
        });
    QVERIFY(!ok);
    QCOMPARE(ran, 1);
    QCOMPARE(questions, 0);
}

QTEST_GUILESS_MAIN(TestConnectionRetry)
#include "tst_connectionretry.moc"
