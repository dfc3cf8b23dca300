#!/bin/sh
# Builds the Debian package with `make package`, checks its fields, files and
# changelog, runs lintian on it (an error fails, warnings are shown), installs
# it with dpkg, plays the installed /usr/games/zop in a tmux pane of
# 81 x 46 up to its first screen, quits with ESC, and removes the package
# again, so the machine is left as it was.  Then builds the RPM and Arch
# packages of HEAD's tarball as make dist does, and checks that they hold the
# Debian package's files and that rpmlint finds nothing in the RPM.
# Usage: package_test.sh SOURCE_DIR WORK_DIR VERSION.  Needs root.
# Exits 77 (skipped) when it cannot run here: not root, no dpkg, dpkg-dev,
# file, tmux or lintian, or a zop already installed that it must not touch;
# and, once the Debian package has passed, without rpmbuild, rpmlint or makepkg.
set -u
src=$1
dir=$2
version=$3

. "$(dirname "$0")/../skip.sh"
. "$(dirname "$0")/../support/retry.sh"

[ "$(id -u)" = 0 ] || skip "installing a package needs root"
for tool in dpkg dpkg-deb dpkg-shlibdeps dpkg-parsechangelog file tmux make lintian; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done

# One package test at a time on this machine, also from other build trees:
# they take turns on a lock of dpkg's own directory, which leaves no file behind.
if command -v flock >/dev/null 2>&1; then
    exec 9</var/lib/dpkg
    flock -w 900 9 || skip "another package test holds the lock"
fi

if dpkg-query -W -f '${db:Status-Status}' zop 2>/dev/null | grep -qv '^not-installed$'; then
    skip "a zop package is already on this machine"
fi
[ -e /usr/games/zop ] && skip "/usr/games/zop already exists"

work=$(mktemp -d)
socket="zop-package-$$"
installed=0

cleanup() {
    tmux -L "$socket" kill-server >/dev/null 2>&1
    rm -f "${TMUX_TMPDIR:-/tmp}/tmux-$(id -u)/$socket"
    [ "$installed" = 1 ] && dpkg --purge zop >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "FAIL: $*"
    if [ -f "$work/screen" ]; then
        echo "--- screen:"
        cat "$work/screen"
    fi
    exit 1
}

# ---------------------------------------------------------------- Building

# A nested make must not try to join the job server of a make around ctest.
unset MAKEFLAGS MFLAGS MAKELEVEL
rm -rf "$dir"
make -C "$src" package PACKAGE_DIR="$dir" JOBS=2 >"$work/build.log" 2>&1 ||
    { tail -n 40 "$work/build.log"; fail "make package failed"; }
