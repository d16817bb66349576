// Qt's own texts are Russian whatever the locale: the translations the program's main loads.
// CTest runs this once under LANG=C.UTF-8 and once under LANG=ru_RU.UTF-8.
#include "translations.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

class TestRussian : public QObject
{
    Q_OBJECT

private slots:
    void qtTextsAreRussian()
    {
        QVERIFY2(keli::loadQtRussian(*qApp), "Qt's Russian translations (qttranslations5-l10n) are missing");
        QMessageBox box(QMessageBox::Question, QStringLiteral(" "), QStringLiteral("Сохранить информацию ?"),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QStringList texts;
        for (auto button : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
            texts << box.button(button)->text().remove(QLatin1Char('&'));
        QCOMPARE(texts, QStringList({QStringLiteral("Да"), QStringLiteral("Нет"), QStringLiteral("Отмена")}));
    }
};

QTEST_MAIN(TestRussian)
#include "tst_gui_russian.moc"
