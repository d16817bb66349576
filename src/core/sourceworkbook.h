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

    static WorkbookResult failure(const QString &message) { return {false, message}; }
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

// Writes ds as a source workbook at path (backup "B.xlsx" first, then an atomic save: on failure
// the old file stays as it was and !ok comes with the message). An existing workbook keeps all but
// its data layout (columns A..T of the data sheet; rows below the data are cleared); otherwise a
// new workbook is written. Energies are written as entered. path must already carry ".xlsx".
WorkbookResult saveSourceWorkbook(const Dataset &ds, const QString &path);

// path with ".xlsx" appended unless it already ends so (case-sensitive).
QString withXlsxSuffix(const QString &path);

// Save backup: path without its last 5 characters + "B.xlsx", replacing an older one (kept when
// there is no file to copy). Silent: returns whether a copy was made.
bool copyFlBak(const QString &path);
QString saveBackupPath(const QString &path);

// Opening backup: path without its last 5 characters + "_1.xlsx", replacing an older one.
// False when the copy failed.
bool makeOpeningBackup(const QString &path);

// True when path is one of the program's own report files in workDir (exact comparison):
// Otchet1.xlsx, result.xlsx, otchet1Empty.xlsx, otchet2Empty.xlsx, СтоплистОтчет.xlsx.
bool isReservedReportPath(const QString &path, const QString &workDir);

} // namespace keli
