#!/bin/sh
# The game on the kernel's own console: Debian's kernel boots in qemu (no KVM)
# from an initramfs of busybox, zop and its libraries, with a framebuffer
# console resized to 81 x 46 and zop on tty1 as TERM=linux.  Keys go in
# through qemu's monitor; the guest prints the cells (/dev/vcsu1) and their
# VGA attributes (/dev/vcsa1) to the serial port.  The first screen is the
# layout, its frames light green on black (0x0A), the two lever labels black
# on light green (0xA0); a short game plays; after ESC the console is blank.
# zop is $1, the layout $2, $3 a directory that keeps the kernel between runs.
set -u
zop=$1 golden=$2 cache=$3
. "$(dirname "$0")/../skip.sh"
. "$(dirname "$0")/../support/retry.sh"
for tool in qemu-system-x86_64 cpio apt-get dpkg-deb; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
busybox=$(command -v busybox) && ! ldd "$busybox" >/dev/null 2>&1 ||
    skip "busybox-static is not installed"
work=$(mktemp -d)
qemu=
trap '[ -z "$qemu" ] || kill "$qemu" 2>/dev/null; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP
# Fails with what the serial port had beside the dumps' rows.
fail() {
    echo "FAIL: $*"
    grep -av '^[0-9a-f ]*.$' "$work/serial" 2>/dev/null | tail -n 20
    exit 1
}

# The kernel of the package linux-image-amd64 depends on, unpacked once.
fetch_kernel() {
    mkdir -p "$cache/deb" && cd "$cache/deb" || exit 1
    apt-get download linux-image-amd64 >/dev/null 2>&1 || exit 77
    image=$(dpkg-deb -f linux-image-amd64_*.deb Depends | grep -o 'linux-image-[^ ,]*' | head -n 1)
    apt-get download "$image" >/dev/null 2>&1 || exit 77
    dpkg-deb --fsys-tarfile "$image"_*.deb | tar -x --wildcards './boot/vmlinuz-*' &&
        mv boot/vmlinuz-* "$cache/vmlinuz"
}
if [ ! -f "$cache/vmlinuz" ]; then
    (fetch_kernel)
    fetched=$?
    rm -rf "$cache/deb"
    [ $fetched != 77 ] || skip "apt-get download of linux-image-amd64 and its kernel failed"
    [ $fetched = 0 ] || fail "the kernel could not be unpacked"
fi

# The initramfs: busybox, zop with its libraries, the linux entry, the C.UTF-8 locale.
root=$work/root
mkdir -p "$root/bin" "$root/dev" "$root/usr/share/terminfo/l" "$root/usr/lib/locale"
cp "$busybox" "$root/bin/busybox" && cp "$zop" "$root/zop" || fail "cannot copy zop"
for lib in $(ldd "$zop" | grep -o '/[^ ]*'); do
    mkdir -p "$root$(dirname "$lib")" && cp -L "$lib" "$root$lib"
done
for dir in /etc/terminfo /lib/terminfo /usr/share/terminfo; do
    [ -f "$dir/l/linux" ] && cp "$dir/l/linux" "$root/usr/share/terminfo/l/" && break
done
cp -R /usr/lib/locale/C.utf8 "$root/usr/lib/locale/" 2>/dev/null
cat >"$root/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t devtmpfs dev /dev
stty -F /dev/tty1 cols 81 rows 46
echo "@@ size" $(od -An -tu1 -N2 /dev/vcsa1)
# Each row of the console: its characters' code points, then their attributes in hex.
dump() {
    echo "@@ $1"
    od -An -v -tu4 -w324 /dev/vcsu1
    od -An -v -tx1 -j4 -w162 /dev/vcsa1 | awk '{ s = ""; for (i = 2; i <= NF; i += 2) s = s $i; print s }'
    echo "@@ end $1"
}
# Waits for a text to stand on the console $2 times (once by default), and no change for 0.3 s.
# A loop of its own, not the tests' retry, which this initramfs does not hold; 0.2 s apart
# to leave the emulated processor to the game.
wait_for() {
    tries=600
    until [ "$(grep -o "$1" /dev/vcs1 | wc -l)" -ge "${2:-1}" ]; do
        tries=$((tries - 1)) && [ $tries -gt 0 ] || { dump "timed out waiting for $1"; poweroff -f; }
        sleep 0.2
    done
    until cp /dev/vcs1 /still && sleep 0.3 && cmp -s /dev/vcs1 /still; do :; done
}
setsid -c sh -c 'TERM=linux LANG=C.UTF-8 /zop; echo "@@ status $?" >/dev/console' </dev/tty1 >/dev/tty1 2>&1 &
game=$!
wait_for "Ready for new game" && dump first
wait_for "took:" && echo "@@ turn"
wait_for "took:" 3 && dump game
wait_for "play again" && echo "@@ asked"
wait $game
sleep 0.3 && dump last
poweroff -f
INIT
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet) >"$work/initrd" || fail "no initramfs"

