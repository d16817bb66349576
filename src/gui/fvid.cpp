// Placeholder until the dataset dialog is built.
#include "fvid.h"

#include "core/calculation.h"
#include "core/helpers.h"
#include "core/settings.h"

FVid::FVid(int month, int year, const QString &spreadsheetCommand, const QString &path, QWidget *parent)
    : QDialog(parent)
{
    ds.calcMonth = month;
    ds.calcYear = year;
    ds.spreadsheetCommand = spreadsheetCommand;
    ds.workbookPath = path;
}

FVid::FVid(int month, int year, const QString &spreadsheetCommand, QWidget *parent)
    : QDialog(parent)
{
    ds.calcMonth = month;
    ds.calcYear = year;
    ds.spreadsheetCommand = spreadsheetCommand;
}

FVid::~FVid() = default;

void FVid::readXLSwriteDB() {}
void FVid::readXLS() {}
double FVid::round(double value, int n) { return keli::round(value, n); }
int FVid::k_day() const { return keli::k_day(ds.calcMonth, ds.calcYear); }
void FVid::copyFlBak(const QString &) {}
QString FVid::zapToTochka(const QString &text) { return keli::zapToTochka(text); }
QString FVid::GetCrossFilePath(const QString &name) const { return keli::GetCrossFilePath(name); }
void FVid::syncToDataset() {}
void FVid::syncFromDataset() {}
void FVid::setupForm() {}
void FVid::on_FVid_finished(int) {}
