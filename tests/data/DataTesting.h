#pragma once

// Small helpers shared by the data layer tests.

#include "Database.h"
#include "DbError.h"
#include "TestEngine.h"

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

/// A new, empty database on the engine under test (TestEngine).
using ScratchDatabase = FreshDatabase;

/// The description of a DbError for QVERIFY2 messages.
inline QByteArray describe(const std::optional<DbError>& error)
{
    return error ? error->numberAndDescription().toUtf8() : QByteArray("no error");
}
