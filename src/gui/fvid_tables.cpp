// The three table-editor buttons of the dataset dialog and the take-over of the editor's rows.
#include "fvid.h"
#include "tabl.h"

#include "ui_fvid.h"

void FVid::on_pbPost_clicked() { openTableEditor(1); }
void FVid::on_pbOtp_clicked() { openTableEditor(2); }
void FVid::on_pbOtps_clicked() { openTableEditor(3); }

void FVid::openTableEditor(int table)
{
    static const QString captions[3] = {
        QStringLiteral("Поступление электроэнергии"),
        QStringLiteral("Отпуск  электроэнергии внешним потребителям"),
        QStringLiteral("Отпуск  электроэнергии собственным потребителям")};
    if (table < 1 || table > 3)
        return;

    syncToDataset(); // the metering kinds and counts as the fields show them
    Tabl editor(ds.calcMonth, ds.calcYear, ds.periodDays, table, ds.isSettlement(table),
                ds.intakeCount, ds.externalCount, ds.ownCount, captions[table - 1],
                ds.name, ds.pointKind, ds.meterType,
                ds.ctClass, ds.vtClass, ds.energy, ds.tanPhi, ds.fillFactor, ds.vtVoltageLoss,
                ds.verificationDate, ds.meterCount, ds.meterClass, ds.ctVoltage, ds.reportVoltage,
                ds.ctRatedCurrent, ds.pointDays, ds.offDays, ds.tableNo, ds.spare);
    editor.setPrompts(prompts);
    editor.setNonNumericText(ds.nonNumericText);
    editor.panTab();
    editor.exec(); // the editor commits its grid when it closes, however it is closed

    int count = 0;
    QLineEdit *countField = nullptr;
    switch (table) {
    case 1: count = ds.intakeCount = editor.GetnPost(); countField = ui->lePost; break;
    case 2: count = ds.externalCount = editor.GetnOtp(); countField = ui->leOtp; break;
    case 3: count = ds.ownCount = editor.GetnOtps(); countField = ui->leOtps; break;
    }
    countField->setText(QString::number(count));
    rav(editor);
}

void FVid::rav(Tabl &editor)
{
    // Assignment shares the editor's data; a sequence already sharing it is left as it is.
    ds.name = editor.name();
    ds.pointKind = editor.pointKind();
    ds.meterType = editor.meterType();
    ds.ctClass = editor.ctClass();
    ds.vtClass = editor.vtClass();
    ds.energy = editor.energy();
    ds.tanPhi = editor.tanPhi();
    ds.fillFactor = editor.fillFactor();
    ds.vtVoltageLoss = editor.vtVoltageLoss();
    ds.verificationDate = editor.verificationDate();
    ds.meterCount = editor.meterCount();
    ds.meterClass = editor.meterClass();
    ds.ctVoltage = editor.ctVoltage();
    ds.reportVoltage = editor.reportVoltage();
    ds.ctRatedCurrent = editor.ctRatedCurrent();
    ds.pointDays = editor.pointDays();
    ds.offDays = editor.offDays();
    ds.tableNo = editor.tableNo();
    ds.spare = editor.spare();
    ds.nonNumericText = editor.nonNumericText();
}
