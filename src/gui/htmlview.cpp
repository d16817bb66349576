#include "htmlview.h"

#include "ui_htmlview.h"

#include "screenfit.h"

#include "core/helpers.h"
#include "core/htmlpage.h"
#include "print/reportprint.h"

#include <QDateTime>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

namespace {

// The screen's document (the page file stays as it is): a cell holding a number stays on one line ("110.00", never "110.0" over "0"), and a table asking for more
// than the window's width gets the window's width, so its last column ("Код доставки") is not cut.
// A page wider than that scrolls sideways.
void fitForScreen(QTextDocument &document)
{
    static const QRegularExpression number(QStringLiteral(R"(^\s*[-+]?\d+([.,]\d*)?\s*%?\s*$)"));
    QTextBlockFormat whole;
    whole.setNonBreakableLines(true);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (!number.match(block.text()).hasMatch())
            continue;
        QTextCursor cursor(block);
        cursor.mergeBlockFormat(whole);
        if (QTextTable *table = cursor.currentTable()) {
            QTextTableFormat format = table->format();
            if (format.width().type() == QTextLength::PercentageLength && format.width().rawValue() > 100) {
                format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
                table->setFormat(format);
            }
        }
    }
}

} // namespace

HtmlView::HtmlView(QString organisationName, QString objectName, QWidget *parent)
    : QDialog(parent),
      ui(new Ui_HtmlView),
      m_organisationName(std::move(organisationName)),
      m_objectName(std::move(objectName))
{
    // The icons are compiled into this static library; register them before the form uses them.
    Q_INIT_RESOURCE(icons);
    ui->setupUi(this);
    connect(ui->ActNext, &QPushButton::clicked, this, &HtmlView::OnActNextClick);
    connect(ui->ActPrev, &QPushButton::clicked, this, &HtmlView::OnActPrevClick);
    connect(ui->PreviewButton, &QPushButton::clicked, this, &HtmlView::OnPrintPreviewClick);
    // Enter in the search line finds the next match.
    connect(ui->ValueFind, &QLineEdit::returnPressed, this, [this] { FindTextInEditor(false); });
    move(20, 20);
    keli::fitToScreen(this, ui->textEdit);
}

HtmlView::~HtmlView()
{
    delete ui;
}

void HtmlView::HtmlBody(QString title, QString period, QStringList rows, QString kind)
{
    const QDateTime startedAt = QDateTime::currentDateTime();
    writeAndLoad(title, keli::htmlBodyLines(heading(), title, period, rows, startedAt), kind);
}

void HtmlView::HtmlBody2(QString title, QString caption2, QString period, QStringList rows1,
                         QStringList rows2, QString kind)
{
    writeAndLoad(title, keli::htmlBody2Lines(heading(), title, caption2, period, rows1, rows2), kind);
}

void HtmlView::HtmlBody3(QString title, QString caption2, QString caption3, QString period,
                         QStringList rows1, QStringList rows2, QStringList rows3, QString kind)
{
    writeAndLoad(title,
                 keli::htmlBody3Lines(heading(), title, caption2, caption3, period, rows1, rows2, rows3),
                 kind);
}

void HtmlView::showReportPage(const keli::ReportPage &page)
{
    writeAndLoad(page.title, keli::framePage(heading(), page, QDateTime::currentDateTime()),
                 QStringLiteral("html"));
}

keli::PageHeading HtmlView::heading() const
{
    return {m_organisationName, m_objectName, m_signOff};
}

void HtmlView::writeAndLoad(const QString &title, const QStringList &lines, const QString &kind)
{
    const QString path = GetCrossFilePath(keli::pageFileName(title));
    m_pageError.clear();
    setWindowTitle(title);

    // What is shown is what the page file holds; a page that cannot be written or read back is
    // shown from memory (the caller tells the user why it is not saved).
    QString pageText;
    QFile file(path);
    if (keli::writePageFile(path, lines, &m_pageError) && file.open(QIODevice::ReadOnly | QIODevice::Text))
        pageText = QString::fromUtf8(file.readAll());
    else
        pageText = lines.join(QString());
    if (!m_document)
        m_document = new QTextDocument(this);
    if (kind == QLatin1String("html"))
        m_document->setHtml(pageText);
    else
        m_document->setPlainText(pageText);
    fitForScreen(*m_document);
    ui->textEdit->setDocument(m_document);
    ui->textEdit->setWordWrapMode(QTextOption::WordWrap); // words break only between them
}

void HtmlView::FindTextInEditor(bool backward)
{
    ui->lbFound->clear();
    if (!m_document)
        return;
    const QString text = ui->ValueFind->text();
    if (text.isEmpty())
        return;
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    QTextCursor found = m_document->find(text, ui->textEdit->textCursor(), flags);
    if (found.isNull()) {
        // Past the last match: on from the other end of the page.
        QTextCursor end(m_document);
        if (backward)
            end.movePosition(QTextCursor::End);
        found = m_document->find(text, end, flags);
        if (!found.isNull())
            ui->lbFound->setText(backward ? QStringLiteral("Поиск продолжен с конца")
                                          : QStringLiteral("Поиск продолжен с начала"));
    }
    if (found.isNull()) {
        ui->lbFound->setText(QStringLiteral("«%1» не найдено").arg(text));
        return;
    }
    ui->textEdit->setTextCursor(found);
}

QString HtmlView::GetCrossFilePath(const QString &name)
{
    return keli::GetCrossFilePath(name);
}

void HtmlView::OnActNextClick(bool)
{
    FindTextInEditor(false);
}

void HtmlView::OnActPrevClick(bool)
{
    FindTextInEditor(true);
}

void HtmlView::OnPrintPreviewClick(bool)
{
    if (!m_document)
        return;
    // What the text area shows now, on A4 in the orientation its tables need (landscape for the
    // wide table of Report No. 1), rows whole, headings repeated, pages numbered.
    const keli::PrintDoc printed = keli::parsePrintDoc(ui->textEdit->toHtml());
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(keli::reportPageLayout(printed, &printer));
    QPrintPreviewDialog preview(&printer);
    const QString footer = keli::reportFooter(m_objectName, windowTitle());
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [&printed, footer](QPrinter *p) { keli::printReportPage(printed, p, footer); });
    preview.exec();
}
