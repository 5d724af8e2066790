#!/usr/bin/env bash
# The README's nightly job, as it stands there, run on nights made for one
# purpose each: where each file ends up, what the job says, its status.
# Usage: nightly_job.sh PATH_TO_V2CHECK PATH_TO_V2LIST
set -u
source "$(dirname "$0")/script_checks.sh"
v2check=$(runnable "$1") v2list=$(runnable "$2")
if ! command -v jq > /dev/null; then
    echo "nightly_job: skipped: jq is not installed"
    exit 77
fi
mkdir "$work/bin" && ln -s "$v2check" "$work/bin/v2check"
awk '/^## Nightly jobs/ { on = 1 } on && /^```/ { if (++n == 2) exit; next } on && n == 1' \
    "$here/../README.md" > "$work/job.sh"
check "the job's own logic: at most 25 lines" yes "$( (($(wc -l < "$work/job.sh") <= 25)) && echo yes)"

# Runs the job in the night NAME, after SETUP; its output in NAME.out and
# NAME.err, its status in NAME.status.
run_night() { # NAME SETUP
    mkdir -p "$work/$1/incoming" && (cd "$work/$1" && eval "$2")
    (cd "$work/$1" && PATH="$work/bin:$PATH" bash "$work/job.sh" > "$work/$1.out" 2> "$work/$1.err")
    echo $? > "$work/$1.status"
}
where() { # NIGHT FILE: where the job put it, and what it left to load and send back
    local at=""
    for side in incoming done quarantine; do [ -e "$work/$1/$side/$2" ] && at="$at $side"; done
    [ -e "$work/$1/load/$2.v2" ] && at="$at load"
    [ -e "$work/$1/return/$2.bad" ] && at="$at return"
    echo "${at# }"
}
reads=" $("$v2check" --version | sed -n 's/^compressed input read://p') "
readable() { [[ $reads == *" $1 "* ]] && echo "$2" || echo "$3"; }

# The sample night, as the README shows it.
run_night sample "cp -r '$examples/night/incoming' ."
shown=$(awk '/^On the sample night/ { on = 1 } on && /^```/ { if (++n == 2) exit; next } on && n == 1' \
    "$here/../README.md")
if [[ $reads == *" gzip "* ]]; then
    check "sample night: the morning summary the README shows" "$shown" "$(cat "$work/sample.out")"
fi
check "sample night: status 1, a person needed" 1 "$(cat "$work/sample.status")"
check "sample night: where each went" "done load|$(readable gzip 'done load return' quarantine)|quarantine" \
    "$(where sample partner-a.txt)|$(where sample partner-b.txt.gz)|$(where sample partner-c.txt)"
check "sample night: the listing is v2list's" \
    "$(grep -v 'HDR\|TRL' "$examples/night/incoming/partner-a.txt" | "$v2list")" \
    "$(cat "$work/sample/load/partner-a.txt.v2")"

# The same folder twice: the second run finds nothing new.
before=$(cd "$work/sample" && find . -type f | sort | xargs sha256sum)
(cd "$work/sample" && PATH="$work/bin:$PATH" bash "$work/job.sh" > "$work/again.out" 2>&1)
check "a second run: status 0, nothing said, nothing changed" "0||$before" \
    "$?|$(cat "$work/again.out")|$(cd "$work/sample" && find . -type f | sort | xargs sha256sum)"

record=$(head -n 1 "$examples/records.txt")
partner() { # RECORDS STATED [END]: a header, records and a trailer, lines ended by END
    { printf 'HDR 20261209\n'; for ((i = 0; i < $1; ++i)); do printf '%s\n' "$record"; done
      printf 'TRL %07d\n' "$2"; } | sed "s/\$/${3:-}/"
}

# A file, and another named as its report once was: both partner files.
run_night names "$(declare -f partner); record='$record'
    partner 2 2 > incoming/orders; partner 3 3 > incoming/orders.report; partner 1 1 > incoming/orders.json"
check "names: each partner file read, kept and loaded" "done load|done load|done load|0" \
    "$(where names orders)|$(where names orders.report)|$(where names orders.json)|$(cat "$work/names.status")"
check "names: each listing its own file's" "2 3 1" \
    "$(for f in orders orders.report orders.json; do tail -n +2 "$work/names/load/$f.v2" | wc -l; done | paste -sd ' ')"

run_night empty ":"
check "an empty night: status 0, nothing said, no file written" "0||" \
    "$(cat "$work/empty.status")|$(cat "$work/empty.out")|$(cd "$work/empty" && find . -type f)"

run_night crlf "$(declare -f partner); record='$record'
    { partner 3 3 \$'\\\\r'; printf '\\r\\n'; } > incoming/windows.txt"
check "a CRLF night with a header, a blank line and a trailer: clean, loaded whole" \
    "done load|0|incoming/windows.txt clean 3 0" \
    "$(where crlf windows.txt)|$(cat "$work/crlf.status")|$(cat "$work/crlf.out")"

# A file v2check cannot read, and a listing whose write fails: status 2,
# nothing loaded, the file kept for a person.
run_night trouble "$(declare -f partner); record='$record'
    mkdir incoming/folder; partner 2 2 > incoming/full.txt; mkdir load; ln -s /dev/full load/full.txt.v2"
check "trouble: quarantined, nothing to load or send back" "quarantine|quarantine|1" \
    "$(where trouble folder)|$(where trouble full.txt)|$(cat "$work/trouble.status")"
check "trouble: v2check says why on standard error" 2 "$(grep -c '^v2check: ' "$work/trouble.err")"
check "trouble: the morning summary says why" \
    "incoming/folder unread 0 0 read error: Is a directory|incoming/full.txt unread 0 0 --listing=load/full.txt.v2: write error: No space left on device" \
    "$(paste -sd '|' "$work/trouble.out")"

# What partners send: the options' verdicts, the files each way.
run_night partners "$(declare -f partner); record='$record'
    partner 2 2 | sed '3s/^/ /' | gzip -c > incoming/bad.txt.gz
    partner 3 3 | bzip2 -c > incoming/clean.txt.bz2
    partner 2000 2000 | gzip -c > whole.gz; head -c \$((\$(wc -c < whole.gz) / 2)) whole.gz > incoming/cut.txt.gz; rm whole.gz
    partner 3 4 > incoming/count.txt
    partner 3 3 | sed 's/^\\(.\\{14\\}\\)/\\1  /' > incoming/old.txt"
check "partners: where each went" \
    "$(readable gzip 'done load return' quarantine)|$(readable bzip2 'done load' quarantine)|quarantine|quarantine|quarantine|1" \
    "$(for f in bad.txt.gz clean.txt.bz2 cut.txt.gz count.txt old.txt; do where partners $f; done | paste -sd '|')|$(cat "$work/partners.status")"
[[ $reads == *" gzip "* ]] && check "partners: the line sent back" " $record" "$(cat "$work/partners/return/bad.txt.gz.bad")"
check "partners: the verdicts and why" \
    "incoming/count.txt incomplete 3 0 count_differs|incoming/old.txt other_layout 0 3 the commonest line length is 76; most lines read 2 columns late from column 15" \
    "$(grep 'count.txt\|old.txt' "$work/partners.out" | paste -sd '|')"

finish nightly_job
