#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
# Usage: tools/install-deps.sh [--tests]
set -euo pipefail

# fonts-liberation: the printed pages and the report templates use Liberation Sans.
packages=(cmake g++ make qtbase5-dev libquazip1-qt5-dev qttranslations5-l10n fonts-liberation)
if [[ "${1:-}" == "--tests" ]]; then
  # poppler-utils: the tests read the printed PDF pages back (pdftotext, pdfinfo).
  packages+=(python3 python3-openpyxl python3-xlsxwriter libreoffice-calc-nogui poppler-utils)
  # the package check: cpack's DEB generator (dpkg-shlibdeps, file) and the desktop entry's validator
  packages+=(dpkg-dev file desktop-file-utils)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
