#!/bin/sh
# Installs the build into a throwaway prefix with `cmake --install` and checks
# what lands there: bin/zop, the very program built, which without any
# terminal ends at once with status 1 and one line on standard error, and
# answers --help, --version and wrong arguments there (tests/options.sh); and
# share/man/man6/zop.6, with this version in it, which man renders without a
# single warning and with every section a player looks for; and the desktop
# entry and metainfo, which their validators pass, and the copyright.
# Usage: install_test.sh BUILD_DIR VERSION.  Exits 77 (skipped) without man,
# desktop-file-utils or appstream.
set -u
build=$1
version=$2

. "$(dirname "$0")/../skip.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "cmake --install into $prefix failed"; }

# The program.
zop="$prefix/bin/zop"
[ -f "$zop" ] && [ -x "$zop" ] || fail "$zop is missing or not executable"
cmp -s "$zop" "$build/zop" || fail "$zop is not the program that was built"
if command -v setsid >/dev/null 2>&1; then
    # A session of its own has no controlling terminal, and the standard
    # streams are files: the program has nowhere to play.
    setsid -w "$zop" </dev/null >"$work/out" 2>"$work/err"
    status=$?
    [ "$status" = 1 ] || fail "without a terminal zop exited with $status, not 1"
    [ -s "$work/out" ] && fail "without a terminal zop wrote to standard output"
    [ "$(wc -l <"$work/err")" = 1 ] || { cat "$work/err"; fail "not one line on standard error"; }
    grep -q '^zop: ' "$work/err" || fail "the error line does not start with 'zop: '"
    # The options answer there all the same.
    . "$(dirname "$0")/../options.sh"
    options_check "$version" setsid -w "$zop"
    if [ -w /dev/full ]; then
        setsid -w "$zop" --version 0<&- >/dev/full 2>"$work/err"
        status=$?
        [ "$status" = 1 ] || fail "--version to a full disk exited with $status, not 1"
        [ "$(cat "$work/err")" = "zop: cannot write to standard output" ] ||
            fail "--version to a full disk did not say so"
    fi
else
    echo "note: setsid is missing; the run without a terminal was not tried"
fi

# The manual page.
page="$prefix/share/man/man6/zop.6"
[ -f "$page" ] || fail "$page is missing"
grep -n '@[A-Za-z_]*@' "$page" && fail "the manual page has placeholders left"
command -v man >/dev/null 2>&1 || skip "man is not installed: the rendering was not checked"
export LC_ALL=C.UTF-8 MANWIDTH=80
for warnings in --warnings --warnings=w; do
    man "$warnings" -l "$page" >"$work/page" 2>"$work/warnings" || fail "man $warnings failed"
    if [ -s "$work/warnings" ]; then
        cat "$work/warnings"
        fail "man $warnings -l warned about the page"
    fi
done
for section in NAME SYNOPSIS DESCRIPTION OPTIONS KEYS RULES TERMINAL "EXIT STATUS" FILES ENVIRONMENT; do
    grep -qx "$section" "$work/page" || fail "the rendered page has no $section section"
done
head -n 1 "$work/page" | grep -q '^ZOP(6) ' || fail "the page is not ZOP(6)"
tail -n 1 "$work/page" | grep -qF "zop $version" || fail "the page does not carry version $version"

# What desktops and distributions read: the desktop entry and the metainfo,
# each passing its validator, the copyright, and the release of this version.
desktop="$prefix/share/applications/io.github.gameofzop.zop.desktop"
metainfo="$prefix/share/metainfo/io.github.gameofzop.zop.metainfo.xml"
for file in "$desktop" "$metainfo" "$prefix/share/doc/zop/copyright"; do
    [ -f "$file" ] || fail "$file is missing"
done
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
# The icon both name, scalable and in each size menus ask for (a PNG's width and
# height are the big-endian words at bytes 16 and 20).
grep -qx 'Icon=io.github.gameofzop.zop' "$desktop" &&
    grep -qF '<icon type="stock">io.github.gameofzop.zop<' "$metainfo" ||
    fail "the desktop entry or the metainfo names no icon io.github.gameofzop.zop"
icons="$prefix/share/icons/hicolor"
grep -q '<svg' "$icons/scalable/apps/io.github.gameofzop.zop.svg" || fail "no scalable icon"
for size in 16 32 48 64 128 256; do
    od -An -tu1 -j16 -N8 "$icons/${size}x$size/apps/io.github.gameofzop.zop.png" |
        awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }' | grep -qx "${size}x$size" ||
        fail "no $size x $size PNG icon"
done
command -v desktop-file-validate >/dev/null 2>&1 || skip "desktop-file-utils is not installed"
command -v appstreamcli >/dev/null 2>&1 || skip "appstream is not installed"
desktop-file-validate "$desktop" || fail "desktop-file-validate found errors in the desktop entry"
appstreamcli validate --no-net --pedantic "$metainfo" ||
    fail "appstreamcli validate found errors or warnings in the metainfo"
echo "install into a prefix: all checks passed"
