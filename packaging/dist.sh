#!/bin/sh
# Builds the release's artefacts into OUT_DIR (`make dist`), named with the
# project's version: the source tarball, the Debian package, the Windows zip,
# the web page's zip, and SHA256SUMS over them.  Every artefact is the same
# bit for bit wherever and whenever it is built: times come from
# SOURCE_DATE_EPOCH (the last commit's time when unset), the compilers map the
# build's paths away (top CMakeLists.txt), and the archives hold their files
# sorted, with fixed times, owners and modes.
# Usage: dist.sh OUT_DIR BUILD_DIR, from the top of a git checkout; builds
# HEAD's source tarball, and the other artefacts from the working tree.
set -eu
out=$1
build=$2

# What may differ between two machines must not reach the artefacts.
umask 022
export LC_ALL=C TZ=UTC
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
version=$(sed -n 's/^project(zop VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "dist.sh: no version in CMakeLists.txt" >&2; exit 1; }
name=zop-$version

rm -rf "$out" "$build"
mkdir -p "$out" "$build"
out=$(cd "$out" && pwd)
build=$(cd "$build" && pwd)

# Sets every file under a folder to the same time and to modes of its own
# kind, then zips its files, named relative to it, in sorted order with no
# directory entries nor extra fields (zip stores DOS local time, hence TZ=UTC).
zip_folder() {
    (cd "$1" &&
        find . -type d -exec chmod 755 {} + &&
        find . -type f -exec chmod 644 {} + &&
        find . -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} + &&
        find . -type f | sed 's|^\./||' | sort | zip -q -X -D -9 "$2" -@)
}

# The source tarball: HEAD's tree as git archive gives it (each file with the
# commit's time), its modes fixed whatever the git configuration, gzip'd with
# no name nor time.
git -c tar.umask=0022 archive --format=tar --prefix="$name/" HEAD | gzip -9n >"$out/$name.tar.gz"

# The Debian package, as `make package` builds it.
make package PACKAGE_DIR="$build/package"
cp "$build"/package/zop_"$version"_*.deb "$out/"

# The Windows program, with the licence and the README as text files with
# CRLF line ends, as Windows' own editors expect.
make windows WINDOWS_BUILD_DIR="$build/windows"
mkdir "$build/windows-zip"
cp "$build/windows/zop.exe" "$build/windows-zip/"
sed 's/\r*$/\r/' LICENSE >"$build/windows-zip/LICENSE.txt"
sed 's/\r*$/\r/' README.md >"$build/windows-zip/README.txt"
zip_folder "$build/windows-zip" "$out/$name-windows.zip"

# The web page: the files `make web` puts in its folder, at the zip's top,
# ready for any static host.
make web WEB_BUILD_DIR="$build/emscripten" WEB_DIR="$build/web"
zip_folder "$build/web" "$out/$name-web.zip"

(cd "$out" && sha256sum $(ls | grep -v '^SHA256SUMS$') >SHA256SUMS)
cat "$out/SHA256SUMS"
