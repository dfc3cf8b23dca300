# Sourced by every test script that needs a tool beyond the build's: skip
# "REASON" ends the test as skipped (exit 77, which ctest reports as such).
# Where ZOP_NO_SKIPS is set (.ci/run sets it, having installed every tool),
# a skip means an install went wrong, so it fails the test instead.
skip() {
    if [ -n "${ZOP_NO_SKIPS:-}" ]; then
        echo "FAIL: $* (ZOP_NO_SKIPS is set: every test must run here)"
        exit 1
    fi
    echo "SKIPPED: $*"
    exit 77
}
