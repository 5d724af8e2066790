# Sourced by the end-to-end scripts: a scratch folder, the examples, and
# check NAME EXPECTED ACTUAL, which counts and reports a difference.
here=$(cd "$(dirname "${BASH_SOURCE[1]}")" && pwd)
examples=$here/../examples
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 passes=0

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
