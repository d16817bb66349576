// The numeric and path helpers against worked examples.
#include "core/helpers.h"
#include "core/com.h"
#include "core/settings.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>

using namespace keli;

class TestHelpers : public QObject
{
    Q_OBJECT
private slots:
    void roundHalfAwayFromZero_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<int>("n");
        QTest::addColumn<double>("expected");
        QTest::newRow("-2.5") << -2.5 << 0 << -3.0;
        QTest::newRow("2.5") << 2.5 << 0 << 3.0;
        QTest::newRow("-0.25") << -0.25 << 1 << -0.3;
        QTest::newRow("0.125") << 0.125 << 2 << 0.13;
        QTest::newRow("0.55f") << double(0.55f) << 1 << 0.6;
        QTest::newRow("0.38f") << double(0.38f) << 1 << 0.4;
    }
    void roundHalfAwayFromZero()
    {
        QFETCH(double, x);
        QFETCH(int, n);
        QFETCH(double, expected);
        QCOMPARE(round(x, n), expected);
    }

    void roundsText()
    {
        QCOMPARE(rounds(0.125, 2), QStringLiteral("0.13"));
        QCOMPARE(rounds(0.1249, 2), QStringLiteral("0.12"));
        QCOMPARE(rounds(12, 3), QStringLiteral("12.000"));
        QCOMPARE(rounds(-0.004, 2), QStringLiteral("0.00")); // never a signed zero on a report
    }

    // The JSON's numbers: the same text as QString::number(v, 'g', 17), exact ties at the 17th
    // digit (rounded away from zero there), signed zero and both exponent forms included.
    void fullPrecisionTextAsQString()
    {
        QVector<double> values = {0.0, -0.0, 1, -2.5, 0.1, 1e-5, 1e16, 1e17, 1e21, 5e-324,
                                  1.7976931348623157e308, 1316436775194682.25, -51954909484696.0625};
        quint64 seed = 88172645463325252ull;
        for (int k = 0; k < 200000; ++k) {
            seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
            double v = 0;
            std::memcpy(&v, &seed, sizeof v);
            values << (std::isfinite(v) ? v : 0.0) << double(qint64(seed % 100000000000000000ull)) / 64
                   << double(qint64(seed % 2000000001) - 1000000000) / 1000;
        }
        char text[32];
        for (double v : values)
            QCOMPARE(QLatin1String(text, fullPrecisionText(v, text)), QString::number(v, 'g', 17));
    }

    // toReal reads plain decimals itself: the same doubles as QString::toDouble, and every other
    // form still as that does.
    void toRealAsQString()
    {
        QStringList texts = {"", "-", ".", "5.", ".5", "-0", "-0.0", "007.50", "1e3", " 1.5", "1.5 ", "+1",
                             "1,5", "1.2.3", "123456789012345", "1234567890123456", "0.000000000000001",
                             "99999999999999.9", "9007199254740993", "inf", "nan", "Р", "--1"};
        quint64 seed = 42;
        for (int k = 0; k < 100000; ++k) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            const QString digits = QString::number(seed >> 11);
            const int point = int(seed % 19);
            texts << (seed & 1 ? QStringLiteral("-") : QString()) + digits.left(point)
                         + (point < digits.size() ? QStringLiteral(".") + digits.mid(point) : QString());
        }
        for (const QString &text : texts) {
            bool ok = false;
            const double expected = text.toDouble(&ok);
            const double v = toReal(text);
            QVERIFY2(v == (ok && std::isfinite(expected) ? expected : 0.0) && std::signbit(v) == (ok && std::signbit(expected)),
                     qPrintable(text));
        }
    }

    void numbersAsUsersWriteThem()
    {
        const struct { const char *text; bool number; double value; } cases[] = {
            {"21 455,5", true, 21455.5}, {"21\u00a0455.5", true, 21455.5}, {"1,234", true, 1.234},
            {" -0,5 ", true, -0.5}, {"7", true, 7}, {"1.234,5", false, 0}, {"1,2,3", false, 0},
            {"abc", false, 0}, {"", false, 0}, {"-", false, 0}, {"1e5", false, 0}, {"5-", false, 0}};
        for (const auto &c : cases) {
            double v = 0;
            QCOMPARE(keli::parseNumber(QString::fromUtf8(c.text), &v), c.number);
            QCOMPARE(v, c.value);
        }
    }

    void yearsSinceVerification()
    {
        QCOMPARE(kol_y(5.19, 12, 2023), 4.58);
        QCOMPARE(kol_y(3.04, 13, 2024), 20.25);
        // 5.61 is May 1961, 5.60 May 2060.
        QCOMPARE(kol_y(5.61, 5, 2021), 60.0);
        QVERIFY(kol_y(5.60, 5, 2021) < 0);
    }

    void positionInTable()
    {
        int t = 0, r = 0;
        groupStr(1, 2, 0, t, r);
        QCOMPARE(t, 1); QCOMPARE(r, 1);
        groupStr(2, 2, 0, t, r);
        QCOMPARE(t, 1); QCOMPARE(r, 2);
        groupStr(3, 2, 0, t, r);
        QCOMPARE(t, 3); QCOMPARE(r, 1);
        groupStr(4, 2, 3, t, r);
        QCOMPARE(t, 2); QCOMPARE(r, 2);
    }

    void daysOfPeriod()
    {
        QCOMPARE(k_day(2, 2024), 29);
        QCOMPARE(k_day(2, 2023), 28);
        QCOMPARE(k_day(13, 2023), 365);
        QCOMPARE(k_day(13, 2024), 366);
        QCOMPARE(k_day(13, 2000), 366);
        QCOMPARE(k_day(0, 2024), 0);
        QCOMPARE(k_day(14, 2024), 0);
    }

    void crossFilePath()
    {
        QCOMPARE(GetCrossFilePath(QStringLiteral("a b.html")), QDir::currentPath() + QStringLiteral("/a b.html"));
    }

    void settingsRoundTrip()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("keli.ini"));
        Settings s(ini);
        QCOMPARE(s.month(), 0);
        QCOMPARE(s.year(), 0);
        QCOMPARE(s.spreadsheetCommand(), QStringLiteral("EXCEL"));
        QCOMPARE(s.networkRelease(1), 0.0);
        s.setMonth(13);
        s.setYear(QStringLiteral("2024"));
        s.setNetworkRelease(3, zapToTochka(QStringLiteral("12,5")));
        Settings again(ini);
        QCOMPARE(again.month(), 13);
        QCOMPARE(again.year(), 2024);
        QCOMPARE(again.networkRelease(3), 12.5);
        QCOMPARE(again.organisation(), com::organisationName); // unset: the fixed name
        // Russian texts as another editor writes them: UTF-8 whatever the locale (a file this process
        // has not opened yet, so that nothing is read from the settings cache).
        QFile file(dir.filePath(QStringLiteral("edited.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly)
                && file.write(QStringLiteral("[General]\norg=ООО «Сети»\ncheckedBy=Инженер И. И.\n").toUtf8()) > 0);
        file.close();
        QCOMPARE(Settings(file.fileName()).organisation(), QStringLiteral("ООО «Сети»"));
        QCOMPARE(Settings(file.fileName()).checkedBy(), QStringLiteral("Инженер И. И."));
    }

    void decimalPointForSettings()
    {
        QCOMPARE(zapToTochka(QStringLiteral("1,25")), QStringLiteral("1.25"));
        QCOMPARE(zapToTochka(QStringLiteral("7")), QStringLiteral("7.00"));
        QCOMPARE(zapToTochka(QStringLiteral("1.50")), QStringLiteral("1.50"));
    }
};

QTEST_GUILESS_MAIN(TestHelpers)
#include "tst_helpers.moc"
