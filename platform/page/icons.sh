#!/bin/sh
# Renders the page's PNG icons from its one marble (marble.svg) with headless
# Chromium, reduced with ImageMagick; they are kept in the tree beside it:
#   icon-192.png           the marble alone, on nothing (the manifest's "any")
#   icon-512-maskable.png  on black, the marble within the central circle of
#                          80 % of the width that any mask leaves whole
#   apple-touch-icon.png   180 px on black, for iOS's home screen
# Usage: icons.sh (needs chromium and convert; run again when marble.svg changes)
set -eu
page=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$page/marble.svg" "$work/"
# render SIZE BACKGROUND SHARE OUT: the marble SHARE % of SIZE wide, centred on BACKGROUND.
render() {
    cat >"$work/icon.html" <<HTML
<!doctype html><body style="margin:0;width:$1px;height:$1px;background:$2;display:grid;place-items:center">
<img src="marble.svg" style="width:$3%"></body>
HTML
    chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --force-device-scale-factor=1 \
        --default-background-color=00000000 --window-size="$1,$1" --screenshot="$work/$4" \
        "file://$work/icon.html" >/dev/null 2>&1
}
render 192 transparent 100 icon-192.png
render 512 '#000' 70 icon-512-maskable.png
render 180 '#000' 84 apple-touch-icon.png
convert "$work/icon-192.png" -strip "$page/icon-192.png"
# On black a palette of 256 colours holds the marble's greens: a third of the bytes.
for icon in icon-512-maskable.png apple-touch-icon.png; do
    convert "$work/$icon" -strip -colors 256 "PNG8:$page/$icon"
done
