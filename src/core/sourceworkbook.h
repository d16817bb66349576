#pragma once
// The source workbook (.xlsx): loading it into a Dataset, the defaults of a new dataset, saving a
// dataset as a new workbook, and the two backup copies kept beside it ("_1.xlsx", "B.xlsx").

#include "core/dataset.h"

#include <QString>

namespace keli {

struct WorkbookResult
{
    bool ok = true;
    QString message; // what the user must be told when !ok (Russian, ready for a message box)
    QString backupPath; // the backup a save over an existing workbook made

    static WorkbookResult failure(const QString &message) { return {false, message, QString()}; }
};

// Header cells of the object's own parameters: the releases for Order No. 326 in M1..P1 (million
// kWh, 110-220, 35, 6-10, 0.4 kV), the correction factors of the three tables in Q1..S1.
constexpr int kFirstReleaseColumn = 13;
constexpr int kFirstFactorColumn = 17;

// Loads ds.workbookPath into ds: header values, rows, fileMonth/fileYear; periodDays from the
// calculation period; correction factors reset to "1.00". The workbook is only read, never written
// (a rewrite would change nothing but its date, and could empty it on a full disk).
// An unreadable workbook, or one whose counts in B1..D1 are negative or total above 100,000 rows,
// leaves ds empty (no rows, empty texts, zeros) and gives !ok with the message.
WorkbookResult readXLSwriteDB(Dataset &ds);

// The defaults of a new dataset (no file is read or written): fileMonth/fileYear and periodDays
// from the calculation period, releases 0.
void readXLS(Dataset &ds);

// Writes ds as a source workbook at path. Over an existing file the backup (copyFlBak) comes
// first, and without it nothing is saved. The new file is read back and compared with what was
// written before it replaces the old one; on any failure the old file stays as it was and !ok
// comes with the message. An existing workbook keeps all but its data layout (columns A..T of the
// data sheet; rows below the data are cleared); a new name gets a copy of the workbook at
// openedPath (the one the dataset was opened from) with the data layout rewritten, or a new
// workbook when there is none. Energies are written as entered. path must already carry ".xlsx".
WorkbookResult saveSourceWorkbook(const Dataset &ds, const QString &path, const QString &openedPath = QString());

// The save's read-back: the first cell of the data sheet of the workbook at path that does not hold
// what saving ds puts there, as the reason a save fails ("ячейка L5 записанного файла …"), or why the
// file cannot be read; empty when every cell holds it.
QString savedDataDifference(const QString &path, const Dataset &ds);

// path with ".xlsx" appended unless it already ends so (case-sensitive).
QString withXlsxSuffix(const QString &path);

// A backup made beside a workbook, or why none could be made.
struct BackupResult
{
    bool ok = false;
    QString path;    // where it was written (or was to be written)
    QString message; // why it failed: a Russian clause
};

// Save backup of path: path without its last 5 characters + "B.xlsx". It carries a mark naming
// the workbook, and replaces only a file with that same mark (always by a complete new file);
// any other file of that name is kept and the backup is "…B (2).xlsx" or the next free name.
BackupResult copyFlBak(const QString &path);
QString saveBackupPath(const QString &path);
// The name the next save backup of path takes: saveBackupPath(path) unless another file holds it.
QString nextSaveBackupPath(const QString &path);

// Opening backup: path without its last 5 characters + "_1.xlsx", under the same rules.
BackupResult makeOpeningBackup(const QString &path);
QString openingBackupPath(const QString &path);

// The message when a backup took another name than usualPath, which holds another file.
QString backupElsewhereText(const QString &usualPath, const QString &backupPath);
// The line that says where a save went (and its backup, when it made one).
QString savedText(const QString &path, const QString &backupPath);

// Whether path is this program's backup of workbookPath / of any workbook (by the mark).
bool isBackupOf(const QString &path, const QString &workbookPath);
bool isMarkedBackup(const QString &path);

// True when path is one of the program's own report files in workDir (exact comparison):
// Otchet1.xlsx, result.xlsx, otchet1Empty.xlsx, otchet2Empty.xlsx, СтоплистОтчет.xlsx.
bool isReservedReportPath(const QString &path, const QString &workDir);

} // namespace keli
