#!/bin/sh
# Prints the size of every file of the page in DIR, as it is and compressed
# (gzip -9), and the compressed total: what a visitor's browser loads.
# Usage: sizes.sh DIR
set -eu
cd "$1"
total_raw=0 total_gz=0
printf '%-20s %9s %9s\n' file bytes gzip
for file in $(find . -type f | sed 's|^\./||' | sort); do
    raw=$(wc -c <"$file")
    gz=$(gzip -9 -c "$file" | wc -c)
    printf '%-20s %9d %9d\n' "$file" "$raw" "$gz"
    total_raw=$((total_raw + raw))
    total_gz=$((total_gz + gz))
done
printf '%-20s %9d %9d\n' total "$total_raw" "$total_gz"
