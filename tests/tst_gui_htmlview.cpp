// The report viewer: its form, the page file it writes and shows, the search going round,
// the print preview, and a page file that cannot be written (shown from memory).
#include "htmlview.h"

#include "core/calculation.h"
#include "core/helpers.h"
#include "core/htmlpage.h"
#include "core/report1.h"
#include "core/sourceworkbook.h"
#include "support/testutil.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextLayout>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

template <class W> W *child(const HtmlView &v, const char *name)
{
    W *w = v.findChild<W *>(QLatin1String(name));
    if (!w)
        qFatal("no child %s", name);
    return w;
}

const QString kTitle = QStringLiteral("Ошибки и предупреждения программы");

} // namespace

class TestHtmlView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void form();
    void pageWrittenReadBackAndShown();
    void plainKindShowsTheText();
    void searchWrapsAndSaysNotFound();
    void numbersNeverBrokenAcrossLines();
    void printPreviewOfShownContent();
    void unwritablePageIsShownFromMemory();

private:
    std::unique_ptr<QTemporaryDir> work;
    QString previousDir;
};

void TestHtmlView::init()
{
    work.reset(new QTemporaryDir);
    previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work->path()));
}

void TestHtmlView::cleanup()
{
    QDir::setCurrent(previousDir);
    work.reset();
}

void TestHtmlView::form()
{
    HtmlView v(QStringLiteral("ОРГ"), QStringLiteral("Объект"));
    QCOMPARE(v.objectName(), QStringLiteral("HtmlView"));
    // 1379 × 769 at 20, 20; on a screen too small for that (the test screen is 800 × 600) it opens
    // at the available area, and the text area follows the window's size.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect designed(20, 20, 1379, 769);
    QCOMPARE(v.geometry(), area.contains(designed) ? designed : area);
    QCOMPARE(v.windowTitle(), QStringLiteral("Программа КЕЛИ "));
    QCOMPARE(v.windowModality(), Qt::ApplicationModal);
    QCOMPARE(v.layout(), nullptr);
    QWidget *bar = child<QWidget>(v, "layoutWidget");
    QCOMPARE(bar->geometry(), QRect(14, 10, 1194, 42));
    QCOMPARE(bar->layout()->objectName(), QStringLiteral("horizontalLayout"));
    QCOMPARE(bar->layout()->contentsMargins(), QMargins(0, 0, 0, 0));
    const char *order[] = {"PreviewButton", "label", "ValueFind", "ActNext", "ActPrev"};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(bar->layout()->itemAt(i)->widget()->objectName(), QLatin1String(order[i]));

    const struct { const char *name; const char *tip; } buttons[] = {
        {"PreviewButton", "Предпросмотр (Ctrl+P)"}, {"ActNext", "Найти следующее"}, {"ActPrev", "Найти предыдущее"}};
    for (const auto &b : buttons) {
        QPushButton *button = child<QPushButton>(v, b.name);
        QCOMPARE(button->toolTip(), QString::fromUtf8(b.tip));
        QVERIFY(button->text().isEmpty());
        QVERIFY(button->shortcut().isEmpty());
        QCOMPARE(button->iconSize(), QSize(24, 24));
        QVERIFY(!button->icon().isNull());
    }
    for (const char *icon : {":/img/preview_24.png", ":/img/table-item-down.png", ":/img/table-item-up.png"})
        QCOMPARE(QPixmap(QString::fromLatin1(icon)).size(), QSize(24, 24));
    QCOMPARE(child<QLabel>(v, "label")->text(), QStringLiteral("Строка поиска:"));
    QCOMPARE(child<QLabel>(v, "label")->font().pointSize(), 10);
    QCOMPARE(child<QLineEdit>(v, "ValueFind")->font().pointSize(), 10);
    QTextEdit *edit = child<QTextEdit>(v, "textEdit");
    v.show();
    QCOMPARE(edit->geometry(), QRect(14, 49, v.width() - 58, v.height() - 68));
    QVERIFY(v.rect().contains(bar->geometry()));
    v.resize(1000, 500);
    QCOMPARE(edit->geometry(), QRect(14, 49, 1000 - 58, 500 - 68));
    QCOMPARE(edit->maximumSize(), QSize(4000, 3000));
    QCOMPARE(edit->focusPolicy(), Qt::NoFocus);
}

