#!/bin/sh
# Pictures of the report viewer (Report No. 1, Report No. 2, the error page) and of the table
# editor for the docs, taken under a virtual X display of 1366 x 768 (an engineer's laptop). Usage: docs/make_report_screenshots.sh BUILD_DIR [DISPLAY_NUMBER]
set -e
build=${1:?build directory}
n=${2:-96}
docs=$(cd "$(dirname "$0")" && pwd)
shots=$(mktemp -d)
Xvfb ":$n" -screen 0 1366x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb; rm -rf "$shots"' EXIT
sleep 1
DISPLAY=":$n" QT_QPA_PLATFORM=xcb KELI_SHOTS="$shots" "$build/tests/tst_gui_raschet" screenshots
DISPLAY=":$n" QT_QPA_PLATFORM=xcb KELI_SHOTS="$shots" "$build/tests/tst_gui_tabl" screenshot
for name in report1 report2 errors; do
  cp "$shots/$name.png" "$docs/viewer-$name.png"
done
cp "$shots/editor.png" "$docs/keli-table-editor.png"
