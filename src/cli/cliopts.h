#pragma once
// The command line of keli-calc.

#include <QString>
#include <QStringList>

struct CliOptions
{
    int month = 0;            // 1..13; 0 = the period stored in the workbook
    int year = 0;             // 0 = the year stored in the workbook
    // As given, else keli.ini's in workDir (a workbook's own values stand over these unless given).
    QString correction[3] = {QStringLiteral("1.00"), QStringLiteral("1.00"), QStringLiteral("1.00")};
    double releases[4] = {0, 0, 0, 0}; // million kWh
    QString organisation, preparedBy, checkedBy; // who signs the reports, from keli.ini
    bool correctionGiven = false;      // --correction
    bool releasesGiven = false;        // --releases
    bool report1 = true;
    bool report2 = true;
    bool stopList = true;     // the error page after a calculation with warnings
    bool pdf = false;         // each page also as a PDF beside it
    QString workDir;          // absolute
    QString savePath;         // absolute, empty = no save
    QString jsonPath;         // absolute, empty = no JSON
    QString source;           // absolute
    // Batch (--out DIR): every source as given (files or folders), the output folder, the threads.
    QStringList sources;
    QString outDir;           // absolute, empty = one object
    int jobs = 0;             // 0 = the number of cores
    bool help = false;
    bool version = false;
};

// Parses the arguments (without the program name). Relative paths are taken from startDir. The
// correction factors and releases not given are read from the keli.ini of the working folder.
// On a usage error returns false and sets *error.
bool parseCliOptions(const QStringList &args, const QString &startDir, CliOptions *options,
                     QString *error);

// The usage text printed by --help and after a usage error.
QString cliUsage();
