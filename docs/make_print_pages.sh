#!/bin/sh
# Pictures of the printed reports for the docs: the first page of each report page as keli-calc
# --pdf prints it, and of each report workbook as LibreOffice prints it, on a bundled example (the
# stop-list workbook on a copy of it with one verification month made 13, which blocks the
# calculation), in a Russian locale as our users run it. Usage: docs/make_print_pages.sh BUILD_DIR
set -e
build=$(cd "${1:?build directory}" && pwd)
docs=$(cd "$(dirname "$0")" && pwd)
example="$docs/../examples/ТП_10_0,4_№127_март_2024.xlsx"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/ok" "$work/blocked" "$work/pdf" "$work/profile"
cp "$build"/templates/*.xlsx "$work/ok/"
cp "$build"/templates/*.xlsx "$work/blocked/"

LC_ALL=ru_RU.UTF-8 "$build/src/cli/keli-calc" --pdf --workdir "$work/ok" "$example" >/dev/null 2>&1
/usr/bin/python3 - "$example" "$work/blocked/source.xlsx" <<'PY'
import sys
from openpyxl import load_workbook
wb = load_workbook(sys.argv[1])
wb.worksheets[0]["G2"] = 13.22
wb.save(sys.argv[2])
PY
LC_ALL=ru_RU.UTF-8 "$build/src/cli/keli-calc" --workdir "$work/blocked" "$work/blocked/source.xlsx" >/dev/null 2>&1 || true

soffice -env:UserInstallation="file://$work/profile" --headless --convert-to pdf --outdir "$work/pdf" \
  "$work/ok/Otchet1.xlsx" "$work/ok/result.xlsx" "$work/blocked/СтоплистОтчет.xlsx" >/dev/null 2>&1

page() { # PDF, picture name
  pdftoppm -r 80 -png -f 1 -l 1 -singlefile "$1" "$docs/$2"
}
page "$work/ok/Параметры системы учета электроэнергии.pdf" print-report1
page "$work/ok/Баланс электроэнергии по приборам учета.pdf" print-report2
page "$work/ok/Ошибки и предупреждения программы.pdf" print-errors
page "$work/pdf/Otchet1.pdf" print-otchet1
page "$work/pdf/result.pdf" print-result
page "$work/pdf/СтоплистОтчет.pdf" print-stoplist
