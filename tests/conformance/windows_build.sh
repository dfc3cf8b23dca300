#!/bin/sh
# Cross-compiles the Windows build (zop.exe and the conformance program)
# with mingw-w64, as `make windows` does, into a directory of the test build.
# Usage: windows_build.sh SOURCE-DIR BUILD-DIR WERROR.  Skips (77) without mingw-w64.
set -eu
. "$(dirname "$0")/../skip.sh"
command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 ||
    skip "mingw-w64 (x86_64-w64-mingw32-g++) is not installed"
started=$(date +%s)
cmake -S "$1" -B "$2" -DCMAKE_TOOLCHAIN_FILE="$1/cmake/mingw-w64-x86_64.cmake" \
    -DZOP_WERROR="$3" -DZOP_TESTS=ON >/dev/null
cmake --build "$2" --parallel "${CMAKE_BUILD_PARALLEL_LEVEL:-2}"
echo "Windows build took $(($(date +%s) - started)) s"
