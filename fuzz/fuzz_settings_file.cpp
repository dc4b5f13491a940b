// The settings reader on any bytes: Tarvex.ini, DataSources.ini and the
// skins are files anybody can edit or damage. Besides crashing, hanging or
// a sanitizer report, a failure is a value that does not read back after
// the logon wrote it.

#include "Settings.h"

#include <QByteArrayView>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView content(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const char* key : {"UsId", "Pwd", "Company", "SYSPATH", "Skin", "To"})
        for (const char* section : {"User", "Database", "SYSTEM", "Skin", "Email"})
            (void)Settings::valueIn(content, QString::fromLatin1(section),
                                    QString::fromLatin1(key));

    // What the logon writes on OK reads back, and the rest stays readable.
    QByteArray written;
    if (!Settings::withValues(content, QStringLiteral("User"),
                              {{QStringLiteral("UsID"), QStringLiteral("clerk1")},
                               {QStringLiteral("Pwd"), QStringLiteral(" ")}},
                              &written))
        return 0;
    if (Settings::valueIn(written, QStringLiteral("user"), QStringLiteral("usid")) !=
            QLatin1String("clerk1") ||
        !Settings::valueIn(written, QStringLiteral("User"), QStringLiteral("Pwd")).isEmpty())
        std::abort();
    return 0;
}
