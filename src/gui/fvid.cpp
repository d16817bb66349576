// The dataset dialog: construction, fields <-> dataset, load, new dataset, saving.
#include "fvid.h"

#include "decimalinput.h"
#include "rangenotice.h"
#include "ui_fvid.h"

#include "core/calculation.h"
#include "core/com.h"
#include "core/helpers.h"
#include "core/settings.h"
#include "core/sourceworkbook.h"
#include "core/workbookname.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QShortcut>

namespace {

const QString kInformTitle = QStringLiteral(" ");
const QString kQuestionTitle = QStringLiteral("КЕЛИ-ст");

} // namespace

FVid::FVid(int month, int year, const QString &spreadsheetCommand, const QString &path, QWidget *parent)
    : QDialog(parent)
{
    ds.calcMonth = month;
    ds.calcYear = year;
    ds.spreadsheetCommand = spreadsheetCommand;
    ds.workbookPath = path;
    setupForm();
    ds.periodDays = k_day();

    const keli::Settings settings;
    const auto releases = releaseFields();
    for (int i = 0; i < 4; ++i) {
        releases[i]->setValue(settings.networkRelease(i + 1));
        ds.networkRelease[i] = releases[i]->value();
    }
}

FVid::FVid(int month, int year, const QString &spreadsheetCommand, QWidget *parent) : QDialog(parent)
{
    ds.calcMonth = month;
    ds.calcYear = year;
    ds.spreadsheetCommand = spreadsheetCommand;
    setupForm();
    ds.fileMonth = month;
    ds.fileYear = year;
    ds.periodDays = k_day();
}

FVid::~FVid()
{
    delete ui;
}

void FVid::setupForm()
{
    ui = new Ui::FVid;
    ui->setupUi(this);
    for (QDoubleSpinBox *box : findChildren<QDoubleSpinBox *>()) {
        keli::acceptPointAndComma(box);
        keli::noticeOutOfRange(box);
    }
    auto *save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, &FVid::saveWithoutClosing);
    formTitle = windowTitle().trimmed();
    // Where the last save went, below the period line.
    saveLine = new QLabel(this);
    saveLine->setObjectName(QStringLiteral("saveLine"));
    saveLine->setGeometry(10, 592, 872, 24);
    saveLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void FVid::showWorkbookInTitle(const QString &path)
{
    const QString name = path.isEmpty() ? QStringLiteral("новый файл") : QFileInfo(path).fileName();
    setWindowTitle(QStringLiteral("%1 — %2").arg(formTitle, name));
}

std::array<QDoubleSpinBox *, 4> FVid::releaseFields() const
{
    return {ui->Otp1, ui->Otp2, ui->Otp3, ui->Otp4};
}

bool FVid::readXLSwriteDB()
{
    // The loader leaves the period, the context, the releases and the report choices as they are,
    // takes periodDays from the period and resets the correction factors to "1.00". The workbook
    // as read is kept for the save.
    ds.keepOpenedBook = true;
    const keli::WorkbookResult result = keli::readXLSwriteDB(ds);
    syncFromDataset();
    // The fields round to their decimals and limit to their ranges: keep the dataset equal to them.
    syncToDataset();

    if (!result.ok) {
        prompts.inform(kInformTitle, result.message);
        return false;
    }
    choosePeriod();
    ownFile = ds.workbookPath;
    ownFileStamp = keli::fileStamp(ownFile);
    showWorkbookInTitle(ownFile);
    return true;
}

void FVid::choosePeriod()
{
    if (ds.storedPeriodDiffers()) {
        const QString question =
            QStringLiteral("Книга сохранена за период: %1.\nВ главном окне выбран период: %2.\n\n"
                           "Рассчитать за период книги (%1)?\n«Нет» — расчет за период главного окна.")
                .arg(com::periodText(ds.fileMonth, ds.fileYear), com::periodText(ds.calcMonth, ds.calcYear));
        if (prompts.askYesNo(kQuestionTitle, question))
            ds.setPeriod(ds.fileMonth, ds.fileYear);
    }
    ds.setPeriod(ds.calcMonth, ds.calcYear);
    if (ds.hasStoredPeriod()) {
        // The fields show the period this dataset is calculated and saved for.
        ds.fileMonthText = QString::number(ds.calcMonth);
        ds.fileYearText = QString::number(ds.calcYear);
        ui->le1->setText(ds.fileMonthText);
        ui->leGod->setText(ds.fileYearText);
    }
}

void FVid::readXLS()
{
    // The period of the file is the calculation period; the releases are 0 (the settings are not
    // consulted for a new workbook).
    keli::readXLS(ds);
    syncFromDataset();
    syncToDataset();
    showWorkbookInTitle(QString());
}

double FVid::round(double value, int n)
{
    return keli::round(value, n);
}

int FVid::k_day() const
{
    return keli::k_day(ds.calcMonth, ds.calcYear);
}

bool FVid::copyFlBak(const QString &path)
{
    return keli::copyFlBak(path).ok;
}

QString FVid::zapToTochka(const QString &text)
{
    return keli::zapToTochka(text);
}

QString FVid::GetCrossFilePath(const QString &name) const
{
    return keli::GetCrossFilePath(name);
}

