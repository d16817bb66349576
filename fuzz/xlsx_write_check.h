#pragma once
// Writing a sheet with the byte writer and with the writer it replaced: the same edits on the same
// XML, both results read again. They must hold the same cells (values, types, styles, formulas),
// and the written cells what was written. Shared by the fuzz target and the tests.
//
// Input: sheet XML, then optionally a line "--" and an edit script of four bytes per edit (kind,
// row, column, value); without a script a fixed one is used.

#include "xlsx_reference_writer.h"

#include "xlsx/xlsxcelltext.h"
#include "xlsx/xlsxsharedstrings.h"
#include "xlsx/xlsxworksheet.h"
#include "xlsx/xlsxxml.h"
#include "xlsx/xlsxxmlscanner.h"

#include <cstddef>
#include <cstdint>

namespace QXlsx {

namespace WriteCheck {

inline QString editText(int index)
{
    static const QStringList texts = {
        QStringLiteral("Точка учета"), QStringLiteral(" ведущий пробел"), QStringLiteral("пробел в конце "),
        QStringLiteral("две\nстроки"), QStringLiteral("возврат\rкаретки"), QStringLiteral("таб\t"),
        QStringLiteral("&<>\"' ]]>"), QString(QChar(1)) + QStringLiteral("упр") + QChar(0x1F), QString(QChar(0xD800)) + "x",
        QString::fromUcs4(U"\U0001F600 смайл"), QString(QChar(0xFFFE)) + QChar(0xFFFF), QString(QChar(0xA0)) + "nbsp",
        QString(QChar(0x2028)), QStringLiteral("x"), QString(QChar(0xDC00)), QStringLiteral("\n")};
    return texts[index % texts.size()];
}

inline double editNumber(int v)
{
    switch (v % 8) {
    case 0: return v;
    case 1: return -v / 7.0;
    case 2: return v * 1e20;
    case 3: return v * 1.25e-7;
    case 4: return 0.1 * v;
    case 5: return v * 123456.789;
    case 6: return -0.0;
    default: return 1.0 / 3 + v;
    }
}

// What a character that XML cannot hold reads back as.
inline QString xmlSafe(const QString &text)
{
    return Reference::xmlSafe(text);
}

struct Edits
{
    Reference::SheetEdits reference;
    std::map<std::pair<int, int>, Reference::Edit> last;
};

inline void applyEdits(const QByteArray &script, Worksheet *sheet, Edits *edits)
{
    for (int i = 0; i + 4 <= script.size() && i < 4 * 256; i += 4) {
        const int kind = uchar(script[i]);
        const int rowByte = uchar(script[i + 1]);
        const int row = rowByte >= 250 ? 1000 * (rowByte - 249) : 1 + rowByte % 48;
        const int column = 1 + uchar(script[i + 2]) % 24 + (uchar(script[i + 2]) >= 250 ? 16000 : 0);
        const int v = uchar(script[i + 3]);
        const int style = (kind / 6) % 4;
        if (kind % 6 == 4) {
            const double points = 5 + v / 4.0;
            sheet->setRowHeight(row, points);
            edits->reference.heights[row] = points;
            continue;
        }
        QVariant value;
        switch (kind % 6) {
        case 0: case 5: value = editNumber(v); break;
        case 1: value = editText(v); break;
        case 2: value = bool(v & 1); break;
        default: break;
        }
        sheet->set(row, column, value, style);
        edits->reference.cells[row][column] = Reference::Edit{value, style};
        edits->last[{row, column}] = Reference::Edit{value, style};
    }
}

// Whether the scanner reads the part after the general reader has written it again: when it does
// not, the byte writer refuses the part (a case the reference took).
inline bool scannerReadsRewritten(const QByteArray &xml)
{
    QByteArray copy;
    QString error;
    if (!Xml::rewrittenCopy(xml, &copy, QStringLiteral("sheet"), &error))
        return false;
    XmlScanner scanner(copy.constData(), size_t(copy.size()));
    for (;;) {
        const XmlScanner::Token t = scanner.next();
        if (t == XmlScanner::EndDocument)
            return true;
        if (t == XmlScanner::Unsure)
            return false;
    }
}

// Each row's number and height attribute as a general reader reads them ("" for none), in order.
inline QString rowHeights(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    QString rows;
    int last = 0;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != QLatin1String("row"))
            continue;
        const QStringView r = Xml::attribute(reader.attributes(), QLatin1String("r"));
        last = r.isEmpty() ? last + 1 : r.toInt();
        rows += QStringLiteral("%1:%2 ").arg(last).arg(Xml::attribute(reader.attributes(), QLatin1String("ht")));
    }
    return rows;
}

} // namespace WriteCheck

