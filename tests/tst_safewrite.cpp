// Writing files safely: the checked writer under a full disk (a real file size limit, which makes
// a write fail after N bytes as ENOSPC does), a folder in the way, a check that refuses the new
// file; permissions kept; the source workbook and keli-calc under the same faults; lock files.

#include "core/dataset.h"
#include "core/sourceworkbook.h"
#include "core/workbooklock.h"
#include "io/checkedwrite.h"
#include "support/testutil.h"
#include "xlsx/xlsxdocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <QSysInfo>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace keli;

namespace {

// Files of this process cannot grow past bytes while it lives: the write that would cross the
// limit fails with EFBIG (the signal is ignored), as on a disk that has just filled up.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }
    bool ok() const { return m_ok; }

private:
    rlimit m_old {};
    bool m_ok = false;
};

// A save of ds at path while files cannot grow past bytes.
WorkbookResult saveUnderSizeLimit(const Dataset &ds, const QString &path, qint64 bytes)
{
    const FileSizeLimit limit{rlim_t(bytes)};
    if (!limit.ok())
        return WorkbookResult::failure(QStringLiteral("the file size limit could not be set"));
    return saveSourceWorkbook(ds, path);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writePlain(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

// Bytes that do not deflate to nothing, so that a workbook of n points has a real size.
Dataset datasetOf(int points)
{
    Dataset ds;
    ds.calcMonth = 3;
    ds.calcYear = 2024;
    ds.objectName = QStringLiteral("ТП-12");
    ds.intakeCount = points;
    ds.resizeRows(points);
    for (int i = 0; i < points; ++i) {
        ds.name[i] = QStringLiteral("Фидер %1 ячейка %2").arg(i).arg(i * 7919 % 1000);
        ds.tableNo[i] = 1;
        ds.energy[i] = i * 13.37;
        ds.meterCount[i] = 1;
    }
    return ds;
}

QString objectNameIn(const QString &path)
{
    Dataset back;
    back.workbookPath = path;
    back.calcMonth = 3;
    back.calcYear = 2024;
    return readXLSwriteDB(back).ok ? back.objectName : QStringLiteral("<unreadable>");
}

QString runCalc(const QStringList &args, const QString &dir, int *exitCode)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(qEnvironmentVariable("KELI_CALC"), args);
    p.waitForFinished(120000);
    *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardError());
}

} // namespace

