// The dataset dialog: its form, the new dataset, loading into the fields, and the save question
// on closing. Every test runs in a fresh temporary working directory (keli.ini lies there).
#include "fvid.h"

#include "core/calculation.h"
#include "core/settings.h"
#include "core/sourceworkbook.h"
#include "support/testutil.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QtTest>

#include <memory>

namespace {

// Scripted answers for the dialog's questions, with a record of what was asked.
struct Answers
{
    keli::SaveAnswer save = keli::SaveAnswer::Save;
    bool yes = false; // to the yes/no questions (saving over a changed file)
    QString fileName;
    int questions = 0;
    int fileDialogs = 0;
    QStringList informed;
    QString lastQuestion;
    QString proposed;

    keli::Prompts prompts()
    {
        keli::Prompts p;
        p.askSave = [this](QWidget *, const QString &title, const QString &text) {
            ++questions;
            lastQuestion = title + "|" + text;
            return save;
        };
        p.askYesNo = [this](const QString &title, const QString &text) {
            lastQuestion = title + "|" + text;
            return yes;
        };
        p.openFileName = [](QWidget *, const QString &, const QString &, const QString &) { return QString(); };
        p.anyFileName = [this](QWidget *parent, const QString &caption, const QString &dir, const QString &filter) {
            ++fileDialogs;
            proposed = dir;
            if (!qobject_cast<FVid *>(parent) || caption != QStringLiteral("Сохранить исходный файл")
                || !filter.endsWith(QLatin1String("(*.xlsx)")))
                return QString();
            return fileName;
        };
        p.inform = [this](const QString &title, const QString &text) { informed << title + "|" + text; };
        return p;
    }
};

template <class W> W *field(const FVid &d, const char *name)
{
    W *w = d.findChild<W *>(QLatin1String(name));
    if (!w)
        qFatal("no field %s", name);
    return w;
}

QString text(const FVid &d, const char *name) { return field<QLineEdit>(d, name)->text(); }
double value(const FVid &d, const char *name) { return field<QDoubleSpinBox>(d, name)->value(); }

QString iniValue(const char *key)
{
    return QSettings("keli.ini", QSettings::IniFormat).value(key).toString();
}

} // namespace

class TestFVid : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testutil::TemporaryWorkDir> work;

    QString workPath(const QString &name) const { return work->filePath(name); }