inline bool xlsxWritersAgree(const uint8_t *data, size_t size, QString *difference)
{
    using namespace WriteCheck;
    const QByteArray input(reinterpret_cast<const char *>(data), int(qMin<size_t>(size, 1 << 22)));
    const int split = input.indexOf("\n--\n");
    const QByteArray xml = split < 0 ? input : input.left(split);
    static const char defaultScript[] = "\x00\x00\x00\x05" "\x01\x01\x02\x07" "\x02\x04\x01\x01" "\x03\x00\x01\x00"
                                        "\x07\x27\x00\x03" "\x04\x01\x00\x10" "\x0b\xfa\x04\x09" "\x01\x02\xfb\x01"
                                        "\x0d\x09\x05\x1d" "\x11\x03\x03\x16";
    const QByteArray script = split < 0 ? QByteArray(defaultScript, sizeof defaultScript - 1) : input.mid(split + 4);

    const SharedStrings strings;
    Worksheet sheet;
    QString error;
    if (!sheet.load(xml, strings, QStringLiteral("sheet"), &error))
        return true; // refused on reading: never written
    Edits edits;
    applyEdits(script, &sheet, &edits);

    QByteArray written, referenceWritten;
    QString referenceError;
    const bool ok = sheet.write(xml, &written, &error);
    const bool referenceOk = Reference::referenceWrite(xml, edits.reference, &referenceWritten, &referenceError);
    if (!ok) {
        if (!referenceOk || (error.contains(QLatin1String("unreadable")) && !scannerReadsRewritten(xml)))
            return true;
        *difference = QStringLiteral("refused (%1), the reference wrote it").arg(error);
        return false;
    }
    if (!referenceOk) {
        *difference = QStringLiteral("written, the reference refused it (%1)").arg(referenceError);
        return false;
    }
    Worksheet back, referenceBack;
    if (!back.load(written, strings, QStringLiteral("written"), &error)) {
        *difference = QStringLiteral("what was written does not read: %1\n%2").arg(error, QString::fromUtf8(written.left(4000)));
        return false;
    }
    for (const auto &edit : edits.last) {
        const int row = edit.first.first, column = edit.first.second;
        QVariant expected = edit.second.value;
        if (expected.userType() == QMetaType::QString)
            expected = xmlSafe(expected.toString());
        const QVariant read = back.read(row, column);
        // A cleared cell without a style is not kept: it shows its row's or column's style.
        const bool styleKept = expected.isValid() || edit.second.style != 0;
        if (read != expected || read.userType() != expected.userType()
            || (styleKept && back.styleOf(row, column) != edit.second.style)) {
            *difference = QStringLiteral("cell %1,%2 reads [%3] style %4, written [%5] style %6\n%7")
                              .arg(row).arg(column).arg(read.toString()).arg(back.styleOf(row, column))
                              .arg(expected.toString()).arg(edit.second.style).arg(QString::fromUtf8(written.left(4000)));
            return false;
        }
    }
    if (!referenceBack.load(referenceWritten, strings, QStringLiteral("reference"), &error))
        return true; // what the reference wrote does not read: nothing to compare with
    // The reference wrote carriage returns as they were, which read back as line ends (the written
    // cells are checked above; cells copied keep them).
    const QString cells = back.describe().replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Texts with blanks at their ends or line ends say so, as they did.
    const QByteArray preserve = "preserve";
    if (cells != referenceBack.describe() || rowHeights(written) != rowHeights(referenceWritten)
        || written.count(preserve) != referenceWritten.count(preserve)) {
        *difference = QStringLiteral("written:\n%1\nreference:\n%2\n%3\n%4")
                          .arg(back.describe() + rowHeights(written), referenceBack.describe() + rowHeights(referenceWritten),
                               QString::fromUtf8(written.left(3000)),
                               QString::fromUtf8(referenceWritten.left(3000)));
        return false;
    }
    return true;
}

} // namespace QXlsx
