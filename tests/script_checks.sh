# Sourced by the end-to-end scripts: a scratch folder, the examples, a way
# to run programs, and check NAME EXPECTED ACTUAL, which counts and reports
# a difference.
here=$(cd "$(dirname "${BASH_SOURCE[1]}")" && pwd)
examples=$here/../examples
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 passes=0

# The path to run the program at $1 by: itself, or, when V2LIST_RUNNER is
# set (valgrind, the emulator of a cross build), a script that runs it so.
runnable() {
    if [ -z "${V2LIST_RUNNER:-}" ]; then
        echo "$1"
        return
    fi
    local wrapper
    wrapper=$work/run_$(basename "$1")
    printf '#!/bin/sh\nexec %s "%s" "$@"\n' "$V2LIST_RUNNER" "$1" > "$wrapper"
    chmod +x "$wrapper"
    echo "$wrapper"
}

# Runs a program with failing_poll preloaded: every poll that would wait
# fails. Where V2LIST_FAILING_POLL is unset (a cross build) or a runner is
# set, the caller leaves those checks out.
with_failing_poll() {
    timeout 10 env ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD="$V2LIST_FAILING_POLL" "$@"
}
failing_poll_here() {
    [ -n "${V2LIST_FAILING_POLL:-}" ] && [ -z "${V2LIST_RUNNER:-}" ]
}

check() {
    if [ "$2" == "$3" ]; then
        passes=$((passes + 1))
    else
        failures=$((failures + 1))
        printf 'FAIL %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3"
    fi
}

# The closing line, "NAME: N passed, N failed", and the status.
finish() {
    echo "$1: $passes passed, $failures failed"
    [ "$failures" -eq 0 ]
}
