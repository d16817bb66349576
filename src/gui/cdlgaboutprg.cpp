#include "cdlgaboutprg.h"

#include "ui_cdlgaboutprg.h"

#include <QKeyEvent>

CDlgAboutPrg::CDlgAboutPrg(QWidget *parent) : QWidget(parent), ui(new Ui::CAboutProgramm)
{
    ui->setupUi(this);
    // An open about window must not keep the program running once the main window is closed.
    setAttribute(Qt::WA_QuitOnClose, false);
}

CDlgAboutPrg::~CDlgAboutPrg() = default;

void CDlgAboutPrg::setProgramLine(const QString &text)
{
    ui->LineInfo->setText(text);
}

QString CDlgAboutPrg::programLine() const
{
    return ui->LineInfo->text();
}

void CDlgAboutPrg::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
