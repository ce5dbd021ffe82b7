#!/bin/sh
# Runs a command while the headless Wine prefix of a cross-build tree is up, then stops it:
#   cmake/wine-session.sh BUILD_DIR COMMAND [ARGS...]
# The server and Wine's services start here, detached from the command's output, and stop
# afterwards; started from inside ctest they would hold its output pipe open. The settings
# match the emulator line of cmake/mingw-w64-x86_64.cmake.
set -eu
build=$(cd "$1" && pwd)
shift
export WINEPREFIX="$build/wine" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=

mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1 || true  # already up for this prefix
wineboot -i </dev/null >/dev/null 2>&1
status=0
"$@" || status=$?
wineserver -k </dev/null >/dev/null 2>&1 || true
wineserver -w
exit $status
