#!/usr/bin/env bash
# Six small partner files with the faults partners send, and the nightly
# job over them: one pass of v2check each, its verdict, whether the last
# line has a newline, and the listing checked against v2list's own lines
# for the lines kept. Usage: bench/partner_files.sh V2CHECK V2LIST [DIR]
set -euo pipefail
v2check=$1 v2list=$2 dir=${3:-$(mktemp -d)}
mkdir -p "$dir"
cd "$dir"

# N records of 74 columns, named like people, numbered from 1.
records() {
    awk -v n="$1" 'BEGIN {
        split("ANDERSON KARL|BAKER SUE|CHEN LI|DIAZ MARIA|EVANS TOM|FISCHER ANNA", names, "|")
        for (i = 1; i <= n; ++i)
            printf "%-14s%02d%02d PLT%04d-A  Y %-15s N  %03d NY REF%013d\n", names[i % 6 + 1],
                i % 100, (i * 7) % 100, i % 10000, "BOILER PLATE", i % 1000, i
    }'
}

records 2000 > acme.txt
# Header and trailer, tabs and control bytes in texts, zero bytes, and six
# records glued together by a lost newline.
{ echo HDR20261209; records 2000 | awk '
    NR % 97 == 0 { $0 = substr($0, 1, 3) "\t" substr($0, 5) }
    NR % 89 == 0 { $0 = substr($0, 1, 40) "\001" substr($0, 42) }
    NR % 83 == 0 { $0 = substr($0, 1, 50) "\000" substr($0, 52) }
    NR >= 1000 && NR < 1005 { printf "%s", $0; next } { print }'; echo TRL002000; } | gzip -n > borealis.txt.gz
# CRLF, a header and a trailer padded to 74 columns, numbers padded with a
# space where they have one digit.
{ printf '%-74s\r\n' HDR20261209; records 2000 | awk '
    { if (substr($0, 15, 1) == "0") $0 = substr($0, 1, 14) " " substr($0, 16); printf "%s\r\n", $0 }'
  printf '%-74s\r\n' TRL002000; } > cascade.txt
# Tabs in names, padded numbers, names in UTF-8 counted in characters, and
# short lines.
records 2000 | awk '
    NR % 10 == 1 { $0 = "M\303\234LLER KARL   " substr($0, 15) }
    NR % 31 == 0 { $0 = substr($0, 1, 5) "\t" substr($0, 7) }
    NR % 37 == 0 && substr($0, 15, 1) == "0" { $0 = substr($0, 1, 14) " " substr($0, 16) }
    NR % 41 == 0 { $0 = substr($0, 1, 40) } { print }' | gzip -n > delta.txt.gz
# Tonight in an older layout of 76 columns: two more columns in front.
records 2000 | sed 's/^/01/' > eastwind.txt
# Gzipped and cut short at 83%.
records 2000 | gzip -n > fjord.full.gz
head -c $(($(stat -c %s fjord.full.gz) * 83 / 100)) fjord.full.gz > fjord.txt.gz

for file in acme.txt borealis.txt.gz cascade.txt delta.txt.gz eastwind.txt fjord.txt.gz; do
    name=${file%.gz}
    if [ "$file" != "$name" ]; then
        printf '%s as it came: %s\n' "$file" "$("$v2check" -c "$file" | sed -n 2p)"
        { zcat "$file" 2> /dev/null || true; } > "$name"
    fi
    status=0
    "$v2check" --allow='^(HDR|TRL)' --listing="$name.v2" --rejects="$name.bad" -m 100 \
        --format=json "$name" > "$name.jsonl" || status=$?
    summary=$(grep '"type":"summary"' "$name.jsonl")
    # Every line with a problem, for the check, in a pass without -m.
    { "$v2check" --allow='^(HDR|TRL)' --format=json "$name" || true; } |
        { grep -o '"line":[0-9]*' || true; } | cut -d: -f2 > "$name.problems"
    # The lines kept: no problem, no header or trailer.
    awk 'FILENAME == ARGV[1] { bad[$1]; next } !(FNR in bad)' "$name.problems" "$name" |
        { grep -Ev '^(HDR|TRL)' || true; } | "$v2list" > "$name.kept"
    same=$(cmp -s "$name.kept" "$name.v2" && echo "the listing is v2list's lines for them" || echo "THE LISTING DIFFERS")
    printf '%s: status %s, %s, %s, %s lines kept; %s; %s\n' "$name" "$status" \
        "$(grep -o '"verdict":"[a-z_]*"' <<< "$summary")" "$(grep -o '"final_newline":[a-z]*' <<< "$summary")" \
        "$(($(wc -l < "$name.v2") - 1))" "$same" "$("$v2check" -c --allow='^(HDR|TRL)' "$name" | sed -n 2p)"
done
