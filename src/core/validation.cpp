#include "core/validation.h"

#include "core/calcmath.h"
#include "core/helpers.h"

#include <initializer_list>

namespace keli {

const QString kindError = QStringLiteral("Ошибка");
const QString kindWarning = QStringLiteral("Предупреждение");

namespace {

bool inScale(double value, std::initializer_list<double> members)
{
    const float v = static_cast<float>(value);
    for (double m : members)
        if (v == static_cast<float>(m))
            return true;
    return false;
}

constexpr double kSqrt3 = 1.7320508075688772;

} // namespace

bool isReportingVoltage(double kV)
{
    return inScale(kV, {0.22, 0.23, 0.38, 0.4, 0.66, 0.69, 0.7, 3, 6, 10, 15, 20, 35, 60, 110, 154,
                        220, 330, 500, 750});
}

bool isRatedVoltage(double kV)
{
    return inScale(kV, {0.22, 0.23, 0.38, 0.4, 0.66, 0.69, 0.7, 3, 6, 6.3, 10, 13.8, 15, 15.75, 18,
                        20, 24, 27, 27.5, 35, 60, 110, 154, 220, 330, 500, 750});
}

bool isTransformerMeterClass(double cls)
{
    return inScale(cls, {0.2, 0.5, 1.0, 1.5, 2.0, 2.5});
}

bool isDirectMeterClass(double cls)
{
    return inScale(cls, {0.5, 1.0, 1.5, 2.0, 2.5});
}

bool isCtClass(double cls)
{
    return inScale(cls, {0.1, 0.2, 0.5, 1.0, 3.0});
}

bool isVtClass(double cls)
{
    return inScale(cls, {0, 0.1, 0.2, 0.5, 1.0, 3.0, 6.0});
}

bool isCtRatedCurrent(int amperes)
{
    for (int m : {5, 10, 15, 20, 30, 40, 50, 60, 70, 75, 80, 100, 150, 250, 750})
        if (amperes == m)
            return true;
    return amperes % 100 == 0;
}

void addArrMesErr(QVector<StopListEntry> &stopList, int fileRow, int table, int rowInTable,
                  const QString &name, const QString &parameter, double value,
                  const QString &message, const QString &kind)
{
    StopListEntry e;
    e.fileRow = fileRow;
    e.table = table;
    e.rowInTable = rowInTable;
    e.name = name;
    e.parameter = parameter;
    e.value = round(finiteOr0(value), 2);
    e.message = message;
    e.kind = kind;
    stopList.append(e);
}

double ctLoadFactor(double energy, int ratedCurrent, double ratedVoltage, int hours, double meters,
                    double tanPhi, double fillFactor)
{
    if (meters <= 0 || ratedCurrent <= 0 || ratedVoltage <= 0 || hours <= 0 || fillFactor == 0)
        return 0.0;
    const double beta = std::fabs(energy) * 1000.0
                        / (ratedCurrent * kSqrt3 * ratedVoltage * hours * meters)
                        * std::sqrt(1.0 + tanPhi * tanPhi) * (2.0 * fillFactor + 1.0)
                        / (3.0 * fillFactor);
    return round(finiteOr0(beta), 2);
}

double ctLoss(double ctClass, double ratedVoltage, int ratedCurrent, int workingDays, double meters,
              double beta, double fillFactor)
{
    double p;
    if (ratedVoltage <= 10 && ratedCurrent <= 1500)
        p = 30.0 * safeSqrt(ctClass) + 104.0;
    else if (ratedVoltage >= 110)
        p = 270.0 * safeSqrt(ctClass) + 372.0;
    else
        p = 60.0 * safeSqrt(ctClass) + 104.0;
    const double loss = safeDivide(p * 24.0 * workingDays * meters * beta * beta
                                       * (2.0 * fillFactor + 1.0),
                                   3.0 * fillFactor)
                        / 1000000.0;
    return finiteOr0(loss);
}

namespace {

// The checks of one metering point with energy W ≠ 0.
class RowCheck
{
public:
    RowCheck(const Dataset &ds, CalcResults &r, QVector<StopListEntry> &stopList, int i)
        : ds(ds), r(r), stopList(stopList), i(i)
    {
        groupStr(i + 1, r.intakeCount, r.externalCount, table, number);
    }

    // False when the row has Кз = 0 and the walk must end.
    bool run(QString *fillFactorMessage);

private:
    void error(const QString &parameter, double value, const QString &message)
    {
        addArrMesErr(stopList, i + 2, table, number, ds.name[i], parameter, value, message, kindError);
    }
    void warning(const QString &parameter, double value, const QString &message)
    {
        addArrMesErr(stopList, i + 2, table, number, ds.name[i], parameter, value, message, kindWarning);
    }
    void directlyConnected();
    void transformerConnected();

