#include "PasswordHash.h"

#include <new>
#include <sodium.h>

namespace {

void initSodium()
{
    // Safe to call more than once; it fails only without a random source.
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw std::bad_alloc();
}

QString withoutTrailingBlanks(QString s)
{
    while (!s.isEmpty() && s.back() == u' ')
        s.chop(1);
    return s;
}

} // namespace

namespace PasswordHash {

static_assert(crypto_pwhash_STRBYTES <= MaxLength, "the pwd column must hold a whole hash");

QString hash(const QString& password)
{
    initSodium();
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, utf8.constData(), quint64(utf8.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        throw std::bad_alloc();
    return QString::fromLatin1(out);
}

bool isHash(const QString& stored)
{
    return stored.trimmed().startsWith(QLatin1String(crypto_pwhash_argon2id_STRPREFIX));
}

bool matches(const QString& stored, const QString& typed)
{
    if (!isHash(stored))
        return withoutTrailingBlanks(stored) == withoutTrailingBlanks(typed);
    initSodium();
    const QByteArray h = stored.trimmed().toLatin1();
    const QByteArray utf8 = typed.toUtf8();
    return crypto_pwhash_str_verify(h.constData(), utf8.constData(), quint64(utf8.size())) == 0;
}

} // namespace PasswordHash
