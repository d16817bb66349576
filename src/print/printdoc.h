#pragma once
// A report page as paper needs it: its headings, paragraphs and tables, cell by cell. Read from the
// page's HTML (the page file, or the viewer's content as the text area serialises it) by a small
// reader of the few elements the pages use; everything else (styles, colours, fonts) is dropped.

#include <QString>
#include <QStringList>
#include <QVector>

namespace keli {

struct PrintCell
{
    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
    QStringList lines; // the cell's lines as <br> or paragraphs end them, blanks collapsed
    bool bold = false; // a <th> cell, or one whose text is set in bold
};

struct PrintTable
{
    int widthPercent = 0; // of the page's width; 0 when the table takes the width it needs
    int rows = 0;
    int columns = 0;
    int headingRows = 0;  // leading rows of bold cells, repeated on every page the table spans
    QVector<PrintCell> cells;
};

struct PrintBlock
{
    enum Kind { Heading, Paragraph, Table };
    Kind kind = Paragraph;
    int level = 0;     // 1 or 2 for headings
    QStringList lines; // headings and paragraphs
    int table = -1;    // index into PrintDoc::tables for a table
};

struct PrintDoc
{
    bool landscape = false; // on landscape sheets even when its tables would fit portrait ones
    QVector<PrintBlock> blocks;
    QVector<PrintTable> tables;
};

// Reads a report page. A table's caption becomes a heading before it; rows need no closing tags.
PrintDoc parsePrintDoc(const QString &html);

} // namespace keli
