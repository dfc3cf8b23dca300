#!/bin/sh
# Builds the web page (make web, into a directory of the test build), shows the
# sizes make web printed, installs the test's npm packages from the registry
# (web/package-lock.json) and plays the page in headless Chromium
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
mkdir -p "$work/npm"
if ! make -C "$src" web WEB_DIR="$work/page" WEB_BUILD_DIR="$work/emscripten" \
    >"$work/build.log" 2>&1; then
    cat "$work/build.log"
    echo "FAIL: make web did not build the page"
    exit 1
fi
sed -n '/^file  /,/^total /p' "$work/build.log"
if ! cmp -s "$src/web/package-lock.json" "$work/npm/package-lock.json"; then
    cp "$src/web/package.json" "$src/web/package-lock.json" "$work/npm/" &&
        (cd "$work/npm" && npm ci --no-audit --no-fund >"$work/npm.log" 2>&1) ||
        { cat "$work/npm.log"; echo "FAIL: npm could not install the test's packages"; exit 1; }
fi
exec node "$(dirname "$0")/web_test.mjs" "$work/page" "$src/tests/e2e/first_screen.txt" \
    "$work/page-in-chromium.png" "$work/npm"
