#!/usr/bin/env bash
# Throughput of v2list beside the plain stdio program and cat, and of
# v2check writing every message, counting only and writing JSON, on the
# same inputs, in one run; v2check on gzip and zstd input beside zcat and
# zstdcat; peak memory; instructions a record. Usage: bench/run.sh [RUNS]
# (default 5)
# Builds into build-bench/ and writes its inputs (about 150 MB) there.
set -euo pipefail
runs=${1:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench
data=$build/data

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DV2LIST_TESTS=OFF -DV2LIST_BENCH=ON > /dev/null
cmake --build "$build" -j2 > /dev/null
v2list=$build/v2list
v2check=$build/v2check
baseline=$build/bench/v2list_stdio_baseline
mkdir -p "$data"
[ -s "$data/valid.txt" ] || "$build/bench/v2list_make_input" valid 1000000 > "$data/valid.txt"
[ -s "$data/hostile.txt" ] || "$build/bench/v2list_make_input" hostile 375000 > "$data/hostile.txt"
[ -s "$data/padded.txt" ] || "$build/bench/v2list_make_input" padded 1000000 > "$data/padded.txt"
[ -s "$data/padded100k.txt" ] || head -n 100000 "$data/padded.txt" > "$data/padded100k.txt"
[ -s "$data/valid100k.txt" ] || head -n 100000 "$data/valid.txt" > "$data/valid100k.txt"
[ -s "$data/small.txt" ] || head -c 1000 "$data/valid.txt" > "$data/small.txt"

# v2check counting only, and stopping at the first problem, run through
# scripts of their own, as the timer runs programs without arguments.
printf '#!/bin/sh\nexec "%s" -c\n' "$v2check" > "$build/v2check_count"
printf '#!/bin/sh\nexec "%s" -q\n' "$v2check" > "$build/v2check_quiet"
printf '#!/bin/sh\nexec "%s" --format=json\n' "$v2check" > "$build/v2check_json"
printf '#!/bin/sh\nexec "%s"\n' "$v2list" > "$build/v2list_script"
printf '#!/bin/sh\nexec "%s" --listing=/dev/null\n' "$v2check" > "$build/v2check_listing"
chmod +x "$build/v2check_count" "$build/v2check_quiet" "$build/v2check_json" "$build/v2list_script" \
    "$build/v2check_listing"
[ -s "$data/bad_first.txt" ] || { echo bad; cat "$data/valid.txt"; } > "$data/bad_first.txt"

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "runs: $runs rounds of the programs in turn; median wall times"
for input in valid padded hostile; do
    file=$data/$input.txt
    bytes=$(stat -c %s "$file")
    # Same listing from both converters, or the timings mean nothing.
    cmp -s <("$v2list" < "$file") <("$baseline" < "$file") || { echo "v2list and the baseline differ on $input" >&2; exit 1; }
    read -r v b c k vs kc kj < <("$build/bench/v2list_time_runs" "$runs" "$file" "$v2list" "$baseline" cat \
        "$v2check" "$build/v2list_script" "$build/v2check_count" "$build/v2check_json" | paste -sd ' ')
    declare "v2list_ns_$input=$v"
    echo
    echo "$input input: $((bytes / 1000000)) MB"
    awk -v v="$v" -v b="$b" -v c="$c" -v k="$k" -v vs="$vs" -v kc="$kc" -v kj="$kj" -v bytes="$bytes" 'BEGIN {
        printf "  %-16s %9s %10s\n", "program", "ms", "MB/s"
        printf "  %-16s %9.1f %10.0f\n", "v2list", v / 1e6, bytes / (v / 1e9) / 1e6
        printf "  %-16s %9.1f %10.0f\n", "stdio baseline", b / 1e6, bytes / (b / 1e9) / 1e6
        printf "  %-16s %9.1f %10.0f\n", "cat", c / 1e6, bytes / (c / 1e9) / 1e6
        printf "  %-16s %9.1f %10.0f\n", "v2check", k / 1e6, bytes / (k / 1e9) / 1e6
        printf "  v2list is %.1f times the baseline'"'"'s throughput; its wall time is %.2f times cat'"'"'s\n", b / v, v / c
        printf "  %-16s %9.1f %10.0f\n", "v2check -c", kc / 1e6, bytes / (kc / 1e9) / 1e6
        printf "  %-16s %9.1f %10.0f\n", "v2check json", kj / 1e6, bytes / (kj / 1e9) / 1e6
        printf "  v2check takes %.2f times v2list'"'"'s wall time writing every message, %.2f counting only, %.2f as JSON\n", k / v, kc / vs, kj / vs
        printf "  (v2check -c and the JSON against v2list, all started by a script)\n"
    }'
done
echo
read -r v l < <("$build/bench/v2list_time_runs" "$runs" "$data/valid.txt" "$build/v2list_script" \
    "$build/v2check_listing" | paste -sd ' ')
