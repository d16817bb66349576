#pragma once
// A workbook (.xlsx package) opened from a file or created new. Edits are lossless: parts that
// were not changed are written back byte for byte, and in a changed sheet only written cells change.
// Rows and columns count from 1.

#include "xlsx/xlsxformat.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

namespace QXlsx {

class DocumentPrivate;

class Document
{
public:
    // A new workbook with one empty sheet "Лист1".
    Document();
    // Opens the package at name; isLoadPackage() tells whether it loaded. A name that does not
    // exist gives a new workbook that saves under that name (as the library we stand in for does).
    explicit Document(const QString &name);
    ~Document();
    // An independent copy (a template loaded once, filled many times); copying the same document
    // from several threads at once is safe while none of them changes it.
    Document(const Document &other);
    Document &operator=(const Document &) = delete;

    // True when the file named at construction was read as a workbook.
    bool isLoadPackage() const;
    // Why the package did not load (empty when it did, or for a new document).
    QString errorString() const;

    QStringList sheetNames() const;
    // Makes the named sheet current; false (and no change) when there is none of that name.
    // Sheets are read when first made current (the active one on opening), within a budget of
    // inflated parts for the whole package: a sheet that cannot be read, or would pass the
    // budget, gives false and refuses the workbook (isLoadPackage() false, errorString() why; it
    // is never written over).
    bool selectSheet(const QString &name);
    QString currentSheetName() const;

    // The value of a cell of the current sheet: QString, double or bool; an invalid QVariant for an
    // empty or missing cell; a formula cell gives its cached value, an error cell its text ("#DIV/0!").
    QVariant read(int row, int column) const;
    // The number of the last row of the current sheet that has an entry (values, styles or writes),
    // 0 for an empty sheet: where clearing leftover rows may stop.
    int lastRow() const;

    // Writes a value (QString -> text, numbers -> number, bool -> boolean; an invalid QVariant or
    // an empty text clears the value) into the current sheet. An empty Format keeps the cell's
    // style; with an empty Format, clearing a cell that holds no value changes nothing. False when
    // the cell reference is out of range or the value cannot be stored.
    bool write(int row, int column, const QVariant &value, const Format &format = Format());
    // Clears the values of the cells of the current sheet in rows firstRow..lastRow and columns
    // firstColumn..lastColumn that hold one (their styles stay); cells without a value are not
    // touched, so clearing far down a sheet writes nothing for the rows between.
    void clearValues(int firstRow, int firstColumn, int lastRow, int lastColumn);

    // Sets the height in points of a row of the current sheet that gets written cells.
    void setRowHeight(int row, double points);

    // Saves atomically to the file named at construction / to name. False on failure; the old
    // file then stays as it was, and errorString() says why in Russian.
    bool save();
    bool saveAs(const QString &name);
    // As saveAs(name); check reads the complete new file (under its temporary name) before it
    // replaces name, and a non-empty answer stops the save with that text as the error.
    bool saveAs(const QString &name, const std::function<QString(const QString &writtenPath)> &check);

private:
    std::unique_ptr<DocumentPrivate> d;
};

} // namespace QXlsx
