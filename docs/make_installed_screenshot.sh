#!/bin/sh
# The installed program started by its menu entry's command (keli-desktop) in a new home folder,
# on a virtual 1366 × 768 screen. Needs the package installed. Usage: docs/make_installed_screenshot.sh
set -e
docs=$(cd "$(dirname "$0")" && pwd)
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/keli.desktop)
HOME="$home" LANG=C.UTF-8 xvfb-run -a -s "-screen 0 1366x768x24" sh -c \
  "$exec_line & p=\$!; sleep 4; import -window root '$docs/keli-installed-menu-start.png'; kill \$p"
ls -R "$home" # the working folder the launcher made: Documents/КЕЛИ with keli.ini
