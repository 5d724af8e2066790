#!/usr/bin/env bash
# The README's nightly job, as it stands there, run on a night of generated
# partner files: where each file ends up is checked.
# Usage: nightly_job.sh PATH_TO_V2CHECK PATH_TO_V2LIST
set -u
source "$(dirname "$0")/script_checks.sh"
v2check=$(runnable "$1") v2list=$(runnable "$2")
mkdir "$work/bin" && ln -s "$v2check" "$work/bin/v2check"
awk '/^## Nightly jobs/ { on = 1 } on && /^```/ { if (++n == 2) exit; next } on && n == 1' \
    "$here/../README.md" > "$work/job.sh"
check "the job's own logic: at most 20 lines" yes "$( (($(wc -l < "$work/job.sh") <= 20)) && echo yes)"

record=$(head -n 1 "$examples/records.txt")
night() { # RECORDS STATED: a partner's file, a header, records and a trailer
    printf 'HDR 20261209\n'
    for ((i = 0; i < $1; ++i)); do printf '%s\n' "$record"; done
    printf 'TRL %07d\n' "$2"
}
mkdir -p "$work/night/incoming" && cd "$work/night" || exit 1
night 3 3 > incoming/clean.txt
night 2 2 | sed '3s/^/ /' | gzip -c > incoming/bad.txt.gz
night 3 3 | bzip2 -c > incoming/clean.txt.bz2
night 2000 2000 | gzip -c > "$work/whole.gz"
head -c $(($(wc -c < "$work/whole.gz") / 2)) "$work/whole.gz" > incoming/cut.txt.gz
night 3 4 > incoming/count.txt
night 3 3 | sed 's/^\(.\{14\}\)/\1  /' > incoming/old.txt
PATH="$work/bin:$PATH" bash "$work/job.sh" > "$work/job.out" 2>&1
check "the job says nothing" "" "$(cat "$work/job.out")"

reads=" $("$v2check" --version | sed -n 's/^compressed input read://p') "
where() { # FILE: where the job put it
    local name=$1 at=""
    [ -e "load/$name.v2" ] && at="load"
    [ -e "return/$name.bad" ] && at="$at return"
    [ -e "quarantine/$name" ] && [ -e "quarantine/$name.report" ] && at="$at quarantine"
    echo "${at# }"
}
readable() { [[ $reads == *" $1 "* ]] && echo "$2" || echo quarantine; }
check "a clean file: loaded whole" load "$(where clean.txt)"
check "a clean file: its listing is v2list's" "$(grep -v 'HDR\|TRL' incoming/clean.txt | "$v2list")" \
    "$(cat load/clean.txt.v2)"
check "a gzip file with a bad line: loaded, the line sent back" "$(readable gzip 'load return')" \
    "$(where bad.txt.gz)"
[[ $reads == *" gzip "* ]] && check "the line sent back" " $record" "$(cat return/bad.txt.gz.bad)"
check "a bzip2 file: loaded whole" "$(readable bzip2 load)" "$(where clean.txt.bz2)"
check "a gzip file cut short: quarantined" quarantine "$(where cut.txt.gz)"
check "a file that holds another count than it states: quarantined" quarantine "$(where count.txt)"
check "a file in another layout: quarantined" quarantine "$(where old.txt)"
check "the verdicts" "incomplete|$(readable gzip incomplete | sed 's/quarantine/compressed/')|other_layout" \
    "$(sed -n 's/^verdict: \([a-z_]*\).*/\1/p' quarantine/count.txt.report quarantine/cut.txt.gz.report quarantine/old.txt.report | paste -sd '|')"

finish nightly_job
