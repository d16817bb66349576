// The press of "РАСЧЕТ" in the dataset dialog: which message boxes, report pages and workbooks each
// outcome brings, in which order, the spreadsheet program started for the stop list, failures
// reported, and the same page files as keli-calc writes.
#include "fvid.h"
#include "htmlview.h"

#include "core/calculation.h"
#include "support/testutil.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

const QString kExample = QStringLiteral("ТП_10_0,4_№127_март_2024.xlsx");
const QString kPage1 = QStringLiteral("Параметры системы учета электроэнергии");
const QString kPage2 = QStringLiteral("Баланс электроэнергии по приборам учета");
const QString kErrors = QStringLiteral("Ошибки и предупреждения программы");

// Closes every report viewer as soon as it is shown, noting its title and whether it showed a page.
struct ViewerWatch
{
    QStringList titles;
    QTimer timer;

    ViewerWatch()
    {
        QObject::connect(&timer, &QTimer::timeout, [this]() {
            auto *view = qobject_cast<HtmlView *>(QApplication::activeModalWidget());
            if (!view)
                return;
            const bool shown = !view->findChild<QTextEdit *>(QStringLiteral("textEdit"))->toPlainText().isEmpty();
            titles << view->windowTitle() + (shown ? QString() : QStringLiteral(" (blank)"));
            view->reject();
        });
        timer.start(20);
    }
};

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestRaschet : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void calculatedShowsReportsThenWorkbooks();
    void warningsShowTheErrorPageWhenAsked();
    void blockedShowsMessageErrorPageAndStartsSpreadsheet();
    void spreadsheetFallsBackToDesktopThenToMessage();
    void fillFactorZeroShowsOnlyItsMessage();
    void failuresAreReportedAndLaterReportsFollow();
    void samePageFilesAsKeliCalc();
    void screenshots();

private:
    // A dialog on the example object, loaded from a copy in the working directory.
    std::unique_ptr<FVid> openExample(const QString &command = QStringLiteral("EXCEL"));
    void press(FVid &dialog);

    std::unique_ptr<QTemporaryDir> work;
    QString previousDir;
    QStringList informed;
};

void TestRaschet::init()
{
    work.reset(new QTemporaryDir);
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work->path()));
    for (const QString &name : {QStringLiteral("otchet1Empty.xlsx"), QStringLiteral("otchet2Empty.xlsx"),
                                QStringLiteral("СтоплистОтчет.xlsx")})
        QVERIFY(QFile::copy(testutil::binaryPath(QStringLiteral("templates/") + name), work->filePath(name)));
    QVERIFY(QFile::copy(testutil::sourcePath(QStringLiteral("examples/") + kExample), work->filePath(kExample)));
    informed.clear();
}

void TestRaschet::cleanup()
{
    QDir::setCurrent(previousDir);
    work.reset();
}

std::unique_ptr<FVid> TestRaschet::openExample(const QString &command)
{
    auto dialog = std::make_unique<FVid>(3, 2024, command, work->filePath(kExample));
    keli::Prompts prompts;
    prompts.askYesNo = [](const QString &, const QString &) { return false; };
    prompts.inform = [this](const QString &title, const QString &text) { informed << title + QLatin1Char('|') + text; };
    prompts.openFileName = prompts.anyFileName = [](QWidget *, const QString &, const QString &, const QString &) {
        return QString();
    };
    dialog->setPrompts(prompts);
    dialog->readXLSwriteDB();
    return dialog;
}

void TestRaschet::press(FVid &dialog)
{
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("raschet")), Qt::LeftButton);
}

