#!/bin/sh
# Runs a target of the Makefile (demo, test, ...) on a machine that may not have make yet:
# installs make first when it is missing, then the target installs what it needs itself.
#   ./make.sh demo    ./make.sh test
set -eu
cd "$(dirname "$0")"
command -v make >/dev/null 2>&1 || tools/need-packages make
exec make "$@"
