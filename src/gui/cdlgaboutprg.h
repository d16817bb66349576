#pragma once
// The about window: program line, what it computes, credits. Created once by the main window,
// shown on request; closing it only hides it.

#include <QWidget>

#include <memory>

namespace Ui { class CAboutProgramm; }

class CDlgAboutPrg : public QWidget
{
    Q_OBJECT

public:
    explicit CDlgAboutPrg(QWidget *parent = nullptr);
    ~CDlgAboutPrg() override;

    // The program line (title and version).
    void setProgramLine(const QString &text);
    QString programLine() const;

protected:
    // Esc closes (hides) it, as it closes a dialog.
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::unique_ptr<Ui::CAboutProgramm> ui;
};
