#!/usr/bin/env bash
# The golden pairs: the sample's listing, and v2check's report, caret views
# included, on a line for each thing it tells. They are what a layout edit
# changes; regenerate them then, and read the difference. And the README's
# examples, as the README shows them.
# Usage: golden.sh PATH_TO_V2LIST PATH_TO_V2CHECK
set -u
source "$(dirname "$0")/script_checks.sh"
v2list=$(runnable "$1") v2check=$(runnable "$2")
golden=$here/golden

check "v2list: the sample's listing" "$(cat "$examples/records.v2")" "$("$v2list" < "$examples/records.txt")"
# Named as given, so that the report does not depend on where the tree is.
check "v2check: a report on every cause" "$(cat "$golden/causes.report")" \
    "$(cd "$golden" && "$v2check" --show-line=always causes.txt)"

# Every JSON object v2check writes, on the golden input and the fuzz corpus,
# read by a JSON parser, with the keys of each kind of object and the facts
# the piece holds.
if command -v python3 > /dev/null; then
    for input in "$golden/causes.txt" "$here"/../fuzz/corpus/*; do
        "$v2check" --format=json --record-count='^TRL (.*)$' "$input" > "$work/report.jsonl"
        check "json: $(basename "$input")" ok "$(python3 - "$work/report.jsonl" <<'PY'
import json, sys
for line in open(sys.argv[1], "rb"):
    o = json.loads(line)
    if o["type"] == "problem":
        assert o["length"] == len(o["piece"]), o
        assert o["found"] is None or 0 < len(o["found"]) <= 2, o
        assert o["shift"] is None or isinstance(o["shift"], int), o
        if o["kind"] == "shifted":
            assert len(o["own"]) == 2 and len(o["from"]) == 2 and isinstance(o["shows"], str), o
        if o["kind"] == "split":
            assert o["glued"] is None or (o["glued"] >= 2 and o["cause"] == "glued_records"), o
        if o["kind"] == "incomplete":
            assert {"byte", "stated", "stating_line", "records"} <= o.keys(), o
    if o["type"] == "summary":
        assert "reason" in o and "incomplete" in o, o
print("ok")
PY
)"
    done
else
    echo "golden: the JSON checks skipped: python3 is not installed"
fi

# A block of the README that begins "$ COMMAND" shows what COMMAND prints,
# run at the top of the tree; a line "..." ends what is shown.
mkdir "$work/bin" && ln -s "$v2list" "$work/bin/v2list" && ln -s "$v2check" "$work/bin/v2check"
awk -v dir="$work" '
    /^```/ { if (open) close(out); open = !open; n += open; first = open; next }
    open && first && /^\$ / { out = dir "/example" n; print substr($0, 3) > (out ".command"); first = 0; next }
    open && out != "" && !first { print > (out ".shown") }
    open { first = 0 }
    !open { out = "" }
' "$here/../README.md"
for command in "$work"/example*.command; do
    shown=${command%.command}.shown
    lines=$(grep -n -m 1 '^\.\.\.$' "$shown" | cut -d: -f1)
    printed=$(cd "$here/.." && PATH="$work/bin:$PATH" bash -c "$(cat "$command")" 2>&1)
    [ -n "$lines" ] && printed=$(head -n $((lines - 1)) <<< "$printed") && sed -i "$lines,\$d" "$shown"
    check "README: $(cat "$command")" "$(cat "$shown")" "$printed"
done
check "README: its examples are found" 2 "$(ls "$work"/example*.command | wc -l)"

finish golden
