#pragma once
// The settings file "keli.ini" (INI format, read and written as UTF-8) in the working directory.
// Keys: "tper" month 1..13, "y" year, "reportKeli" spreadsheet command, "otp1".."otp4" network
// releases (million kWh, text with a decimal point), "correction1".."correction3" the correction
// factors of tables 1..3 for workbooks that store none (text, "1.00" when absent), "org" the
// organisation named on every report, "preparedBy" and "checkedBy" the signature lines
// ("должность Фамилия И. О.", blank when absent), "folder" the folder of the last source workbook
// opened or saved (empty when absent). Other absent keys read as 0 ("EXCEL" for reportKeli).

#include <QString>
#include <QVariant>

namespace keli {

class Settings
{
public:
    explicit Settings(const QString &path = QStringLiteral("keli.ini"));

    int month() const;                   // "tper"
    void setMonth(int month);
    int year() const;                    // "y"
    void setYear(const QString &yearText);
    QString spreadsheetCommand() const;  // "reportKeli", default "EXCEL"
    double networkRelease(int i) const;  // "otp1".."otp4", i = 1..4
    void setNetworkRelease(int i, const QString &text);
    // "correction1".."correction3", t = 1..3: the factor as the dialog's field shows it ("1.05"),
    // "1.00" when absent or not a factor 0..9.99.
    QString correctionFactor(int t) const;
    QString organisation() const;        // "org", default the program's fixed organisation name
    QString preparedBy() const;          // "preparedBy", "" when unset
    QString checkedBy() const;           // "checkedBy", "" when unset
    void setText(const QString &key, const QString &text);
    QString lastFolder() const;          // "folder"
    void setLastFolder(const QString &folder);

private:
    QVariant value(const QString &key, const QVariant &byDefault = QVariant()) const;
    void setValue(const QString &key, const QVariant &value);
    QString m_path;
};

// "1,5" -> "1.5"; "7" -> "7.00"; "1.5" unchanged.
QString zapToTochka(const QString &text);

} // namespace keli
