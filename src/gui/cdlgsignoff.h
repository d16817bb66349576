#pragma once
// The settings of the signed reports: the organisation every report names and who prepares and who
// checks them ("должность Фамилия И. О."), kept in keli.ini. An empty organisation is the program's
// fixed one; an empty name leaves a line to sign by hand.

#include <QDialog>

#include <memory>

namespace Ui { class CDlgSignOff; }

class CDlgSignOff : public QDialog
{
    Q_OBJECT

public:
    // Edits the keli.ini at iniPath.
    explicit CDlgSignOff(const QString &iniPath = QStringLiteral("keli.ini"), QWidget *parent = nullptr);
    ~CDlgSignOff() override;

private slots:
    void on_buttonBox_accepted();

private:
    std::unique_ptr<Ui::CDlgSignOff> ui;
    QString m_iniPath;
};
