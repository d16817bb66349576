#pragma once
// Opens bytes as a workbook and uses it as the program would: every sheet read over a bounded
// range, a cell written with a style, saved, opened again. Shared by the fuzz target and the
// test that replays the corpus. False when an invariant breaks (a crash is caught by the caller's
// sanitizer or by the test dying).

#include "xlsx/xlsxdocument.h"
#include "xlsx/xlsxzippackage.h"

#include <QBuffer>

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

inline bool xlsxExercise(const uint8_t *data, size_t size)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return true;
    const QString path = dir.filePath(QStringLiteral("input.xlsx"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return true;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    QXlsx::Document doc(path);
    if (!doc.isLoadPackage())
        return !doc.errorString().isEmpty() && !doc.save();
    const QStringList names = doc.sheetNames();
    if (names.isEmpty() || !names.contains(doc.currentSheetName()))
        return false;
    for (const QString &name : names) {
        if (!doc.selectSheet(name))
            return false;
        for (int row = 1; row <= 40; ++row) {
            for (int column = 1; column <= 20; ++column) {
                const QVariant v = doc.read(row, column);
                if (v.isValid() && v.userType() != QMetaType::QString && v.userType() != QMetaType::Double
                    && v.userType() != QMetaType::Bool)
                    return false;
            }
        }
    }
    QXlsx::Format format;
    format.setBorderStyle(QXlsx::Format::BorderThin);
    const bool written = doc.write(2, 3, QStringLiteral("fuzz"), format) && doc.write(3, 3, 2.5);
    const QString copy = dir.filePath(QStringLiteral("copy.xlsx"));
    if (!doc.saveAs(copy))
        return true; // a package we can read but not rebuild (damaged parts we never parsed)
    QXlsx::Document again(copy);
    if (!again.isLoadPackage() || again.sheetNames() != names)
        return false;
    again.selectSheet(doc.currentSheetName());
    if (written && (again.read(2, 3) != QVariant(QStringLiteral("fuzz")) || again.read(3, 3) != QVariant(2.5)))
        return false;
    return true;
}

// Bytes as the XML of a worksheet and (after a line "--") of the shared string table, put into a
// valid package, so that mutations reach the XML readers instead of failing the zip checksums.
inline bool xlsxExerciseSheet(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), int(qMin<size_t>(size, 1 << 24)));
    const int split = input.indexOf("\n--\n");
    const QByteArray sheet = split < 0 ? input : input.left(split);
    const QByteArray strings = split < 0 ? QByteArray() : input.mid(split + 4);
    const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    QXlsx::ZipPackage package;
    package.add(QStringLiteral("[Content_Types].xml"),
                head + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                       "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>");
    package.add(QStringLiteral("_rels/.rels"),
                head + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                       "<Relationship Id=\"rId1\" Type=\"" + rel + "/officeDocument\" Target=\"xl/workbook.xml\"/>"
                       "</Relationships>");
    package.add(QStringLiteral("xl/workbook.xml"),
                head + "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"" + rel
                    + "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
    package.add(QStringLiteral("xl/_rels/workbook.xml.rels"),
                head + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                       "<Relationship Id=\"rId1\" Type=\"" + rel + "/worksheet\" Target=\"sheet.xml\"/>"
                       "<Relationship Id=\"rId2\" Type=\"" + rel + "/sharedStrings\" Target=\"strings.xml\"/>"
                       "</Relationships>");
    package.add(QStringLiteral("xl/sheet.xml"), sheet);
    if (split >= 0)
        package.add(QStringLiteral("xl/strings.xml"), strings);
    QByteArray zip;
    QBuffer buffer(&zip);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (!package.write(&buffer, {}, {}, &error))
        return false;
    return xlsxExercise(reinterpret_cast<const uint8_t *>(zip.constData()), size_t(zip.size()));
}
