#pragma once
// The settings file "keli.ini" (INI format) in the working directory.
// Keys: "tper" month 1..13, "y" year, "reportKeli" spreadsheet command, "otp1".."otp4" network
// releases (million kWh, text with a decimal point), "folder" the folder of the last source workbook
// opened or saved. Absent keys read as 0 ("EXCEL" for reportKeli, empty for folder).

#include <QString>

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
    QString lastFolder() const;          // "folder"
    void setLastFolder(const QString &folder);

private:
    QString m_path;
};

// "1,5" -> "1.5"; "7" -> "7.00"; "1.5" unchanged.
QString zapToTochka(const QString &text);

} // namespace keli
