// The IGM cargo file reader on arbitrary bytes: it must neither crash nor
// hand back a line that breaks its own rules.
#include "IgmFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    IgmFile::Content content;
    IgmFile::Error error;
    if (!IgmFile::parse(bytes, &content, &error)) {
        // A failure always says why; a line at fault lies inside the file.
        if (error.message.isEmpty() || error.line < 0 || error.line > qsizetype(size) + 1)
            __builtin_trap();
        return 0;
    }
    const auto check = [size](const IgmFile::Line& line) {
        if (line.fields.size() > IgmFile::kMaxFields || line.number < 1 ||
            line.number > qsizetype(size))
            __builtin_trap();
        for (const QString& field : line.fields)
            if (field.contains(QChar(IgmFile::kGroupSeparator)) || field.contains(u'\n'))
                __builtin_trap();
    };
    check(content.vessel);
    int previous = content.vessel.number;
    for (const auto* section : {&content.cargo, &content.containers})
        for (const IgmFile::Line& line : *section) {
            check(line);
            if (line.number <= previous)
                __builtin_trap();
            previous = line.number;
        }
    if (content.vesselText.contains(u'\n') ||
        IgmFile::SplitGroupFields(content.vesselText) != content.vessel.fields)
        __builtin_trap();
    return 0;
}