    const Dataset &ds;
    CalcResults &r;
    QVector<StopListEntry> &stopList;
    const int i;
    int table = 0;
    int number = 0;
};

bool RowCheck::run(QString *fillFactorMessage)
{
    const int days = r.periodDays;
    const int offDays = ds.offDays[i];
    const double fill = ds.fillFactor[i];

    if (offDays >= days)
        error(QStringLiteral("Число дней отключения"), offDays,
              QStringLiteral("Число дней отключения больше Т расч"));
    if (wholePart(ds.verificationDate[i]) > 12)
        error(QStringLiteral("Номер месяца"), ds.verificationDate[i],
              QStringLiteral("Номер месяца не  д.быть больше 12"));
    if (fill < 0.1 || fill > 1.0)
        error(QStringLiteral("Кз"), fill, QStringLiteral("Кз д.быть в пределах от 0.1 до 1.0"));
    if (fill == 0) {
        *fillFactorMessage = QStringLiteral("КЗ равно  0 в строке ") + QString::number(i + 2)
                             + QStringLiteral(" группы ") + QString::number(table)
                             + QStringLiteral(" - ") + QString::number(number);
        return false;
    }

    const double reportVoltage = round(ds.reportVoltage[i], 2);
    r.rowReportVoltage[i] = reportVoltage;
    r.rowReportVoltageShown[i] = reportVoltage;
    if (reportVoltage != 0.22 && !isReportingVoltage(reportVoltage))
        warning(QStringLiteral("Uном"), reportVoltage,
                QStringLiteral("Uном должен соответствовать стандартной шкале"));

    if (ds.ctClass[i] == 0)
        directlyConnected();
    else
        transformerConnected();
    return true;
}

void RowCheck::directlyConnected()
{
    if (ds.vtClass[i] > 0.4)
        return; // a VT without CT: nothing more is checked
    r.rowVtCircuitLoss[i] = 0;
    if (r.rowReportVoltageShown[i] == 0)
        r.rowReportVoltageShown[i] = 0.4;
    if (wholePart(ds.meterCount[i]) == 0)
        error(QStringLiteral("Число счетчиков"), 0,
              QStringLiteral("Число однофазных счетчиков равно 0 "));
    if (r.rowYearsSinceVerification[i] > 16)
        warning(QStringLiteral("Срок поверки 1-фазных сч."), ds.verificationDate[i],
                QStringLiteral("Срок поверки  д.быть менее 16 лет"));
    if (!isDirectMeterClass(ds.meterClass[i]))
        warning(QStringLiteral("Класс точности однофазных счетчиков не соответствует стандартной шкале"),
                ds.meterClass[i],
                QStringLiteral("Класс точности однофазных счетчиков должен соответствовать стандартной шкале"));
}

void RowCheck::transformerConnected()
{
    const double vtClass = ds.vtClass[i];
    const double ratedVoltage = ds.ctVoltage[i];
    const int ratedCurrent = ds.ctRatedCurrent[i];
    const double meters = wholePart(ds.meterCount[i]);
    const double fill = ds.fillFactor[i];
    const double energy = r.rowEnergy[i];
    const int workingDays = r.periodDays - ds.offDays[i];

    if (!isTransformerMeterClass(ds.meterClass[i]))
        error(QStringLiteral("Класс точности однофазных счетчиков не соответствует стандартной шкале"),
              ds.meterClass[i], QStringLiteral("Класс точности должен соответствовать стандартной шкале"));
    if (!isCtClass(ds.ctClass[i]))
        error(QStringLiteral("Класс точности ТТ не соответствует стандартной шкале"), ds.ctClass[i],
              QStringLiteral("Класс точности ТТ должен соответствовать стандартной шкале"));
    if (!isVtClass(vtClass))
        error(QStringLiteral("Класс точности ТН не соответствует стандартной шкале"), vtClass,
              QStringLiteral("Класс точности ТН должен соответствовать стандартной шкале"));
    if (!isRatedVoltage(ratedVoltage) || (vtClass == 0 && ratedVoltage > 1))
        error(QStringLiteral("Iном ТТ. не соответствует стандартной шкале"), ratedVoltage,
              QStringLiteral("Iном. ТТ должен соответствовать стандартной шкале"));
    if (wholePart(ratedVoltage) > 1 && vtClass == 0)
        error(QStringLiteral("ТН, Inom"), ratedVoltage,
              QStringLiteral("Если нет ТН, Uном ТТ должно быть меньше 1000 В"));
    // Without a positive meter count or rated current the load factor has no value.
    if (meters <= 0)
        error(QStringLiteral("Число счетчиков"), ds.meterCount[i],
              QStringLiteral("Число счетчиков ТУ с ТТ должно быть больше 0"));
    if (ratedCurrent <= 0)
        error(QStringLiteral("Iном ТТ"), ratedCurrent,
              QStringLiteral("Iном ТТ должен быть больше 0"));

    const int hours = 24 * workingDays;
    const bool hasLoad = meters > 0 && ratedCurrent > 0 && ratedVoltage > 0 && hours > 0;
    const double beta = hasLoad ? ctLoadFactor(energy, ratedCurrent, ratedVoltage, hours, meters,
                                               ds.tanPhi[i], fill)
                                : 0.0;
    const double load = maxLoadFactor(beta, fill);
    r.rowLoadFactor[i] = beta;
    r.rowMaxLoadShown[i] = load;

    if (hasLoad && round(load, 2) > 1.25)
        error(QStringLiteral("Коэффициент максимальной токовой загрузки ТТ"), beta,
              QStringLiteral("Коэффициент максимальной токовой загрузки ТТ д.быть меньше 1.25. Уменьшите энергию ТУ."));
    if (!isCtRatedCurrent(ratedCurrent))
        warning(QStringLiteral("Iном не соответствует стандартной шкале"), ratedCurrent,
                QStringLiteral("Iном необходимо привести в соответствие"));
    if (vtClass == 0) {
        const double kV = wholePart(ratedVoltage) != 0 ? wholePart(ratedVoltage) : 10.0;
        const double amperes = ratedCurrent != 0 ? ratedCurrent : 100.0;
        if (std::fabs(safeDivide(1000.0 * energy, meters))
            > kV * 51.96152422706631 * amperes * workingDays * fill)
            warning(QStringLiteral("Энергия  3-х фазных счетчиков без ТН в сетях 0.4 кВ превышает  1000 кВт.ч/день"),
                    energy, QStringLiteral("Необходимо уменьшить потребление энергии"));
    }
    if (hasLoad && load < 0.05)
        warning(QStringLiteral("Коэффициент максимальной токовой загрузки ТТ"), beta,
                QStringLiteral("Коэффициент максимальной токовой загрузки ТТ д.быть больше 0.05.Увеличьте энергию ТУ."));

    const double loss = ctLoss(ds.ctClass[i], ratedVoltage, ratedCurrent, workingDays, meters, beta, fill);
    r.rowCtLoss[i] = loss;
    r.ctLossEnergy += loss;
}

// A number cell of row i holding something else is an error however the row's energy stands: its
// 0 would silently change the balance.
bool reportNonNumbers(const Dataset &ds, int i, int table, int number, QVector<StopListEntry> &stopList)
{
    const QMap<int, QString> cells = ds.nonNumericText.value(i);
    for (auto it = cells.cbegin(); it != cells.cend(); ++it) {
        const QString where = QStringLiteral("строка %1, столбец %2 «%3»")
                                  .arg(i + 2)
                                  .arg(QChar('A' + it.key() - 1))
                                  .arg(numberColumnName(it.key()));
        addArrMesErr(stopList, i + 2, table, number, ds.name[i], numberColumnName(it.key()), 0,
                     QStringLiteral("«%1» не число (%2). Введите число.").arg(it.value(), where), kindError);
    }
    return !cells.isEmpty();
}

// A header value (J1..L1) that is not a number: its 0 would silently change the losses.
void reportHeaderNonNumbers(const Dataset &ds, QVector<StopListEntry> &stopList)
{
    const QString names[3] = {QStringLiteral("Расчетные технические потери"),
                              QStringLiteral("Погрешность расчета техн. потерь"),
                              QStringLiteral("Допустимые коммерческие потери")};
    for (auto it = ds.headerNonNumericText.cbegin(); it != ds.headerNonNumericText.cend(); ++it) {
        const QString &name = names[qBound(10, it.key(), 12) - 10];
        addArrMesErr(stopList, 1, 0, 0, ds.objectName, name, 0,
                     QStringLiteral("«%1» не число (ячейка %2%3 «%4»). Введите число в поле «%4».")
                         .arg(it.value(), QChar('A' + it.key() - 1), QStringLiteral("1"), name),
                     kindError);
    }
}

} // namespace

WalkResult validateRows(const Dataset &ds, CalcResults &r, QVector<StopListEntry> &stopList)
{
    WalkResult result;
    reportHeaderNonNumbers(ds, stopList);
    for (int i = 0; i < r.rowCount; ++i) {
        int table = 0, number = 0;
        groupStr(i + 1, r.intakeCount, r.externalCount, table, number);
        r.rowEnergy[i] = r.correctionFactor[table - 1] * ds.energy[i];
        r.pointDays[i] = r.periodDays;
        r.rowYearsSinceVerification[i] = kol_y(ds.verificationDate[i], r.periodMonth, r.periodYear);
        r.rowVtCircuitLoss[i] = ds.vtVoltageLoss[i];
        // A row with a cell that is not a number is not checked further: its 0 is no value.
        if (reportNonNumbers(ds, i, table, number, stopList) || r.rowEnergy[i] == 0)
            continue;
        RowCheck check(ds, r, stopList, i);
        if (!check.run(&result.message)) {
            result.fillFactorZero = true;
            break;
        }
    }
    return result;
}

} // namespace keli
