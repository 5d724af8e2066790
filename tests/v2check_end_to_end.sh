#!/usr/bin/env bash
# The v2check program from the outside: reports, summary, exit status and
# errors. Usage: v2check_end_to_end.sh PATH_TO_V2CHECK PATH_TO_V2LIST
set -u
source "$(dirname "$0")/script_checks.sh"
v2check=$(runnable "$1") v2list=$(runnable "$2")

# The messages themselves, columns and carets are held by the golden report;
# these checks are about files, options, summaries and exit statuses.
record=$(head -n 1 "$examples/records.txt")
printf '%s\n%s\n' "$record" "$record" > "$work/clean"
long=$(printf 'x%.0s' {1..100})
printf '%s\n%s\n%s\n' "${record:0:14} 703${record:18}" "$long" "${record:0:40}" > "$work/trouble"

out=$("$v2check" "$work/clean"); status=$?
check "clean file: status" 0 "$status"
check "clean file: summary alone" \
    "2 lines and 2 pieces read: 2 records converted, 0 of them shifted; 0 pieces dropped; 0 lines split; 2 lines listed, 0 rejected
verdict: clean" "$out"

"$v2check" "$work/trouble" > "$work/out"; status=$?
check "troubled file: status" 1 "$status"
check "troubled file: one line each in order, the summary, the tally" \
"$work/trouble:1: shifted
$work/trouble:2: dropped
$work/trouble:2: split
$work/trouble:2: dropped
$work/trouble:3: dropped
3 lines and 4 pieces read: 1 record converted, 1 of them shifted; 3 pieces dropped; 1 line split; 0 lines listed, 3 rejected
verdict: other_layout: the commonest line length is 40; 1 line reads 1 column late from column 15
commonest line lengths: 40 (1 line), 74 (1 line), over 80 (1 line)
       2 dropped  line too short
       1 dropped  number1 finds no digit
       1 shifted  number1 skips white space into a neighbour's column
       1 split    line longer than 80 characters" \
    "$(sed 's/^\([^:]*:[0-9]*\):[0-9]*\(: [a-z]*\):.*/\1\2/' "$work/out")"
check "-c: the summary and the tally alone" "3 lines and 4 pieces read" \
    "$("$v2check" -c "$work/trouble" | head -n 1 | cut -d: -f1)"
check "-m 1 and options after the names: one message, then what -c prints" \
    "$(("$v2check" "$work/trouble" | head -n 1; "$v2check" -c "$work/trouble") | paste -sd ' ')" \
    "$("$v2check" "$work/trouble" -m 1 | paste -sd ' ')"

check "several files and standard input: a summary each, then the total" "$work/clean: 2 lines and 2 pieces read: 2 records converted, 0 of them shifted; 0 pieces dropped; 0 lines split; 2 lines listed, 0 rejected
verdict: clean
<stdin>:1:6: dropped
<stdin>: 1 line and 1 piece read: 0 records converted, 0 of them shifted; 1 piece dropped; 0 lines split; 0 lines listed, 1 rejected
verdict: other_layout: the commonest line length is 5
no record converted: the commonest line length is 5 (1 line); a record has 74 columns
       1 dropped  line too short
total: 3 lines and 3 pieces read: 2 records converted, 0 of them shifted; 1 piece dropped; 0 lines split; 2 lines listed, 1 rejected
verdicts: 1 clean, 1 other_layout
commonest line lengths: 74 (2 lines), 5 (1 line)
       1 dropped  line too short" \
    "$(echo short | "$v2check" "$work/clean" - | sed 's/^\(<stdin>:[0-9]*:[0-9]*: [a-z]*\):.*/\1/')"
# A nightly job: a header and a trailer allowed, a tab in a field suspect,
# and the lines with a problem sent back whole, the split one included.
printf 'HDR20261208\n%s\n%s\n%s\nTRL000003\n' "$record" "${record:0:40}" "${record:0:5}"$'\t'"${record:6}" |
    "$v2check" --label=partner.txt --allow='^(HDR|TRL)' --rejects="$work/partner.bad" > "$work/out"
