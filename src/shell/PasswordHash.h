#pragma once

#include <QString>

/// How loguser keeps a password: a salted, slow Argon2id hash in libsodium's
/// string form ("$argon2id$v=19$m=...,t=...,p=1$salt$hash"), made with the
/// interactive limits so that checking one costs a clerk's PC well under a
/// third of a second. A row that still holds a password as typed (a database
/// of an earlier Tarvex, a row typed by hand) is told apart by its form.
namespace PasswordHash {

/// The longest hash text made (the user table's pwd column holds it).
constexpr int MaxLength = 128;

/// A new hash of password, with a salt of its own. Throws std::bad_alloc
/// when the memory the hash needs cannot be had.
QString hash(const QString& password);
/// Whether stored is a hash made by hash() rather than a password as typed.
bool isHash(const QString& stored);
/// Whether typed is the password stored stands for: checked against the
/// hash, or, for a password stored as typed, compared as the fixed-width
/// column compares (trailing blanks do not count).
bool matches(const QString& stored, const QString& typed);

} // namespace PasswordHash
