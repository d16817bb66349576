#include "support/testutil.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace testutil {

QString sourcePath(const QString &relative)
{
    return QDir(QStringLiteral(KELI_SOURCE_DIR)).filePath(relative);
}

QString binaryPath(const QString &relative)
{
    return QDir(QStringLiteral(KELI_BINARY_DIR)).filePath(relative);
}

QString python()
{
    const QString fromEnv = qEnvironmentVariable("KELI_PYTHON");
    if (!fromEnv.isEmpty() && QFileInfo::exists(fromEnv))
        return fromEnv;
    return QFileInfo::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                                 : QString();
}

QString runPython(const QString &code, const QStringList &args, bool *ok, QString *error)
{
    const QString py = python();
    if (py.isEmpty()) {
        if (ok) *ok = false;
        if (error) *error = QStringLiteral("no python3");
        return QString();
    }
    QProcess p;
    p.start(py, QStringList{QStringLiteral("-c"), code} + args);
    p.waitForFinished(300000);
    const bool good = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ok) *ok = good;
    if (error) *error = QString::fromUtf8(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput());
}

bool pythonHas(const QString &module)
{
    bool ok = false;
    runPython(QStringLiteral("import ") + module, {}, &ok);
    return ok;
}

QString soffice()
{
    const QString fromEnv = qEnvironmentVariable("KELI_SOFFICE");
    if (!fromEnv.isEmpty() && QFileInfo::exists(fromEnv))
        return fromEnv;
    return QStandardPaths::findExecutable(QStringLiteral("soffice"));
}

TemporaryWorkDir::TemporaryWorkDir() : m_previous(QDir::currentPath())
{
    m_valid = m_dir.isValid() && QDir::setCurrent(m_dir.path());
}

TemporaryWorkDir::~TemporaryWorkDir()
{
    QDir::setCurrent(m_previous);
}

} // namespace testutil
