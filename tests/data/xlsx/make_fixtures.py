#!/usr/bin/python3
"""Makes the workbook fixtures of the xlsx tests (run with Debian's python3-xlsxwriter):

template.xlsx  two sheets; the first with merged cells, column widths, borders, a formula,
               a defined name and a print setup; the second with a chart of the first
               sheet's data and a comment.

Usage: make_fixtures.py OUTPUT_DIR
"""
import sys
import xlsxwriter


def make_template(path):
    wb = xlsxwriter.Workbook(path)
    wb.set_properties({'title': 'Template', 'created': None})
    s1 = wb.add_worksheet('Лист1')
    s2 = wb.add_worksheet('Лист2')
    title = wb.add_format({'bold': True, 'align': 'center'})
    head = wb.add_format({'bold': True, 'border': 1, 'align': 'center'})
    cell = wb.add_format({'border': 1, 'num_format': '0.00'})
    s1.merge_range('A1:E1', 'Баланс по объекту', title)
    s1.set_column('A:A', 30)
    s1.set_column('B:E', 12)
    s1.set_row(2, 30)
    for col, text in enumerate(['Присоединение', 'Январь', 'Февраль', 'Март', 'Итого']):
        s1.write(2, col, text, head)
    for row in range(5):
        s1.write(3 + row, 0, 'Фидер %d' % (row + 1), cell)
        for col in range(1, 4):
            s1.write_number(3 + row, col, (row + 1) * 10.5 + col, cell)
        s1.write_formula(3 + row, 4, '=SUM(B%d:D%d)' % (4 + row, 4 + row), cell,
                         sum((row + 1) * 10.5 + c for c in range(1, 4)))
    s1.write(9, 0, 'Всего')
    s1.write_formula(9, 4, '=SUM(E4:E8)', cell, 0)
    wb.define_name('Итог', '=Лист1!$E$10')
    s1.set_landscape()
    s1.fit_to_pages(1, 0)
    s1.conditional_format('B4:D8', {'type': 'cell', 'criteria': '>', 'value': 40,
                                    'format': wb.add_format({'bold': True})})

    s2.write('A1', 'График')
    s2.write_comment('A1', 'Построен по данным листа 1')
    chart = wb.add_chart({'type': 'column'})
    for col in range(1, 4):
        chart.add_series({'name': ['Лист1', 2, col],
                          'categories': ['Лист1', 3, 0, 7, 0],
                          'values': ['Лист1', 3, col, 7, col]})
    chart.set_title({'name': 'Отпуск по фидерам'})
    s2.insert_chart('B3', chart)
    wb.close()


if __name__ == '__main__':
    out = sys.argv[1] if len(sys.argv) > 1 else '.'
    make_template(out + '/template.xlsx')
