#pragma once
// The main window: the calculation period (month or whole year, and year), remembered in keli.ini,
// and the two ways into the dataset dialog: open an existing source workbook or create a new one.

#include "prompts.h"
#include "windowslot.h"

#include <QMainWindow>

#include <memory>

namespace Ui { class Keli; }
class CDlgAboutPrg;
class FVid;

class Keli : public QMainWindow
{
    Q_OBJECT

public:
    explicit Keli(QWidget *parent = nullptr);
    ~Keli() override;

    // Replaces the questions and file dialogs (also handed to every dataset dialog).
    void setPrompts(const keli::Prompts &prompts) { m_prompts = prompts; }
    CDlgAboutPrg *aboutDialog() const { return about.get(); }

private slots:
    void on_opnf_clicked();
    void on_crtf_clicked();
    void on_aboutpr_clicked();
    void on_actionSignOff_triggered();
    void on_cbmes_currentTextChanged(const QString &text);
    void on_spGod_valueChanged(const QString &text);

private:
    // Reads the chosen period from the combo box and the year field into month and year; with no
    // month chosen, asks for it and returns false.
    bool takePeriod();
    // Shows the dataset dialog and runs it modally.
    static void runModally(FVid &dialog);

    keli::WindowSlot slot; // a second КЕЛИ opens its window offset from the first
    std::unique_ptr<Ui::Keli> ui;
    std::unique_ptr<CDlgAboutPrg> about;
    keli::Prompts m_prompts = keli::Prompts::standard();
    int month = 0; // 1..12, 13 = whole year, 0 = none chosen
    int year = 0;
    QString spreadsheetCommand; // "reportKeli", handed to every dataset dialog
    // Calls of on_cbmes_currentTextChanged so far; the first one comes from filling the combo box.
    int ntper = 0;
};
