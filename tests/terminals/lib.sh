# Shared by the tests that play the game in real terminal emulators on a
# virtual X display (Xvfb) and read their screenshots as pixels.  Source it
# after setting `name`; it skips (see skip.sh) when a tool is missing.

. "$(dirname "$0")/../skip.sh"
. "$(dirname "$0")/../support/retry.sh"
. "$(dirname "$0")/../xvfb.sh"
for tool in Xvfb xdpyinfo xdotool xwininfo import convert compare fc-list; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
fc-list | grep -q "DejaVu Sans Mono" || skip "the font DejaVu Sans Mono is not installed"

work=$(mktemp -d)
export LC_ALL=C.UTF-8

cleanup() {
    [ -n "${terminal_pid:-}" ] && kill "$terminal_pid" 2>/dev/null
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

# Starts a terminal of a kind, 81 x 46 cells in DejaVu Sans Mono, running the
# command; the command's exit status goes to $work/status.  Kinds: xterm
# (its default colours, black on white), xterm-screen (GNU screen inside it),
# xterm-c (the C locale, UTF-8 off), xterm-cjk (East Asian ambiguous characters
# two cells wide), urxvt, st.
start_terminal() {
    kind=$1
    shift
    window_name="zop-$kind-$$"
    cat >"$work/run.sh" <<SCRIPT
"\$@"
echo \$? >"$work/status"
SCRIPT
    run="sh $work/run.sh $*"
    geometry=81x46+0+0
    case $kind in
    xterm) xterm -name "$window_name" -geometry "$geometry" -fa "DejaVu Sans Mono" -fs 10 -e $run & ;;
    xterm-screen)
        xterm -name "$window_name" -geometry "$geometry" -fa "DejaVu Sans Mono" -fs 10 \
            -e env SYSSCREENRC=/dev/null screen -c /dev/null -S "$window_name" $run & ;;
    xterm-cjk)
        xterm -cjk_width -name "$window_name" -geometry "$geometry" -fa "DejaVu Sans Mono" -fs 10 \
            -e $run & ;;
    xterm-c)
        env LANG=C LC_ALL=C xterm +u8 -name "$window_name" -geometry "$geometry" \
            -fa "DejaVu Sans Mono" -fs 10 -e $run & ;;
    urxvt)
        urxvt +sb -name "$window_name" -geometry "$geometry" -fn "xft:DejaVu Sans Mono:size=10" \
            -e $run & ;;
    st) st -n "$window_name" -g "$geometry" -f "DejaVu Sans Mono:size=10" -e $run & ;;
    *) fail "no terminal kind $kind" ;;
    esac
    terminal_pid=$!
    find_window
}

# Waits for the terminal's window to be mapped; sets $window.
find_window() {
    retry 10 window_shown || fail "no window of $kind"
}

# Whether the terminal's window is mapped; sets $window.
window_shown() {
    window=$(xdotool search --classname "^$window_name\$" 2>/dev/null | head -n 1)
    [ -n "$window" ] && xwininfo -id "$window" 2>/dev/null | grep -q IsViewable
}

# Waits until the window shows the same picture four times in a row, 0.15 s
# apart, and more than the blank of an empty window (at most 10 s): a loop of
# its own, not retry, as it counts the sightings in a row.
wait_for_stillness() {
    previous="" same=0 tries=66
    while [ "$tries" -gt 0 ]; do
        picture=$(import -window "$window" rgb:- 2>/dev/null | cksum)
        if [ "$picture" = "$previous" ]; then same=$((same + 1)); else same=0; fi
        previous=$picture
        if [ "$same" -ge 3 ] && [ "$(import -window "$window" -format '%k' info: 2>/dev/null)" -gt 2 ]; then
            return 0
        fi
        tries=$((tries - 1))
        sleep 0.15
    done
    fail "the picture in $kind never stood still"
}

# Saves the window as a PNG.
screenshot() {
    import -window "$window" "$1" || fail "no screenshot of $kind"
}

# Types keys (xdotool key names) as a real keyboard would: through XTEST, which
# xterm takes, to the window under the pointer.
type_keys() {
    xdotool mousemove 5 5 key --delay 50 "$@"
}

# Quits the game with ESC and expects it to end with status 0, and its terminal with it.
quit_game() {
    type_keys Escape
    retry 5 ended "$terminal_pid" || fail "$kind did not end after ESC"
    terminal_pid=""
    [ "$(cat "$work/status" 2>/dev/null)" = 0 ] || fail "the game in $kind ended with status $(cat "$work/status" 2>/dev/null)"
}

# The game's cells of a screenshot: the window less the terminal's own border of 2 pixels.
cells_of() {
    size=$(convert "$1" -format '%w %h' info:)
    width=${size% *} height=${size#* }
    convert "$1" -crop "$((width - 4))x$((height - 4))+2+2" +repage "$2"
}

# How many pixels of an image are white or light grey: red, green and blue all 200 or more.
light_pixels() {
    convert "$1" -separate -evaluate-sequence min -threshold 78.4% \
        -format '%[fx:round(mean*w*h)]' info:
}

# How many pixels of an image are the game's light green (within 25 %).
green_pixels() {
    convert "$1" -fuzz 25% -fill black +opaque '#00ff00' -fill white -opaque '#00ff00' \
        -colorspace gray -format '%[fx:round(mean*w*h)]' info:
}

# How many pixels differ between two images of the same size (by more than 6 %).
differing_pixels() {
    compare -metric AE -fuzz 6% "$1" "$2" null: 2>&1 | cut -d' ' -f1
}

# The pixels of an image.
pixel_count() {
    convert "$1" -format '%[fx:w*h]' info:
}