check "nightly: status" 1 "$?"
check "nightly: the summary" "5 lines and 5 pieces read: 2 records converted, 0 of them shifted and 1 suspect; 1 piece dropped; 2 allowed; 0 lines split; 1 line listed, 2 rejected" \
    "$(grep '^5 lines' "$work/out")"
check "nightly: the suspect record" "partner.txt:4:6: suspect: text14 shows \"\\t\" from column 6, a control character" \
    "$(grep ':4:' "$work/out")"
check "nightly: the rejects" "$(printf '%s\n%s\n' "${record:0:40}" "${record:0:5}"$'\t'"${record:6}")" "$(cat "$work/partner.bad")"
"$v2check" -c --rejects="$work/trouble.bad" "$work/trouble" > /dev/null
check "rejects: every line whole, a split one too" "$(cat "$work/trouble")" "$(cat "$work/trouble.bad")"

# Files a user names: nothing written before the command line is accepted
# and every output can be opened, no output that is also read (if only it
# were made), standard output or standard error, a failed write said at
# once and no summary short of the input.
cp "$work/clean" "$work/input"
echo yesterday > "$work/old.rej"
ln -s nowhere "$work/dangling"
while IFS='|' read -r args want_status want_err; do
    eval "\"\$v2check\" $args" > "$work/out" 2> "$work/err"; status=$?
    check "$args: status" "$want_status" "$status"
    check "$args: message" "$want_err" "$(sed "s|$work/||g" "$work/err")"
    check "$args: input and old rejects untouched" "$(cat "$work/clean")|yesterday" \
        "$(cat "$work/input")|$(cat "$work/old.rej")"
done <<'TABLE'
--rejects="$work/input" "$work/input"|2|v2check: --rejects=input: is also an input; not written
--rejects="$work/input" < "$work/input"|2|v2check: --rejects=input: is also standard input, which is read; not written
--rejects="$work/old.rej" "$work/input" >> "$work/old.rej"|2|v2check: --rejects=old.rej: is also standard output; not written
--rejects="$work/old.rej" --format=xml "$work/input"|2|v2check: --format=xml: say text or json
--rejects="$work/old.rej" --help|0|
--rejects="$work/old.rej" --rejects="$work/new.rej" "$work/trouble"|1|
--listing="$work/input" "$work/input"|2|v2check: --listing=input: is also an input; not written
--listing="$work/old.rej" --rejects="$work/old.rej" "$work/input"|2|v2check: --rejects=old.rej: is also the listing; not written
--listing=/dev/full "$work/input"|2|v2check: input: --listing=/dev/full: write error: No space left on device
--listing="$work/made" "$work/made"|2|v2check: --listing=made: is also an input; not written
--rejects="$work/dangling" "$work/nowhere"|2|v2check: --rejects=dangling: is also an input; not written
--rejects="$work/old.rej" --listing="$work/" "$work/input"|2|v2check: --listing=: Is a directory
--listing="$work/missing/x" --rejects="$work/old.rej" "$work/input"|2|v2check: --listing=missing/x: No such file or directory
--rejects="$work/old.rej" --listing= "$work/input"|2|v2check: --listing=: No such file or directory
--rejects="$work/old.rej" --listing=/dev/stderr "$work/input"|2|v2check: --listing=/dev/stderr: is also standard error; not written
TABLE
check "an output also named as a missing input: not made" "" "$(ls "$work/made" "$work/nowhere" 2> /dev/null)"
"$v2check" --listing=/dev/null --rejects=/dev/null "$work/trouble" > /dev/null
check "/dev/null may be an output" 1 "$?"
check "rejects given twice: the last holds" "$(cat "$work/trouble")" "$(cat "$work/new.rej")"
printf 'SHORT LINE OF FILE A' > "$work/a.txt"; printf 'SHORT LINE OF FILE B\n' > "$work/b.txt"
"$v2check" -c --rejects="$work/ab.bad" "$work/a.txt" "$work/b.txt" > /dev/null
check "rejects of two files: the first's last line ended, none joined" \
    "$(printf 'SHORT LINE OF FILE A\nSHORT LINE OF FILE B')" "$(cat "$work/ab.bad")"
