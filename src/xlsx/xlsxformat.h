#pragma once
// Cell format of the workbook layer: borders, horizontal alignment and a built-in number format,
// the part of a cell style the report writers set. An empty Format leaves a cell's existing style as it is.

#include <QtGlobal>

namespace QXlsx {

class Format
{
public:
    enum BorderStyle {
        BorderNone = 0,
        BorderThin,
        BorderMedium,
        BorderDashed,
        BorderDotted,
        BorderThick,
        BorderDouble,
        BorderHair,
        BorderMediumDashed,
        BorderDashDot,
        BorderMediumDashDot,
        BorderDashDotDot,
        BorderMediumDashDotDot,
        BorderSlantDashDot
    };

    enum HorizontalAlignment {
        AlignHGeneral = 0,
        AlignLeft,
        AlignHCenter,
        AlignRight,
        AlignHFill,
        AlignHJustify,
        AlignHMerge,
        AlignHDistributed
    };

    Format() = default;

    void setBorderStyle(BorderStyle style); // all four sides
    void setLeftBorderStyle(BorderStyle style);
    void setRightBorderStyle(BorderStyle style);
    void setTopBorderStyle(BorderStyle style);
    void setBottomBorderStyle(BorderStyle style);
    void setHorizontalAlignment(HorizontalAlignment align);
    // One of the number formats every spreadsheet program knows by its index (2 is "0.00");
    // -1, the default, keeps the cell's own.
    void setNumberFormatIndex(int index);

    BorderStyle leftBorderStyle() const { return m_left; }
    BorderStyle rightBorderStyle() const { return m_right; }
    BorderStyle topBorderStyle() const { return m_top; }
    BorderStyle bottomBorderStyle() const { return m_bottom; }
    HorizontalAlignment horizontalAlignment() const { return m_align; }
    int numberFormatIndex() const { return m_numberFormat; }

    // True when nothing has been set: a write with it keeps the cell's style.
    bool isEmpty() const { return !m_set; }

    bool operator==(const Format &other) const;
    bool operator!=(const Format &other) const { return !(*this == other); }

private:
    BorderStyle m_left = BorderNone;
    BorderStyle m_right = BorderNone;
    BorderStyle m_top = BorderNone;
    BorderStyle m_bottom = BorderNone;
    HorizontalAlignment m_align = AlignHGeneral;
    int m_numberFormat = -1;
    bool m_set = false;
};

} // namespace QXlsx
