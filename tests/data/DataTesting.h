#pragma once

// Small helpers shared by the data layer tests.

#include "Database.h"
#include "DbError.h"

#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <optional>

/// The DbError a call throws, or nothing when it returns normally, so that a
/// test can check the number and the description a screen would show.
template <typename Call> std::optional<DbError> dbErrorOf(Call&& call)
{
    try {
        call();
    } catch (const DbError& e) {
        return e;
    }
    return std::nullopt;
}

/// A new, empty database file in a folder of its own; both go away with the
/// object (the connection first).
class ScratchDatabase
{
public:
    ScratchDatabase()
        : file_(dir_.filePath(QStringLiteral("company.db"))), db_(Database::create(file_))
    {}

    Database& db() { return *db_; }
    std::shared_ptr<Database> ptr() { return db_; }
    QString file() const { return file_; }
    QString folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QString file_;
    std::shared_ptr<Database> db_;
};

/// The description of a DbError for QVERIFY2 messages.
inline QByteArray describe(const std::optional<DbError>& error)
{
    return error ? error->numberAndDescription().toUtf8() : QByteArray("no error");
}
