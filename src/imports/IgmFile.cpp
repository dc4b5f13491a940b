#include "IgmFile.h"

#include "Cp1252.h"

#include <cstring>

namespace IgmFile {

namespace {

constexpr QByteArrayView kVesselTag("<vesinfo>");
constexpr QByteArrayView kCargoTag("<cargo>");
constexpr QByteArrayView kCargoEnd("<END-cargo>");
constexpr QByteArrayView kContainerTag("<contain>");
constexpr QByteArrayView kContainerEnd("<END-contain>");

QString missingTag(QByteArrayView tag)
{
    return QStringLiteral("The file ends before the line \"%1\".")
        .arg(QLatin1String(tag.data(), tag.size()));
}

} // namespace

QString decode(QByteArrayView bytes)
{
    return Cp1252::decode(bytes);
}

qsizetype fieldCount(QStringView line)
{
    const qsizetype separators = line.count(QChar(kGroupSeparator));
    return separators + (!line.isEmpty() && line.back() != QChar(kGroupSeparator) ? 1 : 0);
}

QStringList SplitGroupFields(QStringView line)
{
    QStringList fields;
    fields.reserve(fieldCount(line));
    qsizetype start = 0;
    while (start < line.size()) {
        qsizetype end = line.indexOf(QChar(kGroupSeparator), start);
        if (end < 0)
            end = line.size(); // the last field may go without its separator
        fields.append(line.mid(start, end - start).toString());
        start = end + 1;
    }
    return fields;
}

QString vesselItem(QStringView line)
{
    qsizetype i = 0;
    while (i < line.size() && line[i] == u' ')
        ++i;
    if (i < line.size() && line[i] == u'"') {
        const qsizetype close = line.indexOf(u'"', i + 1);
        return line.mid(i + 1, close < 0 ? -1 : close - i - 1).toString();
    }
    const qsizetype comma = line.indexOf(u',', i);
    return line.mid(i, comma < 0 ? -1 : comma - i).toString();
}

bool Reader::takeLine(QByteArrayView* text)
{
    if (pos_ >= bytes_.size())
        return false;
    const char* begin = bytes_.data() + pos_;
    const qsizetype rest = bytes_.size() - pos_;
    const void* newline = std::memchr(begin, '\n', size_t(rest));
    qsizetype length = newline ? static_cast<const char*>(newline) - begin : rest;
    pos_ += newline ? length + 1 : length;
    ++lineNumber_;
    while (length > 0 && begin[length - 1] == '\r')
        --length;
    *text = QByteArrayView(begin, length);
    return true;
}

bool Reader::fail(const QString& message, int line)
{
    failed_ = true;
    error_ = {message, line};
    state_ = State::Done;
    return false;
}

bool Reader::dataLine(QStringView text, Line* line)
{
    const qsizetype count = fieldCount(text);
    if (count > kMaxFields)
        return fail(QStringLiteral("Line %1 has %2 fields; a line holds at most %3.")
                        .arg(lineNumber_)
                        .arg(count)
                        .arg(kMaxFields),
                    lineNumber_);
    line->number = lineNumber_;
    line->fields = SplitGroupFields(text);
    return true;
}

bool Reader::next(Section* section, Line* line)
{
    QByteArrayView text;
    for (;;) {
        switch (state_) {
        case State::Done:
            return false;
        case State::SeekVessel:
            if (!takeLine(&text))
                return fail(missingTag(kVesselTag), 0);
            if (text == kVesselTag)
                state_ = State::VesselLine;
            break;
        case State::VesselLine:
            if (!takeLine(&text))
                return fail(QStringLiteral("The file ends after the line \"%1\", without the "
                                           "vessel line.")
                                .arg(QLatin1String(kVesselTag.data(), kVesselTag.size())),
                            0);
            state_ = State::SeekCargo;
            *section = Section::Vessel;
            vesselText_ = vesselItem(decode(text));
            return dataLine(vesselText_, line);
        case State::SeekCargo:
            if (!takeLine(&text))
                return fail(missingTag(kCargoTag), 0);
            if (text == kCargoTag)
                state_ = State::InCargo;
            break;
        case State::InCargo:
            if (!takeLine(&text))
                return fail(missingTag(kCargoEnd), 0);
            if (text == kCargoEnd) {
                state_ = State::SeekContainers;
                break;
            }
            *section = Section::Cargo;
            return dataLine(decode(text), line);
        case State::SeekContainers:
            if (!takeLine(&text))
                return fail(missingTag(kContainerTag), 0);
            if (text == kContainerTag)
                state_ = State::InContainers;
            break;
        case State::InContainers:
            if (!takeLine(&text))
                return fail(missingTag(kContainerEnd), 0);
            if (text == kContainerEnd) {
                state_ = State::Done;
                return false;
            }
            *section = Section::Container;
            return dataLine(decode(text), line);
        }
    }
}

bool parse(QByteArrayView bytes, Content* content, Error* error)
{
    *content = Content();
    Reader reader(bytes);
    Reader::Section section;
    Line line;
    while (reader.next(&section, &line)) {
        switch (section) {
        case Reader::Section::Vessel:
            content->vessel = line;
            break;
        case Reader::Section::Cargo:
            content->cargo.append(line);
            break;
        case Reader::Section::Container:
            content->containers.append(line);
            break;
        }
    }
    if (reader.failed()) {
        *error = reader.error();
        return false;
    }
    content->vesselText = reader.vesselText();
    return true;
}

} // namespace IgmFile
