#!/usr/bin/env bash
# Starts Quadrix under Xvfb, drives it as a user would and saves what it shows
# as PNGs in docs/screenshots/. Needs a built program (scripts/start.sh or
# scripts/test.sh) and the packages xvfb, xdotool, imagemagick and scrot.
set -euo pipefail
cd "$(dirname "$0")/.."

out=docs/screenshots
mkdir -p "$out"
display=:${SCREENSHOT_DISPLAY:-87}

# Tall enough for the batch window at a scale of 2.
Xvfb "$display" -screen 0 1280x1280x24 -nolisten tcp &
xvfb=$!
trap 'kill $(jobs -p) 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# Device pixels per logical pixel of the instance being driven.
scale=1

# Clicks the middle of a control given in twips of the window's client area.
click_twips() { # window left top width height
    xdotool mousemove --window "$1" $((($2 + $4 / 2) * scale / 15)) $((($3 + $5 / 2) * scale / 15)) click 1
    sleep 0.4
}

shot() { # window name
    import -window "$1" "$out/$2.png"
    echo "saved $out/$2.png"
}

./build/quadrix &
program=$!
form1=$(xdotool search --sync --onlyvisible --name '^Quadrix Software$' | head -n 1)
sleep 1
click_twips "$form1" 120 630 7800 405    # Load Sample/Example IP
click_twips "$form1" 120 2610 7800 405   # Start Converting
shot "$form1" single-window

# The hand pointer over a button: the screen with its pointer, cut to the window.
xdotool mousemove --window "$form1" 300 $((2610 / 15 + 14))
sleep 0.6
eval "$(xwininfo -id "$form1" | awk '/Absolute upper-left X/ {print "x=" $NF} /Absolute upper-left Y/ {print "y=" $NF}
                                     /Width/ {print "w=" $NF} /Height/ {print "h=" $NF}')"
scrot --overwrite --pointer "$out/.screen.png"
convert "$out/.screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$out/hand-pointer.png"
rm -f "$out/.screen.png"
echo "saved $out/hand-pointer.png"

# The batch window after a run of the samples, with two rows ticked.
batch_window_after_a_run() { # single-window name
    click_twips "$1" 120 1140 7800 405   # Convert Multiple Addresses At Once
    form2=$(xdotool search --sync --onlyvisible --name '^Quadrix Software$' | grep -v "^$1\$" | head -n 1)
    click_twips "$form2" 120 3540 3840 405   # Load Sample/Example IPs
    click_twips "$form2" 120 4050 7800 405   # Start Converting
    xdotool search --sync --onlyvisible --name '^Quadrix$' >/dev/null
    sleep 0.5
    xdotool key Return
    sleep 0.5
    # The check boxes of the first and third results rows.
    xdotool mousemove --window "$form2" $((16 * scale)) $(((4545 / 15 + 30) * scale)) click 1
    sleep 0.3
    xdotool mousemove --window "$form2" $((16 * scale)) $(((4545 / 15 + 30 + 2 * 19) * scale)) click 1
    sleep 0.5
    shot "$form2" "$2"
}
batch_window_after_a_run "$form1" batch-window

# The embedding and the text style: nat64 in RFC 5952 text, chosen from the
# drop-down and the check box on the window's bottom row.
nat64_in_rfc5952_text() { # window top-of-the-row
    click_twips "$1" 1200 "$2" 2700 375  # Embedding: the list opens at "compatible"
    xdotool key Down Down Return
    sleep 0.4
    xdotool mousemove --window "$1" $(((4020 / 15 + 8) * scale)) $((($2 + 187) / 15 * scale)) click 1
    sleep 0.5
}
nat64_in_rfc5952_text "$form2" 7995
shot "$form2" batch-window-nat64-rfc5952
click_twips "$form2" 120 120 7800 405   # < Back
nat64_in_rfc5952_text "$form1" 7020
shot "$form1" single-window-nat64-rfc5952
kill "$program"
wait "$program" || true

# Both windows on a high-density screen: every logical pixel drawn as two.
scale=2
QT_SCALE_FACTOR=$scale ./build/quadrix &
form1=$(xdotool search --sync --onlyvisible --name '^Quadrix Software$' | head -n 1)
sleep 1
click_twips "$form1" 120 630 7800 405    # Load Sample/Example IP
click_twips "$form1" 120 2610 7800 405   # Start Converting
shot "$form1" single-window-scale2
batch_window_after_a_run "$form1" batch-window-scale2