# A listing whose close fails: said in place of the summary that would
# vouch for it, status 2, never a verdict.
if failing_poll_here && [ -n "${V2LIST_FAILING_CLOSE:-}" ]; then
    env ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD="$V2LIST_FAILING_CLOSE" "$v2check" \
        --listing="$work/out.v2.close-fails" "$work/clean" > "$work/out" 2> "$work/err"; status=$?
    check "a listing whose close fails: no verdict, the error, status 2" \
        "|v2check: $work/clean: --listing=$work/out.v2.close-fails: write error: Input/output error|2" \
        "$(grep verdict "$work/out")|$(cat "$work/err")|$status"
fi
"$v2check" --rejects="$work/closed.rej" "$work/trouble" >&- 2> "$work/err"; status=$?
check "standard output closed: status and message" "2 v2check: write error: Bad file descriptor" "$status $(cat "$work/err")"
check "standard output closed: the rejects hold no report" "$(cat "$work/trouble")" "$(cat "$work/closed.rej")"
(printf 'bad\n'; sleep .3; seq 999 | sed 's/.*/bad/') |
    "$v2check" -c --format=json --rejects=/dev/full "$work/clean" - > "$work/out" 2> "$work/err"; status=$?
check "rejects on a full disk: status and message" \
    "2 v2check: <stdin>: --rejects=/dev/full: write error: No space left on device" "$status $(cat "$work/err")"
check "rejects on a full disk: no summary short of the input, the total says so" \
    'report summary unread total "unread":1' \
    "$(sed 's/.*"type":"\([a-z]*\)".*/\1/' "$work/out" | paste -sd ' ') $(grep -o '"unread":1' "$work/out")"
"$v2check" --format=json "$work/missing" > "$work/out" 2> /dev/null
check "json: an unreadable file has an object" '{"type":"unread","file":"'"$work"'/missing","reason":"No such file or directory"}' \
    "$(sed -n 2p "$work/out")"
printf 'X%079d' 0 > "$work/x80"
"$v2check" -q --rejects="$work/q.rej" "$work/x80" "$work/trouble"
check "-q --rejects: the one line it stopped at" "$(cat "$work/x80")" "$(cat "$work/q.rej")"

for column in {19..25}; do echo "${record:0:$column}"$'\001'"${record:$((column + 1))}"; done > "$work/codes"
check "the code's columns: one tally row" "       7 suspect  code shows a control character" \
    "$("$v2check" -c "$work/codes" | tail -n +3)"
check "-m given twice: the last holds" 2 "$("$v2check" -m 1 -m 2 "$work/codes" | grep -c suspect:)"
long_label=$(head -c 30000 /dev/zero | tr '\0' '\001')
check "a long label: every object whole on its line" "3 $((30000 * 6 + 2))" \
    "$(echo short | "$v2check" --format=json --label="$long_label" | wc -l) $(echo short | "$v2check" --format=json --label="$long_label" | sed -n 2p | grep -o '"file":"[^"]*"' | wc -c | awk '{print $1 - 8}')"

# The JSON report read by a JSON parser: the objects in order, and a name
# and a piece with bytes from 0x80 back whole when encoded as Latin-1.
if command -v python3 > /dev/null; then
    odd=$work/$'caf\xe9 "x"'
    printf '%s\xe9\n' "${record:0:40}" > "$odd"
    "$v2check" --format=json "$odd" > "$work/report.jsonl"
    check "json: objects, names and bytes as they were" ok "$(python3 - "$work/report.jsonl" "$odd" <<'PY'
import json, os, sys
objects = [json.loads(line) for line in open(sys.argv[1], encoding="ascii")]
name = os.fsencode(sys.argv[2])
assert [o["type"] for o in objects] == ["report", "problem", "summary"], objects
assert objects[1]["file"].encode("latin-1") == name
assert objects[1]["piece"].encode("latin-1") + b"\n" == open(name, "rb").read()
assert objects[2]["dropped"] == 1 and objects[2]["causes"][0]["cause"] == "line_too_short"
print("ok")
PY
)"
else
    echo "v2check_end_to_end: the JSON parser's check skipped: python3 is not installed"
fi

cp "$work/trouble" "$work/new
line"
check "a name is escaped: one line a message" "$work/new\\nline:1" \
    "$("$v2check" -m 1 "$work/new