class TestSafeWrite : public QObject
{
    Q_OBJECT

private slots:
    // Under 16 KiB and far above it: the old file stays, the reason is the full disk, and no
    // temporary file is left behind.
    void fullDiskLeavesTheOldFile_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("5 KiB") << 5 * 1024;
        QTest::newRow("300 KiB") << 300 * 1024;
    }
    void fullDiskLeavesTheOldFile()
    {
        QFETCH(int, size);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("T.xlsx"));
        writePlain(path, "old content");
        QByteArray data(size, 'x');
        for (int i = 0; i < size; ++i)
            data[i] = char('a' + i % 26);
        QString reason;
        {
            const FileSizeLimit limit(rlim_t(size / 2));
            QVERIFY(limit.ok());
            QVERIFY(!writeFileChecked(path, data, &reason));
        }
        QCOMPARE(reason, QStringLiteral("нет места на диске"));
        QCOMPARE(readAll(path), QByteArray("old content"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("T.xlsx")});

        // With room, the same bytes land whole.
        QVERIFY(writeFileChecked(path, data, &reason));
        QCOMPARE(readAll(path), data);
    }

    void folderInTheWayAndRefusedCheck()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("T.xlsx")));
        QString reason;
        QVERIFY(!writeFileChecked(dir.filePath(QStringLiteral("T.xlsx")), "new", &reason));
        QVERIFY2(reason.contains(QStringLiteral("находится папка")), qPrintable(reason));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("T.xlsx"))).isDir());
        QVERIFY(!writeFileChecked(dir.filePath(QStringLiteral("нет/T.xlsx")), "new", &reason));
        QVERIFY2(reason.contains(QStringLiteral("папки")), qPrintable(reason));

        // The check sees the whole new file before it replaces the old one; a refusal keeps the old.
        const QString path = dir.filePath(QStringLiteral("R.xlsx"));
        writePlain(path, "old");
        QByteArray seen;
        QVERIFY(!writeFileChecked(path, "new bytes", &reason, [&seen](const QString &written) {
            seen = readAll(written);
            return QStringLiteral("прочитано не то");
        }));
        QCOMPARE(seen, QByteArray("new bytes"));
        QCOMPARE(reason, QStringLiteral("прочитано не то"));
        QCOMPARE(readAll(path), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("R.xlsx")});
    }

    // A link to a workbook elsewhere stays a link: the file it names gets the new content.
    void writeThroughALink()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("shared")));
        const QString real = dir.filePath(QStringLiteral("shared/ТП 5.xlsx"));
        const QString link = dir.filePath(QStringLiteral("ТП 5.xlsx"));
        writePlain(real, "old");
        QVERIFY(QFile::link(real, link));
        QString reason;
        QVERIFY2(writeFileChecked(link, "new", &reason), qPrintable(reason));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readAll(real), QByteArray("new"));
    }

    void replacedFileKeepsItsPermissions()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.html"));
        writePlain(path, "old");
        const QFile::Permissions narrow = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
        QVERIFY(QFile::setPermissions(path, narrow));
        QString reason;
        QVERIFY2(writeFileChecked(path, "new", &reason), qPrintable(reason));
        QCOMPARE(readAll(path), QByteArray("new"));
        QCOMPARE(QFile::permissions(path) & 0x7077, narrow); // without the ...User bits
    }

    void folderWithoutRights()
    {
        if (geteuid() == 0)
            QSKIP("root writes into any folder");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("T.xlsx"));
        writePlain(path, "old");
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        QString reason;
        const bool written = writeFileChecked(path, "new", &reason);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!written);
        QVERIFY2(reason.startsWith(QStringLiteral("нет прав")), qPrintable(reason));
        QCOMPARE(readAll(path), QByteArray("old"));
    }

    // The source workbook on a full disk: a small one (where a plain atomic save reports success
    // and leaves 0 bytes) and a large one.
    void sourceWorkbookOnAFullDisk_data()
    {
        QTest::addColumn<int>("points");
        QTest::newRow("small") << 3;
        QTest::newRow("large") << 3000;
    }
    void sourceWorkbookOnAFullDisk()
    {
        QFETCH(int, points);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("T.xlsx"));
        const Dataset ds = datasetOf(points);
        QVERIFY(saveSourceWorkbook(ds, path).ok);
        const QByteArray before = readAll(path);
        QVERIFY(points > 100 || before.size() < 16 * 1024);
        Dataset changed = ds;
        changed.objectName = QStringLiteral("ТП-12 после");
        // Neither the backup nor the new workbook fits.
        const WorkbookResult r = saveUnderSizeLimit(changed, path, before.size() / 2);
        QVERIFY(!r.ok);
        QVERIFY2(r.message.contains(QStringLiteral("нет места на диске")), qPrintable(r.message));
        QCOMPARE(readAll(path), before);
        Dataset back;
        back.workbookPath = path;
        back.calcMonth = 3;
        back.calcYear = 2024;
        QVERIFY(readXLSwriteDB(back).ok);
        QCOMPARE(back.objectName, ds.objectName);
    }

    // keli-calc as a child under a file size limit: --save fails, says why and exits 1; the
    // workbook stays whole.
    void keliCalcSaveUnderAFileSizeLimit()
    {
        const QString calc = qEnvironmentVariable("KELI_CALC");
        if (calc.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("prlimit")).isEmpty())
            QSKIP("keli-calc or prlimit is missing");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("T.xlsx"));
        QVERIFY(saveSourceWorkbook(datasetOf(4), path).ok);
        const QByteArray before = readAll(path);
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral("prlimit"), {QStringLiteral("--fsize=%1").arg(before.size() / 2), calc,
                                            QStringLiteral("--reports"), QStringLiteral("none"),
                                            QStringLiteral("--save"), path, path});
        QVERIFY(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY2(p.exitCode() == 1, qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("нет места на диске")), qPrintable(err));
        QCOMPARE(readAll(path), before);
    }

    // A backup replaces only this program's backup of the same workbook: another object's workbook
    // or a folder of that name is kept and the backup takes the next free name; the batch skips a
    // backup by its mark and says so, and calculates the other object.
    void backupsReplaceOnlyTheirOwn()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ТП-12.xlsx"));
        const QString other = dir.filePath(QStringLiteral("ТП-12B.xlsx"));
        Dataset ds = datasetOf(2);
        QVERIFY(saveSourceWorkbook(ds, path).ok);
        Dataset another = datasetOf(1);
        another.objectName = QStringLiteral("ТП-12Б другой объект");
        QVERIFY(saveSourceWorkbook(another, other).ok);
        const QByteArray otherBytes = readAll(other);

        const QString names[] = {QStringLiteral("ТП-12 второе"), QStringLiteral("ТП-12 третье")};
        QString previous = ds.objectName;
        for (const QString &name : names) {
            ds.objectName = name;
            const WorkbookResult r = saveSourceWorkbook(ds, path);
            QVERIFY2(r.ok, qPrintable(r.message));
            QCOMPARE(r.backupPath, dir.filePath(QStringLiteral("ТП-12B (2).xlsx")));
            QVERIFY(isBackupOf(r.backupPath, path));
            QCOMPARE(objectNameIn(r.backupPath), previous);
            QCOMPARE(readAll(other), otherBytes);
            QVERIFY(!isMarkedBackup(other));
            previous = name;
        }

        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ТП-12_1.xlsx")));
        const BackupResult opening = makeOpeningBackup(path);
        QVERIFY2(opening.ok, qPrintable(opening.message));
        QCOMPARE(opening.path, dir.filePath(QStringLiteral("ТП-12_1 (2).xlsx")));
        QVERIFY(isBackupOf(opening.path, path));
        QVERIFY(!isBackupOf(opening.path, other));
        QCOMPARE(objectNameIn(opening.path), names[1]);

        if (qEnvironmentVariable("KELI_CALC").isEmpty())
            QSKIP("keli-calc is missing");
        int exitCode = 0;
        const QString err = runCalc({QStringLiteral("--reports"), QStringLiteral("none"), QStringLiteral("--month"),
                                     QStringLiteral("3"), QStringLiteral("--year"), QStringLiteral("2024"),
                                     QStringLiteral("--out"), dir.filePath(QStringLiteral("out")),
                                     QStringLiteral("--json"), QStringLiteral("all.json"), dir.path()},
                                    dir.path(), &exitCode);
        QVERIFY2(err.contains(QStringLiteral("ТП-12B (2).xlsx\": резервная копия")), qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("ТП-12_1 (2).xlsx\": резервная копия")), qPrintable(err));
        const QByteArray json = readAll(dir.filePath(QStringLiteral("all.json")));
        QCOMPARE(json.count("\"source\""), 2);
        QVERIFY(json.contains("ТП-12B.xlsx"));
    }

    // No save over a workbook without its backup: with room for the new, smaller workbook but not
    // for a copy of the old one, nothing is written.
    void noBackupNoSave()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("T.xlsx"));
        QVERIFY(saveSourceWorkbook(datasetOf(3000), path).ok);
        const QByteArray before = readAll(path);
        const Dataset small = datasetOf(2);
        const WorkbookResult r = saveUnderSizeLimit(small, path, before.size() / 2);
        QVERIFY(!r.ok);
        QVERIFY2(r.message.contains(QStringLiteral("резервную копию")), qPrintable(r.message));
        QVERIFY2(r.message.contains(QStringLiteral("нет места на диске")), qPrintable(r.message));
        QCOMPARE(readAll(path), before);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("TB.xlsx"))));
        // With room the same save goes through.
        QVERIFY(saveSourceWorkbook(small, path).ok);
        QCOMPARE(objectNameIn(dir.filePath(QStringLiteral("TB.xlsx"))), QStringLiteral("ТП-12"));
    }

    // A saved workbook reads back as it was saved. Names the workbook layer does not carry through
    // unchanged (control characters, a carriage return) are caught by the read-back before the
    // old file is replaced; were they carried, the names would have to come back exactly.
    void savedWorkbookReadsBackAsSaved_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("control character") << QStringLiteral("Ф-1\u0001");
        QTest::newRow("carriage return") << QStringLiteral("Ф-1\r\nвторая строка");
        QTest::newRow("vertical tab") << QStringLiteral("Ф\u000B1");
    }
    void savedWorkbookReadsBackAsSaved()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("T.xlsx"));
        Dataset ds = datasetOf(2);
        QVERIFY(saveSourceWorkbook(ds, path).ok);
        const QByteArray before = readAll(path);
        ds.name[1] = name;
        const WorkbookResult r = saveSourceWorkbook(ds, path);
        if (r.ok) {
            Dataset back;
            back.workbookPath = path;
            back.calcMonth = 3;
            back.calcYear = 2024;
            QVERIFY(readXLSwriteDB(back).ok);
            QCOMPARE(back.name.value(1), name);
        } else {
            QVERIFY2(r.message.contains(QStringLiteral("ячейка A3")), qPrintable(r.message));
            QCOMPARE(readAll(path), before);
        }
    }

    // Saving under a new name keeps the opened workbook's other sheets; the new file is read back
    // before it replaces anything.
    void saveAsKeepsTheOpenedWorkbook()
    {
        if (!testutil::pythonHas(QStringLiteral("openpyxl")))
            QSKIP("python3-openpyxl is missing");
        QTemporaryDir dir;
        const QString opened = dir.filePath(QStringLiteral("октябрь.xlsx"));
        bool ok = false;
        QString error;
        testutil::runPython(QStringLiteral(R"(
import sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Лист1"
ws.append(["ТП-12", 1, 0, 0, 0, 0, 0, 0, 0, "1.000", "2.0", "3.0"])
ws.append(["Ф-1", 1, "Э", 0.5, 0.5, 0.5, 2020, 300, 10, 10, 0.25, "12.500", 0.7, 0, "Р", 0.4, 0, 31, 10, 2024])
ws.column_dimensions["A"].width = 41
wb.create_sheet("Заметки")["B2"] = "заметка"
wb.save(sys.argv[1])
)"), {opened}, &ok, &error);
        QVERIFY2(ok, qPrintable(error));
        Dataset ds;
        ds.workbookPath = opened;
        ds.calcMonth = 11;
        ds.calcYear = 2024;
        QVERIFY(readXLSwriteDB(ds).ok);
        ds.energy[0] = 13.25;

        const QString saved = dir.filePath(QStringLiteral("ноябрь.xlsx"));
        const WorkbookResult r = saveSourceWorkbook(ds, saved, opened);
        QVERIFY2(r.ok, qPrintable(r.message));
        QVERIFY(r.backupPath.isEmpty());
        const QString check = testutil::runPython(QStringLiteral(R"(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
print(wb.sheetnames, wb["Заметки"]["B2"].value, wb["Лист1"].column_dimensions["A"].width, wb["Лист1"]["L2"].value)
)"), {saved}, &ok, &error);
        QVERIFY2(ok, qPrintable(error));
        QCOMPARE(check.trimmed(), QStringLiteral("['Лист1', 'Заметки'] заметка 41.0 13.250"));
    }

    // Of two holders of one workbook only the first gets the lock; a lock left by an ended
    // program is taken over.
    void lockHasOneHolder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("T.xlsx"));
        const QString lockPath = dir.filePath(QStringLiteral(".~keli.T.xlsx#"));
        {
            const WorkbookLock first(path);
            const WorkbookLock second(path);
            QVERIFY(first.isHeld());
            QVERIFY(!second.isHeld());
            QVERIFY(QFileInfo::exists(lockPath));
        }
        QVERIFY(!QFileInfo::exists(lockPath));
        writePlain(lockPath, QStringLiteral("someone,%1,999999999\n").arg(QSysInfo::machineHostName()).toUtf8());
        const WorkbookLock again(path);
        QVERIFY(again.isHeld());
        QVERIFY(readAll(lockPath).endsWith(QByteArray::number(QCoreApplication::applicationPid()) + '\n'));
    }
};

QTEST_GUILESS_MAIN(TestSafeWrite)
#include "tst_safewrite.moc"
