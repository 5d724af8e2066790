#!/usr/bin/env bash
# The golden pairs: the sample's listing, and v2check's report, caret views
# included, on a line for each thing it tells. They are what a layout edit
# changes; regenerate them then, and read the difference.
# Usage: golden.sh PATH_TO_V2LIST PATH_TO_V2CHECK
set -u
source "$(dirname "$0")/script_checks.sh"
v2list=$(runnable "$1") v2check=$(runnable "$2")
golden=$here/golden

check "v2list: the sample's listing" "$(cat "$examples/records.v2")" "$("$v2list" < "$examples/records.txt")"
# Named as given, so that the report does not depend on where the tree is.
check "v2check: a report on every cause" "$(cat "$golden/causes.report")" \
    "$(cd "$golden" && "$v2check" --show-line=always causes.txt)"

finish golden