line" | head -n 1 | cut -d: -f1-2)"

"$v2check" -qc "$work/trouble" > "$work/out"; status=$?
check "-q: status" 1 "$status"
check "-q: nothing written" "" "$(cat "$work/out")"
# The first line tells; v2check does not wait for the rest of a fifo that
# stays open (a failure timeout only).
mkfifo "$work/idle"
exec 3<> "$work/idle"
echo short >&3
timeout 20 "$v2check" -q <&3; status=$?
check "-q: stops at the first problem" 1 "$status"
if failing_poll_here; then
    with_failing_poll "$v2check" <&3 > /dev/null 2> "$work/err"; status=$?
    check "failing poll on idle input: status 2" 2 "$status"
    check "failing poll on idle input: message" "v2check: <stdin>: read error: Cannot allocate memory" "$(cat "$work/err")"
fi
exec 3<&-

"$v2check" "$work/missing" "$work/clean" > "$work/out" 2> "$work/err"; status=$?
check "unreadable file: status 2" 2 "$status"
check "unreadable file: message" "v2check: $work/missing: No such file or directory" "$(cat "$work/err")"
check "unreadable file: the others still checked" 1 "$(grep -c "^$work/clean: 2 lines and 2 pieces" "$work/out")"

"$v2check" "$work" "$work/clean" > "$work/out" 2> "$work/err"; status=$?
check "directory: status 2" 2 "$status"
check "directory: message" "v2check: $work: read error: Is a directory" "$(cat "$work/err")"
check "directory: no summary of its own, and the total counts it unread" \
    "$work/clean: 2 lines|total: 2 lines|; 1 file unread" \
    "$(grep -o "^[^ ]* 2 lines\|; 1 file unread" "$work/out" | paste -sd '|')"

check "-h is --help, its lines within 80 columns" "$("$v2check" --help)|0" "$("$v2check" -h)|$?"
check "--help: no line ends a sentence's first words alone" "" \
    "$("$v2check" --help | awk 'length($0) > 0 && length($0) < 40 && !/:$|^ |^usage|several\.$|trouble\.$/')"
# Option errors: the option as given, escaped; a count is plain digits; a
# failed write of the help is said.
while IFS='|' read -r args message; do
    eval "\"\$v2check\" $args" > /dev/null 2> "$work/err"; status=$?
    check "$args: status 2" 2 "$status"
    check "$args: message" "v2check: $message" "$(cat "$work/err")"
done <<'TABLE'
-x|-x: unknown option (see v2check --help)
--count=3|--count=3: takes no value (see v2check --help)
--help=$'\001'|--help=\x01: takes no value (see v2check --help)
--max-count|--max-count: needs a value (see v2check --help)
-m ' 1'| 1: not a count of messages (see v2check --help)
-m +1|+1: not a count of messages (see v2check --help)
--help > /dev/full|write error: No space left on device
$'new\nline'|new\nline: No such file or directory
TABLE

"$v2check" "$work/trouble" > /dev/full 2> "$work/err"; status=$?
check "full disk: status 2" 2 "$status"
check "full disk: message" "v2check: write error: No space left on device" "$(cat "$work/err")"

check "--help" "usage: v2check [-chq] [-m NUM] [--show-line=WHEN] [--format=FORMAT]" "$("$v2check" --help | head -n 1)"
check "--version" "v2check" "$("$v2check" --version | head -n 1 | cut -d' ' -f1)"

printf '%s\n%s' "$record" "${record:0:70}" > "$work/lines"
check "a cut file: said in words" "the last line has no newline: the file may be cut short" \
    "$("$v2check" -c "$work/lines" | sed -n 3p)"
check "the total counts the files of each verdict" \
    '"verdicts":{"clean":1,"problems":0,"other_layout":1,"compressed":0,"empty":0,"incomplete":0}' \
    "$("$v2check" --format=json "$work/clean" "$work/trouble" | grep -o '"verdicts":{[^}]*}')"
