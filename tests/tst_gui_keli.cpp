// The main window and the about window: form, the period in keli.ini, open and create.
// Every test runs in a fresh temporary working directory, as the program uses the current one.
#include "cdlgaboutprg.h"
#include "fvid.h"
#include "keli.h"

#include "core/com.h"
#include "core/settings.h"
#include "core/sourceworkbook.h"
#include "support/testutil.h"

#include <QComboBox>
#include <QDate>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QSysInfo>
#include <QTimer>
#include <QToolTip>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Scripted answers to the windows' questions, with a record of what was asked.
struct Answers
{
    QStringList openNames;     // returned by the open-file dialog, one per call
    QStringList openFolders;   // where the open-file dialog started, one per call
    QString proposed;          // the file the last save dialog proposed
    bool saveAnswer = false;   // answer to "Сохранить информацию ?"
    QString saveName;          // returned by the save file dialog
    QStringList informed;      // texts of the information boxes shown
    int questions = 0;
    QStringList asked;         // yes/no questions, all answered with openHeld
    bool openHeld = false;

    keli::Prompts prompts()
    {
        keli::Prompts p;
        p.askSave = [this](QWidget *, const QString &, const QString &) {
            ++questions;
            return saveAnswer ? keli::SaveAnswer::Save : keli::SaveAnswer::Discard;
        };
        p.askYesNo = [this](const QString &, const QString &text) { asked << text; return openHeld; };
        p.openFileName = [this](QWidget *, const QString &caption, const QString &dir, const QString &filter) {
            if (caption != QStringLiteral("Открыть исходный файл") || !filter.endsWith(QLatin1String("(*.xlsx)")))
                return QString();
            openFolders << dir;
            return openNames.isEmpty() ? QString() : openNames.takeFirst();
        };
        p.anyFileName = [this](QWidget *, const QString &, const QString &file, const QString &) {
            proposed = file;
            return saveName;
        };
        p.inform = [this](const QString &title, const QString &text) {
            informed << (title == QLatin1String(" ") ? text : QStringLiteral("wrong title: ") + title);
        };
        return p;
    }
};

// Runs action, which may start dataset dialogs modally; each one that comes up is handed to
// onDialog and then closed as by Esc. Returns how many came up.
int withDialogs(const std::function<void()> &action, const std::function<void(FVid &)> &onDialog)
{
    int seen = 0;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<FVid *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        ++seen;
        onDialog(*dialog);
        dialog->reject();
    });
    timer.start();
    action();
    timer.stop();
    return seen;
}

