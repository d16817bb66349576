#include "core/settings.h"

#include "core/helpers.h"

#include <QSettings>

namespace keli {

Settings::Settings(const QString &path) : m_path(path) {}

int Settings::month() const
{
    return QSettings(m_path, QSettings::IniFormat).value(QStringLiteral("tper"), 0).toInt();
}

void Settings::setMonth(int month)
{
    QSettings s(m_path, QSettings::IniFormat);
    s.setValue(QStringLiteral("tper"), month);
    s.sync();
}

int Settings::year() const
{
    return QSettings(m_path, QSettings::IniFormat).value(QStringLiteral("y"), 0).toInt();
}

void Settings::setYear(const QString &yearText)
{
    QSettings s(m_path, QSettings::IniFormat);
    s.setValue(QStringLiteral("y"), yearText);
    s.sync();
}

QString Settings::spreadsheetCommand() const
{
    return QSettings(m_path, QSettings::IniFormat)
        .value(QStringLiteral("reportKeli"), QStringLiteral("EXCEL"))
        .toString();
}

double Settings::networkRelease(int i) const
{
    const QString key = QStringLiteral("otp%1").arg(i);
    return toReal(QSettings(m_path, QSettings::IniFormat).value(key).toString().trimmed());
}

void Settings::setNetworkRelease(int i, const QString &text)
{
    QSettings s(m_path, QSettings::IniFormat);
    s.setValue(QStringLiteral("otp%1").arg(i), text);
    s.sync();
}

QString Settings::lastFolder() const
{
    return QSettings(m_path, QSettings::IniFormat).value(QStringLiteral("folder")).toString();
}

void Settings::setLastFolder(const QString &folder)
{
    QSettings s(m_path, QSettings::IniFormat);
    s.setValue(QStringLiteral("folder"), folder);
    s.sync();
}

QString zapToTochka(const QString &text)
{
    if (text.contains(QLatin1Char(',')))
        return QString(text).replace(QLatin1Char(','), QLatin1Char('.'));
    if (!text.contains(QLatin1Char('.')))
        return text + QStringLiteral(".00");
    return text;
}

} // namespace keli
