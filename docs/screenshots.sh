#!/bin/sh
# Regenerates the window screenshots in docs/: the update panel after the scan found the
# virtual product, and the maintenance pages. Needs xvfb-run, xauth and ImageMagick.
# Usage: docs/screenshots.sh [BUILD_DIR]    (default: build; targets qvupdate and demo_firmware)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
exe=$build/bin/qvupdate
firmware=$build/bin/Tesmora_K2DAC_v11.hex
if [ ! -x "$exe" ] || [ ! -f "$firmware" ]; then
    echo "screenshots.sh: build the qvupdate and demo_firmware targets in $build first" >&2
    exit 1
fi

# The window looks for the firmware file in its current directory.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$firmware" "$work/"

# shoot OUTPUT OPTION...: runs the window on a virtual screen, waits for the scan, grabs the
# screen and crops it to the window.
shoot() {
    out=$1
    shift
    (cd "$work" && xvfb-run -a -s "-screen 0 1280x1024x24" \
        sh -c '"$0" "$@" & pid=$!; sleep 4; import -window root shot.png; kill $pid' \
        "$exe" "$@")
    convert "$work/shot.png" -trim +repage "$out"
    echo "wrote $out"
}

shoot "$root/docs/update-panel.png" --simulate
shoot "$root/docs/service-pages.png" --simulate --service
