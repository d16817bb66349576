// The settings of the signed reports: edited in their dialog, kept in keli.ini as UTF-8, and read
// back by the reports; an emptied organisation is the program's fixed one again.
#include "cdlgsignoff.h"
#include "core/com.h"
#include "core/settings.h"
#include "core/signoff.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestSignOff : public QObject
{
    Q_OBJECT

private slots:
    void editedAndKept();
};

void TestSignOff::editedAndKept()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("keli.ini"));
    const auto edit = [&](const QString &org, const QString &prepared, bool ok) {
        CDlgSignOff dialog(ini);
        dialog.findChild<QLineEdit *>(QStringLiteral("leOrg"))->setText(org);
        dialog.findChild<QLineEdit *>(QStringLiteral("lePreparedBy"))->setText(prepared);
        auto *box = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        box->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    };
    edit(QStringLiteral(" РЭС «Северный» "), QStringLiteral("инженер Иванов И. И."), true);
    QFile file(ini);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY2(bytes.contains(QStringLiteral("preparedBy=инженер Иванов И. И.").toUtf8()), bytes.constData());
    file.close();

    keli::Dataset ds;
    keli::takeSignatories(keli::Settings(ini), &ds);
    QCOMPARE(keli::reportOrganisation(ds), QStringLiteral("РЭС «Северный»"));
    QCOMPARE(ds.checkedBy, QString());
    // The dialog opens with what is kept; Cancel keeps it.
    {
        CDlgSignOff dialog(ini);
        QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("leOrg"))->text(), QStringLiteral("РЭС «Северный»"));
    }
    edit(QString(), QString(), false);
    QCOMPARE(keli::Settings(ini).preparedBy(), QStringLiteral("инженер Иванов И. И."));
    // An emptied organisation is the fixed one again; an emptied name leaves a line to sign by hand.
    edit(QString(), QString(), true);
    keli::takeSignatories(keli::Settings(ini), &ds);
    QCOMPARE(keli::reportOrganisation(ds), com::organisationName);
    QVERIFY(keli::signOffLines(ds, QStringLiteral("01.02.2024")).at(1).endsWith(QStringLiteral("______________________________")));
}

QTEST_MAIN(TestSignOff)
#include "tst_gui_signoff.moc"