mkfifo "$work/monitor" && exec 3<>"$work/monitor"
started=$(date +%s)
qemu-system-x86_64 -accel tcg -m 256 -display none -vga std -nic none -no-reboot \
    -kernel "$cache/vmlinuz" -initrd "$work/initrd" -serial "file:$work/serial" \
    -append "console=ttyS0 quiet vga=0x318 panic=-1" -monitor stdio <&3 >/dev/null 2>&1 &
qemu=$!

# Waits up to $2 seconds for a line of the serial port starting with "@@ $1".
await() {
    retry "$2" guest_said "$1" || fail "no \"$1\" from the guest"
    ! grep -q "^@@ timed out" "$work/serial" || fail "the guest waited in vain"
}

# Whether the serial port has a line starting with "@@ $1"; fails the test once qemu has ended.
guest_said() {
    grep -q "^@@ $1" "$work/serial" 2>/dev/null && return
    kill -0 "$qemu" 2>/dev/null || fail "no \"$1\" from the guest"
    return 1
}
keys() {
    for key; do echo "sendkey $key" >&3 && sleep 0.1; done
}
# Rows of code points as UTF-8.
utf8='{
    s = ""
    for (i = 1; i <= NF; i++) {
        c = $i
        if (c < 128) s = s sprintf("%c", c < 32 ? 32 : c)
        else if (c < 2048) s = s sprintf("%c%c", 192 + int(c / 64), 128 + c % 64)
        else s = s sprintf("%c%c%c", 224 + int(c / 4096), 128 + int(c / 64) % 64, 128 + c % 64)
    }
    print s
}'
# The dump named $1 as rows of code points ($work/$1.cells), attributes ($1.attrs), text ($1.txt).
read_dump() {
    tr -d '\r' <"$work/serial" | sed -n "/^@@ $1\$/,/^@@ end $1\$/p" | grep -v '^@@' >"$work/$1.raw"
    head -n 46 "$work/$1.raw" >"$work/$1.cells" && tail -n 46 "$work/$1.raw" >"$work/$1.attrs"
    LC_ALL=C awk "$utf8" "$work/$1.cells" | sed 's/ *$//' >"$work/$1.txt"
}

# Per cell of the dump $1: frames (box drawing) and walls 0A, the labels n and p A0, all else
# light green or grey on black; a blank shows only its background (the kernel erases without
# bold).
check_colours() {
    colours=$(paste -d ' ' "$work/$1.cells" "$work/$1.attrs" | LC_ALL=C awk '{
        for (i = 1; i <= 81; i++) {
            c = $i; a = substr($82, 2 * i - 1, 2)
            if (a == "a0") labels = labels sprintf("%c", c)
            else if (c == 32 ? a !~ /^0/ : a != "0a" && (int(c / 256) == 37 || a != "07"))
                bad = bad " " c "@" i "," NR ":" a
        }
    } END { print "labels " labels (bad == "" ? "" : " wrong" bad) }')
    [ "$colours" = "labels np" ] || fail "$1 colours: $colours (want the labels n, p and no wrong cell)"
}

await "end first" 240
echo "booted and drew the first screen in $(($(date +%s) - started)) s"
read_dump first
grep -q "^@@ size 46 81" "$work/serial" || fail "the console is not 81 x 46"
diff "$golden" "$work/first.txt" || fail "the first screen differs from the layout"
check_colours first

keys down down down down down down n g
await turn 60
keys b b n
await "end game" 90
read_dump game
check_colours game
grep -F "took" "$work/game.txt" | sed 's/^ *│ *//; s/ *│$//' >"$work/turns"
printf '%s\n' "Zop took: 1" "You took: 2" "Zop took: 1" | diff - "$work/turns" || fail "the turns differ"
grep -qF "Ball Count │5 │" "$work/game.txt" || fail "the count does not show 5"
keys esc
await asked 30
keys esc
await "end last" 30
read_dump last
grep -q "^@@ status 0" "$work/serial" || fail "zop did not end with status 0"
[ -z "$(tr -d '\n' <"$work/last.txt")" ] || fail "the console is not blank after ESC"
! grep -qv '^\(07\)*$' "$work/last.attrs" || fail "the console keeps colours after ESC"
echo "kernel console: all checks passed in $(($(date +%s) - started)) s"