void TestHtmlView::pageWrittenReadBackAndShown()
{
    HtmlView v(QStringLiteral("ОРГ"), QStringLiteral("ПС <Южная> & Ко"));
    v.HtmlBody2(QStringLiteral("Параметры системы учета электроэнергии"), QStringLiteral("Группы"),
                QStringLiteral("март 2020 года"), {QStringLiteral("<th>Ячейка</th>")},
                {QStringLiteral("<tr><td>Первая</td></tr>")}, QStringLiteral("html"));
    QVERIFY(v.pageError().isEmpty());
    QCOMPARE(v.windowTitle(), QStringLiteral("Параметры системы учета электроэнергии"));
    QFile file(QDir::current().filePath(QStringLiteral("Параметры системы учета электроэнергии.html")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // The same bytes as the frame of core, so both programs write the same page.
    QCOMPARE(bytes, keli::htmlBody2Lines({QStringLiteral("ОРГ"), QStringLiteral("ПС <Южная> & Ко")},
                                         QStringLiteral("Параметры системы учета электроэнергии"),
                                         QStringLiteral("Группы"), QStringLiteral("март 2020 года"),
                                         {QStringLiteral("<th>Ячейка</th>")},
                                         {QStringLiteral("<tr><td>Первая</td></tr>")})
                        .join(QString())
                        .toUtf8());
    const QString shown = child<QTextEdit>(v, "textEdit")->toPlainText();
    QVERIFY(shown.contains(QStringLiteral("ПС <Южная> & Ко        ОРГ"))); // escaped in the file, literal on screen
    QVERIFY(shown.contains(QStringLiteral("Первая")));
    QVERIFY(shown.contains(QStringLiteral("Расчетный период: март 2020 года")));
}

void TestHtmlView::plainKindShowsTheText()
{
    HtmlView v(QStringLiteral("ОРГ"), QStringLiteral("Объект"));
    v.HtmlBody(kTitle, QString(), {QStringLiteral("<th>А</th>")}, QStringLiteral("text"));
    const QString shown = child<QTextEdit>(v, "textEdit")->toPlainText();
    QVERIFY(shown.startsWith(QStringLiteral("<html>\n<head>\n<title>")));
    QVERIFY(shown.endsWith(QStringLiteral("<th>А</th></body>\n")));
}

void TestHtmlView::searchWrapsAndSaysNotFound()
{
    HtmlView v(QStringLiteral("ОРГ"), QStringLiteral("Объект"));
    v.HtmlBody(kTitle, QStringLiteral("2024 год"),
               {QStringLiteral("<th>x</th></tr><tr><td>Фидер-1</td></tr><tr><td>фидер-2</td></tr><tr><td>ФИДЕР-3</td></tr></table>")},
               QStringLiteral("html"));
    QTextEdit *edit = child<QTextEdit>(v, "textEdit");
    QPushButton *next = child<QPushButton>(v, "ActNext");
    QPushButton *prev = child<QPushButton>(v, "ActPrev");

    // Empty search text: nothing moves.
    QTest::mouseClick(next, Qt::LeftButton);
    QVERIFY(!edit->textCursor().hasSelection());

    child<QLineEdit>(v, "ValueFind")->setText(QStringLiteral("фидер"));
    QList<int> found;
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(edit->textCursor().selectedText().toLower(), QStringLiteral("фидер")); // case ignored
        found << edit->textCursor().selectionStart();
    }
    QVERIFY(found[0] < found[1] && found[1] < found[2]);
    QLabel *status = child<QLabel>(v, "lbFound");
    QVERIFY(status->text().isEmpty());
    // Past the last match the search goes round to the first, and says so.
    QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(edit->textCursor().selectionStart(), found[0]);
    QCOMPARE(status->text(), QStringLiteral("Поиск продолжен с начала"));
    QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(edit->textCursor().selectionStart(), found[1]);
    QVERIFY(status->text().isEmpty());
    // Backwards: the previous match, then round to the last.
    QTest::mouseClick(prev, Qt::LeftButton);
    QCOMPARE(edit->textCursor().selectionStart(), found[0]);
    QTest::mouseClick(prev, Qt::LeftButton);
    QCOMPARE(edit->textCursor().selectionStart(), found[2]);
    QCOMPARE(status->text(), QStringLiteral("Поиск продолжен с конца"));
    // Text that is not there is named as not found and moves nothing.
    child<QLineEdit>(v, "ValueFind")->setText(QStringLiteral("нет такого"));
    QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(edit->textCursor().selectionStart(), found[2]);
    QCOMPARE(status->text(), QStringLiteral("«нет такого» не найдено"));
}

// Report No. 1 of an example in a window of a 1366 x 768 screen: every number stays on one line,
// and the page's right edge ("Код доставки") can be scrolled into view.
void TestHtmlView::numbersNeverBrokenAcrossLines()
{
    keli::Dataset ds;
    ds.workbookPath = testutil::sourcePath(QStringLiteral("examples/ПС_110_10_Заречная_октябрь_2024.xlsx"));
    QVERIFY(keli::readXLSwriteDB(ds).ok);
    ds.calcMonth = ds.fileMonth;
    ds.calcYear = ds.fileYear;
    ds.periodDays = keli::k_day(ds.calcMonth, ds.calcYear);
    const keli::CalcOutcome outcome = keli::calculate(ds);
    QCOMPARE(outcome.outcome, keli::Outcome::Calculated);
    HtmlView v(QStringLiteral("ОРГ"), ds.objectName);
    v.showReportPage(keli::report1Page(ds, outcome.results));
    v.setGeometry(0, 0, 1366, 740);
    v.show();
    QTextEdit *edit = child<QTextEdit>(v, "textEdit");
    QTextDocument *doc = edit->document();
    const QSizeF size = doc->documentLayout()->documentSize();
    static const QRegularExpression number(QStringLiteral(R"(^\s*-?\d+(\.\d*)?\s*$)"));
    int numbers = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (!number.match(b.text()).hasMatch())
            continue;
        ++numbers;
        QVERIFY2(b.layout()->lineCount() == 1, qPrintable(b.text()));
    }
    QVERIFY(numbers > 100);
    // Words break only between them: the widest heading word keeps its line.
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        if (b.text() == QStringLiteral("Наименование ТУ"))
            QCOMPARE(b.layout()->lineAt(0).textLength(), QStringLiteral("Наименование ").size());
    QVERIFY(edit->horizontalScrollBar()->maximum() + edit->viewport()->width() >= int(size.width()));
}

