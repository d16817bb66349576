#!/bin/sh
# Picture of the summary workbook of a batch (keli-calc --out) as LibreOffice Calc shows it, taken
# under a virtual X display. The batch: the examples, one of them with more intake (outside its
# permissible range), one with an error (blocked) and a file that is no workbook.
# With a LibreOffice that has no desktop (the -nogui packages) the picture is the first printed
# page as LibreOffice renders it (A4 landscape). SOFFICE names another soffice.
# Usage: docs/make_summary_screenshot.sh BUILD_DIR [DISPLAY_NUMBER]
set -e
build=$(cd "${1:?build directory}" && pwd)
n=${2:-97}
docs=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$docs")
work=$(mktemp -d)
mkdir -p "$work/templates" "$work/Октябрь" "$work/profile/user"
cp "$top"/templates/*.xlsx "$work/templates/"
cp "$top"/examples/*.xlsx "$work/Октябрь/"
/usr/bin/python3 - "$work/Октябрь" "$top/examples/ТП_10_0,4_№127_март_2024.xlsx" <<'PY'
import sys, openpyxl
folder, example = sys.argv[1], sys.argv[2]
wb = openpyxl.load_workbook(example)
ws = wb.active
ws["A1"] = "ТП-10/0,4 кВ №128 (РЭС Северный)"
ws["L2"] = "196.420"  # more intake than the releases explain
wb.save(folder + "/ТП_10_0,4_№128_март_2024.xlsx")
ws["A1"] = "ТП-10/0,4 кВ №131 (РЭС Северный)"
ws["L2"] = "186.420"
ws["G4"] = 13.22  # month 13: an error
wb.save(folder + "/ТП_10_0,4_№131_март_2024.xlsx")
PY
printf 'not a workbook' > "$work/Октябрь/ТП_10_0,4_№140_март_2024.xlsx"
(cd "$work" && "$build/src/cli/keli-calc" --workdir templates --out Сводка_октябрь Октябрь) || true
book="$work/Сводка_октябрь/Сводка.xlsx"
trap 'rm -rf "$work"' EXIT
office=$(readlink -f "$(command -v "${SOFFICE:-soffice}")")
if ls "$(dirname "$office")"/libvclplug_* >/dev/null 2>&1; then
    # A LibreOffice with a desktop: Calc's window under Xvfb, without first-start dialogs.
    cat > "$work/profile/user/registrymodifications.xcu" <<'XCU'
<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="ShowTipOfTheDay" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
</oor:items>
XCU
    Xvfb ":$n" -screen 0 1600x900x24 >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb; rm -rf "$work"' EXIT
    sleep 1
    DISPLAY=":$n" "$office" "-env:UserInstallation=file://$work/profile" --calc --nologo --norestore "$book" \
        >/dev/null 2>&1 &
    calc=$!
    sleep "${SHOT_DELAY:-20}"
    import -display ":$n" -window root "$docs/batch-summary.png"
    kill $calc 2>/dev/null || true
else
    # LibreOffice without a desktop (the -nogui packages): its own rendering of the printed page.
    "$office" "-env:UserInstallation=file://$work/profile" --headless --convert-to pdf --outdir "$work" "$book" \
        >/dev/null 2>&1
    pdftoppm -png -r 100 -f 1 -l 1 -singlefile "$work/Сводка.pdf" "$work/page"
    convert "$work/page.png" -bordercolor '#808080' -border 1 "$docs/batch-summary.png"
fi
