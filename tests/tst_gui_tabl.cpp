// The table editor driven through its real widgets, opened from the dataset dialog's buttons:
// what the grid shows, the row operations, the commit on every way of closing, the conversions and
// sorting.
#include "fvid.h"
#include "cuttexttooltip.h"
#include "focusedbuttonenter.h"
#include "tabl.h"

#include "core/calculation.h"
#include "core/sourceworkbook.h"
#include "support/testutil.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>
#include <QtTest>

#include <functional>

using keli::Dataset;

namespace {

struct Row
{
    const char *name, *kind;
    double count;
    const char *type;
    double energy, fill, tan;
    int off;
    double ct, vt, meter, date, ctU;
    int ctI;
    double dU, repU;
};

// A small substation: three intake rows, two external releases, three own needs. Row 5 holds a
// kind outside the four codes and a lower-case meter type, which the combo boxes cannot show.
// Without external releases, table 2 is empty.
Dataset exampleDataset(bool withExternal = true)
{
    const Row rows[] = {
        {"Ввод 110 кВ Т-1", "Р", 1, "Э", 1520.25, 0.72, 0.45, 0, 0.5, 0.5, 0.5, 3.22, 110, 300, 0.25, 110},
        {"Ввод 110 кВ Т-2", "Р", 1, "Э", 1310.5, 0.68, 0.5, 2, 0.5, 0.5, 0.5, 11.21, 110, 300, 0.25, 110},
        {"ПС Южная, ф. 10", "Т", 2, " Э ", 12, 0.65, 0.4, 0, 0.5, 0.5, 1, 3.04, 10, 200, 0.25, 10},
        {"ф.12 Горводоканал", "Р", 1, "И", 240.125, 0.55, 0.62, 0, 0.5, 0.5, 2, 5.19, 10, 150, 0.25, 10},
        {"ф.14 ТСЖ Рассвет", "Х", 3, "э", 88.5, 0.6, 0.5, 1, 0.5, 0, 1, 7.2, 0.4, 100, 0, 0.4},
        {"СН ТСН-1", "СН", 1, "Э", 15.3, 0.8, 0.3, 0, 0.5, 0, 1, 1.23, 0.4, 600, 0, 0.4},
        {"ПХН здание ОПУ", "ПХН", 1, "Э", 4.75, 0.5, 0.3, 0, 0.5, 0, 1, 12.2, 0.4, 100, 0, 0.4},
        {"СН ТСН-2", "СН", 1, "И", 6.1, 0.75, 0.35, 3, 0.5, 0, 2, 6.98, 0.4, 600, 0, 0.4},
    };
    const int tables[] = {1, 1, 1, 2, 2, 3, 3, 3};
    Dataset ds;
    ds.objectName = QStringLiteral("ПС 110/10 кВ Южная");
    ds.fileMonth = 11;
    ds.fileYear = 2023;
    ds.intakeCount = 3;
    ds.externalCount = withExternal ? 2 : 0;
    ds.ownCount = 3;
    ds.meteringKind[0] = keli::MeteringKind::Settlement;
    for (int k = 0; k < 8; ++k) {
        if (tables[k] == 2 && !withExternal)
            continue;
        const Row &r = rows[k];
        const int i = ds.appendRow(tables[k]);
        ds.name[i] = QString::fromUtf8(r.name);
        ds.pointKind[i] = QString::fromUtf8(r.kind);
        ds.meterType[i] = QString::fromUtf8(r.type);
        ds.meterCount[i] = r.count;
        ds.energy[i] = r.energy;
        ds.fillFactor[i] = r.fill;
        ds.tanPhi[i] = r.tan;
        ds.offDays[i] = r.off;
        ds.ctClass[i] = r.ct;
        ds.vtClass[i] = r.vt;
        ds.meterClass[i] = r.meter;
        ds.verificationDate[i] = r.date;
        ds.ctVoltage[i] = r.ctU;
        ds.ctRatedCurrent[i] = r.ctI;
        ds.vtVoltageLoss[i] = r.dU;
        ds.reportVoltage[i] = r.repU;
        ds.pointDays[i] = 30;
        ds.spare[i] = 100 + k;
    }
    return ds;
}

// One stored row of table t at position k, every value at full precision: compares blocks exactly.
QStringList storedRow(const Dataset &ds, int i)
{
    QStringList row = {ds.name[i], ds.pointKind[i], ds.meterType[i]};
    for (const QVector<double> *c : {&ds.ctClass, &ds.vtClass, &ds.energy, &ds.tanPhi, &ds.fillFactor,
                                     &ds.vtVoltageLoss, &ds.verificationDate, &ds.meterCount,
                                     &ds.meterClass, &ds.ctVoltage, &ds.reportVoltage})
        row << QString::number((*c)[i], 'g', 17);
    row << QString::number(ds.ctRatedCurrent[i]) << QString::number(ds.offDays[i])
        << QString::number(ds.tableNo[i]);
    return row;
}

QVector<QStringList> storedBlock(const Dataset &ds, int table)
{
    QVector<QStringList> block;
    for (int i = 0; i < ds.rowCount(); ++i)
        if (ds.tableNo[i] == table)
            block << storedRow(ds, i);
    return block;
}

QTableWidget *gridOf(QWidget *editor) { return editor->findChild<QTableWidget *>(QStringLiteral("view")); }

QComboBox *comboAt(QTableWidget *view, int row, int column)
{
    return qobject_cast<QComboBox *>(view->cellWidget(row, column));
}

// What the grid shows in a row: item texts, and the combo boxes' current texts in columns 1 and 3.
QStringList shownRow(QTableWidget *view, int row)
{
    QStringList cells;
    for (int c = 0; c < view->columnCount(); ++c) {
        if (c == 1 || c == 3) {
            QComboBox *combo = comboAt(view, row, c);
            cells << (combo ? combo->currentText() : QStringLiteral("<no combo>"));
        } else {
            cells << (view->item(row, c) ? view->item(row, c)->text() : QStringLiteral("<no item>"));
        }
    }
    return cells;
}

QVector<QStringList> shownRows(QTableWidget *view)
{
    QVector<QStringList> rows;
    for (int r = 0; r < view->rowCount(); ++r)
        rows << shownRow(view, r);
    return rows;
}

QPoint cellCenter(QTableWidget *view, int row, int column)
{
    view->scrollTo(view->model()->index(row, column));
    return view->visualRect(view->model()->index(row, column)).center();
}

void clickCell(QTableWidget *view, int row, int column)
{
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cellCenter(view, row, column));
}

