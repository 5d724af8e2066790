#!/usr/bin/env bash
# A stream of more than 4 GiB through v2list, read from a pipe: every record
# must come out, counted exactly. Usage: bench/large_stream.sh [RECORDS]
# (default 60000000 records, 4.5 GB; takes a minute or two).
set -euo pipefail
records=${1:-60000000}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DV2LIST_TESTS=OFF -DV2LIST_BENCH=ON > /dev/null
cmake --build "$build" -j2 > /dev/null

read -r lines bytes < <("$build/bench/v2list_make_input" valid "$records" |
    "$build/v2list" | wc -lc)
echo "input: $records records, $((records * 75)) bytes"
echo "output: $lines lines, $bytes bytes"
if [ "$lines" -eq $((records + 1)) ] && [ "$bytes" -eq $((12 + records * 61)) ]; then
    echo "every record converted"
else
    echo "records lost or invented" >&2
    exit 1
fi
