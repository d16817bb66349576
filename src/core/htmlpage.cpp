#include "core/htmlpage.h"

#include "core/writefailure.h"
#include "io/checkedwrite.h"

#include <QDir>
#include <QFileInfo>

namespace keli {

namespace {

QString tableOpen(const QString &width)
{
    return QStringLiteral("<table border='1' bgcolor='#DEECFC' align='center' width='%1' "
                          "cellspacing='0' cellpadding ='2'>\n")
        .arg(width);
}

QString captionH2(const QString &text)
{
    return QStringLiteral("<caption><h2 align = 'center'>") + text + QStringLiteral("</h2>\n");
}

// Lines 1 to 11 of every page: document head and the first three headings. withTitle adds the
// title element of the head.
QStringList pageHead(const PageHeading &heading, const QString &title, bool withTitle)
{
    QStringList p;
    p << QStringLiteral("<html>\n") << QStringLiteral("<head>\n");
    if (withTitle)
        p << QStringLiteral("<title>") + title + QStringLiteral("</title>\n");
    p << QStringLiteral("<meta name='qrichtext' content='1' />\n")
      << QStringLiteral("<meta http-equiv='Content-Type' content='text/html; charset=UTF-8' />\n")
      << QStringLiteral("<style type='text/css'>p, li { white-space: pre-wrap; } </style>\n")
      << QStringLiteral("</head>\n") << QStringLiteral("<body>\n")
      << QStringLiteral("<caption><h1 align = 'center'>Расчет небалансов электроэнергии и потерь, "
                        "обусловленных погрешностями системы учета</h1>\n")
      << captionH2(QStringLiteral("ПРИКАЗ № 21-326   Редакция Unix-Beta.  "
                                  "Разработка: группа сопровождения программы КЕЛИ"))
      << captionH2(heading.objectName.toHtmlEscaped() + QStringLiteral("        ")
                   + heading.organisationName.toHtmlEscaped());
    return p;
}

// Lines 13 to 16: the title heading, the second body tag, the first table and its opened row.
QStringList firstTableOpening(const QString &title, const QString &width)
{
    return {captionH2(title),
            QStringLiteral("<body style = 'font-size:11pt; font-weight:400; font-style:normal; "
                           "text-decoration:none; background-color: #FFFFDF'>\n"),
            tableOpen(width), QStringLiteral("<tr>\n")};
}

QString periodLine(const QString &period)
{
    return QStringLiteral("<caption><h2 align = 'center'>Расчетный период: ") + period
        + QStringLiteral("</h2>\n");
}

QStringList furtherTable(const QString &caption, const QStringList &rows)
{
    QStringList p;
    p << tableOpen(QStringLiteral("80%")) << captionH2(caption) << rows << QStringLiteral("</table>\n");
    return p;
}

// The paragraphs that end the page, before its closing body tag.
QStringList signOffParagraphs(const PageHeading &heading)
{
    QStringList p;
    for (const QString &line : heading.signOff)
        p << QStringLiteral("<p>") + line.toHtmlEscaped() + QStringLiteral("</p>\n");
    return p;
}

} // namespace

QStringList htmlBodyLines(const PageHeading &heading, const QString &title, const QString &period,
                          const QStringList &rows, const QDateTime &calculatedAt)
{
    QStringList p = pageHead(heading, title, true);
    if (!period.isEmpty())
        p << QStringLiteral("<caption><h2 align = 'center'>Расчетный период: ") + period
                 + QStringLiteral("      Дата расчета:  ")
                 + calculatedAt.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"))
                 + QStringLiteral("</h2>\n");
    p << firstTableOpening(title, QStringLiteral("90%")) << rows;
    if (!heading.signOff.isEmpty())
        p << QStringLiteral("</table>\n") << signOffParagraphs(heading);
    p << QStringLiteral("</body>\n");
    return p;
}

QStringList htmlBody2Lines(const PageHeading &heading, const QString &title, const QString &caption2,
                           const QString &period, const QStringList &rows1, const QStringList &rows2)
{
    QStringList p = pageHead(heading, title, false);
    if (!period.isEmpty())
        p << periodLine(period);
    p << firstTableOpening(title, QStringLiteral("102%")) << rows1 << QStringLiteral("</table>\n")
      << furtherTable(caption2, rows2) << signOffParagraphs(heading) << QStringLiteral("</body>\n")
      << QStringLiteral("</html>\n");
    return p;
}

QStringList htmlBody3Lines(const PageHeading &heading, const QString &title, const QString &caption2,
                           const QString &caption3, const QString &period, const QStringList &rows1,
                           const QStringList &rows2, const QStringList &rows3)
{
    QStringList p = pageHead(heading, title, true);
    if (!period.isEmpty())
        p << periodLine(period);
    p << firstTableOpening(title, QStringLiteral("60%")) << rows1 << QStringLiteral("</table>\n")
      << furtherTable(caption2, rows2) << furtherTable(caption3, rows3) << signOffParagraphs(heading)
      << QStringLiteral("</body>\n") << QStringLiteral("</html>\n");
    return p;
}

QString pageFileName(const QString &title)
{
    return title + QStringLiteral(".html");
}

bool writePageFile(const QString &path, const QStringList &lines, QString *error)
{
    QString reason;
    const bool ok = writeFileChecked(path, lines.join(QString()).toUtf8(), &reason);
    if (!ok && error)
        *error = QStringLiteral("Не удалось записать файл отчета \"%1\". %2")
                     .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()),
                          writeFailureReason(path, reason));
    return ok;
}

} // namespace keli

namespace keli {

QStringList framePage(const PageHeading &heading, const ReportPage &page, const QDateTime &calculatedAt)
{
    switch (page.tables) {
    case 2:
        return htmlBody2Lines(heading, page.title, page.caption2, page.period, page.rows1, page.rows2);
    case 3:
        return htmlBody3Lines(heading, page.title, page.caption2, page.caption3, page.period,
                              page.rows1, page.rows2, page.rows3);
    default:
        return htmlBodyLines(heading, page.title, page.period, page.rows1, calculatedAt);
    }
}

} // namespace keli
