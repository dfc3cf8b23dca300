#!/bin/sh
# The web page's test in steps that share WORK_DIR:
#   web_test.sh SOURCE_DIR WORK_DIR page     builds the page (make web) into
#       WORK_DIR/page, shows the sizes make web printed and installs the test's
#       npm packages from the registry (tests/platform/page/package-lock.json);
#   web_test.sh SOURCE_DIR WORK_DIR ENGINE   plays the built page in chromium,
#       firefox or webkit (web_test.mjs), webkit on an Xvfb display of its own.
# Skips when a tool the step needs is missing, or the page was not built.
set -u
src=$1 work=$2 engine=$3
. "$(dirname "$0")/../../skip.sh"
fail() {
    echo "FAIL: $*"
    exit 1
}
command -v node >/dev/null 2>&1 || skip "node is not installed"
case $engine in
page)
    rm -rf "$work/page" # a page from an earlier run is not tested when this one skips
    for tool in emcc emcmake npm; do
        command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
    done
    [ -f /usr/share/nodejs/acorn/package.json ] || skip "node-acorn, which emscripten needs, is not installed"
    mkdir -p "$work/npm"
    make -C "$src" web WEB_DIR="$work/page" WEB_BUILD_DIR="$work/emscripten" >"$work/build.log" 2>&1 ||
        { cat "$work/build.log"; fail "make web did not build the page"; }
    sed -n '/^file  /,/^total /p' "$work/build.log"
    if ! cmp -s "$src/tests/platform/page/package-lock.json" "$work/npm/package-lock.json"; then
        cp "$src/tests/platform/page/package.json" "$src/tests/platform/page/package-lock.json" "$work/npm/" &&
            (cd "$work/npm" && npm ci --no-audit --no-fund >"$work/npm.log" 2>&1) ||
            { cat "$work/npm.log"; fail "npm could not install the test's packages"; }
    fi
    exit 0 ;;
chromium) browser=/usr/bin/chromium package=chromium ;;
firefox) browser=/usr/bin/firefox-esr package=firefox-esr ;;
webkit) browser=/usr/bin/WebKitWebDriver package=webkit2gtk-driver ;;
*) fail "no engine $engine" ;;
esac
[ -x "$browser" ] || skip "$package is not installed"
[ -f "$work/page/zop.wasm" ] || skip "the page was not built (see the test web_page_build)"
if [ "$engine" = webkit ]; then
    command -v Xvfb >/dev/null 2>&1 || skip "xvfb is not installed"
    command -v xdpyinfo >/dev/null 2>&1 || skip "x11-utils is not installed"
    . "$(dirname "$0")/../../support/retry.sh"
    . "$(dirname "$0")/../../xvfb.sh"
    start_display 1600x1200x24
    trap 'kill $xvfb_pid' EXIT
fi
node "$(dirname "$0")/web_test.mjs" "$engine" "$work/page" "$src/tests/support/first_screen.txt" \
    "$work/page-in-$engine.png" "$work/npm"
