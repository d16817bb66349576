#pragma once
// The dataset dialog: header fields of one object, the three table editors, the calculation and
// the save question on closing. Its fields are the storage of the header values; syncToDataset()
// copies them into the Dataset before every calculation and save.
//
// The work is split over files by concern:
//   fvid.cpp          construction, fields <-> dataset, load, new, save on closing
//   fvid_tables.cpp   the three table-editor slots and rav()
//   fvid_raschet.cpp  the calculation press and its reports

#include "core/dataset.h"
#include "prompts.h"

#include <QDialog>

#include <array>
#include <memory>

namespace Ui { class FVid; }
class QDoubleSpinBox;
class Tabl;

namespace keli { struct CalcOutcome; }

class FVid : public QDialog
{
    Q_OBJECT

public:
    // For an opened workbook: reads "otp1".."otp4" of keli.ini into Otp1..Otp4.
    FVid(int month, int year, const QString &spreadsheetCommand, const QString &path,
         QWidget *parent = nullptr);
    // For a new workbook: fileMonth/fileYear = the period, periodDays = k_day().
    FVid(int month, int year, const QString &spreadsheetCommand, QWidget *parent = nullptr);
    ~FVid() override;

    void readXLSwriteDB(); // loads workbookPath into the dataset and the fields
    void readXLS();        // defaults of a new dataset

    static double round(double value, int n);
    int k_day() const;
    static void copyFlBak(const QString &path);
    static QString zapToTochka(const QString &text);
    QString GetCrossFilePath(const QString &name) const;

    // Replaces each of the dataset's row sequences by the editor's copy.
    void rav(Tabl &editor);

    // Copies the dialog fields into the dataset (header values, counts, factors, releases, flags).
    void syncToDataset();
    // Shows the dataset's header values in the fields.
    void syncFromDataset();

    // Replaces the questions and file dialogs of the dialog (tests answer them).
    void setPrompts(const keli::Prompts &p) { prompts = p; }

    const keli::Dataset &dataset() const { return ds; }
    keli::Dataset &dataset() { return ds; }
    // Results of the last calculation (null before the first one).
    const keli::CalcOutcome *lastOutcome() const { return outcome.get(); }

private slots:
    void on_pbPost_clicked();
    void on_pbOtp_clicked();
    void on_pbOtps_clicked();
    void on_raschet_clicked();
    void on_FVid_finished(int result);

private:
    // The reports of a calculation (fvid_raschet.cpp): pages in the viewer, then the workbooks.
    void otchet1html();
    void otchet1xls();
    void otchet2html();
    void otchet2xls();
    void otchet_errhtml();
    void otchet_errxls();

    void openTableEditor(int table);
    void setupForm();
    // Otp1..Otp4: the releases into the four networks.
    std::array<QDoubleSpinBox *, 4> releaseFields() const;

    Ui::FVid *ui = nullptr;
    keli::Dataset ds;
    keli::Prompts prompts = keli::Prompts::standard();
    std::unique_ptr<keli::CalcOutcome> outcome;
};