// Types text as key presses; characters without a key of their own (Cyrillic) go as key text.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar ch : text) {
        if (ch.unicode() < 128)
            QTest::keyClick(widget, char(ch.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

// Double-clicks the cell and types text into the editor that opens, without finishing the edit.
// Returns the editor, or null when none opened.
QLineEdit *startTypingIntoCell(QTableWidget *view, int row, int column, const QString &text)
{
    const QPoint at = cellCenter(view, row, column);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QLineEdit *edit = nullptr; // the open editor; closed ones may linger until deleted
    for (QLineEdit *candidate : view->viewport()->findChildren<QLineEdit *>())
        if (candidate->isVisible())
            edit = candidate;
    if (!edit)
        return nullptr;
    edit->selectAll();
    typeText(edit, text);
    return edit->text() == text ? edit : nullptr;
}

// The same, then Return to finish.
bool typeIntoCell(QTableWidget *view, int row, int column, const QString &text)
{
    QLineEdit *edit = startTypingIntoCell(view, row, column, text);
    if (!edit)
        return false;
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents(); // the delegate commits on Return through a queued call
    return view->item(row, column) && view->item(row, column)->text() == text;
}

void clickButton(QWidget *editor, const char *name)
{
    auto *button = editor->findChild<QPushButton *>(QString::fromLatin1(name));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

void clickHeader(QTableWidget *view, int column)
{
    QHeaderView *header = view->horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

enum class CloseWay { Accept, Escape, CloseButton };

void closeEditor(QDialog *editor, CloseWay way)
{
    switch (way) {
    case CloseWay::Accept: editor->accept(); break;
    case CloseWay::Escape: QTest::keyClick(gridOf(editor), Qt::Key_Escape); break; // the grid has focus
    case CloseWay::CloseButton: editor->close(); break;                        // the window's close event
    }
}

const char *const kButtons[] = {"pbPost", "pbOtp", "pbOtps"};
const char *const kCountFields[] = {"lePost", "leOtp", "leOtps"};

// The dataset dialog holding a dataset, as it stands after a workbook was loaded into it.
struct Dialog
{
    FVid fvid{11, 2023, QStringLiteral("EXCEL")};
    bool deleteAnswer = true;  // to "Удалить строку N «name»?"
    QStringList asked;
    QStringList informed;
    explicit Dialog(const Dataset &ds)
    {
        keli::Prompts prompts = keli::Prompts::standard();
        prompts.askYesNo = [this](const QString &, const QString &text) {
            asked << text;
            return deleteAnswer;
        };
        prompts.inform = [this](const QString &, const QString &text) { informed << text; };
        fvid.setPrompts(prompts);
        const int calcMonth = fvid.dataset().calcMonth, calcYear = fvid.dataset().calcYear;
        fvid.dataset() = ds;
        fvid.dataset().calcMonth = calcMonth;
        fvid.dataset().calcYear = calcYear;
        fvid.syncFromDataset();
        fvid.show();
    }
    const Dataset &ds() const { return fvid.dataset(); }
    QString countField(int table) const
    {
        auto *field = fvid.findChild<QLineEdit *>(QString::fromLatin1(kCountFields[table - 1]));
        return field ? field->text() : QStringLiteral("<no field>");
    }
    // Presses the table's button; action runs on the modal editor and should close it. Returns
    // whether the editor was there and the action's checks passed.
    bool edit(int table, const std::function<void(Tabl *, QTableWidget *)> &action)
    {
        bool ran = false;
        QTimer::singleShot(0, &fvid, [&] {
            auto *editor = qobject_cast<Tabl *>(QApplication::activeModalWidget());
            if (!editor)
                return;
            ran = true;
            action(editor, gridOf(editor));
            if (editor->isVisible()) // a failed check must not leave the loop running
                editor->reject();
        });
        QTest::mouseClick(fvid.findChild<QPushButton *>(QString::fromLatin1(kButtons[table - 1])),
                          Qt::LeftButton);
        return ran && !QTest::currentTestFailed();
    }
};

// Checks that the other two tables kept their rows and order, and the counts fit the rows.
void checkOthersKept(const Dataset &before, const Dataset &after, int edited)
{
    for (int t = 1; t <= 3; ++t)
        if (t != edited)
            QCOMPARE(storedBlock(after, t), storedBlock(before, t));
    QCOMPARE(after.intakeCount, int(after.tableNo.count(1)));
    QCOMPARE(after.externalCount, int(after.tableNo.count(2)));
    QCOMPARE(after.ownCount, int(after.tableNo.count(3)));
    // Grouped layout: table 1 first, one block each.
    for (int i = 1; i < after.tableNo.size(); ++i)
        QVERIFY(after.tableNo[i - 1] <= after.tableNo[i]);
    // pointDays and spare are carried as they were.
    QCOMPARE(after.pointDays, before.pointDays);
    QCOMPARE(after.spare, before.spare);
}

} // namespace

class TestTabl : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(workDir.isValid());
        QDir::setCurrent(workDir.path()); // keli.ini of the dialog goes here
    }

    // Form, texts, formats and the combo boxes, on each table.
    void opensEachTable_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<QString>("caption");
        QTest::newRow("intake") << 1 << QStringLiteral("Поступление электроэнергии");
        QTest::newRow("external") << 2 << QStringLiteral("Отпуск  электроэнергии внешним потребителям");
        QTest::newRow("own") << 3 << QStringLiteral("Отпуск  электроэнергии собственным потребителям");
    }
    void opensEachTable()
    {
        QFETCH(int, table);
        QFETCH(QString, caption);
        Dialog dialog(exampleDataset());
        const Dataset before = dialog.ds();
        QVector<QStringList> shown;
        QVERIFY(dialog.edit(table, [&](Tabl *editor, QTableWidget *view) {
            QCOMPARE(editor->windowTitle(), QStringLiteral("Программа КЕЛИ "));
            // 1291 × 626, or the available area of a smaller screen; grid and buttons stay inside.
            const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
            QCOMPARE(editor->size(), area.width() >= 1291 && area.height() >= 626 ? QSize(1291, 626) : area.size());
            for (QWidget *w : editor->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
                QVERIFY2(editor->rect().contains(w->geometry()), qPrintable(w->objectName()));
            QCOMPARE(editor->windowModality(), Qt::ApplicationModal);
            QCOMPARE(editor->findChild<QLabel *>(QStringLiteral("lbZag"))->text(), caption);
            QCOMPARE(editor->findChild<QLabel *>(QStringLiteral("lbRp"))->text(),
                     QStringLiteral("Расчетный период: 11/2023"));
            QStringList headers;
            for (int c = 0; c < view->columnCount(); ++c)
                headers << view->horizontalHeaderItem(c)->text();
            QCOMPARE(headers, QStringList({"Наименование ТУ", "Вид ", "Кол.\nсчетчиков", "Тип",
                                           "W,\nтыс.кВт.ч", "КЗ", "tg фи", "Откл.\nдн.", "Кл.ТТ",
                                           "Кл.ТН", "Кл.Сч.", "Дата\nповерки", "Uтт", "Iном.ТТ",
                                           "dUтн ", "Uотч"}));
            // Never narrower than given (28 for "Откл.", where the minimum section size 50 wins).
            QVERIFY(view->columnWidth(0) >= 150 && view->columnWidth(2) >= 100);
            QVERIFY(view->columnWidth(7) >= 50 && view->columnWidth(4) >= 70);
            QVERIFY(view->isSortingEnabled());
            QCOMPARE(view->rowCount(), before.tableCount(table));
            for (int r = 0; r < view->rowCount(); ++r) {
                for (int c : {1, 3}) {
                    QComboBox *combo = comboAt(view, r, c);
                    QVERIFY(combo);
                    QVERIFY(!combo->isEditable());
                    QVERIFY(editor->isAncestorOf(combo));
                    QCOMPARE(combo->styleSheet(), QStringLiteral("QWidget {background-color:white; border:0px;}"));
                    QStringList items;
                    for (int k = 0; k < combo->count(); ++k)
                        items << combo->itemText(k);
                    QCOMPARE(items, c == 1 ? QStringList({"Р", "Т", "СН", "ПХН"}) : QStringList({"И", "Э"}));
                }
            }
            shown = shownRows(view);
            editor->accept();
        }));

        // Rows in index order, in the forms of the columns.
        if (table == 1) {
            QCOMPARE(shown[2], QStringList({"ПС Южная, ф. 10", "Т", "2", "Э", "12.000", "0.65", "0.4", "0",
                                            "0.5", "0.5", "1", "3.04", "10", "200", "0.25", "10"}));
            QCOMPARE(shown[0][0], QStringLiteral("Ввод 110 кВ Т-1"));
        } else if (table == 2) {
            QCOMPARE(shown[1], QStringList({"ф.14 ТСЖ Рассвет", "", "3", "", "88.500", "0.6", "0.5", "1",
                                            "0.5", "0", "1", "7.20", "0.4", "100", "0", "0.4"}));
        } else {
            QCOMPARE(shown[2][0], QStringLiteral("СН ТСН-2"));
            QCOMPARE(shown[2][11], QStringLiteral("6.98"));
        }

        // Closing unchanged stores what was shown: equal values, except the codes no box could show.
        Dataset expected = before;
        expected.meterType[2] = QStringLiteral("Э"); // " Э " selected "Э"
        if (table == 2) {
            expected.pointKind[4].clear();
            expected.meterType[4].clear();
        }
        QCOMPARE(storedBlock(dialog.ds(), table), storedBlock(expected, table));
        checkOthersKept(before, dialog.ds(), table);
        QCOMPARE(dialog.countField(table), QString::number(before.tableCount(table)));
    }

    // Constructed and filled but not yet shown, as the dialog does before exec(): the grid is
    // complete, combo boxes included, and the counts are those received.
    void filledBeforeShowing()
    {
        Dataset ds = exampleDataset();
        Tabl editor(ds.fileMonth, ds.fileYear, 30, 1, true, ds.intakeCount, ds.externalCount,
                    ds.ownCount, QStringLiteral("Поступление электроэнергии"), ds.name, ds.pointKind,
                    ds.meterType, ds.ctClass, ds.vtClass, ds.energy, ds.tanPhi, ds.fillFactor,
                    ds.vtVoltageLoss, ds.verificationDate, ds.meterCount, ds.meterClass, ds.ctVoltage,
                    ds.reportVoltage, ds.ctRatedCurrent, ds.pointDays, ds.offDays, ds.tableNo, ds.spare);
        editor.panTab();
        QTableWidget *view = gridOf(&editor);
        QCOMPARE(shownRow(view, 1), QStringList({"Ввод 110 кВ Т-2", "Р", "1", "Э", "1310.500", "0.68", "0.5",
                                                 "2", "0.5", "0.5", "0.5", "11.21", "110", "300", "0.25", "110"}));
        QCOMPARE(comboAt(view, 2, 3)->currentText(), QStringLiteral("Э"));
        QCOMPARE(editor.GetnPost(), 3);
        QCOMPARE(editor.GetnOtp(), 2);
        QCOMPARE(editor.GetnOtps(), 3);
        QCOMPARE(editor.name(), ds.name); // nothing is committed before closing
    }

    // The example workbooks: each table opens with its rows and closes leaving the dataset as shown.
    void opensExampleWorkbooks()
    {
        const QStringList books = QDir(testutil::sourcePath(QStringLiteral("examples")))
                                      .entryList({QStringLiteral("*.xlsx")}, QDir::Files);
        QVERIFY(!books.isEmpty());
        for (const QString &book : books) {
            Dataset loaded;
            loaded.workbookPath = testutil::sourcePath(QStringLiteral("examples/") + book);
            QVERIFY2(keli::readXLSwriteDB(loaded).ok, qPrintable(book));
            QVERIFY(loaded.rowCount() > 0);
            Dialog dialog(loaded);
            for (int table = 1; table <= 3; ++table) {
                const Dataset before = dialog.ds();
                QVector<QStringList> shown, reshown;
                QVERIFY(dialog.edit(table, [&](Tabl *editor, QTableWidget *view) {
                    shown = shownRows(view);
                    // Maximised on a 1366 x 768 screen, every name and energy shows whole.
                    editor->setGeometry(0, 0, 1366, 768);
                    for (int r = 0; r < view->rowCount(); ++r)
                        for (int c : {0, 4})
                            QVERIFY2(!keli::cellTextIsCut(view, view->model()->index(r, c)),
                                     qPrintable(book + ": " + view->item(r, c)->text()));
                    // Widening one column leaves the others as they are.
                    QVector<int> widths;
                    for (int c = 0; c < view->columnCount(); ++c)
                        widths << view->columnWidth(c);
                    view->horizontalHeader()->resizeSection(0, widths[0] + 200);
                    for (int c = 1; c < view->columnCount(); ++c)
                        QCOMPARE(view->columnWidth(c), widths[c]);
                    editor->accept();
                }));
                QCOMPARE(shown.size(), before.tableCount(table));
                checkOthersKept(before, dialog.ds(), table);
                // Opening again shows the same grid: the dataset holds what was shown.
                QVERIFY(dialog.edit(table, [&](Tabl *editor, QTableWidget *view) {
                    reshown = shownRows(view);
                    editor->accept();
                }));
                QCOMPARE(reshown, shown);
            }
        }
    }

    // Edits through the widgets, then each way of closing: the dataset takes what the grid showed.
    void everyCloseCommits_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<int>("way");
        for (int t = 1; t <= 3; ++t) {
            QTest::addRow("table %d accept", t) << t << int(CloseWay::Accept);
            QTest::addRow("table %d Esc", t) << t << int(CloseWay::Escape);
            QTest::addRow("table %d close button", t) << t << int(CloseWay::CloseButton);
        }
    }
    void everyCloseCommits()
    {
        QFETCH(int, table);
        QFETCH(int, way);
        Dialog dialog(exampleDataset());
        const Dataset before = dialog.ds();
        QVector<QStringList> shown;
        QVERIFY(dialog.edit(table, [&](Tabl *editor, QTableWidget *view) {
            QVERIFY(typeIntoCell(view, 0, 0, QStringLiteral("Фидер 7 (новый)")));
            QVERIFY(typeIntoCell(view, view->rowCount() - 1, 4, QStringLiteral("77.125")));
            comboAt(view, 0, 3)->setFocus();
            QTest::keyClick(comboAt(view, 0, 3), Qt::Key_Up); // "Э" -> "И"
            clickCell(view, 0, 2);
            clickButton(editor, "pbIns"); // after row 0
            shown = shownRows(view);
            view->setFocus();
            closeEditor(editor, CloseWay(way));
            QVERIFY(!editor->isVisible());
        }));
        QCOMPARE(shown.size(), before.tableCount(table) + 1);
        QCOMPARE(shown[0][0], QStringLiteral("Фидер 7 (новый)"));
        QCOMPARE(shown[0][3], QStringLiteral("И"));
        QCOMPARE(shown[1][0], QStringLiteral("Новая ТУ_2"));

        const Dataset &after = dialog.ds();
        const int s = after.tableStart(table);
        QCOMPARE(after.tableCount(table), shown.size());
        QCOMPARE(dialog.countField(table), QString::number(shown.size()));
        QCOMPARE(after.name[s], QStringLiteral("Фидер 7 (новый)"));
        QCOMPARE(after.meterType[s], QStringLiteral("И"));
        QCOMPARE(after.name[s + 1], QStringLiteral("Новая ТУ_2"));
        QCOMPARE(after.energy[s + shown.size() - 1], 77.125);
        QCOMPARE(after.tableNo[s + 1], table);
        checkOthersKept(before, after, table);

        // Opening the table again shows the grid as it was closed, the new row's "0" and "1.0" now
        // in the forms of their columns.
        QVector<QStringList> reshown = shown;
        reshown[1][4] = QStringLiteral("0.000");
        reshown[1][10] = QStringLiteral("1");
        QVERIFY(dialog.edit(table, [&](Tabl *editor, QTableWidget *view) {
            QCOMPARE(shownRows(view), reshown);
            editor->accept();
        }));
    }

    // A cell still being typed in when the editor closes holds what the grid shows: it is stored.
    void openCellEditorIsStored_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("accept") << int(CloseWay::Accept);
        QTest::newRow("close button") << int(CloseWay::CloseButton);
    }
    void openCellEditorIsStored()
    {
        QFETCH(int, way);
        Dialog dialog(exampleDataset());
        QVERIFY(dialog.edit(2, [&](Tabl *editor, QTableWidget *view) {
            QVERIFY(startTypingIntoCell(view, 1, 4, QStringLiteral("99.5")));
            closeEditor(editor, CloseWay(way));
        }));
        QCOMPARE(dialog.ds().energy[4], 99.5);
    }

    void insertPlacesTheDefaultRow()
    {
        const QStringList defaults = {"Новая ТУ_1", "Р", "1", "Э", "0", "0.65", "0.5", "0", "0.5", "0.5",
                                      "1.0", "3.04", "110", "200", "0.25", "110"};
        // Empty grid: one default row.
        const Dataset noExternal = exampleDataset(false);
        Dialog empty(noExternal);
        QVERIFY(empty.edit(2, [&](Tabl *editor, QTableWidget *view) {
            QCOMPARE(view->rowCount(), 0);
            QCOMPARE(view->columnCount(), 16);
            clickButton(editor, "pbIns");
            QCOMPARE(view->rowCount(), 1);
            QCOMPARE(shownRow(view, 0), defaults);
            QCOMPARE(comboAt(view, 0, 1)->styleSheet(), QStringLiteral("QWidget {background-color:white; border:0px;}"));
            editor->accept();
        }));
        QCOMPARE(empty.ds().externalCount, 1);
        QCOMPARE(empty.countField(2), QStringLiteral("1"));
        QCOMPARE(empty.ds().name[3], QStringLiteral("Новая ТУ_1"));
        QCOMPARE(empty.ds().fillFactor[3], 0.65);
        QCOMPARE(empty.ds().meterClass[3], 1.0);
        QCOMPARE(empty.ds().ctRatedCurrent[3], 200);
        checkOthersKept(noExternal, empty.ds(), 2);

        // Third row current: the new row is the fourth; no current row: appended.
        Dialog dialog(exampleDataset());
        QVERIFY(dialog.edit(3, [&](Tabl *editor, QTableWidget *view) {
            const QVector<QStringList> old = shownRows(view);
            clickCell(view, 2, 5);
            clickButton(editor, "pbIns");
            QCOMPARE(view->rowCount(), 4);
            QCOMPARE(shownRow(view, 3)[0], QStringLiteral("Новая ТУ_4"));
            QCOMPARE(shownRows(view).mid(0, 3), old);
            view->setCurrentCell(-1, -1);
            QCOMPARE(view->currentRow(), -1);
            clickButton(editor, "pbIns");
            QCOMPARE(view->rowCount(), 5);
            QStringList appended = defaults;
            appended[0] = QStringLiteral("Новая ТУ_5");
            QCOMPARE(shownRow(view, 4), appended);
            editor->accept();
        }));
        QCOMPARE(dialog.ds().ownCount, 5);
        QCOMPARE(dialog.ds().name.mid(8, 2), QVector<QString>({"Новая ТУ_4", "Новая ТУ_5"}));
    }

    void duplicateAndDeleteEveryRow()
    {
        Dialog dialog(exampleDataset());
        const Dataset before = dialog.ds();
        QVERIFY(dialog.edit(2, [&](Tabl *editor, QTableWidget *view) {
            view->setCurrentCell(-1, -1);
            clickButton(editor, "pbCopy");
            clickButton(editor, "pbDel");
            QCOMPARE(view->rowCount(), 2); // nothing without a current row

            // The row with codes the boxes cannot show: the copy shows the same, name included.
            clickCell(view, 1, 4);
            clickButton(editor, "pbCopy");
            QCOMPARE(view->rowCount(), 3);
            QCOMPARE(shownRow(view, 2), shownRow(view, 1));
            QVERIFY(comboAt(view, 2, 1) != comboAt(view, 1, 1));
            QCOMPARE(comboAt(view, 2, 1)->currentIndex(), -1);
            clickCell(view, 0, 0);
            clickButton(editor, "pbCopy");
            QCOMPARE(shownRow(view, 1), shownRow(view, 0));
            QCOMPARE(shownRow(view, 1)[1], QStringLiteral("Р"));
            editor->accept();
        }));
        QCOMPARE(dialog.ds().externalCount, 4);
        QCOMPARE(dialog.ds().name.mid(3, 4),
                 QVector<QString>({"ф.12 Горводоканал", "ф.12 Горводоканал", "ф.14 ТСЖ Рассвет", "ф.14 ТСЖ Рассвет"}));
        checkOthersKept(before, dialog.ds(), 2);

        // A row goes only when the question naming it is answered "Да".
        dialog.deleteAnswer = false;
        QVERIFY(dialog.edit(2, [&](Tabl *editor, QTableWidget *view) {
            clickCell(view, 1, 4);
            clickButton(editor, "pbDel");
            QCOMPARE(view->rowCount(), 4);
            editor->accept();
        }));
        QCOMPARE(dialog.asked, QStringList{QStringLiteral("Удалить строку 2 «ф.12 Горводоканал»?")});
        QCOMPARE(dialog.ds().externalCount, 4);
        dialog.deleteAnswer = true;
        QVERIFY(dialog.edit(2, [&](Tabl *editor, QTableWidget *view) {
            while (view->rowCount() > 0) {
                clickCell(view, 0, 0);
                clickButton(editor, "pbDel");
            }
            closeEditor(editor, CloseWay::CloseButton);
        }));
        QCOMPARE(dialog.ds().externalCount, 0);
        QCOMPARE(dialog.countField(2), QStringLiteral("0"));
        QCOMPARE(storedBlock(dialog.ds(), 2), {});
        checkOthersKept(before, dialog.ds(), 2);
    }

    // A decimal comma is a decimal point, blanks group digits; a text that is not a number (a fraction
    // in a whole column too) is marked, named when the editor closes, and kept as typed beside its
    // 0; a kind no box shows is stored empty.
    void conversionsAtCommit()
    {
        Dialog dialog(exampleDataset());
        QVERIFY(dialog.edit(2, [&](Tabl *editor, QTableWidget *view) {
            QVERIFY(typeIntoCell(view, 0, 5, QStringLiteral("0,45")));  // КЗ, decimal comma
            QVERIFY(typeIntoCell(view, 1, 4, QStringLiteral("142,9"))); // energy, decimal comma
            QVERIFY(typeIntoCell(view, 0, 7, QStringLiteral("1.5")));   // days, a fraction
            QVERIFY(typeIntoCell(view, 0, 4, QStringLiteral(" 2.5e1 "))); // an exponent: not a number
            QVERIFY(!view->item(0, 4)->toolTip().isEmpty());
            QVERIFY(typeIntoCell(view, 1, 5, QStringLiteral("21 455,5")));
            QVERIFY(typeIntoCell(view, 0, 13, QStringLiteral("200 А"))); // not a whole number
            QVERIFY(typeIntoCell(view, 0, 12, QStringLiteral("abc")));
            QVERIFY(typeIntoCell(view, 1, 7, QStringLiteral(" -3 ")));
            QVERIFY(typeIntoCell(view, 1, 0, QStringLiteral("  ф.14  ")));
            closeEditor(editor, CloseWay::Escape);
        }));
        const Dataset &ds = dialog.ds();
        QCOMPARE(ds.fillFactor[3], 0.45);
        QCOMPARE(ds.energy[4], 142.9);
        QCOMPARE(ds.fillFactor[4], 21455.5);
        QCOMPARE(ds.offDays[3], 0);
        QCOMPARE(ds.energy[3], 0.0);
        QCOMPARE(ds.ctRatedCurrent[3], 0);
        QCOMPARE(ds.ctVoltage[3], 0.0);
        const QMap<int, QString> kept{{14, QStringLiteral("1.5")}, {12, QStringLiteral(" 2.5e1 ")},
                                      {8, QStringLiteral("200 А")}, {9, QStringLiteral("abc")}};
        QCOMPARE(ds.nonNumericText.value(3), kept);
        QVERIFY(ds.nonNumericText.value(4).isEmpty());
        QCOMPARE(dialog.informed.size(), 1);
        QVERIFY2(dialog.informed[0].contains(QStringLiteral("строка 1, столбец «Uтт»: «abc»")),
                 qPrintable(dialog.informed[0]));
        QCOMPARE(keli::evaluate(dialog.ds()).outcome, keli::Outcome::Blocked);
        // Opened again, the grid shows what was typed, marked.
        QVERIFY(dialog.edit(2, [&](Tabl *editor, QTableWidget *view) {
            QCOMPARE(view->item(0, 12)->text(), QStringLiteral("abc"));
            QVERIFY(!view->item(0, 12)->toolTip().isEmpty());
            QVERIFY(view->item(1, 12)->toolTip().isEmpty());
            editor->accept();
        }));
        QCOMPARE(ds.offDays[4], -3);
        QCOMPARE(ds.name[4], QStringLiteral("  ф.14  "));
        QCOMPARE(ds.pointKind[4], QString()); // "Х" was never touched
        QCOMPARE(ds.meterType[4], QString()); // nor "э"
        QCOMPARE(ds.meterType[3], QStringLiteral("И"));
    }

    // A row typed by keyboard, Tab between the cells, lands in the columns the user sees: a Вид/Тип
    // cell selects by the character typed on it (a Latin look-alike too) or refuses it, never passing
    // it on to shift what follows.
    void rowTypedWithTab()
    {
        Dialog dialog(exampleDataset());
        QVERIFY(dialog.edit(2, [&](Tabl *editor, QTableWidget *view) {
            clickCell(view, 0, 0);
            clickButton(editor, "pbIns");
            QApplication::setActiveWindow(editor);
            view->setFocus();
            view->setCurrentCell(1, 0);
            // Each key to the widget that has the focus: the grid, or the cell editor it opened.
            const auto type = [&](const QString &keys) {
                for (const QChar ch : keys) {
                    QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : view;
                    QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(ch), Qt::NoModifier);
                }
            };
            const auto tab = [&] {
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : view, Qt::Key_Tab);
            };
            type(QStringLiteral("Ф-7"));
            tab();
            type(QStringLiteral("T")); // Latin look-alike
            tab();
            type(QStringLiteral("2"));
            tab();
            type(QStringLiteral("Q")); // no type begins so: refused, the cell stays
            QCOMPARE(shownRow(view, 1)[3], QStringLiteral("Э"));
            type(QStringLiteral("и"));
            tab();
            type(QStringLiteral("12 500,5"));
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : view, Qt::Key_Return);
            QCoreApplication::processEvents();
            QCOMPARE(shownRow(view, 1).mid(0, 5),
                     QStringList({"Ф-7", "Т", "2", "И", "12 500,5"}));
            // Typed on the grid itself, a code selects in its row and the current cell stays.
            view->setFocus();
            for (const QString &code : {QStringLiteral("Т"), QStringLiteral("Р"), QStringLiteral("С")}) {
                view->setCurrentCell(0, 1);
                QTest::sendKeyEvent(QTest::Click, view, Qt::Key_unknown, code, Qt::NoModifier);
                QCOMPARE(view->currentRow(), 0);
                QVERIFY(shownRow(view, 0)[1].startsWith(code));
            }
            editor->accept();
        }));
        QCOMPARE(dialog.ds().energy[4], 12500.5);
        QCOMPARE(dialog.ds().pointKind[4], QStringLiteral("Т"));
        QCOMPARE(dialog.ds().meterType[4], QStringLiteral("И"));
    }

    // Header clicks sort whole rows; each combo box stays with its row; editing a code re-sorts the
    // row whole; an inserted row keeps all its cells while the grid is sorted.
    void sortingKeepsRowsWhole()
    {
        Dialog dialog(exampleDataset());
        QVector<QStringList> closedAs;
        QVERIFY(dialog.edit(3, [&](Tabl *editor, QTableWidget *view) {
            clickCell(view, 2, 0);
            clickButton(editor, "pbCopy");
            QVERIFY(typeIntoCell(view, 3, 0, QStringLiteral("ТСН-3")));
            comboAt(view, 3, 1)->setFocus();
            QTest::keyClick(comboAt(view, 3, 1), Qt::Key_Up); // "СН" -> "Т"
            QHash<QString, QComboBox *> kindBox, typeBox;
            QVector<QStringList> rows = shownRows(view);
            for (int r = 0; r < view->rowCount(); ++r) {
                kindBox[rows[r][0]] = comboAt(view, r, 1);
                typeBox[rows[r][0]] = comboAt(view, r, 3);
            }
            std::sort(rows.begin(), rows.end());
            const auto checkWhole = [&] {
                QVector<QStringList> now = shownRows(view);
                for (int r = 0; r < view->rowCount(); ++r) {
                    QCOMPARE(comboAt(view, r, 1), kindBox.value(now[r][0]));
                    QCOMPARE(comboAt(view, r, 3), typeBox.value(now[r][0]));
                }
                std::sort(now.begin(), now.end());
                QCOMPARE(now, rows);
            };
            const auto column = [&](int c) {
                QStringList texts;
                for (const QStringList &row : shownRows(view))
                    texts << row[c];
                return texts;
            };
            for (int c : {0, 1, 3, 4, 7, 11}) {
                clickHeader(view, c);
                checkWhole();
                const QStringList ascending = column(c);
                QStringList sorted = ascending;
                // Names and codes by text, numeric columns by value.
                if (c == 0 || c == 1 || c == 3)
                    std::sort(sorted.begin(), sorted.end());
                else
                    std::stable_sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
                        return a.toDouble() < b.toDouble();
                    });
                QCOMPARE(ascending, sorted);
                clickHeader(view, c);
                checkWhole();
                QStringList descending = column(c);
                std::reverse(descending.begin(), descending.end());
                QCOMPARE(descending, sorted);
            }
            // Sorted by kind ascending: "ПХН", "СН", "СН", "Т". Turning "ПХН" into "Т" moves it last.
            clickHeader(view, 1);
            QCOMPARE(column(1), QStringList({"ПХН", "СН", "СН", "Т"}));
            QComboBox *box = comboAt(view, 0, 1);
            box->setFocus();
            QTest::keyClick(box, Qt::Key_End);
            QCOMPARE(box->currentText(), QStringLiteral("ПХН"));
            QTest::keyClick(box, Qt::Key_Home); // "Р"
            QCOMPARE(column(1), QStringList({"Р", "СН", "СН", "Т"}));
            QTest::keyClick(box, Qt::Key_Down); // "Т"
            QCOMPARE(column(1).last(), QStringLiteral("Т"));
            kindBox[QStringLiteral("ПХН здание ОПУ")] = box;
            rows = shownRows(view);
            std::sort(rows.begin(), rows.end());
            checkWhole();

            // Inserting while sorted: the new row is whole where it was put.
            clickCell(view, 1, 0);
            clickButton(editor, "pbIns");
            QCOMPARE(shownRow(view, 2)[0], QStringLiteral("Новая ТУ_3"));
            QCOMPARE(shownRow(view, 2)[1], QStringLiteral("Р"));
            QCOMPARE(shownRow(view, 2)[15], QStringLiteral("110"));
            closedAs = shownRows(view);
            editor->accept();
        }));
        // The dataset takes the rows in the order the grid showed them.
        const Dataset &ds = dialog.ds();
        QCOMPARE(ds.ownCount, closedAs.size());
        for (int k = 0; k < closedAs.size(); ++k) {
            QCOMPARE(ds.name[5 + k], closedAs[k][0]);
            QCOMPARE(ds.pointKind[5 + k], closedAs[k][1]);
            QCOMPARE(ds.meterType[5 + k], closedAs[k][3]);
            QCOMPARE(ds.energy[5 + k], closedAs[k][4].toDouble());
        }
    }

    // Numeric columns sort by value as the commit reads it, not by text: "20.000" before "100.000",
    // a text that does not convert counts 0, a fraction in a whole-number column counts 0. The
    // texts stay as shown.
    void numericColumnsSortByValue()
    {
        Dialog dialog(exampleDataset());
        QVERIFY(dialog.edit(3, [&](Tabl *editor, QTableWidget *view) {
            const auto column = [view](int c) {
                QStringList texts;
                for (int r = 0; r < view->rowCount(); ++r)
                    texts << view->item(r, c)->text();
                return texts;
            };
            // Energies 15.300, 4.750, 6.100; make them 100.000, 20.000 and a non-number.
            QVERIFY(typeIntoCell(view, 0, 4, QStringLiteral("100.000")));
            QVERIFY(typeIntoCell(view, 1, 4, QStringLiteral("20.000")));
            QVERIFY(typeIntoCell(view, 2, 4, QStringLiteral("abc")));
            clickHeader(view, 4);
            QCOMPARE(column(4), QStringList({"abc", "20.000", "100.000"}));
            QCOMPARE(column(0), QStringList({"СН ТСН-2", "ПХН здание ОПУ", "СН ТСН-1"}));
            QCOMPARE(comboAt(view, 2, 1)->currentText(), QStringLiteral("СН"));
            QCOMPARE(comboAt(view, 0, 3)->currentText(), QStringLiteral("И"));
            clickHeader(view, 4);
            QCOMPARE(column(4), QStringList({"100.000", "20.000", "abc"}));

            // Rated currents 600, 100, 600 with one made 1.5 (a fraction reads 0 here) and one 20.
            QVERIFY(typeIntoCell(view, 0, 13, QStringLiteral("20")));
            QVERIFY(typeIntoCell(view, 1, 13, QStringLiteral("1.5")));
            clickHeader(view, 13);
            QCOMPARE(column(13), QStringList({"1.5", "20", "600"}));
            QCOMPARE(column(4), QStringList({"20.000", "100.000", "abc"}));

            // The half-class fill and a duplicated row sort by value too.
            clickHeader(view, 14);
            clickCell(view, 2, 0);
            clickButton(editor, "pbCopy");
            QVERIFY(typeIntoCell(view, 3, 9, QStringLiteral("10")));
            view->item(3, 14)->setText(QString()); // only an empty cell takes the half class
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cellCenter(view, 3, 14));
            clickHeader(view, 14);
            QCOMPARE(column(14), QStringList({"0", "0", "0", "5"}));
            QCOMPARE(column(9).last(), QStringLiteral("10"));
            editor->accept();
        }));
        QCOMPARE(dialog.ds().energy.mid(5), QVector<double>({20, 100, 0, 0}));
        QCOMPARE(dialog.ds().vtVoltageLoss.mid(5), QVector<double>({0, 0, 0, 5}));
    }

    // A table larger than the view: every row shows its codes once scrolled to, sorting keeps
    // rows whole, and the codes of rows never looked at are stored as they were.
    void largeTable()
    {
        Dataset ds = exampleDataset();
        const QStringList kinds = {"Р", "Т", "СН", "ПХН"};
        for (int k = 0; k < 300; ++k) {
            const int i = ds.appendRow(3);
            ds.name[i] = QStringLiteral("ТУ %1").arg(k, 3, 10, QLatin1Char('0'));
            ds.pointKind[i] = kinds[k % 4];
            ds.meterType[i] = k % 3 ? QStringLiteral("Э") : QStringLiteral("И");
            ds.energy[i] = k;
        }
        ds.intakeCount = 3;
        ds.externalCount = 2;
        ds.ownCount = 303;
        Dialog dialog(ds);
        const Dataset before = dialog.ds();
        QVERIFY(dialog.edit(3, [&](Tabl *editor, QTableWidget *view) {
            QCOMPARE(view->rowCount(), 303);
            view->scrollToBottom();
            QCOMPARE(comboAt(view, 302, 1)->currentText(), QStringLiteral("ПХН"));
            QCOMPARE(comboAt(view, 302, 3)->currentText(), QStringLiteral("Э"));
            QComboBox *far = comboAt(view, 300, 3);
            QCOMPARE(shownRow(view, 300)[0], QStringLiteral("ТУ 297"));
            QCOMPARE(far->currentText(), QStringLiteral("И"));
            far->setFocus();
            QTest::keyClick(far, Qt::Key_Down); // "И" -> "Э"

            clickHeader(view, 1);
            clickHeader(view, 1); // descending: "Т" rows first
            view->scrollToTop();
            QCOMPARE(shownRow(view, 0)[1], QStringLiteral("Т"));
            QCOMPARE(shownRow(view, 302)[1], QStringLiteral("ПХН"));
            // Rows stay whole: each name still has its kind, and each box sits on its row.
            for (int r = 0; r < view->rowCount(); ++r) {
                const QString name = view->item(r, 0)->text();
                const int i = before.name.indexOf(name);
                QVERIFY(i >= 0);
                QCOMPARE(view->item(r, 1)->text(), before.pointKind[i]);
                if (QComboBox *box = comboAt(view, r, 1))
                    QCOMPARE(box->currentText(), before.pointKind[i]);
            }
            editor->accept();
        }));
        const Dataset &after = dialog.ds();
        QCOMPARE(after.ownCount, 303);
        checkOthersKept(before, after, 3);
        const int changed = before.name.indexOf(QStringLiteral("ТУ 297"));
        for (int i = 5; i < after.rowCount(); ++i) {
            const int was = before.name.indexOf(after.name[i]);
            QCOMPARE(after.pointKind[i], before.pointKind[was]);
            QCOMPARE(after.meterType[i], was == changed ? QStringLiteral("Э") : before.meterType[was]);
            QCOMPARE(after.energy[i], before.energy[was]);
        }
    }

    // Pressing an empty "dUтн " cell writes half of "Кл.ТН"; a typed one stays; other columns are
    // left alone.
    void halfClassOnPress()
    {
        Dialog dialog(exampleDataset());
        QVERIFY(dialog.edit(1, [&](Tabl *editor, QTableWidget *view) {
            QVERIFY(typeIntoCell(view, 0, 14, QStringLiteral("0.15")));
            QTest::mousePress(view->viewport(), Qt::LeftButton, {}, cellCenter(view, 0, 14));
            QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, cellCenter(view, 0, 14));
            QCOMPARE(view->item(0, 14)->text(), QStringLiteral("0.15"));
            QVERIFY(typeIntoCell(view, 1, 9, QStringLiteral("1,0")));
            view->item(1, 14)->setText(QString());
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cellCenter(view, 1, 14));
            QCOMPARE(view->item(1, 14)->text(), QStringLiteral("0.5"));
            view->item(2, 14)->setText(QString());
            QVERIFY(typeIntoCell(view, 2, 9, QStringLiteral("2.5")));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cellCenter(view, 2, 14));
            QCOMPARE(view->item(2, 14)->text(), QStringLiteral("1.25"));
            QVERIFY(typeIntoCell(view, 2, 9, QStringLiteral("0.2")));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cellCenter(view, 2, 13));
            QCOMPARE(view->item(2, 14)->text(), QStringLiteral("1.25"));
            editor->accept();
        }));
        QCOMPARE(dialog.ds().vtVoltageLoss.mid(0, 3), QVector<double>({0.15, 0.5, 1.25}));
    }

    // Enter presses no button the user did not choose: not "Вставить строку" on the grid, not the
    // intake table's button in "Название объекта"; it presses the focused one. A name the column
    // cuts shows whole as a tool tip.
    void enterAndCutNames()
    {
        Dialog dialog(exampleDataset());
        const QString longName = QStringLiteral("ф.14 ТСЖ Рассвет, ввод 2, резервный кабель от РП-7");
        QVERIFY(dialog.edit(3, [&](Tabl *editor, QTableWidget *view) {
            view->setFocus();
            view->setCurrentCell(1, 0);
            QTest::keyClick(view, Qt::Key_Return);
            QCOMPARE(view->rowCount(), 3);
            QVERIFY(editor->isVisible());

            view->item(1, 0)->setText(longName);
            QVERIFY(keli::cellTextIsCut(view, view->model()->index(1, 0)));
            QVERIFY(!keli::cellTextIsCut(view, view->model()->index(2, 0)));
            QHelpEvent help(QEvent::ToolTip, cellCenter(view, 1, 0), view->viewport()->mapToGlobal(cellCenter(view, 1, 0)));
            QApplication::sendEvent(view->viewport(), &help);
            QCOMPARE(QToolTip::text(), longName);
            editor->accept();
        }));

        // Enter in the object name opens nothing; on the focused intake button it opens its editor.
        keli::installEnterOnFocusedButton(*qApp);
        int editorsOpened = 0;
        auto enterOn = [&](QWidget *widget) {
            QTimer::singleShot(0, &dialog.fvid, [&] {
                if (auto *editor = qobject_cast<Tabl *>(QApplication::activeModalWidget())) {
                    ++editorsOpened;
                    editor->reject();
                }
            });
            widget->setFocus();
            QTest::keyClick(widget, Qt::Key_Return);
            QTest::qWait(20);
        };
        enterOn(dialog.fvid.findChild<QLineEdit *>(QStringLiteral("leNob")));
        QCOMPARE(editorsOpened, 0);
        QVERIFY(dialog.fvid.isVisible());
        enterOn(dialog.fvid.findChild<QPushButton *>(QStringLiteral("pbPost")));
        QCOMPARE(editorsOpened, 1);
    }


    // Not a check: with KELI_SHOTS set to a folder (and a display), saves a picture of the screen
    // with the editor maximised on an example's own-release table (docs/make_report_screenshots.sh).
    void screenshot()
    {
        const QString folder = qEnvironmentVariable("KELI_SHOTS");
        if (folder.isEmpty())
            QSKIP("KELI_SHOTS is not set");
        Dataset loaded;
        loaded.workbookPath = testutil::sourcePath(QStringLiteral("examples/ПС_110_10_Заречная_октябрь_2024.xlsx"));
        QVERIFY(keli::readXLSwriteDB(loaded).ok);
        Dialog dialog(loaded);
        QVERIFY(dialog.edit(3, [&](Tabl *editor, QTableWidget *) {
            editor->showMaximized();
            QTest::qWait(1500);
            QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                        QDir(folder).filePath(QStringLiteral("editor.png"))});
            editor->accept();
        }));
    }

private:
    QTemporaryDir workDir;
};

QTEST_MAIN(TestTabl)
#include "tst_gui_tabl.moc"