set -- "$dir"/zop_"$version"_*.deb
[ $# = 1 ] && [ -f "$1" ] || fail "no single package zop_${version}_*.deb in $dir"
deb=$1

field() {
    dpkg-deb -f "$deb" "$1"
}
[ "$(field Package)" = zop ] || fail "the package is called '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "the package version is '$(field Version)'"
[ "$(field Section)" = games ] || fail "the package section is '$(field Section)'"
[ -n "$(field Maintainer)" ] || fail "the package has no maintainer"
field Depends | grep -q 'libc6 (>= ' || fail "no dependencies read off the binary: '$(field Depends)'"
[ "$(field Description | wc -l)" -ge 3 ] || fail "the package has no long description"
dpkg-deb -c "$deb" | awk '{ print $6 }' >"$work/files"
for path in ./usr/games/zop ./usr/share/man/man6/zop.6.gz ./usr/share/doc/zop/copyright \
    ./usr/share/doc/zop/changelog.gz ./usr/share/applications/io.github.gameofzop.zop.desktop \
    ./usr/share/metainfo/io.github.gameofzop.zop.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/io.github.gameofzop.zop.svg \
    ./usr/share/icons/hicolor/48x48/apps/io.github.gameofzop.zop.png; do
    grep -qxF "$path" "$work/files" || fail "the package does not hold $path"
done
# A new version needs an entry of its own at the top of the changelog.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/zop/changelog.gz | gunzip |
    dpkg-parsechangelog -l - -S Version >"$work/changelog-version" ||
    fail "the package's changelog cannot be read"
[ "$(cat "$work/changelog-version")" = "$version" ] ||
    fail "the changelog's latest entry is for '$(cat "$work/changelog-version")', not $version"

# Debian's own checks of a package: notes and warnings are shown, an error or a note on
# the icon fails.
lintian -I "$deb" >"$work/lintian" 2>&1
status=$?
cat "$work/lintian"
[ "$status" = 0 ] || fail "lintian exited with $status"
grep -q '^E: ' "$work/lintian" && fail "lintian found errors in the package"
grep -q 'icon' "$work/lintian" && fail "lintian has a note on the package's icon"

# -------------------------------------------------------------- Installing

installed=1
dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i failed"; }
[ "$(dpkg-query -W -f '${db:Status-Status}' zop)" = installed ] || fail "zop is not installed"
[ -x /usr/games/zop ] || fail "/usr/games/zop is missing or not executable"
# Minimal images may tell dpkg to leave manual pages out.
if grep -qs '^path-exclude.*/usr/share/man' /etc/dpkg/dpkg.cfg /etc/dpkg/dpkg.cfg.d/*; then
    echo "note: dpkg here leaves out manual pages; the installed page was not checked"
elif command -v man >/dev/null 2>&1; then
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings 6 zop >"$work/page" 2>"$work/warnings" ||
        fail "man 6 zop did not find the installed page"
    [ -s "$work/warnings" ] && { cat "$work/warnings"; fail "man warned about the page"; }
    grep -qx "EXIT STATUS" "$work/page" || fail "man 6 zop shows some other page"
fi

# ----------------------------------------------------------------- Playing

tm() {
    tmux -u -L "$socket" -f /dev/null "$@"
}

pane_shows() {
    tm capture-pane -p >"$work/screen" 2>/dev/null && grep -qF "$1" "$work/screen"
}

expect_line() {
    sed -n "$1p" "$work/screen" | grep -qxF "$2" || fail "line $1 is not '$2'"
}

cat >"$work/run.sh" <<EOF
/usr/games/zop
echo \$? >"$work/status"
exec sleep 60
EOF

export LC_ALL=C.UTF-8
tm new-session -d -x 81 -y 46 "sh $work/run.sh" || fail "tmux would not start"
retry 10 pane_shows "Ready for new game. Waiting key commands..." ||
    fail "the installed zop did not come to its first screen"
sleep 0.3
tm capture-pane -p >"$work/screen"
upper=$(printf '─%.0s' $(seq 34))
help=$(printf '─%.0s' $(seq 42))
lower=$(printf '─%.0s' $(seq 78))
expect_line 2 " ┌${upper}┌${help}┐┐"
grep -qF " │     Ball Count │15│ " "$work/screen" || fail "the ball count panel does not show 15"
grep -qF "│ ESC quits any time " "$work/screen" || fail "the help panel is not there"
expect_line 23 " └${lower}┘"
expect_line 24 " ┌${lower}┐"
expect_line 46 " └${lower}┘"

tm send-keys Escape
retry 10 test -s "$work/status" || fail "zop did not end after ESC"
[ "$(cat "$work/status")" = 0 ] || fail "zop exited with status $(cat "$work/status") after ESC"

# ---------------------------------------------------------------- Removing

dpkg -r zop >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -r zop failed"; }
installed=0
state=$(dpkg-query -W -f '${db:Status-Status}' zop 2>/dev/null)
if [ "$state" = config-files ]; then
    dpkg --purge zop >/dev/null 2>&1
    state=$(dpkg-query -W -f '${db:Status-Status}' zop 2>/dev/null)
fi
[ -z "$state" ] || [ "$state" = not-installed ] || fail "zop is left in dpkg state '$state'"
[ -e /usr/games/zop ] && fail "/usr/games/zop is still there after dpkg -r"
[ -e /usr/share/man/man6/zop.6.gz ] && fail "the manual page is still there after dpkg -r"
echo "Debian package: built, installed, played and removed"

# ------------------------------------------------- The RPM and Arch packages

for tool in git rpmbuild rpmlint makepkg bsdtar; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed: no RPM or Arch package checked"
done
(cd "$src" && sh packaging/dist.sh "$work/dist" "$dir/dist" rpm arch) >"$work/dist.log" 2>&1 ||
    { tail -n 30 "$work/dist.log"; fail "dist.sh rpm arch failed"; }
rpm=$work/dist/zop-$version-1.x86_64.rpm
# The files each family installs, the program's and the licence's places as
# its policy sets them named alike, and Debian's changelog aside (rpm keeps its
# changelog in the package's header).
files_of() {
    sed -e 's|^\./|/|; s|^/usr/games/|/usr/bin/|; /^\//!d; /\/$/d; /^\/\./d' \
        -e 's|^/usr/share/doc/zop/copyright$|licence|; s|^/usr/share/licenses/zop/LICENSE$|licence|' \
        -e '\|^/usr/share/doc/zop/changelog.gz$|d' "$@" | sort
}
files_of "$work/files" >"$work/deb.files"
rpm -qlvp "$rpm" | awk '!/^d/ { print $NF }' | files_of >"$work/rpm.files"
bsdtar -tf "$work/dist/zop-$version-1-x86_64.pkg.tar.zst" | sed 's|^|/|' | files_of >"$work/arch.files"
for family in rpm arch; do
    diff "$work/deb.files" "$work/$family.files" || fail "the $family package's files are not the Debian package's"
done
rpm -qp --requires "$rpm" | grep -q '^libtinfo\.so\.' || fail "the RPM requires no terminfo library"
rpm -qp --changelog "$rpm" | head -n 1 | grep -q -- "- $version-1\$" ||
    fail "the RPM's changelog does not start with $version"
# The recipe rpmbuild was given, filled in, and the package it built.
rpmlint -c "$src/packaging/rpmlint.toml" "$dir"/dist/rpm/zop.* "$rpm" >"$work/rpmlint" 2>&1
grep -q ' 0 errors, 0 warnings' "$work/rpmlint" || { cat "$work/rpmlint"; fail "rpmlint found errors or warnings"; }
echo "RPM and Arch packages: the Debian package's files, and rpmlint clean"
