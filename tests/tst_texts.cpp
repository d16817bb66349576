// The program's texts are written in one script per word: a Latin letter that looks like a Cyrillic
// one inside a Russian word ("Клас" + Latin c) cannot be found by searching and reads as a typo.
// Every text file of the source tree is scanned, the program's sources, forms, templates' makers,
// tests and documents alike.
#include "support/testutil.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

namespace {

bool isCyrillic(QChar c) { return c.script() == QChar::Script_Cyrillic; }
bool isLatin(QChar c) { return c.script() == QChar::Script_Latin; }

// Symbols of electrical quantities written as a Latin letter with a Russian index.
const QStringList &symbols()
{
    static const QStringList list = {QStringLiteral("Uном"), QStringLiteral("Iном"), QStringLiteral("Iн"),
                                     QStringLiteral("Uтт"), QStringLiteral("dUтн"), QStringLiteral("Uотч")};
    return list;
}

// The words of text that mix Latin and Cyrillic letters, symbols excepted. Escapes such as "\n"
// in a source text or "\fI" in a manual page separate words.
QStringList mixedScriptWords(QString text)
{
    text.replace(QRegularExpression(QStringLiteral(R"(\\(f[BIRP]|[a-zA-Z]))")), QStringLiteral(" "));
    QStringList found;
    static const QRegularExpression word(QStringLiteral(R"(\p{L}+)"));
    auto it = word.globalMatch(text);
    while (it.hasNext()) {
        const QString w = it.next().captured();
        if (std::any_of(w.begin(), w.end(), isCyrillic) && std::any_of(w.begin(), w.end(), isLatin)
            && !symbols().contains(w))
            found << w;
    }
    return found;
}

bool isTextFile(const QString &path)
{
    static const QStringList suffixes = {"cpp", "h", "ui", "py", "sh", "md", "txt", "desktop", "svg",
                                         "json", "1", "qrc", "in"};
    return suffixes.contains(QFileInfo(path).suffix()) || QFileInfo(path).fileName() == QLatin1String("keli-desktop")
           || QFileInfo(path).fileName() == QLatin1String("changelog") || QFileInfo(path).fileName() == QLatin1String("copyright");
}

} // namespace

class TestTexts : public QObject
{
    Q_OBJECT

private slots:
    void scannerFindsLookalikes()
    {
        const QString latinC = QString(QChar(0x63));
        const QString latinK = QString(QChar(0x6B));
        QCOMPARE(mixedScriptWords(QStringLiteral("Клас") + latinC + QStringLiteral(" точности")),
                 QStringList{QStringLiteral("Клас") + latinC});
        QCOMPARE(mixedScriptWords(QStringLiteral("в стро") + latinK + QStringLiteral("е 5")),
                 QStringList{QStringLiteral("стро") + latinK + QStringLiteral("е")});
        // Symbols, escapes between words and words of one script each pass.
        QVERIFY(mixedScriptWords(QStringLiteral(R"("Uном, кВ", "Кол.\nсчетчиков", "tg фи", "dUтн ", \fIПАПКА)")).isEmpty());
    }

    void treeHasNoMixedScriptWords()
    {
        QStringList problems;
        int scanned = 0;
        for (const char *top : {"src", "templates", "tests", "docs", "packaging", "tools", "examples", "README.md"}) {
            const QString root = testutil::sourcePath(QString::fromLatin1(top));
            QStringList files;
            if (QFileInfo(root).isFile()) {
                files << root;
            } else {
                QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
                while (it.hasNext())
                    files << it.next();
            }
            for (const QString &path : files) {
                if (!isTextFile(path))
                    continue;
                QFile file(path);
                QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
                ++scanned;
                const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
                for (int i = 0; i < lines.size(); ++i)
                    for (const QString &w : mixedScriptWords(lines[i]))
                        problems << QStringLiteral("%1:%2: %3").arg(path).arg(i + 1).arg(w);
            }
        }
        QVERIFY2(scanned > 100, "the source tree was not found");
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestTexts)
#include "tst_texts.moc"