awk -v v="$v" -v l="$l" 'BEGIN {
    printf "complete records: v2check --listing %.1f ms, v2list %.1f ms: %.2f times\n", l / 1e6, v / 1e6, l / v }'
read -r v q < <("$build/bench/v2list_time_runs" "$runs" "$data/bad_first.txt" "$build/v2list_script" \
    "$build/v2check_quiet" | paste -sd ' ')
awk -v v="$v" -v q="$q" 'BEGIN {
    printf "a bad first line, then 1,000,000 records: v2check -q %.1f ms, v2list %.1f ms\n", q / 1e6, v / 1e6 }'
awk -v p="$v2list_ns_padded" -v v="$v2list_ns_valid" 'BEGIN {
    printf "v2list on padded records takes %.2f times its wall time on plain ones\n", p / v }'

# Compressed input: v2check -c beside the format's own tool decompressing
# alone, on the valid input compressed.
[ -s "$data/valid.txt.gz" ] || gzip -6 -c "$data/valid.txt" > "$data/valid.txt.gz"
[ -s "$data/valid.txt.zst" ] || zstd -q -c "$data/valid.txt" > "$data/valid.txt.zst"
printf '#!/bin/sh\nexec gzip -cd\n' > "$build/zcat_script"
printf '#!/bin/sh\nexec zstd -cdq\n' > "$build/zstdcat_script"
chmod +x "$build/zcat_script" "$build/zstdcat_script"
for format in gz:zcat zst:zstdcat; do
    file=$data/valid.txt.${format%%:*} tool=${format#*:}
    read -r d k < <("$build/bench/v2list_time_runs" "$runs" "$file" "$build/${tool}_script" \
        "$build/v2check_count" | paste -sd ' ')
    awk -v d="$d" -v k="$k" -v t="$tool" -v f="$(basename "$file")" 'BEGIN {
        printf "%s: v2check -c %.1f ms, %s > /dev/null %.1f ms: %.2f times\n", f, k / 1e6, t, d / 1e6, k / d }'
done

echo
if [ -x /usr/bin/time ]; then
    echo "peak resident memory of v2list (/usr/bin/time):"
    for input in small valid; do
        kib=$( { /usr/bin/time -f %M "$v2list" < "$data/$input.txt" > /dev/null; } 2>&1 )
        echo "  $input input ($(stat -c %s "$data/$input.txt") bytes): $kib KiB"
    done
    kib=$( { head -c 1073741824 /dev/zero | tr '\0' x | /usr/bin/time -f %M "$v2list" > /dev/null; } 2>&1 )
    echo "  one 1 GiB line without a newline: $kib KiB"
    # v2check says 1 here: the line is split, and no piece converts.
    kib=$( { head -c 1073741824 /dev/zero | tr '\0' x | /usr/bin/time -f %M "$v2check" -q || true; } 2>&1 | tail -n 1 )
    echo "  the same through v2check -q: $kib KiB"
    for compress in "gzip -1" "zstd -q"; do
        line=$data/line.${compress%% *}
        [ -s "$line" ] || head -c 1073741824 /dev/zero | tr '\0' x | $compress -c > "$line"
        kib=$( { /usr/bin/time -f %M "$v2check" -c "$line" > /dev/null || true; } 2>&1 | tail -n 1 )
        echo "  the same as ${compress%% *} data through v2check -c: $kib KiB"
    done
else
    echo "peak resident memory: /usr/bin/time not found (apt-get install time)"
fi

echo
if command -v valgrind > /dev/null; then
    echo "instructions per record (valgrind --tool=callgrind, 100000 records, net of the same run on"
    echo "an empty input), and against v2list's:"
    : > "$data/empty.txt"
    count() { # PROGRAM [ARGUMENT] < INPUT: the instructions it takes
        { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 > /dev/null || true; } |
            sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
    }
    net() { # FILE PROGRAM [ARGUMENT]: its instructions a record, start-up aside
        local file=$1
        shift
        echo $((($(count "$@" < "$file") - $(count "$@" < "$data/empty.txt")) / 100000))
    }
    for input in valid padded; do
        file=$data/${input}100k.txt
        v=$(net "$file" "$v2list")
        echo "  $input: v2list $v"
        for program in "$v2check -c" "$v2check" "$v2check --format=json" "$v2check --listing=/dev/null" "$baseline"; do
            # shellcheck disable=SC2086 # the program and its option, split
            n=$(net "$file" $program)
            awk -v n="$n" -v v="$v" -v p="$(basename "${program%% *}")${program#"${program%% *}"}" \
                'BEGIN { printf "  %s: %s %d, %.2f times\n", "'"$input"'", p, n, n / v }'
        done
    done
else
    echo "instruction counts: valgrind not found"
fi
