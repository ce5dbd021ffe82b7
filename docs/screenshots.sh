#!/bin/sh
# Regenerates the update panel screenshots in docs/: the window, frame included, under a window
# manager on a virtual screen, after the scan found the virtual product; while and after "Start"
# runs; after an update that failed; the question "Stop" asks, and the panel after a stop. Needs Xvfb, xauth, openbox,
# xdotool and ImageMagick.
# Usage: docs/screenshots.sh [BUILD_DIR]    (default: build; targets qvupdate and demo_firmware)
# The service pages come from qv_page_shots (see the README).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
exe=$build/bin/qvupdate
firmware=$build/bin/Tesmora_K2DAC_v11.hex
if [ ! -x "$exe" ] || [ ! -f "$firmware" ]; then
    echo "screenshots.sh: build the qvupdate and demo_firmware targets in $build first" >&2
    exit 1
fi

# The window looks for the firmware file in its current directory: the demo firmware in one,
# a copy whose third line lost a digit to a stray character in the other.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/good" "$work/broken"
cp "$firmware" "$work/good/"
sed '3s/^\(.\{12\}\)./\1g/' "$firmware" >"$work/broken/$(basename "$firmware")"
title="Tesmora firmware update Tool V1.00"

# session DIR SCRIPT OPTION...: runs the window in DIR under openbox on a virtual screen and then
# the shell commands in SCRIPT, which can use $win (the window) and the functions grab, start and
# confirm.
session() {
    dir=$1
    script=$2
    shift 2
    (cd "$work/$dir" && xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
        script=$1; title=$2; shift 2
        openbox & wm=$!
        sleep 1
        "$@" & app=$!
        win=$(xdotool search --sync --name "$title" | head -n 1)
        sleep 3
        grab() { import -frame -window "$win" "$1"; echo "wrote $1"; }
        start() {
            eval "$(xdotool getwindowgeometry --shell "$win")"
            xdotool mousemove --window "$win" $((WIDTH - 75)) 37 click 1
        }
        confirm() { sleep 1; xdotool key --clearmodifiers Return; }
        eval "$script"
        kill $app $wm' sh "$script" "$title" "$@")
}

session good 'grab "'"$root"'/docs/update-panel.png"' "$exe" --simulate
session broken 'grab "'"$root"'/docs/update-refused.png"' "$exe" --simulate
session good 'start; confirm; sleep 2; grab "'"$root"'/docs/update-running.png";
         sleep 15; grab "'"$root"'/docs/update-success.png"' "$exe" --simulate
session good 'start; confirm; sleep 12; grab "'"$root"'/docs/update-failed.png"' \
    "$exe" --simulate --sim-fault=flip:1234
# The stop question: its default answer is "Continue the update", so "Stop the update" is chosen
# with Shift+Tab before Return.
session good 'start; confirm; sleep 1; start; sleep 1;
         import -window root -crop 640x260+320+380 "'"$root"'/docs/update-stop-question.png";
         xdotool key --clearmodifiers shift+Tab Return; sleep 6;
         grab "'"$root"'/docs/update-stopped.png"' "$exe" --simulate
