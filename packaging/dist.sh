#!/bin/sh
# Builds the release's artefacts into OUT_DIR (`make dist`), named with the
# project's version: the source tarball, the Debian, RPM and Arch packages,
# the Windows zip, the web page's zip, and SHA256SUMS over them.  Every
# artefact is the same bit for bit wherever and whenever it is built: times
# come from SOURCE_DATE_EPOCH (the last commit's time when unset), the
# compilers map the build's paths away (top CMakeLists.txt), and the archives
# hold their files sorted, with fixed times, owners and modes.  Where rpmbuild
# or makepkg is missing, one line says so and that package is left out.
# Usage: dist.sh OUT_DIR BUILD_DIR [ARTEFACT...], from the top of a git
# checkout; builds HEAD's source tarball, the RPM and Arch packages from it,
# and the other artefacts from the working tree.  ARTEFACTs (deb, rpm, arch,
# windows, web; all when none is named) choose what is built beside the tarball.
set -eu
out=$1
build=$2
shift 2
artefacts=${*:-deb rpm arch windows web}
wanted() {
    case " $artefacts " in *" $1 "*) return 0 ;; esac
    return 1
}

# What may differ between two machines must not reach the artefacts.
umask 022
export LC_ALL=C TZ=UTC
unset CFLAGS CXXFLAGS CPPFLAGS LDFLAGS
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
if wanted deb; then
    make package PACKAGE_DIR="$build/package"
    cp "$build"/package/zop_"$version"_*.deb "$out/"
fi

# The packager the RPM and Arch packages name: the maintainer of the
# changelog's latest entry.
packager=$(sed -n 's/^ -- \(.*>\)  .*/\1/p' packaging/changelog | head -n 1)

# The RPM package, built by rpmbuild from the tarball with its recipe filled in:
# the version, the long description, and each entry of the Debian changelog in
# rpm's form.  Its date, build host and packager are fixed and no file is
# newer than SOURCE_DATE_EPOCH.  Debian's rpm is set as Fedora's is where the
# package would differ: the licence's folder named by the package alone,
# SHA-256 file digests, a zstd payload, no build-id links (they lead to a
# debuginfo package, which this build does not make); two of its steps are
# mended: brp-compress, which uses bash's read -d, runs under bash, and the
# program is stripped whole (brp-strip leaves its symbols, which Fedora's and
# openSUSE's builds move to the debuginfo package).
if wanted rpm && ! command -v rpmbuild >/dev/null 2>&1; then
    echo "dist.sh: rpmbuild is not installed (Debian package rpm): no RPM package"