private slots:
    void init()
    {
        work.reset(new testutil::TemporaryWorkDir);
        QVERIFY(work->isValid());
    }
    void cleanup() { work.reset(); }

    // The form as a table of widget, property and value: texts, limits, masks, read-only fields.
    void formObjects_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("expected");
        const auto row = [](const QString &widget, const char *property, const QVariant &expected) {
            QTest::addRow("%s.%s", qPrintable(widget), property) << widget << QByteArray(property) << expected;
        };
        const char *const labels[][2] = {
            {"lbOb", "Название объекта"},
            {"lbKg", "Количество групп счетчиков, фиксирующих"},
            {"lbPost", "Поступление электроэнергии"},
            {"lbOtp", "Отпуск электроэнергии внешним потребителям"},
            {"lbOtps", "Отпуск электроэнергии собственным потребителям"},
            {"lbRas", "Расчетные технические потери"}, {"lbKvt1", "тыс.кВт.ч"},
            {"lbPorg1", "Погрешность расчета техн. потерь"}, {"lbPr", "%"},
            {"lbPorg2", "Допустимые коммерческие потери"}, {"lbKvt2", "тыс.кВт.ч"},
            {"label", "Расчетный период"}, {"label_2", "Номера месяцев"},
            {"label_3", " г., данные которых находятся в файле"},
            {"label_4", "Перечень отчетов :"},
            {"label_5", " Отпуск в сети  для приказа №326, млн.кВт.ч"},
            {"label_6", "ВН"}, {"label_7", "СН1"}, {"label_8", "СН2"}, {"label_9", "НН"},
            {"check1", "\nОтчет №1. Исходные данные и обобщенные \n    показатели по группам\t"},
            {"check2", "Отчет №2. Небалансы"}, {"checksl", "Показать стоп-лист"},
            {"pbPost", "На поступлении"}, {"pbOtp", "На отпуске внешним потребителям"},
            {"pbOtps", "На отпуске собственным потребителям"}, {"raschet", "РАСЧЕТ"},
        };
        for (const auto &l : labels)
            row(l[0], "text", QString::fromUtf8(l[1]));
        for (const char *name : {"check1", "check2", "checksl"})
            row(name, "checked", true);
        for (int t = 1; t <= 3; ++t) {
            row(QStringLiteral("rbRas%1").arg(t), "text", QStringLiteral("Расчетный"));
            row(QStringLiteral("rbTeh%1").arg(t), "text", QStringLiteral("Технический"));
            row(QStringLiteral("Txt%1").arg(t), "inputMask", QStringLiteral("9.99"));
            row(QStringLiteral("Txt%1").arg(t), "toolTip", QStringLiteral("Коэффициент коррекции энергии"));
            row(QStringLiteral("Txt%1").arg(t), "readOnly", false);
        }
        const struct { const char *name; int decimals; double maximum; } spins[] = {
            {"leTexpot", 3, 9999999}, {"leTexpogr", 1, 100}, {"leKompot", 1, 9999},
            {"Otp1", 2, 9999}, {"Otp2", 2, 9999}, {"Otp3", 2, 9999}, {"Otp4", 2, 9999},
        };
        for (const auto &spin : spins) {
            row(spin.name, "decimals", spin.decimals);
            row(spin.name, "maximum", spin.maximum);
            row(spin.name, "minimum", 0.0);
            row(spin.name, "value", 0.0);
        }
        const char *const tips[] = {"Отпуск в сеть 110-220 кВ", "Отпуск в сеть 35 кВ", "Отпуск в сеть 6-10 кВ",
                                    "Отпуск в сеть 0.23-0.4 кВ"};
        for (int i = 0; i < 4; ++i)
            row(QStringLiteral("Otp%1").arg(i + 1), "toolTip", QString::fromUtf8(tips[i]));
        for (const char *name : {"lePost", "leOtp", "leOtps", "leGod"})
            row(name, "readOnly", true);
        row("leNob", "readOnly", false);
        row("le1", "inputMask", QStringLiteral("99"));
        for (int i = 1; i <= 12; ++i)
            row(QStringLiteral("le%1").arg(i), "readOnly", true);
    }
    void formObjects()
    {
        QFETCH(QString, widget);
        QFETCH(QByteArray, property);
        QFETCH(QVariant, expected);
        FVid d(5, 2024, "EXCEL");
        QCOMPARE(field<QWidget>(d, qPrintable(widget))->property(property.constData()), expected);
    }

    // The window, and the group boxes' titles on white: the background beside a title, where the
    // dialog's own grey would show, is white.
    void formFrame()
    {
        FVid d(5, 2024, "EXCEL");
        QCOMPARE(d.objectName(), QStringLiteral("FVid"));
        QCOMPARE(d.windowTitle(), QStringLiteral("Программа КЕЛИ "));
        QCOMPARE(d.size(), QSize(892, 622));
        const char *const groups[][2] = {
            {"grPost", "Типовой учет на поступлении"},
            {"grOtp", "Типовой учет на отпуске внешним потребителям"},
            {"grOtps", "Типовой учет на отпуске собств. потребителям"},
            {"groupBox", "Ввод и редактирование исходной информации :"},
        };
        d.show();
        for (const auto &g : groups) {
            QGroupBox *box = field<QGroupBox>(d, g[0]);
            QCOMPARE(box->title(), QString::fromUtf8(g[1]));
            const QImage image = box->grab().toImage();
            QCOMPARE(image.pixelColor(box->width() - 4, 3), QColor(Qt::white));
        }
    }

    // "Создать новый файл": the defaults of a new dataset, in the fields and in the dataset;
    // the releases start at 0 whatever keli.ini holds.
    void newDatasetDefaults()
    {
        {
            QSettings s("keli.ini", QSettings::IniFormat);
            for (const char *key : {"otp1", "otp2", "otp3", "otp4"})
                s.setValue(key, "7.50");
        }
        FVid d(13, 2024, "EXCEL");
        d.readXLS();
        QCOMPARE(text(d, "leNob"), QStringLiteral("Новый"));
        for (const char *name : {"lePost", "leOtp", "leOtps"})
            QCOMPARE(text(d, name), QStringLiteral("0"));
        for (const char *name : {"rbRas1", "rbRas2", "rbRas3"})
            QVERIFY(field<QRadioButton>(d, name)->isChecked());
        for (const char *name : {"leTexpot", "leTexpogr", "leKompot", "Otp1", "Otp2", "Otp3", "Otp4"})
            QCOMPARE(value(d, name), 0.0);
        for (const char *name : {"Txt1", "Txt2", "Txt3"})
            QCOMPARE(text(d, name), QStringLiteral("1.00"));
        QCOMPARE(text(d, "le1"), QStringLiteral("13"));
        QCOMPARE(text(d, "leGod"), QStringLiteral("2024"));
        for (int i = 2; i <= 12; ++i)
            QVERIFY(text(d, qPrintable(QStringLiteral("le%1").arg(i))).isEmpty());

        const keli::Dataset &ds = d.dataset();
        QCOMPARE(ds.periodDays, 366);
        QCOMPARE(ds.fileMonth, 13);
        QCOMPARE(ds.fileYear, 2024);
        QCOMPARE(ds.workbookPath, QStringLiteral("Новый.xlsx"));
        QCOMPARE(ds.rowCount(), 0);
        QVERIFY(ds.intakeCount == 0 && ds.externalCount == 0 && ds.ownCount == 0);
        QCOMPARE(ds.networkRelease[0], 0.0);
        QVERIFY(ds.isSettlement(1) && ds.isSettlement(2) && ds.isSettlement(3));
        QVERIFY(!QFile::exists(workPath("Новый.xlsx")));
    }

    // Esc and the window's close button ask too; "Нет" writes nothing.
    void closingAsks_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("Esc") << true;
        QTest::newRow("close button") << false;
    }
    void closingAsks()
    {
        QFETCH(bool, byEscape);
        Answers answers;
        answers.save = keli::SaveAnswer::Discard;
        FVid d(5, 2024, "EXCEL");
        d.setPrompts(answers.prompts());
        d.readXLS();
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        if (byEscape)
            QTest::keyClick(&d, Qt::Key_Escape);
        else
            d.close();
        QVERIFY(!d.isVisible());
        QCOMPARE(answers.questions, 1);
        QCOMPARE(answers.lastQuestion, QStringLiteral("КЕЛИ-ст|Сохранить информацию ?"));
        QCOMPARE(answers.fileDialogs, 0);
        QVERIFY(!QFile::exists("keli.ini"));
    }

    // The chosen name gets ".xlsx" unless it ends so (case-sensitive); what was typed is saved;
    // the releases go to keli.ini with a decimal point, whatever the locale shows.
    void saveOnClosing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("no extension") << "X" << "X.xlsx";
        QTest::newRow("capitals") << "X.XLSX" << "X.XLSX.xlsx";
        QTest::newRow("extension") << "Y.xlsx" << "Y.xlsx";
    }
    void saveOnClosing()
    {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        Answers answers;
        answers.fileName = workPath(typed);
        {
            FVid d(6, 2024, "EXCEL");
            d.setPrompts(answers.prompts());
            d.readXLS();
            field<QLineEdit>(d, "leNob")->setText(QStringLiteral("ПС 110/10 кВ Северная"));
            field<QRadioButton>(d, "rbTeh2")->setChecked(true);
            field<QDoubleSpinBox>(d, "leTexpot")->setValue(12.345);
            field<QDoubleSpinBox>(d, "Otp1")->setLocale(QLocale(QLocale::German));
            field<QDoubleSpinBox>(d, "Otp1")->setValue(1.5);
            field<QDoubleSpinBox>(d, "Otp3")->setValue(42);
            field<QLineEdit>(d, "Txt2")->setText(QStringLiteral("1.05"));
            d.show();
            QTest::keyClick(&d, Qt::Key_Escape);
            QCOMPARE(answers.questions, 1);
            QCOMPARE(answers.fileDialogs, 1);
            QCOMPARE(QFileInfo(answers.proposed), QFileInfo(workPath("Новый.xlsx")));
            QVERIFY(answers.informed.isEmpty());
        }
        QVERIFY(QFile::exists(workPath(saved)));
        QCOMPARE(QDir(work->path()).entryList({"*.xlsx", "*.XLSX"}, QDir::Files), QStringList{saved});
        // The releases and factors are the object's: in its workbook, keli.ini keeps its defaults.
        QCOMPARE(iniValue("otp1"), QString());

        // Opened again: the fields show what was typed, releases and factors from the workbook.
        FVid again(6, 2024, "EXCEL", workPath(saved));
        again.setPrompts(answers.prompts());
        again.readXLSwriteDB();
        QVERIFY(answers.informed.isEmpty());
        QCOMPARE(text(again, "leNob"), QStringLiteral("ПС 110/10 кВ Северная"));
        QVERIFY(field<QRadioButton>(again, "rbRas1")->isChecked());
        QVERIFY(field<QRadioButton>(again, "rbTeh2")->isChecked());
        QCOMPARE(value(again, "leTexpot"), 12.345);
        QCOMPARE(value(again, "Otp1"), 1.5);
        QCOMPARE(value(again, "Otp3"), 42.0);
        QCOMPARE(text(again, "Txt2"), QStringLiteral("1.05"));
        QCOMPARE(keli::evaluate(again.dataset()).results.correctionFactor[1], 1.05);
    }

    // The real question (Russian buttons whatever the locale): Enter is "Да" and saves, Esc is
    // "Отмена" and returns to the dialog with the edits, "Нет" closes without saving.
    void realSaveQuestion_data()
    {
        QTest::addColumn<int>("key"); // 0: "Нет" clicked
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("fileDialogs");
        QTest::newRow("Enter") << int(Qt::Key_Return) << true << 1;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << false << 0;
        QTest::newRow("Нет") << 0 << true << 0;
    }
    void realSaveQuestion()
    {
        QFETCH(int, key);
        QFETCH(bool, closed);
        QFETCH(int, fileDialogs);
        Answers answers;
        answers.fileName = workPath("asked.xlsx");
        keli::Prompts real = answers.prompts();
        real.askSave = keli::Prompts::standard().askSave;
        FVid d(6, 2024, "EXCEL");
        d.setPrompts(real);
        d.readXLS();
        field<QLineEdit>(d, "leNob")->setText(QStringLiteral("ПС Правка"));
        field<QDoubleSpinBox>(d, "Otp1")->setValue(3);
        d.show();
        QStringList buttons;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            for (QAbstractButton *b : box->buttons())
                buttons << b->text();
            if (key)
                QTest::keyClick(box, Qt::Key(key));
            else
                box->button(QMessageBox::No)->click();
        });
        QTest::keyClick(&d, Qt::Key_Escape);
        buttons.sort();
        QCOMPARE(buttons, (QStringList{"Да", "Нет", "Отмена"}));
        QCOMPARE(d.isVisible(), !closed);
        QCOMPARE(answers.fileDialogs, fileDialogs);
        QCOMPARE(QFile::exists(workPath("asked.xlsx")), fileDialogs == 1);
        QCOMPARE(QFile::exists("keli.ini"), fileDialogs == 1);
        QCOMPARE(text(d, "leNob"), QStringLiteral("ПС Правка"));
        QCOMPARE(value(d, "Otp1"), 3.0);
    }

    // A failed save and a cancelled file dialog return to the dialog with the edits as they were,
    // and keli.ini is untouched.
    // The report files of the working folder are no save targets: the dialog stays, says why and
    // writes nothing.
    void reportFilesRefusedAsTargets()
    {
        Answers answers;
        FVid d(6, 2024, "EXCEL");
        d.setPrompts(answers.prompts());
        d.readXLS();
        d.show();
        for (const char *name : {"result.xlsx", "Otchet1"}) {
            answers.fileName = workPath(QString::fromUtf8(name));
            d.close();
            QVERIFY(d.isVisible());
            QVERIFY(!QFile::exists(keli::withXlsxSuffix(answers.fileName)));
        }
        QCOMPARE(answers.informed.size(), 2);
        QVERIFY(answers.informed.last().contains(QStringLiteral("файл отчетов программы")));
        answers.save = keli::SaveAnswer::Discard;
        d.close();
    }

    void backToTheDialog()
    {
        Answers answers;
        FVid d(6, 2024, "EXCEL");
        d.setPrompts(answers.prompts());
        d.readXLS();
        field<QLineEdit>(d, "leNob")->setText(QStringLiteral("ПС Правка"));
        field<QDoubleSpinBox>(d, "Otp1")->setValue(3);
        d.show();
        for (const QString &name : {workPath("missing-folder/book"), QString()}) {
            answers.fileName = name;
            d.close();
            QVERIFY(d.isVisible());
            QCOMPARE(text(d, "leNob"), QStringLiteral("ПС Правка"));
            QCOMPARE(value(d, "Otp1"), 3.0);
        }
        QCOMPARE(answers.fileDialogs, 2);
        QCOMPARE(answers.informed.size(), 1);
        QVERIFY(answers.informed.first().startsWith(" |Файл"));
        QVERIFY(!QFile::exists("keli.ini"));
        answers.save = keli::SaveAnswer::Discard;
        d.close();
        QVERIFY(!d.isVisible());
    }

    // Ctrl+S saves without closing: a new dataset asks for a name, then the same file is saved over
    // with its backup. A file changed on disk meanwhile is saved over only after a question.
    void saveWithoutClosing()
    {
        Answers answers;
        answers.fileName = workPath("book.xlsx");
        FVid d(6, 2024, "EXCEL");
        d.setPrompts(answers.prompts());
        d.readXLS();
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        // Ctrl+S with the object named name; the name the file then holds.
        const auto saveAs = [&](const QString &name) {
            field<QLineEdit>(d, "leNob")->setText(name);
            QTest::keyClick(&d, Qt::Key_S, Qt::ControlModifier);
            keli::Dataset saved;
            saved.workbookPath = workPath("book.xlsx");
            keli::readXLSwriteDB(saved);
            return saved.objectName;
        };
        QCOMPARE(saveAs(QStringLiteral("Первое")), QStringLiteral("Первое"));
        // The dialog says where it saved, and its title names the workbook.
        QVERIFY(d.windowTitle().endsWith(QStringLiteral(" — book.xlsx")));
        QVERIFY(field<QLabel>(d, "saveLine")->text().contains(QDir::toNativeSeparators(workPath("book.xlsx"))));
        QCOMPARE(saveAs(QStringLiteral("Второе")), QStringLiteral("Второе"));
        QVERIFY(field<QLabel>(d, "saveLine")->text().contains(QStringLiteral("\"bookB.xlsx\"")));
        QVERIFY(answers.fileDialogs == 1 && answers.questions == 0 && d.isVisible() && QFile::exists(workPath("bookB.xlsx")));

        QFile changed(workPath("book.xlsx"));
        QVERIFY(changed.open(QIODevice::Append) && changed.write("x") == 1 && changed.flush());
        QCOMPARE(saveAs(QStringLiteral("Третье")), QStringLiteral("Второе")); // "Нет": not saved over
        QVERIFY(answers.lastQuestion.contains(QStringLiteral("изменен на диске")));
    }

    // A point and a comma typed or pasted in a spin box are both the decimal separator, in any
    // locale.
    void decimalSeparatorTyped()
    {
        const QLocale before;
        for (const char *locale : {"ru_RU", "C"}) {
            QLocale::setDefault(QLocale(locale));
            FVid d(6, 2024, "EXCEL");
            QLocale::setDefault(before);
            QDoubleSpinBox *box = field<QDoubleSpinBox>(d, "Otp1");
            for (const char *typed : {"9.5", "9,5", "+9.5", "+9,5"}) { // "+": pasted
                box->selectAll();
                typed[0] == '+' ? box->findChild<QLineEdit *>()->insert(typed + 1) : QTest::keyClicks(box, typed);
                box->interpretText();
                QCOMPARE(box->value(), 9.5);
            }
        }
    }

    // Header values beyond the fields' ranges or decimals: the dataset holds what the fields show.
    void loadedValuesFollowTheFields()
    {
        if (!testutil::pythonHas("openpyxl"))
            QSKIP("python3-openpyxl is missing");
        bool ok = false;
        QString error;
        testutil::runPython(R"(
import sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Лист1"
ws.append(["  Объект  ", 1, 0, 0, " 0 ", 1, None, 7, 8, 12345678.9, 150, 12.36])
ws.append(["Ввод", 1, " э ", 0.5, 0.5, 1, 5.19, 300, 10, 10, 9, 100.5, 0.7, 0, "р", 0.4, 0, 31, 5, 2023])
wb.save(sys.argv[1])
)", {workPath("odd.xlsx")}, &ok, &error);
        QVERIFY2(ok, qPrintable(error));

        Answers answers;
        FVid d(6, 2024, "EXCEL", workPath("odd.xlsx"));
        d.setPrompts(answers.prompts());
        d.readXLSwriteDB();
        QVERIFY2(answers.informed.isEmpty(), qPrintable(answers.informed.join(';')));
        QCOMPARE(text(d, "leNob"), QStringLiteral("Объект"));
        QCOMPARE(text(d, "lePost"), QStringLiteral("1"));
        QVERIFY(field<QRadioButton>(d, "rbRas1")->isChecked());
        QVERIFY(field<QRadioButton>(d, "rbTeh2")->isChecked());
        QVERIFY(field<QRadioButton>(d, "rbTeh3")->isChecked());
        QCOMPARE(value(d, "leTexpot"), 9999999.0);
        QCOMPARE(value(d, "leTexpogr"), 100.0);
        QCOMPARE(value(d, "leKompot"), 12.4);
        // Stored for May 2023, opened under June 2024: asked, "Нет" keeps the main window's period.
        QVERIFY(answers.lastQuestion.contains(QStringLiteral("май 2023 года")));
        QCOMPARE(text(d, "le1"), QStringLiteral("6"));
        QCOMPARE(text(d, "leGod"), QStringLiteral("2024"));
        const keli::Dataset &ds = d.dataset();
        QCOMPARE(ds.techLosses, 9999999.0);
        QCOMPARE(ds.techLossErrorPct, 100.0);
        QCOMPARE(ds.permissibleCommercialLoss, 12.4);
        QCOMPARE(ds.periodDays, 30);
        QCOMPARE(ds.calcMonth, 6);
        QCOMPARE(ds.rowCount(), 1);
        QCOMPARE(ds.meterType.value(0), QStringLiteral("Э"));
        QCOMPARE(ds.correctionFactor[0], QStringLiteral("1.00"));
        // "Да" takes the workbook's period, days included; the main window's stays as it was.
        answers.yes = true;
        FVid mayDialog(6, 2024, "EXCEL", workPath("odd.xlsx"));
        mayDialog.setPrompts(answers.prompts());
        mayDialog.readXLSwriteDB();
        const keli::Dataset &may = mayDialog.dataset();
        QVERIFY(may.calcMonth == 5 && may.calcYear == 2023 && may.periodDays == 31);
        QCOMPARE(text(mayDialog, "le1"), QStringLiteral("5"));
        answers.yes = false;

        // A workbook prepared by hand without columns R..T: the period fields show the empty
        // cells S2 and T2, not "0". L1 holds a text: a value set in its field replaces it.
        testutil::runPython(R"(
import sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.append(["Объект", 1, 0, 0, 0, 0, 0, None, None, None, None, "много"])
ws.append(["Ввод", 1, "Э", 0.5, 0.5, 1, 5.19, 300, 10, 10, 0.25, 100.5, 0.7, 0, "Р", 0.4])
wb.save(sys.argv[1])
)", {workPath("noperiod.xlsx")}, &ok, &error);
        QVERIFY2(ok, qPrintable(error));
        FVid bare(6, 2024, "EXCEL", workPath("noperiod.xlsx"));
        bare.setPrompts(answers.prompts());
        answers.lastQuestion.clear();
        bare.readXLSwriteDB();
        QVERIFY(answers.lastQuestion.isEmpty()); // no stored period: the main window's, unasked
        QCOMPARE(bare.dataset().calcMonth, 6);
        QCOMPARE(bare.dataset().rowCount(), 1);
        QCOMPARE(text(bare, "le1"), QString());
        QCOMPARE(text(bare, "leGod"), QString());
        QCOMPARE(bare.dataset().fileMonth, 0);
        QCOMPARE(bare.dataset().headerNonNumericText.value(12), QStringLiteral("много"));
        bare.show();
        QVERIFY(QTest::qWaitForWindowActive(&bare));
        field<QDoubleSpinBox>(bare, "leKompot")->setValue(3.5);
        QTest::keyClick(&bare, Qt::Key_S, Qt::ControlModifier);
        keli::Dataset saved;
        saved.workbookPath = workPath("noperiod.xlsx");
        QVERIFY(keli::readXLSwriteDB(saved).ok);
        QVERIFY(saved.headerNonNumericText.isEmpty());
        QCOMPARE(saved.permissibleCommercialLoss, 3.5);
    }

    // An unreadable workbook: the user is told, the dialog shows an empty dataset, the file stays.
    void unreadableWorkbook()
    {
        const QByteArray junk = "this is not a workbook";
        {
            QFile f(workPath("bad.xlsx"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(junk);
        }
        QSettings("keli.ini", QSettings::IniFormat).setValue("otp4", "2.50");
        Answers answers;
        FVid d(6, 2024, "EXCEL", workPath("bad.xlsx"));
        d.setPrompts(answers.prompts());
        d.readXLSwriteDB();
        QCOMPARE(answers.informed.size(), 1);
        QVERIFY(answers.informed.first().startsWith(" |"));
        QVERIFY(answers.informed.first().size() > 2);
        QCOMPARE(text(d, "leNob"), QString());
        QCOMPARE(text(d, "lePost"), QStringLiteral("0"));
        QCOMPARE(d.dataset().rowCount(), 0);
        QCOMPARE(d.dataset().periodDays, 30);
        QCOMPARE(value(d, "Otp4"), 2.5);
        QFile f(workPath("bad.xlsx"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), junk);
    }
};

QTEST_MAIN(TestFVid)
#include "tst_gui_fvid.moc"