void TestRaschet::calculatedShowsReportsThenWorkbooks()
{
    auto dialog = openExample();
    QVERIFY(dialog->dataset().rowCount() > 0);
    QFile stale(work->filePath(kErrors + QStringLiteral(".html")));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    dialog->findChild<QCheckBox *>(QStringLiteral("checksl"))->setChecked(false);
    ViewerWatch watch;
    press(*dialog);
    QCOMPARE(dialog->lastOutcome()->outcome, keli::Outcome::Calculated);
    QCOMPARE(watch.titles, QStringList({kPage1, kPage2}));
    QVERIFY2(informed.isEmpty(), qPrintable(informed.join(QLatin1Char('\n'))));
    QVERIFY(QFile::exists(work->filePath(QStringLiteral("Otchet1.xlsx"))));
    QVERIFY(QFile::exists(work->filePath(QStringLiteral("result.xlsx"))));
    QVERIFY(!stale.exists()); // the error page of an earlier calculation is removed

    // Only Report No. 2 selected, and calculating again gives the same page.
    const QByteArray first = fileBytes(work->filePath(kPage2 + QStringLiteral(".html")));
    QVERIFY(QFile::remove(work->filePath(QStringLiteral("Otchet1.xlsx"))));
    dialog->findChild<QCheckBox *>(QStringLiteral("check1"))->setChecked(false);
    watch.titles.clear();
    press(*dialog);
    QCOMPARE(watch.titles, QStringList({kPage2}));
    QVERIFY(!QFile::exists(work->filePath(QStringLiteral("Otchet1.xlsx"))));
    QCOMPARE(fileBytes(work->filePath(kPage2 + QStringLiteral(".html"))), first);

    // Neither report: the results are there and nothing is shown.
    dialog->findChild<QCheckBox *>(QStringLiteral("check2"))->setChecked(false);
    watch.titles.clear();
    press(*dialog);
    QVERIFY(watch.titles.isEmpty());
    QVERIFY(dialog->lastOutcome()->results.intakeEnergy > 0);
}

void TestRaschet::warningsShowTheErrorPageWhenAsked()
{
    auto dialog = openExample();
    dialog->dataset().reportVoltage[0] = 0.45; // not on the scale: a warning
    dialog->findChild<QCheckBox *>(QStringLiteral("checksl"))->setChecked(true);
    ViewerWatch watch;
    press(*dialog);
    QCOMPARE(dialog->lastOutcome()->outcome, keli::Outcome::Calculated);
    QVERIFY(dialog->lastOutcome()->warningCount > 0);
    QCOMPARE(watch.titles, QStringList({kPage1, kPage2, kErrors}));
    QVERIFY(fileBytes(work->filePath(kErrors + QStringLiteral(".html"))).contains("0.45"));

    dialog->findChild<QCheckBox *>(QStringLiteral("checksl"))->setChecked(false);
    watch.titles.clear();
    press(*dialog);
    QCOMPARE(watch.titles, QStringList({kPage1, kPage2}));
    QVERIFY(!QFile::exists(work->filePath(kErrors + QStringLiteral(".html"))));
}

void TestRaschet::blockedShowsMessageErrorPageAndStartsSpreadsheet()
{
    // The command is split into program and arguments; the workbook comes last ($0 of the script).
    auto dialog = openExample(QStringLiteral("/bin/sh -c \"echo $0 > started.txt\""));
    ViewerWatch watch;
    press(*dialog); // a clean run first: its reports must not stay beside the blocked run's
    QCOMPARE(dialog->lastOutcome()->outcome, keli::Outcome::Calculated);
    QVERIFY(QFile::exists(work->filePath(QStringLiteral("result.xlsx"))));
    watch.titles.clear();
    dialog->dataset().fillFactor[0] = 0.05; // outside 0.1..1.0: an error
    press(*dialog);
    QCOMPARE(dialog->lastOutcome()->outcome, keli::Outcome::Blocked);
    for (const QString &name : {QStringLiteral("result.xlsx"), kPage1 + QStringLiteral(".html"), kPage2 + QStringLiteral(".html")})
        QVERIFY2(!QFile::exists(work->filePath(name)), qPrintable(name));
    QCOMPARE(informed, QStringList({QStringLiteral(" |В исходных данных есть критические ошибки - расчет невозможен. Смотри стоплист.")}));
    QCOMPARE(watch.titles, QStringList({kErrors}));
    QVERIFY(!QFile::exists(work->filePath(QStringLiteral("Otchet1.xlsx"))));
    QVERIFY(fileBytes(work->filePath(QStringLiteral("СтоплистОтчет.xlsx"))) != fileBytes(testutil::binaryPath(QStringLiteral("templates/СтоплистОтчет.xlsx"))));
    QTRY_VERIFY_WITH_TIMEOUT(fileBytes(work->filePath(QStringLiteral("started.txt"))).startsWith("СтоплистОтчет.xlsx"), 10000);
}

