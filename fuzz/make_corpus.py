#!/usr/bin/python3
"""Makes the seed corpus of the workbook fuzz target: well-formed packages of several producers
and the hostile inputs the layer must refuse or read within bounds. The test suite replays
every file on each run.

Usage: make_corpus.py [OUTPUT_DIR]   (default: corpus/xlsx beside this script)
"""
import io
import os
import shutil
import struct
import sys
import zipfile

HEAD = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
MAIN = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
PKG = 'http://schemas.openxmlformats.org/package/2006/relationships'

TYPES = (HEAD + '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
         '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
         '<Default Extension="xml" ContentType="application/xml"/></Types>')
ROOT_RELS = (HEAD + '<Relationships xmlns="%s"><Relationship Id="rId1" Type="%s/officeDocument" '
             'Target="xl/workbook.xml"/></Relationships>' % (PKG, REL))
WORKBOOK = (HEAD + '<workbook xmlns="%s" xmlns:r="%s"><sheets><sheet name="S" sheetId="1" r:id="rId1"/>'
            '</sheets></workbook>' % (MAIN, REL))
WB_RELS = (HEAD + '<Relationships xmlns="%s"><Relationship Id="rId1" Type="%s/worksheet" '
           'Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="%s/sharedStrings" '
           'Target="sharedStrings.xml"/></Relationships>' % (PKG, REL, REL))
SST = HEAD + '<sst xmlns="%s"><si><t>a</t></si><si><r><t>b</t></r><r><t>c</t></r></si></sst>' % MAIN


def sheet(data):
    return HEAD + '<worksheet xmlns="%s"><sheetData>%s</sheetData></worksheet>' % (MAIN, data)


GOOD_ROWS = ('<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1"><v>1.5</v></c></row>'
             '<row><c t="b"><v>1</v></c><c t="e"><v>#N/A</v></c><c><f>A1</f><v>3</v></c></row>')


def package(parts, compression=zipfile.ZIP_DEFLATED):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, 'w', compression) as z:
        for name, data in parts:
            z.writestr(zipfile.ZipInfo(name, (1980, 1, 1, 0, 0, 0)),
                       data if isinstance(data, bytes) else data.encode('utf-8'), compression)
    return buf.getvalue()


def standard(sheet_xml=None, **replace):
    parts = {'[Content_Types].xml': TYPES, '_rels/.rels': ROOT_RELS, 'xl/workbook.xml': WORKBOOK,
             'xl/_rels/workbook.xml.rels': WB_RELS, 'xl/sharedStrings.xml': SST,
             'xl/worksheets/sheet1.xml': sheet_xml or sheet(GOOD_ROWS)}
    for name, data in replace.items():
        name = name.replace('__', '/').replace('_dot_', '.')
        parts[name] = data
    return [(n, d) for n, d in parts.items() if d is not None]


