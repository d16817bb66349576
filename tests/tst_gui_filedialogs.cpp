// The open and save dialogs: Russian sizes and texts in Qt's own dialog, and the name a new
// object's workbook is offered.
#include "filedialogs.h"

#include "core/workbookname.h"
#include "support/testutil.h"

#include <QAbstractItemView>
#include <QFileSystemModel>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <memory>

class TestFileDialogs : public QObject
{
    Q_OBJECT

private slots:
    void sizesInRussian()
    {
        QCOMPARE(keli::russianFileSize(0), QStringLiteral("0 байт"));
        QCOMPARE(keli::russianFileSize(1023), QStringLiteral("1023 байт"));
        QCOMPARE(keli::russianFileSize(1536), QStringLiteral("1,5 КБ"));
        QCOMPARE(keli::russianFileSize(1024 * 1024), QStringLiteral("1,0 МБ"));
        QCOMPARE(keli::russianFileSize(5 * 1024 * 1024), QStringLiteral("5,0 МБ"));
        QCOMPARE(keli::russianFileSize(3LL * 1024 * 1024 * 1024), QStringLiteral("3,0 ГБ"));
    }

    // The dialog lists a workbook with its size in Russian, under a Russian title and buttons.
    void dialogShowsRussianSizes()
    {
        testutil::TemporaryWorkDir work;
        QFile file(work.filePath(QStringLiteral("ПС.xlsx")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(2048, 'x')) == 2048);
        file.close();
        const std::unique_ptr<QFileDialog> dialog(keli::newWorkbookDialog(
            nullptr, QStringLiteral("Открыть исходный файл"), work.path(), QStringLiteral("Исходные файлы (*.xlsx)"),
            QFileDialog::AcceptOpen));
        dialog->show();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Открыть исходный файл"));
        // The view shows the proxy's texts; the file system model fills in the folder's files later.
        QCOMPARE(dialog->findChild<QAbstractItemView *>(QStringLiteral("treeView"))->model(), dialog->proxyModel());
        auto *files = qobject_cast<QFileSystemModel *>(dialog->proxyModel()->sourceModel());
        QVERIFY(files);
        const QString path = work.filePath(QStringLiteral("ПС.xlsx"));
        QTRY_COMPARE(files->size(files->index(path)), qint64(2048));
        const QModelIndex shown = dialog->proxyModel()->mapFromSource(files->index(path, 1));
        QCOMPARE(shown.data().toString(), QStringLiteral("2,0 КБ"));
        QStringList buttons;
        for (QPushButton *b : dialog->findChildren<QPushButton *>())
            buttons << b->text();
        QVERIFY2(buttons.contains(QStringLiteral("Открыть")) && buttons.contains(QStringLiteral("Отмена")),
                 qPrintable(buttons.join('|')));
    }

    void proposedName()
    {
        QCOMPARE(keli::proposedWorkbookPath(QStringLiteral("/d"), QStringLiteral("ПС 110/10 «Заречная»")),
                 QStringLiteral("/d/ПС 110_10 «Заречная».xlsx"));
        QCOMPARE(keli::proposedWorkbookPath(QStringLiteral("/d"), QStringLiteral("Т:1*2?\"<>|\\x")),
                 QStringLiteral("/d/Т_1_2______x.xlsx"));
        QCOMPARE(keli::proposedWorkbookPath(QStringLiteral("/d"), QStringLiteral(" РП-3. ")),
                 QStringLiteral("/d/РП-3.xlsx"));
        QCOMPARE(keli::proposedWorkbookPath(QStringLiteral("/d"), QStringLiteral("  ")), QStringLiteral("/d/Новый.xlsx"));
    }
};

QTEST_MAIN(TestFileDialogs)
#include "tst_gui_filedialogs.moc"
