# Sourced by the tests that run a zop program's options without any terminal:
# options_check VERSION COMMAND... runs COMMAND --help, --version and wrong
# arguments with standard input closed, and fails the test (exit 1)
# unless each answers as it should: the help and the version on standard
# output with status 0, a wrong argument in one line on standard error with
# status 2, and never an escape sequence.  Expects $work, a scratch directory.
# Lines may end in CR LF, as a Windows program's do.

# Fails the test, showing what the program wrote, its control characters made visible.
options_fail() {
    echo "FAIL: $*"
    cat -v "$work/options.out" "$work/options.err" | head -n 20
    exit 1
}

# Runs COMMAND with its arguments and stdin closed; leaves $status and, with
# CRs taken out, $work/options.out and $work/options.err.
options_run() {
    "$@" 0<&- >"$work/options.out" 2>"$work/options.err"
    status=$?
    for stream in out err; do
        if grep -q "$(printf '\033')" "$work/options.$stream"; then
            options_fail "an answer wrote an escape sequence to standard $stream"
        fi
        tr -d '\r' <"$work/options.$stream" >"$work/options.text" &&
            mv "$work/options.text" "$work/options.$stream"
    done
}

options_check() {
    version=$1
    shift
    options_run "$@" --help
    [ "$status" = 0 ] || options_fail "--help exited with $status, not 0"
    [ -s "$work/options.err" ] && options_fail "--help wrote to standard error"
    usage='Usage: zop [--lines] [--help | --version]'
    case "$*" in *.exe) usage='Usage: zop [--help | --version]' ;; esac
    [ "$(head -n 1 "$work/options.out")" = "$usage" ] ||
        options_fail "--help does not begin with the usage line"
    for text in ESC --version; do
        grep -qF -- "$text" "$work/options.out" || options_fail "--help does not mention $text"
    done
    # What only a terminal has, the Windows program leaves out.
    for text in Ctrl-L --lines TERM LC_CTYPE NO_COLOR "man 6 zop"; do
        case "$*" in
        *.exe) ! grep -qF -- "$text" "$work/options.out" ||
            options_fail "--help of the Windows program mentions $text" ;;
        *) grep -qF -- "$text" "$work/options.out" || options_fail "--help does not mention $text" ;;
        esac
    done

    # As GNU programs do: --version answers wherever it stands, and abbreviated.
    options_run "$@" --lines --vers
    [ "$status" = 0 ] || options_fail "--version exited with $status, not 0"
    [ -s "$work/options.err" ] && options_fail "--version wrote to standard error"
    [ "$(head -n 1 "$work/options.out")" = "zop $version" ] ||
        options_fail "the first line of --version is not 'zop $version'"
    grep -qx 'Copyright (c) 2026 the Game of Zop developers' "$work/options.out" ||
        options_fail "--version names no copyright holder"
    grep -q 'MIT licence' "$work/options.out" || options_fail "--version names no licence"

    # Put first, a wrong argument is refused whatever follows it; the second
    # would break the line and colour the terminal if it were written as it is.
    options_refused "zop: unknown option '--bogus'; try 'zop --help'" "$@" --bogus --help
    options_refused "zop: unknown option '-x?[31m?more'; try 'zop --help'" \
        "$@" "$(printf -- '-x\033[31m\nmore')"
    options_refused "zop: unexpected argument 'marbles'; try 'zop --help'" "$@" marbles
    options_refused "zop: unexpected argument '--help'; try 'zop --help'" "$@" -- --help
    options_refused "zop: option '--lines=yes' takes no value; try 'zop --help'" "$@" --lines=yes
    case "$*" in
    *.exe) options_refused "zop: option '--lines' is not available on Windows; try 'zop --help'" \
        "$@" --lines ;;
    esac
}

# options_refused LINE COMMAND...: COMMAND exits 2 with LINE alone on standard error.
options_refused() {
    line=$1
    shift
    options_run "$@"
    [ "$status" = 2 ] || options_fail "a wrong argument exited with $status, not 2"
    [ -s "$work/options.out" ] && options_fail "a wrong argument wrote to standard output"
    [ "$(cat "$work/options.err")" = "$line" ] && [ "$(wc -l <"$work/options.err")" = 1 ] ||
        options_fail "standard error is not the one line \"$line\""
}
