#!/bin/sh
# Builds the web page (make web, into a directory of the test build, with the
# npm packages from the registry there too) and plays it in headless Chromium
# (web_test.mjs).  Skips when emscripten, npm, node or Chromium is missing.
# Usage: web_test.sh SOURCE_DIR WORK_DIR
set -u
src=$1 work=$2
. "$(dirname "$0")/../skip.sh"
for tool in emcc emcmake npm node; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -x /usr/bin/chromium ] || skip "chromium is not installed"
[ -f /usr/share/nodejs/acorn/package.json ] || skip "node-acorn, which emscripten needs, is not installed"
mkdir -p "$work"
if ! make -C "$src" web WEB_DIR="$work/page" WEB_BUILD_DIR="$work/emscripten" \
    WEB_NPM_DIR="$work/npm" >"$work/build.log" 2>&1; then
    cat "$work/build.log"
    echo "FAIL: make web did not build the page"
    exit 1
fi
size=$(du -sk "$work/page" | cut -f1)
[ "$size" -lt 1024 ] || { echo "FAIL: the page takes $size KB, not under 1 MB"; exit 1; }
echo "the page: $size KB"
exec node "$(dirname "$0")/web_test.mjs" "$work/page" "$src/tests/e2e/first_screen.txt" \
    "$work/page-in-chromium.png" "$work/npm"
