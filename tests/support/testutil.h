#pragma once
// Shared test helpers: paths of the source tree, the Debian python, running a python snippet.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testutil {

// Absolute path inside the source tree / the build tree.
QString sourcePath(const QString &relative);
QString binaryPath(const QString &relative);

// /usr/bin/python3 (Debian's, which has openpyxl), or empty when it is missing.
QString python();
// True when the Debian python can import the module.
bool pythonHas(const QString &module);
// Runs python code with args; returns stdout, sets ok to exit code 0. stderr goes to *error.
QString runPython(const QString &code, const QStringList &args, bool *ok, QString *error = nullptr);

// soffice for the spreadsheet check, or empty when it is missing.
QString soffice();

// A fresh temporary directory, the current one while the object lives (the programs keep keli.ini
// and their reports in the current directory); the previous current directory comes back after.
class TemporaryWorkDir
{
public:
    TemporaryWorkDir();
    ~TemporaryWorkDir();
    bool isValid() const { return m_valid; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QString m_previous;
    QTemporaryDir m_dir;
    bool m_valid = false;
};

} // namespace testutil