void TestHtmlView::printPreviewOfShownContent()
{
    HtmlView v(QStringLiteral("ОРГ"), QStringLiteral("Объект"));
    // Without a page the preview does nothing.
    bool previewSeen = false;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    auto closePreview = [&previewSeen, &orientation]() {
        if (auto *d = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget())) {
            previewSeen = true;
            orientation = d->printer()->pageLayout().orientation();
            d->reject();
        }
    };
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, closePreview);
    timer.start(50);
    QTest::mouseClick(child<QPushButton>(v, "PreviewButton"), Qt::LeftButton);
    QVERIFY(!previewSeen);

    v.HtmlBody(kTitle, QString(), {QStringLiteral("<th>Страница</th>")}, QStringLiteral("html"));
    // The preview prints the shown content even after the page file is gone.
    QVERIFY(QFile::remove(QDir::current().filePath(kTitle + QStringLiteral(".html"))));
    QTest::mouseClick(child<QPushButton>(v, "PreviewButton"), Qt::LeftButton);
    QVERIFY(previewSeen);
    QCOMPARE(orientation, QPageLayout::Portrait);

    // A table too wide for a portrait sheet goes on a landscape one.
    const QString wideRow = QStringLiteral("<td>12345.678</td>").repeated(24);
    v.HtmlBody(kTitle, QString(), {QStringLiteral("<th>A</th></tr><tr>") + wideRow + QStringLiteral("</tr></table>")},
               QStringLiteral("html"));
    previewSeen = false;
    QTest::mouseClick(child<QPushButton>(v, "PreviewButton"), Qt::LeftButton);
    QVERIFY(previewSeen);
    QCOMPARE(orientation, QPageLayout::Landscape);
}

void TestHtmlView::unwritablePageIsShownFromMemory()
{
    // A folder stands where the page file goes.
    QVERIFY(QDir::current().mkdir(kTitle + QStringLiteral(".html")));
    HtmlView v(QStringLiteral("ОРГ"), QStringLiteral("Объект"));
    v.HtmlBody(kTitle, QStringLiteral("март 2020 года"), {QStringLiteral("<th>фидер</th>")}, QStringLiteral("html"));
    QVERIFY(v.pageError().contains(kTitle + QStringLiteral(".html")));
    QCOMPARE(v.windowTitle(), kTitle);
    QVERIFY(child<QTextEdit>(v, "textEdit")->toPlainText().contains(QStringLiteral("март 2020 года")));
    // Enter in the search line finds the next match; it opens no print preview.
    v.show();
    bool previewOpened = false;
    QTimer::singleShot(0, &v, [&] {
        if (auto *preview = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget())) {
            previewOpened = true;
            preview->reject();
        }
    });
    QLineEdit *find = child<QLineEdit>(v, "ValueFind");
    find->setText(QStringLiteral("фидер"));
    find->setFocus();
    QTest::keyClick(find, Qt::Key_Return);
    QCOMPARE(child<QTextEdit>(v, "textEdit")->textCursor().selectedText(), QStringLiteral("фидер"));
    QTest::qWait(20);
    QVERIFY(!previewOpened);
    QVERIFY(v.isVisible());
}

QTEST_MAIN(TestHtmlView)
#include "tst_gui_htmlview.moc"