// A small source workbook with one intake row, written by the saver.
bool makeWorkbook(const QString &path, const QString &objectName)
{
    keli::Dataset ds;
    ds.calcMonth = 5;
    ds.calcYear = 2024;
    ds.periodDays = 31;
    ds.objectName = objectName;
    ds.intakeCount = 1;
    ds.appendRow(1);
    ds.name[0] = QStringLiteral("Ввод Т-1");
    ds.meterType[0] = QStringLiteral("Э");
    ds.pointKind[0] = QStringLiteral("Р");
    ds.energy[0] = 1250.5;
    return keli::saveSourceWorkbook(ds, path).ok;
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestKeli : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testutil::TemporaryWorkDir> work;
    QTemporaryDir runtime;

    QString workPath(const QString &name) const { return work->filePath(name); }
    static void click(Keli &w, const char *button)
    {
        QTest::mouseClick(w.findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
    }
    // "Открыть файл" choosing path: how many dataset dialogs came up, and the object name shown.
    static int open(Keli &w, Answers &answers, const QString &path, QString *shown = nullptr)
    {
        answers.openNames << path;
        w.setPrompts(answers.prompts());
        return withDialogs([&] { click(w, "opnf"); }, [&](FVid &d) {
            if (shown)
                *shown = d.findChild<QLineEdit *>("leNob")->text();
        });
    }

private slots:
    // The windows' places are held in a runtime folder of the test's own.
    void initTestCase()
    {
        QVERIFY(runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }

    void init()
    {
        work.reset(new testutil::TemporaryWorkDir);
        QVERIFY(work->isValid());
        QSettings s("keli.ini", QSettings::IniFormat);
        s.setValue("tper", 5);
        s.setValue("y", 2024);
    }
    void cleanup() { work.reset(); }

    void mainWindowForm()
    {
        Keli w;
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("Программа КЕЛИ"));
        QCOMPARE(w.objectName(), QStringLiteral("Keli"));
        QCOMPARE(w.geometry(), QRect(10, 40, 613, 133));
        QCOMPARE(w.findChild<QPushButton *>("opnf")->text(), QStringLiteral("Открыть файл"));
        QCOMPARE(w.findChild<QPushButton *>("crtf")->text(), QStringLiteral("Создать новый файл"));
        QCOMPARE(w.findChild<QPushButton *>("aboutpr")->text(), QStringLiteral("О программе"));
        QCOMPARE(w.findChild<QLabel *>("label")->text(), QStringLiteral("Файл сохраняется за"));
        QCOMPARE(w.findChild<QLabel *>("label_2")->text(), QStringLiteral("г."));
        auto *cbmes = w.findChild<QComboBox *>("cbmes");
        QStringList items;
        for (int i = 0; i < cbmes->count(); ++i)
            items << cbmes->itemText(i);
        QCOMPARE(items, com::ls_mes);
        auto *spGod = w.findChild<QSpinBox *>("spGod");
        QCOMPARE(spGod->minimum(), 2000);
        QCOMPARE(spGod->maximum(), 2040);
        QVERIFY(w.findChild<QMenuBar *>("menubar"));
        QVERIFY(w.findChild<QStatusBar *>("statusbar"));
    }

    // No keli.ini: no month, the current year, the command "EXCEL". Without a month neither button
    // opens a dataset: the user is asked to choose the period first.
    void firstStartWithoutSettings()
    {
        QVERIFY(QFile::remove("keli.ini"));
        QVERIFY(makeWorkbook(workPath("a.xlsx"), QStringLiteral("ПС")));
        Keli w;
        QCOMPARE(w.findChild<QComboBox *>("cbmes")->currentIndex(), -1);
        QCOMPARE(w.findChild<QSpinBox *>("spGod")->value(), QDate::currentDate().year());

        Answers answers;
        answers.openNames << workPath("a.xlsx");
        w.setPrompts(answers.prompts());
        QCOMPARE(withDialogs([&] { click(w, "opnf"); click(w, "crtf"); }, [](FVid &) {}), 0);
        QCOMPARE(answers.informed.size(), 2);
        QVERIFY(answers.informed.first().startsWith(QStringLiteral("Выберите расчетный период")));
        QCOMPARE(answers.openNames.size(), 1); // no file was asked for
        w.findChild<QComboBox *>("cbmes")->setCurrentIndex(0);
        QString command;
        QCOMPARE(withDialogs([&] { click(w, "crtf"); }, [&](FVid &d) { command = d.dataset().spreadsheetCommand; }), 1);
        QCOMPARE(command, QStringLiteral("EXCEL"));
    }

    // An unreadable workbook is reported and opens no dataset dialog. A workbook another program
    // or another КЕЛИ has open is opened only after a question.
    void unreadableOrHeldWorkbooks()
    {
        Keli w;
        Answers answers;
        QFile bad(workPath("bad.xlsx"));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("not a workbook") > 0 && bad.flush());
        QCOMPARE(open(w, answers, workPath("bad.xlsx")), 0);
        QCOMPARE(answers.informed.size(), 1);

        QVERIFY(makeWorkbook(workPath("a.xlsx"), QStringLiteral("ПС")));
        // The spreadsheet program's lock, another КЕЛИ's on another computer (asked, answered "Нет"
        // then "Да", never removed), and one left by an ended КЕЛИ on this computer (taken over,
        // then removed on closing).
        const QString here = QSysInfo::machineHostName();
        for (const QString &lock : QStringList{".~lock.a.xlsx#|ws-7", ".~keli.a.xlsx#|ws-7", ".~keli.a.xlsx#|" + here}) {
            QFile file(workPath(lock.section('|', 0, 0)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(("ivanov," + lock.section('|', 1) + ",2147483000").toUtf8()));
            file.close();
            answers.asked.clear();
            for (bool yes : {false, true}) {
                answers.openHeld = yes;
                QCOMPARE(open(w, answers, workPath("a.xlsx")), yes || lock.endsWith(here) ? 1 : 0);
            }
            QCOMPARE(answers.asked.size(), lock.endsWith(here) ? 0 : 2);
            QCOMPARE(file.remove(), !lock.endsWith(here));
        }
    }

    // The period goes to keli.ini at each change and comes back at the next start.
    void periodWrittenAtOnceAndRestored()
    {
        {
            Keli w;
            w.findChild<QComboBox *>("cbmes")->setCurrentIndex(12); // "год"
            QCOMPARE(keli::Settings().month(), 13);
            w.findChild<QComboBox *>("cbmes")->setCurrentIndex(4);
            QCOMPARE(keli::Settings().month(), 5);
            w.findChild<QSpinBox *>("spGod")->setValue(2024);
            QCOMPARE(QSettings("keli.ini", QSettings::IniFormat).value("y").toString(), QStringLiteral("2024"));
        }
        Keli again;
        QCOMPARE(again.findChild<QComboBox *>("cbmes")->currentText(), QStringLiteral("Май"));
        QCOMPARE(again.findChild<QSpinBox *>("spGod")->value(), 2024);
        // Restoring at start does not change what is stored.
        QCOMPARE(keli::Settings().month(), 5);
        QCOMPARE(keli::Settings().year(), 2024);
    }

    void storedValuesShownAtStart()
    {
        {
            QSettings s("keli.ini", QSettings::IniFormat);
            s.setValue("tper", 13);
            s.setValue("y", "1999");
            s.setValue("reportKeli", "soffice --calc");
        }
        Keli w;
        QCOMPARE(w.findChild<QComboBox *>("cbmes")->currentText(), QStringLiteral("год"));
        QCOMPARE(w.findChild<QSpinBox *>("spGod")->value(), QDate::currentDate().year()); // 1999 cannot be shown
        Answers answers;
        w.setPrompts(answers.prompts());
        QString command;
        QCOMPARE(withDialogs([&] { click(w, "crtf"); }, [&](FVid &d) { command = d.dataset().spreadsheetCommand; }), 1);
        QCOMPARE(command, QStringLiteral("soffice --calc"));
    }

    // Flashed at start, shown again on request, closing only hides it.
    void aboutDialog()
    {
        Keli w;
        w.show();
        QPointer<CDlgAboutPrg> about = w.aboutDialog();
        QVERIFY(about);
        QVERIFY(!about->isVisible());
        QVERIFY(!about->parent());
        QCOMPARE(about->programLine(), QStringLiteral("Программа КЕЛИ (Версия V2.01.26)"));
        QVERIFY(about->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(about->pos(), QPoint(500, 220));
        QCOMPARE(about->windowTitle(), QStringLiteral("О программе ДИМЕ"));
        QCOMPARE(about->size(), QSize(545, 369));
        auto *line = about->findChild<QLineEdit *>("LineInfo");
        QVERIFY(line->isReadOnly());

        click(w, "aboutpr");
        QVERIFY(about->isVisible());
        about->close();
        QVERIFY(about);
        QVERIFY(!about->isVisible());
        click(w, "aboutpr");
        QVERIFY(about->isVisible());
        QTest::keyClick(about->findChild<QLineEdit *>("LineInfo"), Qt::Key_Escape); // Esc closes it too
        QVERIFY(about);
        QVERIFY(!about->isVisible());
        // An open about window does not keep the program alive after the main window closes.
        QVERIFY(!about->testAttribute(Qt::WA_QuitOnClose));
    }

    // The five report files of the working directory are refused silently; the same name in
    // another directory opens.
    void reservedReportNamesRefused()
    {
        const QStringList reserved = {"Otchet1.xlsx", "result.xlsx", "otchet1Empty.xlsx", "otchet2Empty.xlsx",
                                      "СтоплистОтчет.xlsx"};
        Keli w;
        Answers answers;
        for (const QString &name : reserved) {
            QVERIFY(makeWorkbook(workPath(name), QStringLiteral("ПС")));
            QCOMPARE(open(w, answers, QDir::currentPath() + "/" + name), 0);
            QVERIFY2(!QFile::exists(workPath(QString(name).replace(".xlsx", "_1.xlsx"))), qPrintable(name));
        }
        QVERIFY(answers.informed.isEmpty());

        QVERIFY(QDir().mkpath(workPath("other")));
        QVERIFY(makeWorkbook(workPath("other/result.xlsx"), QStringLiteral("Другая")));
        QString shown;
        QCOMPARE(open(w, answers, workPath("other/result.xlsx"), &shown), 1);
        QCOMPARE(shown, QStringLiteral("Другая"));
        QVERIFY(QFile::exists(workPath("other/result_1.xlsx")));
        QVERIFY(answers.informed.isEmpty());
    }

    // book.xlsx is copied to book_1.xlsx, replacing an older backup of its own; a file of that name
    // that is not one (here a plain file) is kept, the backup takes the next free name and the
    // user is told which. When no copy can be made the user is told and the workbook opens all
    // the same.
    void openingBackup()
    {
        QVERIFY(makeWorkbook(workPath("book.xlsx"), QStringLiteral("Книга")));
        const QByteArray original = contents(workPath("book.xlsx"));
        Keli w;
        Answers answers;
        QCOMPARE(open(w, answers, workPath("book.xlsx")), 1);
        QCOMPARE(open(w, answers, workPath("book.xlsx")), 1); // the second replaces the first
        QVERIFY(keli::isBackupOf(workPath("book_1.xlsx"), workPath("book.xlsx")));
        QCOMPARE(contents(workPath("book_1.xlsx")).left(original.size() - 2), original.left(original.size() - 2));
        QVERIFY(answers.informed.isEmpty());

        QVERIFY(makeWorkbook(workPath("other.xlsx"), QStringLiteral("Другая")));
        {
            QFile old(workPath("other_1.xlsx"));
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("another object");
        }
        QCOMPARE(open(w, answers, workPath("other.xlsx")), 1);
        QCOMPARE(contents(workPath("other_1.xlsx")), QByteArray("another object"));
        QVERIFY(keli::isBackupOf(workPath("other_1 (2).xlsx"), workPath("other.xlsx")));
        QCOMPARE(answers.informed.size(), 1);
        QVERIFY(answers.informed[0].contains(QStringLiteral("other_1 (2).xlsx")));

        // A name so long that no backup name fits beside it.
        const QString longName = QString(249, QLatin1Char('a')) + QStringLiteral(".xlsx");
        QVERIFY(makeWorkbook(workPath(longName), QStringLiteral("Длинная")));
        answers.informed.clear();
        QString shown;
        QCOMPARE(open(w, answers, workPath(longName), &shown), 1);
        QCOMPARE(answers.informed, QStringList{QStringLiteral("Резервная копия исходного файла не создана")});
        QCOMPARE(shown, QStringLiteral("Длинная"));
    }

    // The open dialog starts in the folder of the last workbook opened or saved (the working folder
    // at first); a new object is offered its own name there.
    void dialogsStartInTheLastSourceFolder()
    {
        QVERIFY(QDir().mkpath(workPath("objects")));
        QVERIFY(makeWorkbook(workPath("objects/a.xlsx"), QStringLiteral("А")));
        Keli w;
        Answers answers;
        QCOMPARE(open(w, answers, workPath("objects/a.xlsx")), 1);
        QCOMPARE(open(w, answers, QString()), 0);
        QCOMPARE(answers.openFolders.size(), 2);
        QCOMPARE(QFileInfo(answers.openFolders[0]), QFileInfo(QDir::currentPath()));
        QCOMPARE(QFileInfo(answers.openFolders[1]), QFileInfo(workPath("objects")));

        answers.saveAnswer = true;
        answers.saveName = workPath("saved/ПС 7.xlsx");
        QVERIFY(QDir().mkpath(workPath("saved")));
        w.setPrompts(answers.prompts());
        QCOMPARE(withDialogs([&] { click(w, "crtf"); },
                             [](FVid &d) { d.findChild<QLineEdit *>("leNob")->setText(QStringLiteral("ПС 110/10 Заречная")); }),
                 1);
        QCOMPARE(QFileInfo(answers.proposed), QFileInfo(workPath("objects/ПС 110_10 Заречная.xlsx")));
        QCOMPARE(open(w, answers, QString()), 0);
        QCOMPARE(QFileInfo(answers.openFolders.last()), QFileInfo(workPath("saved")));
    }

    // A second main window opens offset from the first, the first free place taken again; a year
    // past the field's range is named as such.
    void secondWindowOffsetAndYearRange()
    {
        auto first = std::make_unique<Keli>();
        Keli second;
        QCOMPARE(second.geometry().topLeft(), first->geometry().topLeft() + QPoint(30, 30));
        first.reset();
        Keli third;
        QCOMPARE(third.geometry().topLeft(), QPoint(10, 40));

        third.show();
        auto *year = third.findChild<QSpinBox *>("spGod");
        QLineEdit *edit = year->findChild<QLineEdit *>();
        edit->setFocus();
        edit->setText(QStringLiteral("204"));
        edit->setCursorPosition(3);
        QTest::keyClick(edit, Qt::Key_5);
        QCOMPARE(QToolTip::text(), QStringLiteral("Допустимые значения: от 2000 до 2040"));
        QToolTip::hideText();
        QTest::qWait(50);
        QTest::keyClick(edit, Qt::Key_0);
        QCOMPARE(edit->text(), QStringLiteral("2040"));
        QVERIFY(!QToolTip::isVisible());
    }

    void cancelledOpenDoesNothing()
    {
        Keli w;
        Answers answers; // no name: the dialog was cancelled
        w.setPrompts(answers.prompts());
        QCOMPARE(withDialogs([&] { click(w, "opnf"); }, [](FVid &) {}), 0);
        QCOMPARE(answers.questions, 0);
    }

    // Two workbooks one after the other: the releases typed for the first are saved in it and come
    // back with it; the second, holding none, starts with keli.ini's defaults, which saving leaves
    // alone; a new dataset starts with 0 whatever keli.ini holds.
    void releasesStayWithTheirWorkbook()
    {
        QVERIFY(makeWorkbook(workPath("a.xlsx"), QStringLiteral("А")));
        QVERIFY(makeWorkbook(workPath("b.xlsx"), QStringLiteral("Б")));
        QSettings("keli.ini", QSettings::IniFormat).setValue("otp2", "7.00");
        Keli w;
        w.findChild<QComboBox *>("cbmes")->setCurrentIndex(5);
        w.findChild<QSpinBox *>("spGod")->setValue(2024);
        Answers answers;
        answers.openNames << workPath("a.xlsx") << workPath("b.xlsx") << workPath("a.xlsx");
        answers.saveAnswer = true;
        answers.saveName = workPath("a.xlsx");
        w.setPrompts(answers.prompts());
        const double entered[4] = {1.5, 2.25, 0, 12};
        QCOMPARE(withDialogs([&] { click(w, "opnf"); }, [&](FVid &d) {
                     for (int i = 0; i < 4; ++i)
                         d.findChild<QDoubleSpinBox *>(QStringLiteral("Otp%1").arg(i + 1))->setValue(entered[i]);
                 }),
                 1);
        QCOMPARE(QSettings("keli.ini", QSettings::IniFormat).value("otp2").toString(), QStringLiteral("7.00"));

        answers.saveAnswer = false;
        double shown[4] = {-1, -1, -1, -1};
        const auto showReleases = [&](FVid &d) {
            for (int i = 0; i < 4; ++i)
                shown[i] = d.findChild<QDoubleSpinBox *>(QStringLiteral("Otp%1").arg(i + 1))->value();
        };
        QCOMPARE(withDialogs([&] { click(w, "opnf"); }, showReleases), 1);
        QCOMPARE(shown[1], 7.0);
        QCOMPARE(shown[0], 0.0);
        QCOMPARE(withDialogs([&] { click(w, "opnf"); }, showReleases), 1);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(shown[i], entered[i]);

        QString object;
        int month = 0;
        QCOMPARE(withDialogs([&] { click(w, "crtf"); }, [&](FVid &d) {
                     for (int i = 0; i < 4; ++i)
                         shown[i] = d.findChild<QDoubleSpinBox *>(QStringLiteral("Otp%1").arg(i + 1))->value();
                     object = d.findChild<QLineEdit *>("leNob")->text();
                     month = d.dataset().calcMonth;
                 }),
                 1);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(shown[i], 0.0);
        QCOMPARE(object, QStringLiteral("Новый"));
        QCOMPARE(month, 6);
        QCOMPARE(answers.questions, 4);
    }
};

QTEST_MAIN(TestKeli)
#include "tst_gui_keli.moc"