# Compressed data: read as the text it holds where v2check has the format's
# library (--version names them); else one message, how to read it, nothing
# more read.
reads=" $("$v2check" --version | sed -n 's/^compressed input read://p') "
check_compressed() { # FORMAT LIBRARY DATA TEXT
    "$v2check" --label=in < "$3" > "$work/out"; status=$?
    if [[ $reads == *" $1 "* ]]; then
        check "$1: read as the text it holds" "$("$v2check" --label=in < "$4"; echo "|$?")" \
            "$(cat "$work/out"; echo "|$status")"
    else
        check "$1: one message, the verdict, status 1" \
            "in:1:1: compressed: $1 data, not read: this v2check was built without $2|verdict: compressed|1" \
            "$(grep -v '^0 lines\| compressed ' "$work/out" | paste -sd '|')|$status"
    fi
}
gzip -c < "$work/trouble" > "$work/data.gz"
check_compressed gzip zlib "$work/data.gz" "$work/trouble"
bzip2 -c < "$work/trouble" > "$work/data.bz2"
check_compressed bzip2 libbz2 "$work/data.bz2" "$work/trouble"
xz -c < "$work/trouble" > "$work/data.xz"
check_compressed xz liblzma "$work/data.xz" "$work/trouble"
{ printf '\x5a\x2a\x4d\x18\x04\x00\x00\x00abcd'; zstd -q -c < "$work/trouble"; } > "$work/data.zst"
check_compressed zstd libzstd "$work/data.zst" "$work/trouble"
{ gzip -c < "$work/clean"; gzip -c < "$work/trouble"; } > "$work/two.gz"
cat "$work/clean" "$work/trouble" > "$work/two"
check_compressed gzip zlib "$work/two.gz" "$work/two"
for format in "bzip2 libbz2" "xz liblzma" "zstd libzstd"; do
    set -- $format
    { $1 -q -c < "$work/clean"; $1 -q -c < "$work/trouble"; } > "$work/two.$1"
    check_compressed "$1" "$2" "$work/two.$1" "$work/two"
done
# A file that ends inside a signature is compressed data cut short.
while read -r format bytes; do
    check "$format data cut inside its signature: incomplete" \
        "in:1:1: incomplete: $format data cut short: the file ends at byte $(printf "$bytes" | wc -c)" \
        "$(printf "$bytes" | "$v2check" --label=in | head -n 1)"
done <<'TABLE'
gzip \x1f\x8b
bzip2 BZh91AY&S
xz \xfd7zXZ
zstd \x28\xb5\x2f
TABLE
check "text that begins as bzip2's signature does is text" "verdict: clean" \
    "$(printf 'BZh%s\n' "${record:3}" | "$v2check" -c | sed -n 2p)"
if [[ $reads == *" gzip "* ]]; then
    head -c 30 "$work/data.gz" > "$work/cut.gz"
    "$v2check" --label=in < "$work/cut.gz" > "$work/out"; status=$?
    check "a gzip file cut short: incomplete, where, status 1" \
        "incomplete: gzip data cut short: the file ends at byte 30|verdict: incomplete|1" \
        "$(grep -o 'incomplete: .*\|^verdict: .*' "$work/out" | paste -sd '|')|$status"
    { gzip -c < "$work/clean"; printf 'more'; } > "$work/tail.gz"
    check "a gzip file with bytes after its members: incomplete, what was read counted" \
        "in:3:1: incomplete: gzip data damaged at byte|2 records converted|verdict: incomplete" \
        "$("$v2check" --label=in < "$work/tail.gz" | grep -o '^in:3:1: incomplete: gzip data damaged at byte\|2 records converted\|^verdict: .*' | paste -sd '|')"
    { gzip -c < "$work/clean"; head -c 1000 /dev/zero; } > "$work/zeros.gz"
    check "a gzip file followed by zero bytes: read as gzip reads it" "verdict: clean" \
        "$("$v2check" -c "$work/zeros.gz" | sed -n 2p)"
    # Hostile gzip data: a verdict and a message, never a crash or a hang.
    stored=$(printf '\\x00\\x00\\x00\\xff\\xff%.0s' {1..200})
    while IFS='|' read -r name data expected; do
        { printf "$data"; [ "$name" != bomb ] || head -c 50000000 /dev/zero | gzip -1 -c; } > "$work/hostile.gz"
        timeout 60 "$v2check" -c --label=in < "$work/hostile.gz" > "$work/out"; status=$?
        check "hostile gzip, $name: $expected" "$expected" \
            "$(sed -n 's/^verdict: \([a-z_]*\).*/\1/p' "$work/out")|$status"
    done <<TABLE
