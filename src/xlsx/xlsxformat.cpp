#include "xlsx/xlsxformat.h"

namespace QXlsx {

void Format::setBorderStyle(BorderStyle style)
{
    m_left = m_right = m_top = m_bottom = style;
    m_set = true;
}

void Format::setLeftBorderStyle(BorderStyle style) { m_left = style; m_set = true; }
void Format::setRightBorderStyle(BorderStyle style) { m_right = style; m_set = true; }
void Format::setTopBorderStyle(BorderStyle style) { m_top = style; m_set = true; }
void Format::setBottomBorderStyle(BorderStyle style) { m_bottom = style; m_set = true; }
void Format::setHorizontalAlignment(HorizontalAlignment align) { m_align = align; m_set = true; }

void Format::setNumberFormatIndex(int index)
{
    m_numberFormat = index >= 0 && index <= 163 ? index : -1; // 164 on are a workbook's own
    m_set = true;
}

bool Format::operator==(const Format &o) const
{
    return m_set == o.m_set && m_left == o.m_left && m_right == o.m_right && m_top == o.m_top
           && m_bottom == o.m_bottom && m_align == o.m_align && m_numberFormat == o.m_numberFormat;
}

} // namespace QXlsx
