#include "keli.h"

#include "cdlgaboutprg.h"
#include "cdlgsignoff.h"
#include "fvid.h"
#include "rangenotice.h"
#include "ui_keli.h"

#include "core/com.h"
#include "core/settings.h"
#include "core/sourceworkbook.h"
#include "core/workbooklock.h"
#include "core/workbookname.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>

Keli::Keli(QWidget *parent) : QMainWindow(parent), ui(new Ui::Keli)
{
    ui->setupUi(this);
    ui->cbmes->insertItems(0, com::ls_mes);
    keli::noticeOutOfRange(ui->spGod);

    const keli::Settings settings;
    spreadsheetCommand = settings.spreadsheetCommand();
    year = settings.year();
    month = settings.month();
    // A first start (or a year the field cannot show) takes the current year.
    if (year < ui->spGod->minimum() || year > ui->spGod->maximum())
        year = QDate::currentDate().year();

    const int offset = slot.index() * keli::WindowSlot::kStepPx;
    setGeometry(10 + offset, 40 + offset, 613, 133);

    ui->cbmes->setCurrentIndex(month - 1); // month 0 selects nothing
    ui->spGod->setValue(year);

    about.reset(new CDlgAboutPrg);
    about->setWindowFlags(about->windowFlags() | Qt::WindowStaysOnTopHint);
    about->move(500, 220);
    about->setProgramLine(com::programTitle + com::programVersion);
    about->show();
    QCoreApplication::processEvents();
    about->hide();

    setWindowTitle(com::programTitle);
}

Keli::~Keli() = default;

void Keli::runModally(FVid &dialog)
{
    // exec() shows the dialog itself: a dialog shown before exec() would not block this window
    // (the modality of a visible window does not take effect), so a second dataset could be opened.
    dialog.exec();
}

bool Keli::takePeriod()
{
    month = com::ls_mes.indexOf(ui->cbmes->currentText()) + 1;
    year = ui->spGod->value();
    if (month >= 1)
        return true;
    // No dataset without a period: it would be saved with month 0 and calculated over 0 days.
    m_prompts.inform(QStringLiteral(" "), QStringLiteral("Выберите расчетный период: месяц (или «год») и год, "
                                                         "затем откройте или создайте файл."));
    ui->cbmes->setFocus();
    return false;
}

void Keli::on_opnf_clicked()
{
    if (!takePeriod())
        return;
    const QString workDir = QDir::currentPath();
    const QString path = m_prompts.openFileName(nullptr, QStringLiteral("Открыть исходный файл"),
                                                keli::sourceFolder(keli::Settings()),
                                                QStringLiteral("Исходные файлы (*.xlsx)"));
    if (path.isEmpty())
        return;
    keli::Settings().setLastFolder(QFileInfo(path).absolutePath());
    if (keli::isReservedReportPath(path, workDir))
        return;
    const QString held = keli::openWorkbookWarning(path);
    if (!held.isEmpty() && !m_prompts.askYesNo(QStringLiteral("КЕЛИ-ст"), held))
        return;
    const keli::BackupResult backup = keli::makeOpeningBackup(path);
    if (!backup.ok)
        m_prompts.inform(QStringLiteral(" "), QStringLiteral("Резервная копия исходного файла не создана"));
    else if (backup.path != keli::openingBackupPath(path))
        m_prompts.inform(QStringLiteral(" "), keli::backupElsewhereText(keli::openingBackupPath(path), backup.path));

    FVid dialog(month, year, spreadsheetCommand, path);
    dialog.setPrompts(m_prompts);
    if (!dialog.readXLSwriteDB())
        return; // nothing to edit or save; the user has been told why
    const keli::WorkbookLock lock(path);
    runModally(dialog);
}

void Keli::on_crtf_clicked()
{
    if (!takePeriod())
        return;
    FVid dialog(month, year, spreadsheetCommand);
    dialog.setPrompts(m_prompts);
    dialog.readXLS();
    runModally(dialog);
}

void Keli::on_aboutpr_clicked()
{
    about->show();
}

void Keli::on_cbmes_currentTextChanged(const QString &text)
{
    if (ntper++ == 0)
        return;
    keli::Settings().setMonth(com::ls_mes.indexOf(text) + 1);
}

void Keli::on_spGod_valueChanged(const QString &text)
{
    keli::Settings().setYear(text);
}

void Keli::on_actionSignOff_triggered()
{
    CDlgSignOff dialog(QStringLiteral("keli.ini"), this);
    dialog.exec();
}
