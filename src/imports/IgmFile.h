#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

/// The cargo file of an import manifest (IGM): a tagged text file with one
/// vessel line, its cargo lines and its containers.
///
///     <vesinfo>
///     vessel line
///     <cargo>
///     cargo lines ...
///     <END-cargo>
///     <contain>
///     container lines ...
///     <END-contain>
///
/// Tag lines match only exactly (case and blanks count). Lines before
/// "<vesinfo>", between the vessel line and "<cargo>" and between
/// "<END-cargo>" and "<contain>" are skipped; nothing after "<END-contain>"
/// is read. A data line is a run of fields, each ended by the group
/// separator (0x1D); a last field without its separator ends with the line.
/// Lines end with LF or CR LF; carriage returns before the LF are not data.
/// The bytes are Windows-1252 text.
///
/// Only Qt Core is used, so that the reader builds into a fuzz target alone.
namespace IgmFile {

constexpr char16_t kGroupSeparator = 0x1D;
/// Fields 0 to 100.
constexpr qsizetype kMaxFields = 101;

/// The fields of one data line, numbered from 0. An empty line has none.
QStringList SplitGroupFields(QStringView line);
/// How many fields SplitGroupFields finds, without splitting.
qsizetype fieldCount(QStringView line);

/// The vessel line read as one free-format item: leading blanks skipped,
/// then a value in double quotes without its quotes, or else everything up
/// to the first comma.
QString vesselItem(QStringView line);

/// Windows-1252 bytes as text.
QString decode(QByteArrayView bytes);

/// Why a file cannot be read; line is the file's line (from 1), 0 when the
/// file ended before what was missing.
struct Error
{
    QString message;
    int line = 0;
};

struct Line
{
    int number = 0; ///< the file's line, from 1
    QStringList fields;
};

/// Reads the file one data line at a time, so that a large file never has
/// to be held as text.
class Reader
{
public:
    enum class Section
    {
        Vessel,
        Cargo,
        Container
    };

    /// The bytes must outlive the reader.
    explicit Reader(QByteArrayView bytes) : bytes_(bytes) {}

    /// The next data line: first the vessel line, then each cargo line, then
    /// each container line. False after "<END-contain>", and when the file
    /// cannot be read further (then failed() is true and error() says why).
    bool next(Section* section, Line* line);

    bool failed() const { return failed_; }
    const Error& error() const { return error_; }
    /// The vessel item as read, before it was split (for showing it).
    const QString& vesselText() const { return vesselText_; }

private:
    enum class State
    {
        SeekVessel,
        VesselLine,
        SeekCargo,
        InCargo,
        SeekContainers,
        InContainers,
        Done
    };

    /// The next line without its line end; false at the end of the bytes.
    bool takeLine(QByteArrayView* text);
    bool fail(const QString& message, int line);
    bool dataLine(QStringView text, Line* line);

    QByteArrayView bytes_;
    qsizetype pos_ = 0;
    int lineNumber_ = 0;
    State state_ = State::SeekVessel;
    bool failed_ = false;
    Error error_;
    QString vesselText_;
};

/// A whole file read into memory.
struct Content
{
    QString vesselText; ///< the vessel item, as read
    Line vessel;        ///< its fields
    QList<Line> cargo;
    QList<Line> containers;
};

/// Reads a whole file from its bytes. False with *error set when the file
/// cannot be read; nothing is shown.
bool parse(QByteArrayView bytes, Content* content, Error* error);

} // namespace IgmFile
