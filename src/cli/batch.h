#pragma once
// keli-calc --out DIR: many objects in one process, in parallel, each into its own folder, with
// the summary of all of them.

#include "cliopts.h"

#include <QString>
#include <QStringList>

// One object of a batch: the source as given, its absolute path, its folder name under DIR.
struct BatchObject
{
    QString source;
    QString path;
    QString folder;
};

// The objects of the sources as given (relative to startDir): a file stands for itself, a folder
// for its *.xlsx files in name order, leaving out lock files, the program's own workbooks and the
// backups it made (known by their mark, not their names); each file left out is named in skipped.
// A source that is neither a file nor a folder is kept, so that its row says so.
// Folders are named after the source without ".xlsx"; a name that an earlier object (in the
// order given) already has gets " (2)", " (3)", ... the first number free.
QVector<BatchObject> batchObjects(const QStringList &sources, const QString &startDir,
                                  QStringList *skipped = nullptr);

// Runs the batch; returns the exit status: 0 every object calculated and every file written,
// 1 otherwise.
int runBatch(const CliOptions &opt, const QString &startDir);
