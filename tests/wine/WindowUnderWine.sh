#!/bin/sh
# Runs qvupdate.exe under Wine on a virtual screen of DPI pixels per inch with a window manager,
# presses "Start" and confirms, waits for the update's outcome, and closes the window. Passes when
# a bad option was said in a message box (exit status 2), the window had its size for that
# screen and the virtual product's saved state then holds the firmware, protected and out of
# ISP mode. Leaves bad-option.png, window.png (the panel after the update) and the traffic log
# in OUT.
#   WindowUnderWine.sh QVUPDATE_EXE QVTOOL_EXE FIRMWARE DPI OUT
set -eu
exe=$1 qvtool=$2 firmware=$3 dpi=$4 out=$5
rm -rf "$out"
mkdir -p "$out/run"
cp "$exe" "$qvtool" "$firmware" "$out/run/"
cd "$out/run"
export WINEPREFIX="$out/wine" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# The frame size of the panel: 606 x 200 on a 96-dpi screen; from 120 dpi on the large layout,
# 746 x 340, which Qt's scaling then draws at the screen's ratio.
if [ "$dpi" -ge 120 ]; then
    want_w=$((746 * dpi / 96)) want_h=$((340 * dpi / 96))
else
    want_w=606 want_h=200
fi

xvfb-run -a -s "-screen 0 1600x1200x24 -dpi $dpi" sh -eu -c '
    dpi=$1 want_w=$2 want_h=$3 firmware=$(basename "$4") out=$5
    openbox >/dev/null 2>&1 & wm=$!
    wineboot -i >/dev/null 2>&1
    # The screen as Windows reports it.
    wine reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wine reg add "HKLM\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts" \
        /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    # A fresh prefix has neither the dialog font nor Arial where Qt looks for them, and Qt falls
    # back to a serif face: map them to a sans-serif face, as Windows has them.
    for face in "MS Shell Dlg=DejaVu Sans" "MS Shell Dlg 2=DejaVu Sans" "Arial=DejaVu Sans"; do
        wine reg add "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes" \
            /v "${face%%=*}" /t REG_SZ /d "${face#*=}" /f >/dev/null 2>&1
    done
    wineserver -w
    # The first window named NAME, or nothing after a minute. A search fails outright when a
    # window vanishes while it looks (Wine makes and drops short-lived windows), so it looks again.
    find_window() {
        local found
        for _ in $(seq 1 120); do
            found=$(xdotool search --name "$1" 2>/dev/null | head -n 1)
            [ -n "$found" ] && { echo "$found"; return 0; }
            sleep 0.5
        done
    }
    # A mistyped option (a shortcut s target, say) is said in a message box, not to a console
    # the program does not have, and ends with the usage status once it is read.
    status=0
    wine qvupdate.exe --bogus >/dev/null 2>&1 & refusal=$!
    box=$(find_window "^qvupdate\$")
    [ -n "$box" ] || { echo "no message box for a bad option"; exit 1; }
    sleep 1
    import -window root "$out/bad-option.png"
    xdotool windowactivate --sync "$box" key Return
    wait $refusal || status=$?
    [ "$status" = 2 ] || { echo "a bad option ended with status $status, not 2"; exit 1; }
    wine qvupdate.exe --simulate --sim-state state.qvs --io-log io.log >"$out/qvupdate.out" 2>&1 &
    app=$!
    win=$(find_window "Tesmora firmware update Tool")
    [ -n "$win" ] || { echo "the window did not open"; exit 1; }
    sleep 4  # the first scans find the virtual product and load its firmware file
    eval "$(xdotool getwindowgeometry --shell "$win")"
    echo "window: ${WIDTH}x${HEIGHT} (frame $want_w x $want_h wanted)"
    # The frame is drawn by the window manager around the client area Qt sizes.
    if [ "$WIDTH" -gt "$want_w" ] || [ "$WIDTH" -lt $((want_w - 24)) ] ||
       [ "$HEIGHT" -gt "$want_h" ] || [ "$HEIGHT" -lt $((want_h - 60)) ]; then
        echo "the window is ${WIDTH}x${HEIGHT}, not inside a ${want_w}x${want_h} frame"
        exit 1
    fi
    import -window root "$out/panel.png"
    # "Start" has the focus once the product is ready; Return presses it and confirms the question.
    xdotool key --window "$win" Return
    sleep 2
    xdotool key Return
    # The update has ended when its outcome shows: blue for success, red for a failure.
    outcome=""
    for _ in $(seq 1 100); do
        sleep 3
        import -window "$win" "$out/window.png"
        for colour in blue red; do
            seen=$(convert "$out/window.png" -fill black +opaque "$colour" -format "%[fx:maxima>0]" info:)
            [ "$seen" = 1 ] && outcome=$colour
        done
        [ -n "$outcome" ] && break
    done
    import -window root "$out/window.png"
    echo "outcome: ${outcome:-none}"
    # Closed as a user closes it (the window manager asks), so the window saves the device.
    xdotool windowactivate --sync "$win" key --clearmodifiers alt+F4
    wait $app
    kill $wm 2>/dev/null || true
    wineserver -k
    [ "$outcome" = blue ] || { echo "the update did not end in success"; exit 1; }
' sh "$dpi" "$want_w" "$want_h" "$firmware" "$out"

# The prefix's server of the window session is gone before the next program starts its own.
wineserver -w
cp io.log "$out/io.log"
# The state the window saved: the firmware in the flash, the flash protected, the chip out of
# ISP mode (it is found as the product again).
wine qvtool.exe --simulate --sim-state state.qvs flash verify --file "$(basename "$firmware")"
wine qvtool.exe --simulate --sim-state state.qvs flash status
wine qvtool.exe --simulate --sim-state state.qvs list
