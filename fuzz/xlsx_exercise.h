#pragma once
// Opens bytes as a workbook and uses it as the program would: every sheet read over a bounded
// range, a cell written with a style, saved, opened again. Shared by the fuzz target and the
// test that replays the corpus. False when an invariant breaks (a crash is caught by the caller's
// sanitizer or by the test dying).

#include "xlsx/xlsxdocument.h"

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
