#!/usr/bin/env bash
# The v2list executable from the outside: streams, exit status, messages.
# Usage: end_to_end.sh PATH_TO_V2LIST
# With V2LIST_RUNNER set, every run goes through it: valgrind's memcheck,
# whose errors then fail the check they are in, or an emulator.
set -u
source "$(dirname "$0")/script_checks.sh"
v2list=$(runnable "$1")

# The first record of the sample and the line v2list writes for it (the
# golden pair holds that line); these checks are about streams, not layout.
header='#Version: 2'
record=$(head -n 1 "$examples/records.txt")
line=$(printf '%s\n' "$record" | "$v2list" | tail -n +2)

"$v2list" < "$examples/records.txt" > "$work/sample"
check "sample: status" 0 $?

"$v2list" < /dev/null > "$work/out"
check "empty input: status" 0 $?
check "empty input: header alone" "$header" "$(cat "$work/out")"

check "arguments are ignored" "$(printf '%s\n%s' "$header" "$line")" \
    "$(printf '%s\n' "$record" | "$v2list" --help -x file)"

check "last line without newline" "$(printf '%s\n%s' "$header" "$line")" \
    "$(printf '%s' "$record" | "$v2list")"

long=$(printf 'x%.0s' {1..200})
# The 80 characters of the third line and what follows them are two records.
check "long lines are cut into pieces" "$(printf '%s\n%s\n%s\n%s' "$header" "$line" "$line" "$line")" \
    "$(printf '%s\n%s\n%-80s%s\n' "$record" "$long" "$record" "$record" | "$v2list")"

check "records arriving byte by byte" "$(cat "$work/sample")" \
    "$(dd if="$examples/records.txt" bs=1 status=none | "$v2list")"

# Lines that end inside a field, at a zero byte, or in the wrong place.
printf 'A\n%s\n%.40s\n%.20s\0%s\n\n%s' "$record" "$record" "$record" "$record" "$record" > "$work/broken"
check "broken lines dropped" "$(printf '%s\n%s\n%s' "$header" "$line" "$line")" "$("$v2list" < "$work/broken")"

# Memory stays small whatever the input (a limit on address space proves it,
# except under the sanitizers, which reserve much of it for themselves).
limit="ulimit -v 32768;"
[ -n "${V2LIST_SANITIZED:-}${V2LIST_RUNNER:-}" ] && limit=""
check "50 MB line without a newline: header alone" "$header" \
    "$(head -c 50000000 /dev/zero | tr '\0' x | bash -c "$limit exec \"\$0\"" "$v2list")"
check "only newlines: header alone" "$header" \
    "$(head -c 5000000 /dev/zero | tr '\0' '\n' | bash -c "$limit exec \"\$0\"" "$v2list")"
check "records under the memory limit" "$(cat "$work/sample")" \
    "$(bash -c "$limit exec \"\$0\"" "$v2list" < "$examples/records.txt")"

# Failures: status 1 and one line on standard error naming the failure.
"$v2list" < "$examples/records.txt" > /dev/full 2> "$work/err"
check "full disk: status" 1 $?
check "full disk: message" "v2list: write error: No space left on device" "$(cat "$work/err")"

"$v2list" < / > "$work/out" 2> "$work/err"
check "directory as input: status" 1 $?
check "directory as input: header still written" "$header" "$(cat "$work/out")"
check "directory as input: message" "v2list: read error: Is a directory" "$(cat "$work/err")"

"$v2list" < "$examples/records.txt" >&- 2> "$work/err"
check "closed output: status" 1 $?
check "closed output: message" "v2list: write error: Bad file descriptor" "$(cat "$work/err")"

# A reader that goes away: with SIGPIPE ignored it is a write error; at its
# default action the signal ends the process, as with any filter.
yes "$record" | head -c 50000000 > "$work/big"
(trap '' PIPE; "$v2list" < "$work/big" 2> "$work/err" | head -c 1 > /dev/null; echo "${PIPESTATUS[0]}" > "$work/status")
check "broken pipe, SIGPIPE ignored: status" 1 "$(cat "$work/status")"
check "broken pipe, SIGPIPE ignored: message" "v2list: write error: Broken pipe" "$(cat "$work/err")"
(trap - PIPE; "$v2list" < "$work/big" 2> "$work/err" | head -c 1 > /dev/null; echo "${PIPESTATUS[0]}" > "$work/status")
check "broken pipe, default SIGPIPE: killed by the signal" 141 "$(cat "$work/status")"
check "broken pipe, default SIGPIPE: no message" "" "$(cat "$work/err")"

# A poll that fails is the failure of the read or write that waited on it,
# at once: input from a fifo nobody writes, output to one nobody reads.
if failing_poll_here; then
    mkfifo "$work/idle" "$work/unread"
    exec 3<> "$work/idle" 4<> "$work/unread"
    with_failing_poll "$v2list" <&3 > /dev/null 2> "$work/err"
    check "failing poll on idle input: status" 1 $?
    check "failing poll on idle input: message" "v2list: read error: Cannot allocate memory" "$(cat "$work/err")"
    with_failing_poll "$v2list" < "$work/big" >&4 2> "$work/err"
    check "failing poll on full output: status" 1 $?
    check "failing poll on full output: message" "v2list: write error: Cannot allocate memory" "$(cat "$work/err")"
    exec 3<&- 4<&-
fi

finish end_to_end