elif wanted rpm; then
    mkdir "$build/rpm"
    recipe=$build/rpm/zop.spec # the ending by which rpmlint knows a recipe
    {
        sed -e "s/@PROJECT_VERSION@/$version/" -e '/^@DESCRIPTION@$/{r packaging/description' \
            -e 'd;}' packaging/zop-rpm.in
        awk '/^[^ ]/ { version = $2; gsub(/[()]/, "", version); n = 0 }
            /^  \* / { item[++n] = "- " substr($0, 5) }
            /^    / { item[n] = item[n] "\n  " substr($0, 5) }
            /^ -- / {
                split($0, part, ">  ")
                split(part[2], date, /[ ,]+/)
                printf "%s* %s %s %s %s %s> - %s-1\n", (entries++ ? "\n" : ""),
                    date[1], date[3], date[2], date[4], substr(part[1], 5), version
                for (i = 1; i <= n; i++) print item[i]
            }' packaging/changelog
    } >"$recipe"
    rpmbuild -bb --nodeps --define "_topdir $build/rpm" --define "_sourcedir $out" \
        --define "packager $packager" --define "_buildhost reproducible" \
        --define "use_source_date_epoch_as_buildtime 1" \
        --define "clamp_mtime_to_source_date_epoch 1" \
        --define "_docdir_fmt %%{NAME}" --define "_binary_filedigest_algorithm 8" \
        --define "_binary_payload w19.zstdio" --define "_build_id_links none" \
        --define "__brp_compress bash %{_rpmconfigdir}/brp-compress %{_prefix}" \
        --define "__brp_strip %{__strip} --strip-unneeded %{buildroot}%{_bindir}/zop" \
        "$recipe" >"$build/rpm.log" 2>&1 ||
        { tail -n 30 "$build/rpm.log"; echo "dist.sh: rpmbuild failed (log: $build/rpm.log)"; exit 1; }
    cp "$build"/rpm/RPMS/*/zop-"$version"-1.*.rpm "$out/"
    if command -v rpmlint >/dev/null 2>&1; then
        rpmlint -c packaging/rpmlint.toml "$recipe" "$out"/zop-"$version"-1.*.rpm
    else
        echo "dist.sh: rpmlint is not installed: the RPM package was not checked"
    fi
fi

# The Arch package, built by makepkg from the tarball with the PKGBUILD filled
# in (the version and the tarball's SHA-256), --nodeps as Arch's packages are
# not here, with the flags Arch's makepkg.conf compiles with (Debian's names
# none).  makepkg writes the folder it builds in into the package (.BUILDINFO),
# so that is one fixed folder, whatever folder the release is built in.  It
# refuses to run as root: as root (as CI runs), it runs as nobody, which every
# system has and which owns no file elsewhere, so the build can touch nothing
# but its folder, and no account is made and left behind.  Its date comes from
# SOURCE_DATE_EPOCH, its packager is fixed, and it reads no user's makepkg.conf.
# pacman itself is not needed (--nodeps): makepkg asks it only for the
# installed packages .BUILDINFO lists, none of which are Arch's here, so
# PACMAN=true answers that there are none.
arch_dir=/tmp/zop-makepkg
if wanted arch && ! command -v makepkg >/dev/null 2>&1; then
    echo "dist.sh: makepkg is not installed (Debian package makepkg): no Arch package"
elif wanted arch; then
    { rm -rf "$arch_dir" && mkdir "$arch_dir"; } 2>/dev/null ||
        { echo "dist.sh: cannot make $arch_dir afresh (another user's?)"; exit 1; }
    sed -e "s/@PROJECT_VERSION@/$version/" \
        -e "s/@SHA256@/$(sha256sum "$out/$name.tar.gz" | cut -d ' ' -f 1)/" \
        packaging/PKGBUILD.in >"$arch_dir/PKGBUILD"
    cp "$out/$name.tar.gz" "$arch_dir/"
    as_builder=
    if [ "$(id -u)" = 0 ]; then
        chown -R nobody "$arch_dir"
        as_builder="setpriv --reuid=nobody --regid=$(id -g nobody) --clear-groups"
    fi
    arch_cflags="-march=x86-64 -mtune=generic -O2 -pipe -fno-plt -fexceptions \
        -Wp,-D_FORTIFY_SOURCE=2 -Wformat -Werror=format-security \
        -fstack-clash-protection -fcf-protection"
    (cd "$arch_dir" && $as_builder env -i PATH="$PATH" HOME="$arch_dir" LC_ALL=C TZ=UTC \
        SOURCE_DATE_EPOCH="$SOURCE_DATE_EPOCH" PACKAGER="$packager" PKGEXT=.pkg.tar.zst PACMAN=true \
        CFLAGS="$arch_cflags" CXXFLAGS="$arch_cflags -Wp,-D_GLIBCXX_ASSERTIONS" \
        LDFLAGS="-Wl,-O1,--sort-common,--as-needed,-z,relro,-z,now" \
        MAKEFLAGS="-j$(nproc)" makepkg --nodeps --nocolor) >"$build/arch.log" 2>&1 ||
        { tail -n 30 "$build/arch.log"; echo "dist.sh: makepkg failed (log: $build/arch.log)"; exit 1; }
    cp "$arch_dir/zop-$version"-1-*.pkg.tar.zst "$out/"
    rm -rf "$arch_dir"
fi

# The Windows program, with the licence and the README as text files with
# CRLF line ends, as Windows' own editors expect.
if wanted windows; then
    make windows WINDOWS_BUILD_DIR="$build/windows"
    mkdir "$build/windows-zip"
    cp "$build/windows/zop.exe" "$build/windows-zip/"
    sed 's/\r*$/\r/' LICENSE >"$build/windows-zip/LICENSE.txt"
    sed 's/\r*$/\r/' README.md >"$build/windows-zip/README.txt"
    zip_folder "$build/windows-zip" "$out/$name-windows.zip"
fi

# The web page: the files `make web` puts in its folder, at the zip's top,
# ready for any static host.
if wanted web; then
    make web WEB_BUILD_DIR="$build/emscripten" WEB_DIR="$build/web"
    zip_folder "$build/web" "$out/$name-web.zip"
fi

(cd "$out" && sha256sum $(ls | grep -v '^SHA256SUMS$') >SHA256SUMS)
cat "$out/SHA256SUMS"
