#!/usr/bin/env bash
# Builds the Debian package of a build folder into a temporary folder and checks it: the files it
# lists (programs, templates, examples, Russian manual pages that man finds in any locale, copyright
# and changelog), its dependencies, its desktop entry (desktop-file-validate) and the folder its
# command starts keli in, with the examples in "Примеры", and that its keli-calc, unpacked and run in an empty folder, writes every
# report file with the templates' headings.
# Usage: tools/check-package.sh BUILD_DIR
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

"${CPACK:-cpack}" --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1 \
    || { cat "$tmp/cpack.log" >&2; fail "cpack failed"; }
debs=("$tmp"/pkg/keli_*.deb)
deb=${debs[0]}
[[ -f "$deb" ]] || fail "no package in $tmp/pkg"

dpkg-deb -c "$deb" | awk '{print $NF}' >"$tmp/list"
for f in usr/bin/keli usr/bin/keli-calc usr/bin/keli-desktop usr/share/applications/keli.desktop \
         usr/share/icons/hicolor/scalable/apps/keli.svg usr/share/keli/templates/otchet1Empty.xlsx \
         usr/share/keli/templates/otchet2Empty.xlsx "usr/share/keli/templates/СтоплистОтчет.xlsx" \
         usr/share/man/man1/keli.1.gz usr/share/man/man1/keli-calc.1.gz usr/share/doc/keli/copyright \
         usr/share/doc/keli/changelog.gz; do
    grep -qxF "./$f" "$tmp/list" || fail "the package lacks $f"
