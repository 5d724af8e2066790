#!/usr/bin/env bash
# The recipe for many cores (doc/scaling.md): GNU parallel cuts the input at
# newlines into parts, v2list converts each, and the header is kept once.
# The listing must be the one a single run writes. Usage:
# parallel_recipe.sh PATH_TO_V2LIST
set -u
source "$(dirname "$0")/script_checks.sh"
if ! command -v parallel > /dev/null; then
    echo "parallel_recipe: skipped: GNU parallel is not installed"
    exit 77
fi
v2list=$(runnable "$1")

# Records, lines of every length up to well past 80, a last line without a
# newline: parts of a few kilobytes, so that there are many.
for i in $(seq 1 300); do
    cat "$examples/records.txt"
    printf '%*s%s\n' $((i % 170)) '' "$(head -n 1 "$examples/records.txt")"
done > "$work/input"
head -n 1 "$examples/records.txt" | head -c 62 >> "$work/input"

"$v2list" < "$work/input" > "$work/single"
{
    echo '#Version: 2'
    parallel --will-cite --pipe --keep-order --block 4k "$v2list | tail -n +2" < "$work/input"
} > "$work/parallel"
check "parallel parts give the single run's listing" "$(cat "$work/single")" "$(cat "$work/parallel")"
check "and many records" yes "$([ "$(wc -l < "$work/single")" -gt 2000 ] && echo yes)"
finish parallel_recipe