def patch_size(data, name, size):
    """Sets the stated inflated size of an entry (local and central headers) to a lie."""
    out = bytearray(data)
    encoded = name.encode()
    for sig, off in ((b'PK\x03\x04', 22), (b'PK\x01\x02', 24)):
        pos = 0
        while True:
            pos = out.find(sig, pos)
            if pos < 0:
                break
            name_at = pos + (30 if sig == b'PK\x03\x04' else 46)
            if out[name_at:name_at + len(encoded)] == encoded:
                out[pos + off:pos + off + 4] = struct.pack('<I', size)
            pos += 4
    return bytes(out)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), 'corpus', 'xlsx')
    os.makedirs(out, exist_ok=True)
    files = {}
    files['good.xlsx'] = package(standard())
    files['stored.xlsx'] = package(standard(), zipfile.ZIP_STORED)
    files['empty.xlsx'] = b''
    files['text.xlsx'] = b'not a zip at all\n'
    files['truncated.xlsx'] = files['good.xlsx'][:len(files['good.xlsx']) * 2 // 3]
    files['no-workbook.xlsx'] = package(standard(**{'xl/workbook.xml': None}))
    files['no-rels.xlsx'] = package(standard(**{'_rels/.rels': None}))
    files['no-strings.xlsx'] = package(standard(**{'xl/sharedStrings.xml': None}))
    files['malformed.xlsx'] = package(standard(sheet('<row><c><v>1</c></row>')))
    files['dtd.xlsx'] = package(standard(
        '<?xml version="1.0"?><!DOCTYPE w [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;">'
        '<!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;">]><worksheet xmlns="%s"><sheetData><row><c t="inlineStr">'
        '<is><t>&c;</t></is></c></row></sheetData></worksheet>' % MAIN))
    files['xfe.xlsx'] = package(standard(sheet('<row r="1"><c r="XFE1"><v>1</v></c></row>')))
    files['row-past.xlsx'] = package(standard(sheet('<row r="1048577"><c><v>1</v></c></row>')))
    files['corner.xlsx'] = package(standard(sheet('<row r="1048576"><c r="XFD1048576"><v>1</v></c></row>')))
    files['string-index.xlsx'] = package(standard(sheet('<row><c t="s"><v>-1</v></c><c t="s"><v>999999999999</v></c>'
                                                        '<c t="s"><v>x</v></c><c><v>NaN</v></c></row>')))
    files['shared-formula.xlsx'] = package(standard(sheet(
        '<row r="1"><c r="A1"><f t="shared" ref="A1:A3" si="0">B1</f><v>1</v></c></row>'
        '<row r="2"><c r="A2"><f t="shared" si="0"/><v>2</v></c></row>')))
    files['prefixed.xlsx'] = package(standard(
        HEAD + '<x:worksheet xmlns:x="%s"><x:sheetData><x:row r="2"><x:c r="C2"><x:v>4</x:v></x:c></x:row>'
        '</x:sheetData></x:worksheet>' % MAIN))
    files['no-sheetdata.xlsx'] = package(standard(HEAD + '<worksheet xmlns="%s"/>' % MAIN))
    files['sheet-loop.xlsx'] = package(standard(**{'xl/_rels/workbook.xml.rels': WB_RELS.replace(
        'worksheets/sheet1.xml', '../../xl/./worksheets/../workbook.xml')}))
    files['ext-target.xlsx'] = package(standard(**{'xl/_rels/workbook.xml.rels': WB_RELS.replace(
        'Target="worksheets/sheet1.xml"', 'Target="http://example.invalid/s.xml" TargetMode="External"')}))
    zeros = b'\0' * (200 * 1024 * 1024)
    files['bomb.xlsx'] = package(standard(**{'xl/worksheets/sheet1.xml': zeros}))
    files['lying-size.xlsx'] = patch_size(package(standard(**{'xl/sharedStrings.xml': SST + ' ' * 5_000_000})),
                                          'xl/sharedStrings.xml', 100)
    for name, data in files.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)
    here = os.path.dirname(os.path.abspath(__file__))
    template = os.path.join(here, '..', 'tests', 'data', 'xlsx', 'template.xlsx')
    shutil.copy(template, os.path.join(out, 'template.xlsx'))

    # The sheet target's seeds: a worksheet's XML, a line "--", the shared strings' XML.
    sheets = os.path.join(os.path.dirname(out), 'sheet')
    os.makedirs(sheets, exist_ok=True)
    with zipfile.ZipFile(template) as z:
        seeds = {'template.xml': z.read('xl/worksheets/sheet1.xml') + b'\n--\n' + z.read('xl/sharedStrings.xml')}
    seeds['basic.xml'] = (sheet(GOOD_ROWS) + '\n--\n' + SST).encode()
    seeds['shared-formula.xml'] = sheet('<row r="1"><c r="A1"><f t="shared" ref="A1:A3" si="0">B1</f><v>1</v></c>'
                                        '</row><row r="2"><c r="A2"><f t="shared" si="0"/><v>2</v></c></row>').encode()
    seeds['prefixed.xml'] = (HEAD + '<x:worksheet xmlns:x="%s"><x:dimension ref="A1"/><x:sheetData><x:row>'
                             '<x:c t="inlineStr"><x:is><x:r><x:t>a</x:t></x:r></x:is></x:c></x:row></x:sheetData>'
                             '</x:worksheet>' % MAIN).encode()
    seeds['styled-rows.xml'] = (HEAD + '<worksheet xmlns="%s"><cols><col min="2" max="4" style="1"/></cols>'
                                '<sheetData><row r="3" s="1" customFormat="1" spans="1:2"><c r="A3" s="1"/>'
                                '</row></sheetData><mergeCells count="1"><mergeCell ref="A1:B2"/></mergeCells>'
                                '</worksheet>' % MAIN).encode()
    for name, data in seeds.items():
        with open(os.path.join(sheets, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
