#include "core/settings.h"

#include "core/com.h"
#include "core/dialogfields.h"
#include "core/helpers.h"

#include <QSettings>

namespace keli {

Settings::Settings(const QString &path) : m_path(path) {}

// Every key is read and written here, as UTF-8, so Russian names survive any system locale.
QVariant Settings::value(const QString &key, const QVariant &byDefault) const
{
    QSettings s(m_path, QSettings::IniFormat);
    s.setIniCodec("UTF-8");
    return s.value(key, byDefault);
}

void Settings::setValue(const QString &key, const QVariant &value)
{
    QSettings s(m_path, QSettings::IniFormat);
    s.setIniCodec("UTF-8");
    s.setValue(key, value);
    s.sync();
}

int Settings::month() const
{
    return value(QStringLiteral("tper"), 0).toInt();
}

void Settings::setMonth(int month)
{
    setValue(QStringLiteral("tper"), month);
}

int Settings::year() const
{
    return value(QStringLiteral("y"), 0).toInt();
}

void Settings::setYear(const QString &yearText)
{
    setValue(QStringLiteral("y"), yearText);
}

QString Settings::spreadsheetCommand() const
{
    return value(QStringLiteral("reportKeli"), QStringLiteral("EXCEL")).toString();
}

double Settings::networkRelease(int i) const
{
    return toReal(value(QStringLiteral("otp%1").arg(i)).toString().trimmed());
}

void Settings::setNetworkRelease(int i, const QString &text)
{
    setValue(QStringLiteral("otp%1").arg(i), text);
}

QString Settings::correctionFactor(int t) const
{
    const QString text = value(QStringLiteral("correction%1").arg(t)).toString().trimmed();
    bool ok = false;
    const double factor = QString(text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    if (!ok || fieldValue(factor, correctionFactorField) != factor)
        return correctionFactorText(1);
    return correctionFactorText(factor);
}

QString Settings::organisation() const
{
    return value(QStringLiteral("org"), com::organisationName).toString();
}

QString Settings::preparedBy() const
{
    return value(QStringLiteral("preparedBy")).toString();
}

QString Settings::checkedBy() const
{
    return value(QStringLiteral("checkedBy")).toString();
}

void Settings::setText(const QString &key, const QString &text)
{
    setValue(key, text);
}

QString Settings::lastFolder() const
{
    return value(QStringLiteral("folder")).toString();
}

void Settings::setLastFolder(const QString &folder)
{
    setValue(QStringLiteral("folder"), folder);
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
