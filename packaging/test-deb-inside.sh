#!/bin/bash
# Runs inside the fresh Debian root of packaging/test-deb.sh: installs the package and checks
# what it installed.  test-deb-inside.sh PACKAGE.deb
set -euo pipefail
check() { echo "-- [$SECONDS s] $*"; }
trap 'echo "failed: $BASH_COMMAND (line $LINENO)" >&2' ERR

# A root thrown away after the run: dpkg need not sync each file, man-db need not index.
echo force-unsafe-io >/etc/dpkg/dpkg.cfg.d/unsafe-io
echo "man-db man-db/auto-update boolean false" | debconf-set-selections
check "apt-get update, apt-get install"
apt-get update -qq
apt-get install -y -q --no-install-recommends "$1" man-db >/tmp/apt.log 2>&1 ||
    { tail -n 30 /tmp/apt.log; exit 1; }
grep -E "newly installed|^Need to get|^Fetched" /tmp/apt.log || true

check "qvtool and qvupdate from /usr/bin"
[ "$(command -v qvtool)" = /usr/bin/qvtool ]
[ "$(command -v qvupdate)" = /usr/bin/qvupdate ]
check "the demo update next to the demo firmware: qvtool --simulate update --yes"
cd /usr/share/qvupdate
qvtool --simulate update --yes | tail -n 3
cd /
check "the window's libraries (qvupdate --help without a display)"
QT_QPA_PLATFORM=offscreen qvupdate --help | grep -- --service >/dev/null

check "man -w qvtool, man -w qvupdate"
[ "$(man -w qvtool)" = /usr/share/man/man1/qvtool.1.gz ]
[ "$(man -w qvupdate)" = /usr/share/man/man1/qvupdate.1.gz ]
man qvtool 2>/dev/null | grep "EXIT STATUS" >/dev/null

check "the bash completion in a non-interactive bash"
offered() {  # COMP_WORDS...: what the completion offers for the last word
    bash -c 'source /usr/share/bash-completion/completions/qvtool
             COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _qvtool; echo "${COMPREPLY[*]}"' _ "$@"
}
[ "$(offered qvtool fl)" = flash ]
[ "$(offered qvtool flash re)" = read ]
[ "$(offered qvtool update --y)" = --yes ]
[ "$(offered qvtool --simulate --device "")" = 'vid_a7d6\&pid_f017' ]
[ "$(cd /usr/share/qvupdate && offered qvtool update --file Tesmora_K)" = Tesmora_K2DAC_v11.hex ]
[ -f /usr/share/zsh/vendor-completions/_qvtool ]

check "the udev rule in udev's own folder"
dpkg -L qvupdate | grep -x /usr/lib/udev/rules.d/70-qv4820.rules >/dev/null
[ -f /usr/lib/udev/rules.d/70-qv4820.rules ]

check "the desktop entry and its icon"
[ -f /usr/share/applications/qvupdate.desktop ]
[ -f /usr/share/icons/hicolor/48x48/apps/qvupdate.png ]

check "removal"
apt-get purge -y -qq qvupdate >/tmp/apt.log 2>&1 || { tail -n 30 /tmp/apt.log; exit 1; }
[ ! -e /usr/bin/qvtool ]
