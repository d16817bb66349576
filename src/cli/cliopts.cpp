#include "cliopts.h"

#include "core/dialogfields.h"
#include "core/settings.h"

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

// The correction factors and releases not given, from the working folder's keli.ini.
void takeSettingsDefaults(CliOptions *o)
{
    const keli::Settings settings(QDir(o->workDir).filePath(QStringLiteral("keli.ini")));
    for (int t = 0; t < 3 && !o->correctionGiven; ++t)
        o->correction[t] = settings.correctionFactor(t + 1);
    for (int k = 0; k < 4 && !o->releasesGiven; ++k)
        o->releases[k] = settings.networkRelease(k + 1);
    o->organisation = settings.organisation();
    o->preparedBy = settings.preparedBy();
    o->checkedBy = settings.checkedBy();
}

// The options that take a value.
const QStringList valueOptions = {QStringLiteral("--month"), QStringLiteral("--year"),
                                  QStringLiteral("--correction"), QStringLiteral("--releases"),
                                  QStringLiteral("--reports"), QStringLiteral("--workdir"),
                                  QStringLiteral("--save"), QStringLiteral("--json"),
                                  QStringLiteral("--out"), QStringLiteral("--jobs")};

} // namespace

QString cliUsage()
{
    return QStringLiteral(
        "Запуск: keli-calc [--month M] [--year Y] [--correction K1,K2,K3] [--releases R1,R2,R3,R4]\n"
        "                  [--reports СПИСОК] [--no-stoplist] [--workdir ПАПКА] [--save ФАЙЛ.xlsx]\n"
        "                  [--json ФАЙЛ.json] [--pdf] ИСХОДНЫЙ.xlsx\n"
        "        keli-calc [параметры] [--jobs N] [--pdf] --out ПАПКА ИСХОДНЫЙ.xlsx... | ПАПКА...\n"
        "        keli-calc --version | --help\n"
        "\n"
        "Загружает ИСХОДНЫЙ файл (не изменяя его) и выполняет расчет, как кнопка \"РАСЧЕТ\".\n"
        "  --month M          месяц расчета 1..12, 13 = весь год (по умолчанию: как в файле)\n"
        "  --year Y           год расчета (по умолчанию: как в файле)\n"
        "  --correction K..   поправочные коэффициенты трех таблиц, 0..9,99, не более двух знаков\n"
        "                     после точки (по умолчанию: из файла, иначе из keli.ini, иначе 1.00)\n"
        "  --releases R..     отпуск в сети 110-220, 35, 6-10, 0,4 кВ, млн кВт.ч, 0..9999, не более\n"
        "                     двух знаков после точки (по умолчанию: из файла, иначе из keli.ini, иначе 0)\n"
        "  --reports СПИСОК   1, 2, 1,2 (по умолчанию) или none\n"
        "  --no-stoplist      без страницы ошибок после расчета с предупреждениями\n"
        "  --workdir ПАПКА    откуда берутся шаблоны и keli.ini и куда пишутся отчеты (по умолчанию: .)\n"
        "  --save ФАЙЛ.xlsx   сохранить данные объекта как исходный файл\n"
        "  --json ФАЙЛ.json   записать все результаты одним объектом JSON\n"
        "  --pdf              напечатать каждую страницу отчета в PDF рядом с ней (то же имя, .pdf);\n"
        "                     с --out также Сводка.pdf\n"
        "  --out ПАПКА        много объектов: отчеты каждого в ПАПКА/<имя файла>/, сводка в\n"
        "                     ПАПКА/Сводка.xlsx и Сводка.csv; папка-источник означает свои *.xlsx;\n"
        "                     --json тогда пишет {\"objects\": [...]}\n"
        "  --jobs N           сколько объектов считать одновременно (по умолчанию: число ядер)\n"
        "  --version          показать версию программы\n"
        "  --help             показать эту справку\n"
        "Код завершения: 0 расчет выполнен; 1 расчет не завершен или запрошенный файл не записан;\n"
        "2 ошибка в командной строке или файл не прочитан. С --out: 0 рассчитаны все объекты,\n"
        "1 рассчитаны не все (причина в их строках сводки), 2 ошибка в командной строке;\n"
        "прерванный сигналом расчет: 130 (SIGINT), 143 (SIGTERM).\n");
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
        if (a == QLatin1String("--version")) {
            o->version = true;
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
        if (!a.startsWith(QLatin1Char('-')) || a == QLatin1String("-")) {
            sources << a;
            continue;
        }
        // Every other option takes a value, as "--opt value" or "--opt=value". An unknown one is
        // refused before it could take the next argument as its value.
        QString name = a, value;
        const int eq = a.indexOf(QLatin1Char('='));
        if (eq > 0)
            name = a.left(eq);
        if (!valueOptions.contains(name)) {
            *error = QStringLiteral("неизвестный параметр %1 (список параметров: keli-calc --help)").arg(name);
            return false;
        }
        if (eq > 0) {
            value = a.mid(eq + 1);
        } else if (k + 1 < args.size()) {
            value = args[++k];
        } else {
            *error = QStringLiteral("после параметра %1 нужно значение").arg(a);
            return false;
        }
        if (name == QLatin1String("--month")) {
            if (!parseWhole(value, 1, 13, &o->month)) {
                *error = QStringLiteral("--month: нужен месяц 1..13, а не \"%1\"").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--year")) {
            if (!parseWhole(value, 1, 9999, &o->year)) {
                *error = QStringLiteral("--year: нужен год 1..9999, а не \"%1\"").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--correction")) {
            double k3[3];
            if (!parseNumbers(value, 3, keli::correctionFactorField, k3)) {
                *error = QStringLiteral("--correction: нужны три числа 0..9.99 через запятую, не более "
                                        "двух знаков после точки, а не \"%1\"").arg(value);
                return false;
            }
            for (int t = 0; t < 3; ++t)
                o->correction[t] = keli::correctionFactorText(k3[t]);
            o->correctionGiven = true;
        } else if (name == QLatin1String("--releases")) {
            if (!parseNumbers(value, 4, keli::networkReleaseField, o->releases)) {
                *error = QStringLiteral("--releases: нужны четыре числа 0..9999 через запятую, не более "
                                        "двух знаков после точки, а не \"%1\"").arg(value);
                return false;
            }
            o->releasesGiven = true;
        } else if (name == QLatin1String("--reports")) {
            const QString v = value.trimmed();
            if (v == QLatin1String("none")) {
                o->report1 = o->report2 = false;
            } else if (v == QLatin1String("1") || v == QLatin1String("2") || v == QLatin1String("1,2")
                       || v == QLatin1String("2,1")) {
                o->report1 = v.contains(QLatin1Char('1'));
                o->report2 = v.contains(QLatin1Char('2'));
            } else {
                *error = QStringLiteral("--reports: нужно 1, 2, 1,2 или none, а не \"%1\"").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--workdir")) {
            o->workDir = absolute(startDir, value);
            if (!QFileInfo(o->workDir).isDir()) {
                *error = QStringLiteral("--workdir: нет такой папки: %1").arg(value);
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
                *error = QStringLiteral("--jobs: нужно число 1..256, а не \"%1\"").arg(value);
                return false;
            }
        }
    }
    takeSettingsDefaults(o);
    if (!o->outDir.isEmpty()) {
        if (sources.isEmpty()) {
            *error = QStringLiteral("не указан исходный файл");
            return false;
        }
        if (!o->savePath.isEmpty()) {
            *error = QStringLiteral("--save относится к одному объекту и не сочетается с --out");
            return false;
        }
        o->sources = sources;
        return true;
    }
    if (o->jobs) {
        *error = QStringLiteral("--jobs относится только к расчету с --out");
        return false;
    }
    if (sources.size() != 1) {
        *error = sources.isEmpty() ? QStringLiteral("не указан исходный файл")
                                   : QStringLiteral("указано больше одного исходного файла (для многих объектов: --out ПАПКА)");
        return false;
    }
    o->source = absolute(startDir, sources.first());
    return true;
}
