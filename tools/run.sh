#!/usr/bin/env bash
# Installs what is missing, builds the programs, prepares the working folder run/ (templates and
# example workbooks) and starts keli there. keli reads keli.ini and the templates and writes its
# reports in its current directory.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELI_BUILD_TESTS=OFF -DKELI_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
mkdir -p run
# The templates belong to the program: always the current ones. The examples are the user's to
# edit: copied only when missing.
cp -f templates/*.xlsx run/ 2>/dev/null || true
cp -n examples/*.xlsx run/ 2>/dev/null || true
cd run
exec ../build/src/app/keli "$@"
