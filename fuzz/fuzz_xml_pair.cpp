// The reader of the XML pair on any bytes: the pair comes from another
// agent's installation, or from anywhere that writes a file of that name.
// Besides crashing, hanging or a sanitizer report, a failure is a table the
// reader took that the writer cannot hand back to it whole.

#include "AdoXmlReader.h"
#include "AdoXmlWriter.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RowTable table;
    AdoXml::Error error;
    if (!AdoXml::read(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), &table,
                      &error)) {
        if (error.message.isEmpty())
            std::abort(); // a refusal always says why
        return 0;
    }
    RowTable again;
    if (!AdoXml::read(AdoXml::write(table), &again, &error) ||
        again.columns.size() != table.columns.size() || again.rows.size() != table.rows.size())
        std::abort();
    return 0;
}
