#include "core/com.h"

namespace com {

const QStringList ls_mes = {
    QStringLiteral("Январь"), QStringLiteral("Февраль"), QStringLiteral("Март"),
    QStringLiteral("Апрель"), QStringLiteral("Май"), QStringLiteral("Июнь"),
    QStringLiteral("Июль"), QStringLiteral("Август"), QStringLiteral("Сентябрь"),
    QStringLiteral("Октябрь"), QStringLiteral("Ноябрь"), QStringLiteral("Декабрь"),
    QStringLiteral("год")};

const QString organisationName = QStringLiteral("Служба учета электроэнергии сетевой компании");

const QString programTitle = QStringLiteral("Программа КЕЛИ");
const QString programVersion = QStringLiteral(" (Версия V2.01.26)");

QString monthName(int month)
{
    return (month >= 1 && month <= ls_mes.size()) ? ls_mes.at(month - 1) : QString();
}

QString monthNameLower(int month)
{
    return monthName(month).toLower();
}

QString periodText(int month, int year)
{
    if (month == ls_mes.size()) // the whole year: "2023 год"
        return QString::number(year) + QStringLiteral(" год");
    return monthNameLower(month) + QLatin1Char(' ') + QString::number(year) + QStringLiteral(" года");
}

} // namespace com
