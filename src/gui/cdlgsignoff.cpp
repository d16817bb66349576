#include "cdlgsignoff.h"

#include "ui_cdlgsignoff.h"

#include "core/com.h"
#include "core/settings.h"

CDlgSignOff::CDlgSignOff(const QString &iniPath, QWidget *parent)
    : QDialog(parent), ui(new Ui::CDlgSignOff), m_iniPath(iniPath)
{
    ui->setupUi(this);
    const keli::Settings settings(m_iniPath);
    ui->leOrg->setPlaceholderText(com::organisationName);
    const QString org = settings.organisation();
    ui->leOrg->setText(org == com::organisationName ? QString() : org);
    ui->lePreparedBy->setText(settings.preparedBy());
    ui->leCheckedBy->setText(settings.checkedBy());
}

CDlgSignOff::~CDlgSignOff() = default;

void CDlgSignOff::on_buttonBox_accepted()
{
    keli::Settings settings(m_iniPath);
    settings.setText(QStringLiteral("org"), ui->leOrg->text().trimmed());
    settings.setText(QStringLiteral("preparedBy"), ui->lePreparedBy->text().trimmed());
    settings.setText(QStringLiteral("checkedBy"), ui->leCheckedBy->text().trimmed());
    accept();
}
