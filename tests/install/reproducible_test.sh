#!/bin/sh
# Builds the release (`make dist`) twice, from two clones of the source in
# folders of different names and depths, one after the other, with a
# different umask, locale and time zone, and compares their SHA256SUMS: every
# artefact must be the same bit for bit.  Each file that differs is named, and
# shown by diffoscope where that is installed.  The clones hold the committed
# HEAD, not changes left in the working tree.
# Usage: reproducible_test.sh SOURCE_DIR WORK_DIR.  Exits 77 (skipped) without
# git, zip, gzip, the Debian package tools, mingw-w64 or emscripten.
set -u
src=$1
dir=$2

. "$(dirname "$0")/../skip.sh"

fail() {
    echo "FAIL: $*"
    exit 1
}

for tool in git make cmake zip gzip sha256sum dpkg-deb dpkg-shlibdeps file \
    x86_64-w64-mingw32-g++ emcc; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
git -C "$src" rev-parse -q --verify HEAD >/dev/null 2>&1 || skip "$src is not a git checkout"

# A nested make must not try to join the job server of a make around ctest.
unset MAKEFLAGS MFLAGS MAKELEVEL SOURCE_DATE_EPOCH
rm -rf "$dir"
mkdir -p "$dir"

# dist FOLDER UMASK LOCALE TIME_ZONE: a clone in FOLDER and its make dist.
dist() {
    git clone -q "$src" "$1" || fail "git clone into $1 failed"
    (cd "$1" && umask "$2" && LC_ALL=$3 TZ=$4 make dist JOBS=2 >"$1.log" 2>&1) ||
        { tail -n 30 "$1.log"; fail "make dist failed in $1"; }
}
first=$dir/a
second=$dir/another/clone
dist "$first" 022 C UTC
dist "$second" 077 C.UTF-8 Pacific/Auckland

version=$(sed -n 's/^project(zop VERSION \([0-9.]*\).*/\1/p' "$first/CMakeLists.txt")
for file in "zop-$version.tar.gz" "zop-$version-windows.zip" "zop-$version-web.zip" SHA256SUMS; do
    [ -s "$first/dist/$file" ] || fail "make dist made no $file"
done
set -- "$first"/dist/zop_"$version"_*.deb
[ $# = 1 ] && [ -s "$1" ] || fail "make dist made no single zop_${version}_*.deb"
[ "$(wc -l <"$first/dist/SHA256SUMS")" = 4 ] || fail "SHA256SUMS does not list the four artefacts"

cmp -s "$first/dist/SHA256SUMS" "$second/dist/SHA256SUMS" && {
    echo "make dist twice: the same bit for bit"
    exit 0
}
diff "$first/dist/SHA256SUMS" "$second/dist/SHA256SUMS" | sed -n 's/^< [0-9a-f]*  //p' |
    while read -r file; do
        echo "FAIL: $file differs between the two builds"
        if command -v diffoscope >/dev/null 2>&1; then
            diffoscope "$first/dist/$file" "$second/dist/$file" | head -n 60
        fi
    done
exit 1