done
examples=$(grep -c '^\./usr/share/keli/examples/.*\.xlsx$' "$tmp/list" || true)
[[ $examples -eq $(ls "$src"/examples/*.xlsx | wc -l) ]] || fail "the package holds $examples example workbooks"
[[ "$(dpkg-deb -f "$deb" Recommends)" == *xdg-utils* ]] || fail "the package does not recommend xdg-utils"
depends=$(dpkg-deb -f "$deb" Depends)
for p in qttranslations5-l10n fonts-liberation libqt5widgets5 libquazip1-qt5; do
    [[ "$depends" == *"$p"* ]] || fail "the package does not depend on $p: $depends"
done

dpkg-deb -x "$deb" "$tmp/root"
desktop-file-validate "$tmp/root/usr/share/applications/keli.desktop" || fail "desktop entry not valid"

# The menu entry's command in a new home folder: keli runs in Documents/КЕЛИ (named by the
# user's XDG folders), where it writes keli.ini. It runs until the time limit ends it.
exec_line=$(sed -n 's/^Exec=//p' "$tmp/root/usr/share/applications/keli.desktop")
[[ "$exec_line" == keli-desktop ]] || fail "the desktop entry runs '$exec_line', not keli-desktop"
mkdir -p "$tmp/home/.config"
echo 'XDG_DOCUMENTS_DIR="$HOME/Документы"' >"$tmp/home/.config/user-dirs.dirs"
HOME="$tmp/home" QT_QPA_PLATFORM=offscreen timeout 3 "$tmp/root/usr/bin/keli-desktop" >/dev/null 2>&1 || true
[[ -f "$tmp/home/Документы/КЕЛИ/keli.ini" ]] || fail "keli-desktop did not start keli in Документы/КЕЛИ"
# The examples are offered in a subfolder of the working folder, which a batch over it leaves out.
for f in "$src"/examples/*.xlsx; do
    cmp -s "$f" "$tmp/home/Документы/КЕЛИ/Примеры/$(basename "$f")" || fail "first start did not copy $(basename "$f") into Примеры"
done
[[ -z "$(ls "$tmp/home/Документы/КЕЛИ"/*.xlsx 2>/dev/null)" ]] || fail "examples lie in the working folder itself"
# README's first batch: the examples of the working folder, calculated by the installed keli-calc.
(cd "$tmp/home/Документы/КЕЛИ" && "$tmp/root/usr/bin/keli-calc" --out Итоги_примеры Примеры/ >"$tmp/examples.log" 2>&1) \
    || { cat "$tmp/examples.log"; fail "the batch over Примеры/ did not calculate every example"; }
[[ -f "$tmp/home/Документы/КЕЛИ/Итоги_примеры/Сводка.xlsx" ]] || fail "the batch over Примеры/ wrote no summary"

# The manual pages: Russian, found by man under a Russian and an English locale alike.
for page in keli keli-calc; do
    for locale in C.UTF-8 ru_RU.UTF-8 en_US.UTF-8; do
        found=$(MANPATH="$tmp/root/usr/share/man" LANG=$locale LC_ALL=$locale man -w "$page" 2>/dev/null || true)
        [[ "$found" == "$tmp/root/usr/share/man/man1/$page.1.gz" ]] || fail "man does not find $page under $locale: '$found'"
    done
    zcat "$tmp/root/usr/share/man/man1/$page.1.gz" | grep -q '^\.SH ИМЯ' || fail "$page(1) is not the Russian page"
done
zcat "$tmp/root/usr/share/doc/keli/changelog.gz" | head -1 | grep -q '^keli (' || fail "the changelog does not start with the package"

# The installed keli-calc in empty folders: a calculation, and one blocked by an error (the
# fill factor of the first metering point, column M, out of range).
example="$src/examples/ТП_10_0,4_№127_март_2024.xlsx"
mkdir "$tmp/calculated" "$tmp/blocked"
(cd "$tmp/calculated" && "$tmp/root/usr/bin/keli-calc" "$example" >"$tmp/calc.log") \
    || { cat "$tmp/calc.log"; fail "keli-calc did not calculate"; }
/usr/bin/python3 - "$example" "$tmp/blocked/blocked.xlsx" <<'PY'
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
wb.worksheets[0]["M2"] = 0.05
wb.save(sys.argv[2])
PY
(cd "$tmp/blocked" && "$tmp/root/usr/bin/keli-calc" blocked.xlsx >"$tmp/blocked.log") && fail "the blocked example calculated"

# A batch of both in an empty folder: everything it writes lies in its --out folder, the summary
# made from the installed template (status 1: one object is blocked).
mkdir "$tmp/batch"
status=0
(cd "$tmp/batch" && "$tmp/root/usr/bin/keli-calc" --out out "$example" "$tmp/blocked/blocked.xlsx" >"$tmp/batch.log" 2>&1) \
    || status=$?
[[ $status -eq 1 ]] || { cat "$tmp/batch.log"; fail "the batch ended with status $status, not 1"; }
[[ "$(ls -A "$tmp/batch")" == out ]] || fail "the batch wrote outside its folder: $(ls -A "$tmp/batch")"

/usr/bin/python3 - "$tmp/root/usr/share/keli/templates" "$tmp/calculated" "$tmp/blocked" "$tmp/batch/out" <<'PY'
import os, sys, openpyxl
templates, calculated, blocked, batch = sys.argv[1:]
expected = {
    batch: [("Сводка.xlsx", "svodkaEmpty.xlsx")],
    calculated: ["Параметры системы учета электроэнергии.html", "Баланс электроэнергии по приборам учета.html",
                 ("Otchet1.xlsx", "otchet1Empty.xlsx"), ("result.xlsx", "otchet2Empty.xlsx")],
    blocked: ["Ошибки и предупреждения программы.html", ("СтоплистОтчет.xlsx", "СтоплистОтчет.xlsx")],
}
problems = []
for folder, files in expected.items():
    for f in files:
        if isinstance(f, str):
            if os.path.getsize(os.path.join(folder, f)) < 1000:
                problems.append(f + " is too short")
            continue
        book, template = f
        tpl = openpyxl.load_workbook(os.path.join(templates, template)).worksheets[0]
        out = openpyxl.load_workbook(os.path.join(folder, book)).worksheets[0]
        headings = [(c.coordinate, c.value) for row in tpl.iter_rows(max_row=4) for c in row if isinstance(c.value, str)]
        kept = [h for h in headings if out[h[0]].value == h[1]]
        if not kept:
            problems.append(book + " has none of the template's headings")
if problems:
    sys.exit("\n".join(problems))
PY
echo "check-package: $(basename "$deb") is complete"