a truncated header|\x1f\x8b\x08\x00\x00|incomplete|1
random bytes after the signature|\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\xd7\x8e\x11\x42\x9f\x5c|incomplete|1
a member that never ends|\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03${stored}|incomplete|1
bomb||other_layout|1
TABLE
else
    check "compressed data not read: no last line to speak of" '"final_newline":null' \
        "$("$v2check" --format=json "$work/data.gz" | grep -o '"final_newline":[a-z]*')"
fi

# --record-count: the line that states the count is allowed; a count that
# differs, none and two are incomplete.
while IFS='|' read -r name trailer expected; do
    { echo 'HDR'; cat "$work/clean"; printf "$trailer"; } > "$work/counted"
    "$v2check" --label=in --allow='^HDR$' --record-count='^TRL ([0-9]+)$' < "$work/counted" > "$work/out"
    status=$?
    check "--record-count: $name" "$expected" \
        "$(grep '^in:.*incomplete:\|^verdict' "$work/out" | paste -sd '|')|$status"
done <<'TABLE'
as stated|TRL 0000002\n|verdict: clean|0
one more than stated|TRL 1\n|in:5:1: incomplete: line 4 states 1 records, and 2 were read|verdict: incomplete|1
none|\n|in:5:1: incomplete: no line states the count of records|verdict: incomplete|1
twice|TRL 2\nTRL 2\n|in:6:1: incomplete: line 5 states the count of records again|verdict: incomplete|1
TABLE
# A count with more than digits, or none, is no count; it is written as any
# text in a reason is.
while IFS='|' read -r name trailer expected; do
    { cat "$work/clean"; printf "$trailer"; } > "$work/counted"
    check "--record-count, a group that takes anything: $name" "$expected" \
        "$("$v2check" --label=in --record-count='^TRL (.*)$' < "$work/counted" | grep '^in:.*incomplete:')"
done <<'TABLE'
digits then more|TRL 2 x\n|in:4:1: incomplete: line 3 states 2 x records, and 2 were read
an empty group|TRL \n|in:4:1: incomplete: line 3 states an empty count of records, and 2 were read
control characters|TRL 2\033[2J\r\n|in:4:1: incomplete: line 3 states 2\x1b[2J\r records, and 2 were read
TABLE
# -m caps the messages on lines, never the file's own, in text and JSON.
{ echo HDR; for i in 1 2 3; do echo " $record"; done; cat "$work/clean" "$work/clean"; echo "$record"; echo 'TRL 0000009'; } > "$work/capped"
capped=(-m 3 --allow='^HDR' --record-count='^TRL ([0-9]+)$' "$work/capped")
check "-m 3: three messages and the file's own" "4 in:11:1: incomplete: line 10 states 0000009 records, and 8 were read" \
    "$("$v2check" --label=in "${capped[@]:0:4}" - < "$work/capped" | grep '^in:[0-9]' | tee "$work/out" | wc -l) $(grep incomplete: "$work/out")"
check "-m 3, JSON: the file's own message and its summary say why" \
    '"kind":"incomplete","cause":"count_differs" "byte":null,"stated":"0000009","stating_line":10,"records":8 "incomplete":{"cause":"count_differs","byte":null,"stated":"0000009","stating_line":10,"records":8}' \
    "$("$v2check" --format=json "${capped[@]}" | grep -o '"kind":"incomplete","cause":"count_differs"\|"byte":null,"stated":"0000009","stating_line":10,"records":8\|"incomplete":{[^}]*}' | head -3 | paste -sd ' ')"
check "-c: no message, the file's own neither" "" "$("$v2check" -c "${capped[@]}" | grep incomplete:)"
check "--record-count: a pattern without a group" \
    "v2check: --record-count=^TRL: no group to hold the count|2" \
    "$("$v2check" --record-count='^TRL' "$work/clean" 2>&1)|$?"

finish v2check_end_to_end
