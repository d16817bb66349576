#pragma once
// The report viewer: frames the rows of a report into a page (core writes the page file), reads the
// file back and shows it, with a search line and a print preview.

#include <QDialog>
#include <QString>
#include <QStringList>

class QTextDocument;
class Ui_HtmlView;

namespace keli { struct PageHeading; struct ReportPage; }

class HtmlView : public QDialog
{
    Q_OBJECT

public:
    HtmlView(QString organisationName, QString objectName, QWidget *parent = nullptr);
    ~HtmlView() override;

    // One-, two- and three-table pages; each writes title + ".html" in the working directory and
    // shows what the file holds (the page itself when the file cannot be written or read). kind "html" shows rich text, anything else plain text.
    void HtmlBody(QString title, QString period, QStringList rows, QString kind);
    void HtmlBody2(QString title, QString caption2, QString period, QStringList rows1,
                   QStringList rows2, QString kind);
    void HtmlBody3(QString title, QString caption2, QString caption3, QString period,
                   QStringList rows1, QStringList rows2, QStringList rows3, QString kind);
    // The frame a report page asks for, as "html".
    void showReportPage(const keli::ReportPage &page);
    // Paragraphs that end the pages shown from now on: the calculation and the lines to sign.
    void setSignOff(const QStringList &lines) { m_signOff = lines; }

    // Searches the shown page from the cursor, backwards when backward is true; past the last match
    // it goes on from the other end. Beside the search line it says when it went round, and
    // "«text» не найдено" when the page does not hold the text.
    void FindTextInEditor(bool backward);
    QString GetCrossFilePath(const QString &name);

    // Why the last page file could not be written (empty when it was written); the page is shown
    // from memory all the same.
    QString pageError() const { return m_pageError; }

private slots:
    void OnActNextClick(bool checked);
    void OnActPrevClick(bool checked);
    void OnPrintPreviewClick(bool checked);

private:
    keli::PageHeading heading() const;
    void writeAndLoad(const QString &title, const QStringList &lines, const QString &kind);

    QTextDocument *m_document = nullptr;
    Ui_HtmlView *ui = nullptr;
    QString m_organisationName;
    QString m_objectName;
    QString m_pageError;
    QStringList m_signOff;
};
