#include "cliopts.h"

#include "core/dialogfields.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

namespace {

QString absolute(const QString &startDir, const QString &path)
{
    return QDir::cleanPath(QDir(startDir).absoluteFilePath(path));
}

// n comma-separated numbers that the dialog's field holds as they are: within its range and with
// no more decimals than it shows.
bool parseNumbers(const QString &text, int n, const keli::FieldLimits &field, double *out)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != n)
        return false;
    for (int k = 0; k < n; ++k) {
        bool ok = false;
        const double v = parts[k].trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v) || keli::fieldValue(v, field) != v)
            return false;
        out[k] = v;
    }
    return true;
}

bool parseWhole(const QString &text, int low, int high, int *out)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < low || v > high)
        return false;
    *out = v;
    return true;
}

} // namespace

QString cliUsage()
{
    return QStringLiteral(
        "Usage: keli-calc [--month M] [--year Y] [--correction K1,K2,K3] [--releases R1,R2,R3,R4]\n"
        "                 [--reports LIST] [--no-stoplist] [--workdir DIR] [--save OUT.xlsx]\n"
        "                 [--json OUT.json] [--pdf] SOURCE.xlsx\n"
        "       keli-calc [options] [--jobs N] --out DIR SOURCE.xlsx... | FOLDER...\n"
        "\n"
        "Loads SOURCE (never rewriting it) and calculates it as one press of \"РАСЧЕТ\" does.\n"
        "  --month M          calculation month 1..12, 13 = the whole year (default: as stored)\n"
        "  --year Y           calculation year (default: as stored)\n"
        "  --correction K..   correction factors of the three tables, 0..9.99, two decimals at most\n"
        "                     (default 1.00,1.00,1.00)\n"
        "  --releases R..     releases into the 110-220, 35, 6-10, 0.4 kV networks, million kWh,\n"
        "                     0..9999, two decimals at most (default 0)\n"
        "  --reports LIST     1, 2, 1,2 (default) or none\n"
        "  --no-stoplist      no error page after a calculation with warnings\n"
        "  --workdir DIR      where templates are read and report files written (default: .)\n"
        "  --save OUT.xlsx    also save the dataset as a source workbook\n"
        "  --json OUT.json    write every result as one JSON object\n"
        "  --pdf              also print every page written as a PDF beside it (same name, .pdf)\n"
        "  --out DIR          many objects: the reports of each in DIR/<source name>/, the summary\n"
        "                     DIR/Сводка.xlsx and Сводка.csv; a FOLDER stands for its *.xlsx;\n"
        "                     --json then writes {\"objects\": [...]}\n"
        "  --jobs N           objects calculated at the same time (default: the number of cores)\n"
        "Exit status: 0 calculated; 1 the calculation did not complete or a requested file could not\n"
        "be written; 2 usage error or unreadable workbook. With --out: 0 every object calculated,\n"
        "1 some did not (their rows say why), 2 usage error.\n");
}

bool parseCliOptions(const QStringList &args, const QString &startDir, CliOptions *o, QString *error)
{
    *o = CliOptions();
    o->workDir = QDir::cleanPath(startDir);
    QStringList sources;
    for (int k = 0; k < args.size(); ++k) {
        const QString &a = args[k];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o->help = true;
            return true;
        }
        if (a == QLatin1String("--no-stoplist")) {
            o->stopList = false;
            continue;
        }
        if (a == QLatin1String("--pdf")) {
            o->pdf = true;
            continue;
        }
        if (!a.startsWith(QLatin1String("--"))) {
            sources << a;
            continue;
        }
        // Every other option takes a value, as "--opt value" or "--opt=value".
        QString name = a, value;
        const int eq = a.indexOf(QLatin1Char('='));
        if (eq > 0) {
            name = a.left(eq);
            value = a.mid(eq + 1);
        } else if (k + 1 < args.size()) {
            value = args[++k];
        } else {
            *error = QStringLiteral("option %1 needs a value").arg(a);
            return false;
        }
        if (name == QLatin1String("--month")) {
            if (!parseWhole(value, 1, 13, &o->month)) {
                *error = QStringLiteral("--month must be 1..13, not \"%1\"").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--year")) {
            if (!parseWhole(value, 1, 9999, &o->year)) {
                *error = QStringLiteral("--year must be a year, not \"%1\"").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--correction")) {
            double k3[3];
            if (!parseNumbers(value, 3, keli::correctionFactorField, k3)) {
                *error = QStringLiteral("--correction needs three numbers 0..9.99 with at most two "
                                        "decimals, not \"%1\"").arg(value);
                return false;
            }
            for (int t = 0; t < 3; ++t)
                o->correction[t] = keli::correctionFactorText(k3[t]);
        } else if (name == QLatin1String("--releases")) {
            if (!parseNumbers(value, 4, keli::networkReleaseField, o->releases)) {
                *error = QStringLiteral("--releases needs four numbers 0..9999 with at most two "
                                        "decimals, not \"%1\"").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--reports")) {
            const QString v = value.trimmed();
            if (v == QLatin1String("none")) {
                o->report1 = o->report2 = false;
            } else if (v == QLatin1String("1") || v == QLatin1String("2") || v == QLatin1String("1,2")
                       || v == QLatin1String("2,1")) {
                o->report1 = v.contains(QLatin1Char('1'));
                o->report2 = v.contains(QLatin1Char('2'));
            } else {
                *error = QStringLiteral("--reports must be 1, 2, 1,2 or none, not \"%1\"").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--workdir")) {
            o->workDir = absolute(startDir, value);
            if (!QFileInfo(o->workDir).isDir()) {
                *error = QStringLiteral("--workdir: no such directory: %1").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--save")) {
            o->savePath = absolute(startDir, value);
        } else if (name == QLatin1String("--json")) {
            o->jsonPath = absolute(startDir, value);
        } else if (name == QLatin1String("--out")) {
            o->outDir = absolute(startDir, value);
        } else if (name == QLatin1String("--jobs")) {
            if (!parseWhole(value, 1, 256, &o->jobs)) {
                *error = QStringLiteral("--jobs must be 1..256, not \"%1\"").arg(value);
                return false;
            }
        } else {
            *error = QStringLiteral("unknown option %1").arg(name);
            return false;
        }
    }
    if (!o->outDir.isEmpty()) {
        if (sources.isEmpty()) {
            *error = QStringLiteral("no source workbook given");
            return false;
        }
        if (!o->savePath.isEmpty() || o->pdf) {
            *error = QStringLiteral("%1 takes one object, not --out").arg(o->pdf ? "--pdf" : "--save");
            return false;
        }
        o->sources = sources;
        return true;
    }
    if (o->jobs) {
        *error = QStringLiteral("--jobs needs --out");
        return false;
    }
    if (sources.size() != 1) {
        *error = sources.isEmpty() ? QStringLiteral("no source workbook given")
                                   : QStringLiteral("more than one source workbook given");
        return false;
    }
    o->source = absolute(startDir, sources.first());
    return true;
}