void TestRaschet::spreadsheetFallsBackToDesktopThenToMessage()
{
    // "EXCEL" is not there, nor is a desktop opener: the message names the workbook and the key.
    QTemporaryDir bin;
    const QByteArray path = qgetenv("PATH");
    struct Restore { QByteArray path; ~Restore() { qputenv("PATH", path); } } restore{path};
    qputenv("PATH", QFile::encodeName(bin.path()));
    auto dialog = openExample();
    dialog->dataset().fillFactor[0] = 0.05; // an error: the stop-list workbook is to be opened
    ViewerWatch watch;
    press(*dialog);
    const QString book = work->filePath(QStringLiteral("СтоплистОтчет.xlsx"));
    QCOMPARE(informed.size(), 2);
    QVERIFY2(informed[1].contains(QDir::toNativeSeparators(book)) && informed[1].contains(QStringLiteral("reportKeli")),
             qPrintable(informed[1]));

    // A desktop opener (a fake that records its argument) opens the workbook; nothing more is said.
    QFile opener(bin.filePath(QStringLiteral("xdg-open")));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\necho \"$1\" > \"" + QFile::encodeName(work->filePath(QStringLiteral("opened.txt"))) + "\"\n");
    opener.close();
    QVERIFY(opener.setPermissions(opener.permissions() | QFileDevice::ExeOwner));
    informed.clear();
    press(*dialog);
    QCOMPARE(informed, QStringList({QStringLiteral(" |В исходных данных есть критические ошибки - расчет невозможен. Смотри стоплист.")}));
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(fileBytes(work->filePath(QStringLiteral("opened.txt")))).trimmed(), book, 10000);

    // An opener that starts but cannot open the workbook ends with an error status: the user is
    // told which program failed and how, the spreadsheet command as well as xdg-open.
    QVERIFY(opener.open(QIODevice::WriteOnly | QIODevice::Truncate));
    opener.write("#!/bin/sh\nexit 4\n");
    opener.close();
    for (const QString &command : {QStringLiteral("EXCEL"), QStringLiteral("/bin/sh -c \"exit 3\"")}) {
        dialog->dataset().spreadsheetCommand = command;
        informed.clear();
        press(*dialog);
        QTRY_COMPARE_WITH_TIMEOUT(informed.size(), 2, 10000);
        const QString failed = command == QLatin1String("EXCEL")
                                   ? QStringLiteral("программа \"xdg-open\" завершилась с ошибкой (код 4)")
                                   : QStringLiteral("программа \"/bin/sh\" завершилась с ошибкой (код 3)");
        QVERIFY2(informed[1].contains(failed) && informed[1].contains(QDir::toNativeSeparators(book)),
                 qPrintable(informed[1]));
    }
}

void TestRaschet::fillFactorZeroShowsOnlyItsMessage()
{
    auto dialog = openExample();
    dialog->dataset().fillFactor[1] = 0;
    ViewerWatch watch;
    press(*dialog);
    QCOMPARE(dialog->lastOutcome()->outcome, keli::Outcome::FillFactorZero);
    QCOMPARE(informed, QStringList({QStringLiteral(" |КЗ равно  0 в строке 3 группы 1 - 2")}));
    QVERIFY(watch.titles.isEmpty());
    QVERIFY(!QFile::exists(work->filePath(kErrors + QStringLiteral(".html"))));
    QVERIFY(!QFile::exists(work->filePath(QStringLiteral("Otchet1.xlsx"))));
}

