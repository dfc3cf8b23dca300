#!/bin/sh
# The game's first screen in a real terminal emulator of a kind ($1: xterm,
# xterm-screen, xterm-c, xterm-cjk, urxvt or st; see lib.sh), zop being $2,
# read as pixels.  The game draws, and it is black throughout: no pixel of its
# cells is white or light grey, not even in xterm's own black-on-white colours
# or in GNU screen, which erases without the background colour.  In the C
# locale with UTF-8 off (xterm-c) its line drawing and walls go through the
# terminal's alternate character set and reverse video, and so they do where
# the terminal draws East Asian ambiguous characters two cells wide
# (xterm-cjk): either picture differs from the one in UTF-8 in under 2 % of
# its pixels.  ESC ends it.
set -u
name=matrix kind=$1 zop=$2
. "$(dirname "$0")/lib.sh"
case $kind in
xterm | xterm-c | xterm-cjk) needs=xterm ;;
xterm-screen) needs="xterm screen" ;;
*) needs=$kind ;;
esac
for tool in $needs; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done

# The first screen in a terminal of a kind, as $work/<kind>.png, the game's cells only.
first_screen() {
    start_terminal "$1" "$zop"
    wait_for_stillness
    screenshot "$work/$1-window.png"
    quit_game
    cells_of "$work/$1-window.png" "$work/$1.png"
    pixels=$(pixel_count "$work/$1.png")
    green=$(green_pixels "$work/$1.png")
    [ "$green" -gt $((pixels / 100)) ] || fail "$1 shows almost no light green: the game did not draw"
}

start_display
first_screen "$kind"
light=$(light_pixels "$work/$kind.png")
[ "$light" = 0 ] || fail "$light of $pixels pixels of the game's cells in $kind are white or light grey"
echo "$kind: the game drew ($green light green pixels) on black throughout"

tested=$kind # start_terminal sets kind anew
if [ "$tested" = xterm-c ] || [ "$tested" = xterm-cjk ]; then
    first_screen xterm
    differing=$(differing_pixels "$work/xterm.png" "$work/$tested.png")
    [ $((differing * 50)) -lt "$pixels" ] ||
        fail "$differing of $pixels pixels differ from the picture in UTF-8: 2 % or more"
    echo "$tested: differs from the picture in UTF-8 in $differing of $pixels pixels"
fi
