#!/bin/sh
# make dist twice, from two clones of HEAD in different folders, one after the
# other, with another umask, locale and time zone: the SHA256SUMS of the six
# artefacts must agree.  Names each file that differs (diffoscope shows how,
# where installed).  Usage: reproducible_test.sh SOURCE_DIR WORK_DIR.
# Exits 77 (skipped) without a tool make dist needs.
set -u
src=$1
dir=$2
. "$(dirname "$0")/../skip.sh"
for tool in git zip gzip dpkg-deb dpkg-shlibdeps file x86_64-w64-mingw32-g++ emcc rpmbuild \
    makepkg bsdtar; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
git -C "$src" rev-parse --git-dir >/dev/null 2>&1 || skip "$src is not a git checkout (an unpacked tarball)"
# A nested make must not try to join the job server of a make around ctest.
unset MAKEFLAGS MFLAGS MAKELEVEL SOURCE_DATE_EPOCH
rm -rf "$dir"
# dist FOLDER UMASK LOCALE TIME_ZONE
dist() {
    git clone -q "$src" "$1" && (cd "$1" && umask "$2" && LC_ALL=$3 TZ=$4 make dist JOBS=2 \
        >"$1.log" 2>&1) || { tail -n 30 "$1.log"; echo "FAIL: make dist failed in $1"; exit 1; }
    [ "$(wc -l <"$1/dist/SHA256SUMS")" = 6 ] ||
        { echo "FAIL: $1 has not the six artefacts"; exit 1; }
}
dist "$dir/a" 022 C UTC
dist "$dir/another/clone" 077 C.UTF-8 Pacific/Auckland
cd "$dir" || exit 1
b=another/clone
cmp -s a/dist/SHA256SUMS $b/dist/SHA256SUMS && echo "make dist twice: the same" && exit 0
diff a/dist/SHA256SUMS $b/dist/SHA256SUMS | sed -n 's/^< [0-9a-f]*  //p' | while read -r file; do
    echo "FAIL: $file differs between the two builds"
    command -v diffoscope >/dev/null 2>&1 &&
        diffoscope "a/dist/$file" "$b/dist/$file" | head -n 60
done
exit 1
