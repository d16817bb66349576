#include "batch.h"

#include "interrupt.h"
#include "objectload.h"
#include "pagepdf.h"
#include "resultjson.h"
#include "summary.h"

#include "core/calculation.h"
#include "core/reportbook.h"
#include "core/report1.h"
#include "core/report2.h"
#include "core/reporterror.h"
#include "core/reportfiles.h"
#include "core/signoff.h"
#include "core/sourceworkbook.h"
#include "core/writefailure.h"
#include "io/checkedwrite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

using namespace keli;

namespace {

void say(FILE *stream, const QString &line)
{
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stream);
}

// Workbooks of the program itself, which a folder of sources may hold: never objects.
bool isOwnWorkbook(const QString &name)
{
    static const QStringList own = {report1BookName, report1TemplateName, report2BookName,
                                    report2TemplateName, stopListBookName, summaryBookName,
                                    summaryTemplateName};
    return own.contains(name, Qt::CaseInsensitive);
}

// The *.xlsx files of a folder that are objects, in name order.
// Each skipped file is named in skipped with the reason. A backup is known by its mark only:
// "ТП-12B.xlsx" beside "ТП-12.xlsx" may well be another object.
QStringList folderSources(const QDir &dir, QStringList *skipped)
{
    const QStringList names = dir.entryList({QStringLiteral("*.xlsx")}, QDir::Files, QDir::Name);
    QStringList sources;
    for (const QString &name : names) {
        QString why;
        if (name.startsWith(QLatin1String("~$")) || name.startsWith(QLatin1Char('.')))
            why = QStringLiteral("файл блокировки или временный файл");
        else if (isOwnWorkbook(name))
            why = QStringLiteral("файл отчетов или шаблон программы");
        else if (isMarkedBackup(dir.filePath(name)))
            why = QStringLiteral("резервная копия");
        if (why.isEmpty())
            sources << name;
        else if (skipped)
            *skipped << QStringLiteral("пропущен файл \"%1\": %2").arg(QDir::toNativeSeparators(dir.filePath(name)), why);
    }
    return sources;
}

QString folderName(const QString &path)
{
    QString name = QFileInfo(path).fileName();
    if (name.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        name.chop(5);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("объект");
    return name;
}

// Removes from an object's folder the report files an earlier run may have left there (pages, their
// PDFs, workbooks), and the folder itself when nothing else is in it. Other files stay.
void clearReportFiles(const QString &dir)
{
    if (!QFileInfo(dir).isDir())
        return;
    QDir folder(dir);
    for (const QString &name : reportFileNames())
        folder.remove(name);
    QDir().rmdir(dir); // refused while the folder holds anything else
}

struct ObjectResult
{
    SummaryRow row;
    QStringList pages; // the report pages written into the object's folder, printed after the batch
    QByteArray json;
    bool ok = false;
};

// Loads, calculates and writes the report files of one object into its folder under outDir.
ObjectResult runObject(const BatchObject &object, const CliOptions &opt, const QString &outDir,
                       const ReportFilesOptions &reportOptions, bool withJson)
{
    ObjectResult result;
    Dataset ds;
    QString error;
    const QString dir = QDir(outDir).filePath(object.folder);
    clearReportFiles(dir); // the folder holds this run's files only, or none when nothing is written
    if (!loadObject(opt, object.path, &ds, &error)) {
        result.row = unreadableRow(object.source, error);
        if (withJson)
            result.json = unreadableJson(object.source, error);
        return result;
    }
    const CalcOutcome outcome = calculate(ds);
    QStringList failures;
    // The outcomes that end with a message only write no report files: no folder for them.
    const bool writesFiles = outcome.outcome == Outcome::Calculated || outcome.outcome == Outcome::Blocked;
    if (writesFiles && QDir().mkpath(dir)) {
        ReportFilesOptions options = reportOptions;
        options.calculatedAt = QDateTime::currentDateTime();
        const ReportFilesResult files = writeReportFiles(dir, ds, outcome, options);
        failures = files.failures;
        for (const QString &name : files.written)
            if (name.endsWith(QLatin1String(".html")))
                result.pages << name;
    } else if (writesFiles) {
        failures << QStringLiteral("папка \"%1\" не создана").arg(QDir::toNativeSeparators(dir));
    }
    result.row = summaryRow(object.source, ds, outcome, failures);
    if (withJson)
        result.json = resultJson(outcome, object.source);
    result.ok = outcome.outcome == Outcome::Calculated && failures.isEmpty();
    return result;
}

// The document {"objects": [...]} gathered entry by entry in the order of the objects, as they
// are done (entries done early wait for the ones before them), and written whole at the end.
class JsonWriter
{
public:
    explicit JsonWriter(const QString &path) : m_path(path) {}
    // Whether the file can be written at all, before any object is calculated.
    bool open()
    {
        const QFileInfo target(m_path);
        if (target.isDir() || !QFileInfo(target.absolutePath()).isDir() || !QFileInfo(target.absolutePath()).isWritable()) {
            m_error = writeFailureReason(m_path, QString());
            return false;
        }
        m_text = "{\"objects\": [\n";
        return true;
    }
    void add(int index, QByteArray entry)
    {
        m_waiting.emplace(index, std::move(entry));
        for (auto it = m_waiting.begin(); it != m_waiting.end() && it->first == m_next; it = m_waiting.erase(it)) {
            m_text += m_next ? ",\n" : "";
            m_text += it->second.trimmed();
            ++m_next;
        }
    }
    bool commit() { return writeFileChecked(m_path, m_text + "\n]}\n", &m_error); }
    QString errorString() const { return m_error; }

private:
    QString m_path;
    QByteArray m_text;
    QString m_error;
    std::map<int, QByteArray> m_waiting;
    int m_next = 0;
};

const QString summaryPdfName = QStringLiteral("Сводка.pdf");

// Prints the pages of every object beside them; an object whose page cannot be printed counts as
// not written (its row says so). Returns the number of objects newly counted as failed.
int printPages(const QVector<BatchObject> &objects, QVector<SummaryRow> &rows, const QVector<QStringList> &pages,
               const std::vector<char> &succeeded, const QString &outDir)
{
    int failed = 0;
    for (int k = 0; k < objects.size(); ++k) {
        QStringList failures;
        const QString dir = QDir(outDir).filePath(objects[k].folder);
        for (const QString &page : pages[k]) {
            QString pdf, error;
            if (!writePagePdf(dir, page, rows[k].objectName, &pdf, &error))
                failures << error;
        }
        if (failures.isEmpty())
            continue;
        say(stderr, QStringLiteral("keli-calc: %1").arg(failures.join(QStringLiteral("; "))));
        if (succeeded[k])
            ++failed;
        rows[k].result += QStringLiteral("; PDF не записан: ") + failures.join(QStringLiteral("; "));
    }
    return failed;
}

} // namespace