void TestRaschet::failuresAreReportedAndLaterReportsFollow()
{
    auto dialog = openExample();
    dialog->findChild<QCheckBox *>(QStringLiteral("checksl"))->setChecked(false);
    QVERIFY(QDir::current().mkdir(kPage1 + QStringLiteral(".html"))); // the page cannot be written
    QVERIFY(QDir::current().mkdir(QStringLiteral("Otchet1.xlsx")));   // nor the workbook
    QVERIFY(QFile::remove(work->filePath(QStringLiteral("otchet2Empty.xlsx"))));
    ViewerWatch watch;
    press(*dialog);
    QCOMPARE(watch.titles, QStringList({kPage1, kPage2})); // the unwritten page is shown from memory
    QCOMPARE(informed.size(), 3);
    QVERIFY(informed[0].startsWith(QStringLiteral(" |")) && informed[0].contains(kPage1 + QStringLiteral(".html")));
    QVERIFY(informed[0].contains(QStringLiteral("в папке \"%1\"").arg(QDir::toNativeSeparators(work->path()))));
    QVERIFY(informed[1].contains(QStringLiteral("Otchet1.xlsx")));
    QCOMPARE(informed[2], QStringLiteral(" |Ошибка копирования отчета2"));
    QVERIFY(!QFile::exists(work->filePath(QStringLiteral("result.xlsx"))));
}

void TestRaschet::samePageFilesAsKeliCalc()
{
    const QString calc = qEnvironmentVariable("KELI_CALC");
    if (calc.isEmpty() || !QFile::exists(calc))
        QSKIP("keli-calc is not built");
    auto dialog = openExample();
    dialog->findChild<QCheckBox *>(QStringLiteral("checksl"))->setChecked(false);
    ViewerWatch watch;
    press(*dialog);
    QCOMPARE(watch.titles.size(), 2);

    QTemporaryDir other;
    for (const QString &name : {QStringLiteral("otchet1Empty.xlsx"), QStringLiteral("otchet2Empty.xlsx")})
        QVERIFY(QFile::copy(work->filePath(name), other.filePath(name)));
    QProcess p;
    p.start(calc, {QStringLiteral("--month"), QStringLiteral("3"), QStringLiteral("--year"), QStringLiteral("2024"),
                   QStringLiteral("--workdir"), other.path(), work->filePath(kExample)});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    for (const QString &page : {kPage1, kPage2}) {
        const QByteArray gui = fileBytes(work->filePath(page + QStringLiteral(".html")));
        QVERIFY(gui.size() > 1000);
        QCOMPARE(fileBytes(other.filePath(page + QStringLiteral(".html"))), gui);
    }
}

// Not a check: with KELI_SHOTS set to a folder (and a display), saves a picture of the screen for
// every viewer of a calculation with a warning. docs/make_report_screenshots.sh runs it under Xvfb.
void TestRaschet::screenshots()
{
    const QString folder = qEnvironmentVariable("KELI_SHOTS");
    if (folder.isEmpty())
        QSKIP("KELI_SHOTS is not set");
    auto dialog = openExample();
    dialog->findChild<QCheckBox *>(QStringLiteral("checksl"))->setChecked(true);
    const QStringList names{QStringLiteral("report1.png"), QStringLiteral("report2.png"), QStringLiteral("errors.png")};
    int shown = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&]() {
        auto *view = qobject_cast<HtmlView *>(QApplication::activeModalWidget());
        if (!view || shown >= names.size())
            return;
        timer.stop();
        QTest::qWait(700); // let the window manager-less screen settle
        QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                    QDir(folder).filePath(names[shown++])});
        view->reject();
        timer.start(50);
    });
    timer.start(50);
    press(*dialog);
    QCOMPARE(shown, 3);
}

QTEST_MAIN(TestRaschet)
#include "tst_gui_raschet.moc"
