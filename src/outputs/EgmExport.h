#pragma once

#include "EgmFile.h"
#include "RowTable.h"

#include <QByteArray>
#include <QDate>
#include <QString>

class Database;

/// The EGM's rows read from the company database and written as the flat
/// file for Customs or as the XML pair for an agent. The screens and the
/// command line call these; every message goes through prompts().
namespace EgmExport {

/// The EGM number a typed ROT No. stands for: its leading number, 0 when the
/// text is empty or not numeric ("123  " is 123).
double egmNumber(const QString& rotText);

/// The flat file's name: the ROT No. without its trailing blanks (leading
/// blanks kept) and ".egm". "" when the ROT No. cannot name a file of the
/// program's folder (empty, or holding a folder separator).
QString egmFileName(const QString& rotText);

/// The flat file's path in the program's folder; "" with *error set when
/// egmFileName() refuses the ROT No.
QString egmFilePath(const QString& rotText, QString* error);

/// "egmcargo.xml" and "egmcontain.xml" in the program's folder.
QString cargoXmlPath();
QString containXmlPath();

/// The shipping bills of an EGM: every column of egmcargo, in the order the
/// database returns them, typed as Database::select types them. Throws
/// DbError, also when the read fails after the first rows.
RowTable cargoRows(Database& db, double egmno);
/// The containers of an EGM's shipping bills with the bill's number and
/// dates (xegmno, xegmdt, xsbno, xsbdt), as the flat file needs them.
RowTable fileContainerRows(Database& db, double egmno);
/// The containers of an EGM's shipping bills: every column of egmcontain.
RowTable containerRows(Database& db, double egmno);

/// The flat file of an EGM as EgmFile::content writes it for the rows of
/// cargoRows() and fileContainerRows(), read row by row (only the columns it
/// writes) instead of held in memory.
struct FlatFile
{
    QByteArray bytes; ///< flatFile(): empty when there is no shipping bill or error is set
    qsizetype bills = 0;
    qsizetype containers = 0;
    QString error;           ///< a shipping bill without a date, a missing column
    bool sinkFailed = false; ///< writeFlatFile(): the sink refused a block
};
/// Streams the file into sink as it is read: memory stays flat whatever the
/// size of the EGM. Nothing reaches the sink when the EGM has no shipping
/// bill. Throws DbError (the sink then holds a part of the file).
FlatFile writeFlatFile(Database& db, double egmno, const QDate& egmDate, const EgmFile::Sink& sink);
/// writeFlatFile() into memory. Throws DbError.
FlatFile flatFile(Database& db, double egmno, const QDate& egmDate);

/// What a write that stops for what was typed or what the EGM holds does
/// with an old file at its path.
enum class OnStop
{
    /// The program folder's ROT.egm: no stale file is taken for this EGM's.
    RemoveOldFile,
    /// A file the user named (the command line's --out): whatever it holds,
    /// a failed run leaves it alone.
    KeepOldFile,
};

/// Writes the flat file at path for the typed ROT No. and EGM date, on the
/// logged-on company's connection. A file of that name is replaced only by a
/// complete new one. When the write stops for what was typed or what the EGM
/// holds (the date is no date, the EGM has no shipping bill, a shipping bill
/// has no date), the message is shown and onStop says what becomes of an old
/// file at path; when the database or the disk fails, a message names the
/// cause and an old file stays as it was. Returns true when the whole file
/// was written.
bool WriteEgmFile(const QString& path, const QString& rotText, const QString& dateText,
                  OnStop onStop = OnStop::RemoveOldFile);

/// Writes the XML pair for the typed ROT No. Shows "No Container information
/// is available Continue with Cargo only" when there is no container row and
/// goes on. Either both files are replaced or, when a write fails, the old
/// pair stays (a message names the file and the cause). Returns true when
/// both were written.
bool SaveXmlPair(const QString& cargoPath, const QString& containPath, const QString& rotText);

/// Copies the written flat file to the removable-media folder (Tarvex.ini,
/// section "Floppy", key "Folder"), replacing a file of that name there. When
/// no folder is set, or the one set does not exist (a stick mounted
/// elsewhere), the clerk is asked for one and it is remembered. Returns
/// false when nothing was copied (cancelled, or a message named the cause).
bool copyToRemovableMedia(const QString& path);

} // namespace EgmExport
