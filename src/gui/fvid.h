#pragma once
// The dataset dialog: header fields of one object, the three table editors, the calculation, saving
// (Ctrl+S, and the save question on closing). Its fields are the storage of the header values;
// syncToDataset() copies them into the Dataset before every calculation and save.
//
// The work is split over files by concern:
//   fvid.cpp          construction, fields <-> dataset, load, new, saving
//   fvid_tables.cpp   the three table-editor slots and rav()
//   fvid_raschet.cpp  the calculation press and its reports

#include "core/dataset.h"
#include "core/workbooklock.h"
#include "prompts.h"

#include <QDialog>

#include <array>
#include <memory>

namespace Ui { class FVid; }
class QDoubleSpinBox;
class QLabel;
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

    // Loads workbookPath into the dataset and the fields; false (after telling the user) when the
    // workbook could not be read: the dataset is then empty and must not be edited or saved.
    // A workbook stored for another period than the main window's asks which to calculate for.
    bool readXLSwriteDB();
    void readXLS(); // defaults of a new dataset

    static double round(double value, int n);
    int k_day() const;
    // The save backup of path; false when none could be made.
    static bool copyFlBak(const QString &path);
    static QString zapToTochka(const QString &text);
    QString GetCrossFilePath(const QString &name) const;

    // Replaces each of the dataset's row sequences by the editor's copy.
    void rav(Tabl &editor);

    // Copies the dialog fields into the dataset (header values, counts, factors, releases, flags).
    void syncToDataset();
    // Shows the dataset's header values in the fields.
    void syncFromDataset();

    // Closing in any way (Esc, the close button, accept/reject) first asks whether to save:
    // "Да" saves and closes, "Нет" closes, "Отмена" stays; so does a cancelled or failed save.
    void done(int result) override;

    // Ctrl+S: saves without closing, to the workbook's own file (a new dataset asks for a name).
    // True when saved.
    bool saveWithoutClosing();

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

private:
    // Asks for a file name (proposing the workbook's own) and saves there; false when cancelled
    // or failed (the user has been told).
    bool saveToChosenFile();
    // Saves the dataset to path (with the backup "B.xlsx"), after a question when the file changed
    // on disk or another program has it open; then stores the releases in keli.ini.
    bool saveTo(const QString &path);

    // The reports of a calculation (fvid_raschet.cpp): pages in the viewer, then the workbooks.
    void otchet1html();
    void otchet1xls();
    void otchet2html();
    void otchet2xls();
    void otchet_errhtml();
    void otchet_errxls();

    // After loading: the dataset's period, asked for when the workbook stores another one.
    void choosePeriod();
    void openTableEditor(int table);
    void setupForm();
    // "Программа КЕЛИ — NAME.xlsx" (a new dataset: "новый файл").
    void showWorkbookInTitle(const QString &path);
    // Otp1..Otp4: the releases into the four networks.
    std::array<QDoubleSpinBox *, 4> releaseFields() const;

    Ui::FVid *ui = nullptr;
    QString formTitle;
    QLabel *saveLine = nullptr;
    keli::Dataset ds;
    keli::Prompts prompts = keli::Prompts::standard();
    std::unique_ptr<keli::CalcOutcome> outcome;
    // The file the dataset was last read from or saved to, as it was then (empty for a new one).
    QString ownFile;
    keli::FileStamp ownFileStamp;
};