QVector<BatchObject> batchObjects(const QStringList &sources, const QString &startDir, QStringList *skipped)
{
    QVector<BatchObject> objects;
    for (const QString &source : sources) {
        const QString path = QDir::cleanPath(QDir(startDir).absoluteFilePath(source));
        if (QFileInfo(path).isDir()) {
            const QDir dir(path);
            for (const QString &name : folderSources(dir, skipped))
                objects.append({QDir::cleanPath(QDir(source).filePath(name)), dir.filePath(name), QString()});
        } else {
            objects.append({source, path, QString()});
        }
    }
    // The summary files lie in DIR too: no folder takes their names.
    QSet<QString> taken = {summaryBookName.toLower(), summaryCsvName.toLower()};
    for (BatchObject &o : objects) {
        const QString base = folderName(o.path);
        o.folder = base;
        for (int n = 2; taken.contains(o.folder.toLower()); ++n)
            o.folder = QStringLiteral("%1 (%2)").arg(base).arg(n);
        taken.insert(o.folder.toLower());
    }
    return objects;
}

int runBatch(const CliOptions &opt, const QString &startDir)
{
    QStringList skipped;
    const QVector<BatchObject> objects = batchObjects(opt.sources, startDir, &skipped);
    for (const QString &line : skipped)
        say(stderr, QStringLiteral("keli-calc: %1").arg(line));
    if (objects.isEmpty()) {
        say(stderr, QStringLiteral("keli-calc: в %1 нет исходных файлов").arg(opt.sources.join(QLatin1Char(' '))));
        return 2;
    }
    if (!QDir().mkpath(opt.outDir)) {
        say(stderr, QStringLiteral("keli-calc: не удалось создать папку %1").arg(QDir::toNativeSeparators(opt.outDir)));
        return 2;
    }
    // Loaded once; every thread fills copies of them.
    ReportTemplates templates;
    templates.load(opt.workDir, installedTemplatesDir(QCoreApplication::applicationDirPath()),
                   {report1TemplateName, report2TemplateName, stopListBookName, summaryTemplateName});
    ReportFilesOptions reportOptions;
    reportOptions.report1 = opt.report1;
    reportOptions.report2 = opt.report2;
    reportOptions.errorPageAfterWarnings = opt.stopList;
    reportOptions.templates = &templates;

    const bool withJson = !opt.jsonPath.isEmpty();
    JsonWriter json(opt.jsonPath);
    if (withJson && !json.open()) {
        say(stderr, QStringLiteral("keli-calc: %1: %2").arg(opt.jsonPath, json.errorString()));
        return 2;
    }

    const int count = objects.size();
    QVector<SummaryRow> rows(count);
    QVector<QStringList> pages(count); // printed on this thread once every object is done
    std::vector<char> succeeded(count, 0);
    std::vector<char> finished(count, 0);
    std::atomic<int> next{0};
    std::mutex mutex; // guards rows, finished, json, done, failed and stderr
    int done = 0;
    int failed = 0;
    const BatchInterrupt interrupt;
    // After a signal no object is taken: those running finish, the others are marked.
    const auto work = [&]() {
        for (int k = next++; k < count && !interrupt.signal(); k = next++) {
            ObjectResult r = runObject(objects[k], opt, opt.outDir, reportOptions, withJson);
            const std::lock_guard<std::mutex> lock(mutex);
            ++done;
            if (!r.ok)
                ++failed;
            say(stderr, QStringLiteral("[%1/%2] %3: %4").arg(done).arg(count).arg(objects[k].source, r.row.result));
            rows[k] = std::move(r.row);
            pages[k] = std::move(r.pages);
            succeeded[k] = r.ok;
            finished[k] = 1;
            if (withJson)
                json.add(k, std::move(r.json));
        }
    };
    const int jobs = qBound(1, opt.jobs > 0 ? opt.jobs : QThread::idealThreadCount(), count);
    std::vector<std::thread> threads;
    for (int t = 1; t < jobs; ++t) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error &e) {
            // The threads started, this one among them, take every object between them.
            say(stderr, QStringLiteral("keli-calc: не удалось запустить поток (%1); объекты считают "
                                       "запущенные потоки: %2 из %3")
                            .arg(e.code() == std::errc::resource_unavailable_try_again
                                     ? QStringLiteral("системе не хватает ресурсов")
                                     : QStringLiteral("код ошибки %1").arg(e.code().value()))
                            .arg(t)
                            .arg(jobs));
            break;
        }
    }
    work();
    for (std::thread &t : threads)
        t.join();
    if (interrupt.signal()) {
        say(stderr, QStringLiteral("keli-calc: расчет прерван сигналом %1; объекты, которые не рассчитаны, "
                                   "отмечены в сводке \"%2\"").arg(interrupt.signal()).arg(interruptedText));
        for (int k = 0; k < count; ++k) {
            if (finished[k])
                continue;
            clearReportFiles(QDir(opt.outDir).filePath(objects[k].folder));
            rows[k] = interruptedRow(objects[k].source);
            ++failed;
            if (withJson)
                json.add(k, unreadableJson(objects[k].source, interruptedText, QStringLiteral("interrupted")));
        }
    }

    markUncommonPeriods(rows);
    bool written = true;
    QString error;
    const QDir out(opt.outDir);
    const auto report = [&](bool ok, const QString &path) {
        if (ok) {
            say(stdout, QStringLiteral("Записан: %1").arg(path));
        } else {
            say(stderr, QStringLiteral("keli-calc: %1").arg(error));
            written = false;
        }
    };
    // Each object's pages on paper: the pages' fonts and painting stay on this one thread.
    if (opt.pdf && !interrupt.signal())
        failed += printPages(objects, rows, pages, succeeded, opt.outDir);
    Dataset signatories;
    signatories.organisation = opt.organisation;
    signatories.preparedBy = opt.preparedBy;
    signatories.checkedBy = opt.checkedBy;
    const QStringList signOff = signOffLines(signatories, reportOptions.dateText);
    report(writeSummaryBook(out.filePath(summaryBookName), templates.open(summaryTemplateName).get(), rows,
                            reportOptions.dateText, &error, reportOrganisation(signatories), signOff),
           out.filePath(summaryBookName));
    if (opt.pdf)
        report(writeSummaryPdf(out.filePath(summaryPdfName), rows, reportOrganisation(signatories),
                               reportOptions.dateText, signOff, &error),
               out.filePath(summaryPdfName));
    report(writeSummaryCsv(out.filePath(summaryCsvName), rows, &error), out.filePath(summaryCsvName));
    if (withJson) {
        const bool ok = json.commit();
        if (!ok)
            error = saveFailedMessage(opt.jsonPath, json.errorString());
        report(ok, opt.jsonPath);
    }
    say(stdout, QStringLiteral("Объектов: %1, рассчитано: %2, не рассчитано или не записано: %3")
                    .arg(count).arg(count - failed).arg(failed));
    if (interrupt.signal())
        return interrupt.exitStatus();
    return failed == 0 && written ? 0 : 1;
}
