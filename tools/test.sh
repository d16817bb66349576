#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite (no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh --tests
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-test -j"$(nproc)"
cd build-test
ctest --output-on-failure -j"$(nproc)"
