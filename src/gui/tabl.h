#pragma once
// The table editor: the metering points of one table in a sixteen-column grid. It works on its own
// copies of the dataset's row sequences; whenever it closes, the grid is written back into those
// copies (on_Tabl_finished), which the dataset dialog then takes over (FVid::rav).

#include "prompts.h"

#include <QDialog>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

namespace Ui { class Tabl; }
class QTableWidgetItem;

class Tabl : public QDialog
{
    Q_OBJECT

public:
    // The counts and sequences are only read: the editor keeps copies of their values.
    Tabl(int month, int year, int periodDays, int table, bool settlement,
         int &nPost, int &nOtp, int &nOtps, const QString &caption,
         QVector<QString> &name, QVector<QString> &pointKind, QVector<QString> &meterType,
         QVector<double> &ctClass, QVector<double> &vtClass, QVector<double> &energy,
         QVector<double> &tanPhi, QVector<double> &fillFactor, QVector<double> &vtVoltageLoss,
         QVector<double> &verificationDate, QVector<double> &meterCount, QVector<double> &meterClass,
         QVector<double> &ctVoltage, QVector<double> &reportVoltage,
         QVector<int> &ctRatedCurrent, QVector<int> &pointDays, QVector<int> &offDays,
         QVector<int> &tableNo, QVector<int> &spare,
         QWidget *parent = nullptr);
    ~Tabl() override;

    // Replaces the question asked before a row is deleted (tests answer it).
    void setPrompts(const keli::Prompts &p) { prompts = p; }

    // The dataset's number cells that hold something else (rows as the sequences); call before
    // panTab(). After closing: the editor's copy, all three tables.
    void setNonNumericText(const QVector<QMap<int, QString>> &cells) { m_nonNumeric = cells; }
    const QVector<QMap<int, QString>> &nonNumericText() const { return m_nonNumeric; }

    // Fills the grid with the rows of the edited table, in index order. Call once before showing.
    void panTab();

    // Counts of tables 1, 2, 3; after closing, the edited table's count is its number of grid rows.
    int GetnPost() const { return nPost; }
    int GetnOtp() const { return nOtp; }
    int GetnOtps() const { return nOtps; }

    // The editor's copies of the row sequences (after closing: all three tables, committed).
    const QVector<QString> &name() const { return m_name; }
    const QVector<QString> &pointKind() const { return m_pointKind; }
    const QVector<QString> &meterType() const { return m_meterType; }
    const QVector<double> &ctClass() const { return m_ctClass; }
    const QVector<double> &vtClass() const { return m_vtClass; }
    const QVector<double> &energy() const { return m_energy; }
    const QVector<double> &tanPhi() const { return m_tanPhi; }
    const QVector<double> &fillFactor() const { return m_fillFactor; }
    const QVector<double> &vtVoltageLoss() const { return m_vtVoltageLoss; }
    const QVector<double> &verificationDate() const { return m_verificationDate; }
    const QVector<double> &meterCount() const { return m_meterCount; }
    const QVector<double> &meterClass() const { return m_meterClass; }
    const QVector<double> &ctVoltage() const { return m_ctVoltage; }
    const QVector<double> &reportVoltage() const { return m_reportVoltage; }
    const QVector<int> &ctRatedCurrent() const { return m_ctRatedCurrent; }
    const QVector<int> &pointDays() const { return m_pointDays; }
    const QVector<int> &offDays() const { return m_offDays; }
    const QVector<int> &tableNo() const { return m_tableNo; }
    const QVector<int> &spare() const { return m_spare; }

    // Items of the two code columns (1: point kind, 3: meter type).
    static const QStringList &kindCodes();
    static const QStringList &meterTypeCodes();

private slots:
    void on_pbIns_clicked();
    void on_pbDel_clicked();
    void on_Tabl_finished(int result);
    void on_view_cellPressed(int row, int column);
    void on_pbCopy_clicked();

protected:
    // On the grid: a character typed on a Вид/Тип cell selects the code it begins.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Marks a number cell whose text is not a number (and unmarks a mended one).
    void markNumberCell(QTableWidgetItem *item);
    // Selects the code of the Вид/Тип cell (row, column) that begins with typed; false when none does.
    bool selectCodeByTyping(int row, int column, const QString &typed);
    // Writes one grid row from sixteen cell texts. In columns 1 and 3 the text selects the combo
    // box item equal to it (none when no item equals it); an item under the box keeps its text.
    void setRowCells(int row, const QStringList &cells);
    // Gives the code cells of rows first..last their combo boxes where they have none yet.
    void addComboBoxes(int first, int last);
    void addComboBoxesInView();
    // The sixteen texts the grid shows in a row (the combo boxes' current texts in 1 and 3).
    QStringList rowCells(int row) const;
    // The sixteen texts of row i of the copies, as the grid shows them (a number cell that holds
    // something else shows that text).
    QStringList storedCells(int i) const;
    QStringList shownCells(int i) const;
    int tableStart() const;
    // Widths that show the cells whole (names and energies of any size), see tabl.cpp.
    void fitColumnsToContents();

    QVector<QString> m_name, m_pointKind, m_meterType;
    QVector<double> m_ctClass, m_vtClass, m_energy, m_tanPhi, m_fillFactor, m_vtVoltageLoss,
        m_verificationDate, m_meterCount, m_meterClass, m_ctVoltage, m_reportVoltage;
    QVector<int> m_ctRatedCurrent, m_pointDays, m_offDays, m_tableNo, m_spare;
    QVector<QMap<int, QString>> m_nonNumeric;

    Ui::Tabl *ui = nullptr;
    keli::Prompts prompts = keli::Prompts::standard();
    int month = 0;
    int year = 0;
    int periodDays = 0;   // kept; nothing in the editor depends on it
    int table = 1;        // 1 intake, 2 external release, 3 own release
    bool settlement = false; // metering kind "Расчетный"; kept, not used here
    int nPost = 0;
    int nOtp = 0;
    int nOtps = 0;
    QString caption;
};