void FVid::syncToDataset()
{
    ds.objectName = ui->leNob->text();
    ds.intakeCount = keli::toWhole(ui->lePost->text());
    ds.externalCount = keli::toWhole(ui->leOtp->text());
    ds.ownCount = keli::toWhole(ui->leOtps->text());
    const QRadioButton *const settlement[3] = {ui->rbRas1, ui->rbRas2, ui->rbRas3};
    for (int t = 0; t < 3; ++t)
        ds.meteringKind[t] = settlement[t]->isChecked() ? keli::MeteringKind::Settlement
                                                        : keli::MeteringKind::Technical;
    // A value set in a field replaces the text that was not a number in its header cell.
    double *const headerNumbers[3] = {&ds.techLosses, &ds.techLossErrorPct, &ds.permissibleCommercialLoss};
    const QDoubleSpinBox *const headerFields[3] = {ui->leTexpot, ui->leTexpogr, ui->leKompot};
    for (int k = 0; k < 3; ++k) {
        if (headerFields[k]->value() != *headerNumbers[k])
            ds.headerNonNumericText.remove(10 + k);
        *headerNumbers[k] = headerFields[k]->value();
    }
    ds.correctionFactor[0] = ui->Txt1->text();
    ds.correctionFactor[1] = ui->Txt2->text();
    ds.correctionFactor[2] = ui->Txt3->text();
    const auto releases = releaseFields();
    for (int i = 0; i < 4; ++i)
        ds.networkRelease[i] = releases[i]->value();
    ds.report1Selected = ui->check1->isChecked();
    ds.report2Selected = ui->check2->isChecked();
    ds.showStopList = ui->checksl->isChecked();
}

void FVid::syncFromDataset()
{
    ui->leNob->setText(ds.objectName);
    ui->lePost->setText(QString::number(ds.intakeCount));
    ui->leOtp->setText(QString::number(ds.externalCount));
    ui->leOtps->setText(QString::number(ds.ownCount));
    QRadioButton *const settlement[3] = {ui->rbRas1, ui->rbRas2, ui->rbRas3};
    QRadioButton *const technical[3] = {ui->rbTeh1, ui->rbTeh2, ui->rbTeh3};
    for (int t = 0; t < 3; ++t)
        (ds.isSettlement(t + 1) ? settlement[t] : technical[t])->setChecked(true);
    ui->leTexpot->setValue(ds.techLosses);
    ui->leTexpogr->setValue(ds.techLossErrorPct);
    ui->leKompot->setValue(ds.permissibleCommercialLoss);
    ui->Txt1->setText(ds.correctionFactor[0]);
    ui->Txt2->setText(ds.correctionFactor[1]);
    ui->Txt3->setText(ds.correctionFactor[2]);
    const auto releases = releaseFields();
    for (int i = 0; i < 4; ++i)
        releases[i]->setValue(ds.networkRelease[i]);
    ui->check1->setChecked(ds.report1Selected);
    ui->check2->setChecked(ds.report2Selected);
    ui->checksl->setChecked(ds.showStopList);
    // The period as the file holds it in S2 and T2 (empty when the cells are).
    ui->le1->setText(ds.fileMonthText);
    ui->leGod->setText(ds.fileYearText);
}

void FVid::done(int result)
{
    const QString text = QStringLiteral("Сохранить информацию ?");
    const keli::SaveAnswer answer =
        prompts.askSave ? prompts.askSave(this, kQuestionTitle, text)
                        : prompts.askYesNo(kQuestionTitle, text) ? keli::SaveAnswer::Save : keli::SaveAnswer::Discard;
    switch (answer) {
    case keli::SaveAnswer::Cancel:
        return;
    case keli::SaveAnswer::Save:
        if (!saveToChosenFile())
            return;
        break;
    case keli::SaveAnswer::Discard:
        break;
    }
    QDialog::done(result);
}

bool FVid::saveWithoutClosing()
{
    return ownFile.isEmpty() ? saveToChosenFile() : saveTo(ownFile);
}

bool FVid::saveToChosenFile()
{
    // Proposed: the workbook's own file; for a new dataset the object's name in the folder of the
    // last source workbook.
    const QString proposed = ownFile.isEmpty()
                                 ? keli::proposedWorkbookPath(keli::sourceFolder(keli::Settings()), ui->leNob->text())
                                 : ownFile;
    const QString chosen = prompts.anyFileName(this, QStringLiteral("Сохранить исходный файл"), proposed,
                                               QStringLiteral("Исходные файлы (*.xlsx)"));
    if (chosen.isEmpty())
        return false;
    return saveTo(keli::withXlsxSuffix(chosen));
}

bool FVid::saveTo(const QString &path)
{
    // The report files are rewritten by every calculation: no dataset is kept under their names.
    if (keli::isReservedReportPath(QFileInfo(path).absoluteFilePath(), QDir::currentPath())) {
        prompts.inform(kInformTitle, QStringLiteral("Файл \"%1\" — файл отчетов программы, его перезаписывает каждый "
                                                    "расчет. Выберите для данных другое имя.")
                                         .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    const QString question = keli::saveOverQuestion(path, ownFile, ownFileStamp);
    if (!question.isEmpty() && !prompts.askYesNo(kQuestionTitle, question))
        return false;

    syncToDataset();
    // The releases and factors the dialog shows are the object's: saved with its workbook, while
    // keli.ini keeps its defaults.
    ds.parametersStored = true;
    const keli::WorkbookResult result = keli::saveSourceWorkbook(ds, path, ownFile);
    if (!result.ok) {
        prompts.inform(kInformTitle, result.message);
        return false;
    }
    ownFile = ds.workbookPath = path;
    ownFileStamp = keli::fileStamp(path);
    showWorkbookInTitle(path);
    saveLine->setText(keli::savedText(path, result.backupPath));
    if (!result.backupPath.isEmpty() && result.backupPath != keli::saveBackupPath(path))
        prompts.inform(kInformTitle, keli::backupElsewhereText(keli::saveBackupPath(path), result.backupPath));

    keli::Settings().setLastFolder(QFileInfo(path).absolutePath());
    return true;
}
