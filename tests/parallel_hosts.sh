#!/usr/bin/env bash
# The recipe across machines (doc/scaling.md): GNU parallel sends the parts to two
# hosts over ssh, each converts its parts, and the listing must be the one a
# single run writes. The two hosts are two sshd on loopback ports of this
# machine (127.0.0.1 only), with throwaway host and user keys, stopped at the
# end. Exits 77 (skipped) where sshd, ssh or parallel is missing. Usage:
# parallel_hosts.sh PATH_TO_V2LIST [PATH_TO_V2CHECK]
set -u
source "$(dirname "$0")/script_checks.sh"
sshd=$(command -v sshd || echo /usr/sbin/sshd)
for tool in "$sshd" ssh ssh-keygen parallel; do
    if ! command -v "$tool" > /dev/null; then
        echo "parallel_hosts: skipped: $tool is not installed"
        exit 77
    fi
done
# The hosts start in the home folder: the paths must be absolute.
v2list=$(runnable "$(realpath "$1")")
v2check=${2:+$(runnable "$(realpath "$2")")}

# sshd wants its privilege separation folder when started as root.
[ "$(id -u)" -ne 0 ] || mkdir -p /run/sshd
ssh-keygen -q -t ed25519 -N '' -f "$work/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$work/user_key"
cp "$work/user_key.pub" "$work/authorized_keys"
pids=()
trap 'kill "${pids[@]}" 2> /dev/null; rm -rf "$work"' EXIT
for host in 1 2; do
    # A free port: sshd says at once when it cannot listen.
    for attempt in 1 2 3 4 5; do
        port=$((20000 + RANDOM % 30000))
        "$sshd" -D -e -f /dev/null -h "$work/host_key" -p "$port" -o ListenAddress=127.0.0.1 \
            -o AuthorizedKeysFile="$work/authorized_keys" -o StrictModes=no -o UsePAM=no \
            -o PasswordAuthentication=no -o PermitRootLogin=prohibit-password \
            -o PidFile=none 2> "$work/sshd$host.log" &
        pids+=($!)
        for _ in $(seq 50); do
            grep -q "listening on" "$work/sshd$host.log" && break 2
            kill -0 "${pids[-1]}" 2> /dev/null || break
            sleep 0.1
        done
    done
    printf 'Host host%s\n  HostName 127.0.0.1\n  Port %s\n' "$host" "$port" >> "$work/ssh_config"
done
printf 'Host *\n  User %s\n  IdentityFile %s\n  IdentitiesOnly yes\n  BatchMode yes\n  StrictHostKeyChecking no\n  UserKnownHostsFile /dev/null\n  LogLevel ERROR\n' \
    "$(id -un)" "$work/user_key" >> "$work/ssh_config"

for i in $(seq 1 300); do
    cat "$examples/records.txt"
    printf '%*s%s\n' $((i % 170)) '' "$(head -n 1 "$examples/records.txt")"
done > "$work/input"

"$v2list" < "$work/input" > "$work/single"
{
    echo '#Version: 2'
    parallel --will-cite --ssh "ssh -F $work/ssh_config" -S 1/host1,1/host2 --joblog "$work/jobs" \
        --pipe --keep-order --block 8k "$v2list | tail -n +2" < "$work/input"
} > "$work/parallel" 2> "$work/parallel.err"
check "two hosts give the single run's listing" same "$(cmp "$work/single" "$work/parallel" && echo same)"
check "and many records" yes "$([ "$(wc -l < "$work/single")" -gt 2000 ] && echo yes)"
check "both hosts converted parts" "host1 host2" \
    "$(awk 'NR > 1 && $7 == 0 { print $2 }' "$work/jobs" | sort -u | paste -sd ' ')"

# The nightly job across the two hosts (doc/scaling.md), held to the
# README's job on this machine: every listing, rejects file and report.
if [ -n "$v2check" ] && command -v jq > /dev/null && command -v rsync > /dev/null; then
    mkdir "$work/bin" && ln -s "$v2check" "$work/bin/v2check"
    block() { # FILE LINE: the code block after the first line that starts so
        awk -v start="$2" 'index($0, start) == 1 { on = 1 } on && /^```/ { if (++n == 2) exit; next } on && n == 1' "$1"
    }
    block "$here/../doc/scaling.md" "v2check's status comes back" |
        sed "s|-S host1,host2|--ssh 'ssh -F $work/ssh_config' --env PATH --joblog $work/hosts_jobs -S 1/host1,1/host2|" > "$work/hosts_job.sh"
    block "$here/../README.md" "A whole job" > "$work/job.sh"
    for run in one hosts; do
        mkdir -p "$work/$run/incoming"
        for i in 1 2 3 4 5 6; do
            head -n $((i * 40)) "$work/input" | grep -v '^#\|^$' > "$work/body"
            # The last file's trailer states one record too many.
            { echo HDR; cat "$work/body"; echo "TRL $(($(wc -l < "$work/body") + (i == 6)))"; } > "$work/$run/incoming/p$i.txt"
        done
        gzip -n "$work/$run/incoming/p2.txt" "$work/$run/incoming/p5.txt"
    done
    (cd "$work/one" && PATH="$work/bin:$PATH" bash "$work/job.sh" > "$work/one.out" 2> /dev/null)
    one=$?
    (cd "$work/hosts" && PATH="$work/bin:$PATH" bash "$work/hosts_job.sh" > "$work/hosts.out" 2> "$work/hosts.err")
    hosts=$?
    check "the job across hosts: the status and summary of the README's job" \
        "$one|$(cat "$work/one.out")" "$hosts|$(cat "$work/hosts.out")"
    outputs() { (cd "$1" && find load return reports done quarantine -type f | sort | xargs sha256sum); }
    check "the job across hosts: every output as on one machine" "$(outputs "$work/one")" "$(outputs "$work/hosts")"
    check "the job across hosts: both hosts checked files" "host1 host2" \
        "$(awk 'NR > 1 && $7 == 0 { print $2 }' "$work/hosts_jobs" | sort -u | paste -sd ' ')"
else
    echo "parallel_hosts: the nightly job across hosts skipped: it needs v2check, jq and rsync"
fi
[ "$failures" -eq 0 ] || cat "$work/parallel.err" "$work/hosts.err" "$work/hosts_job.sh"
finish parallel_hosts
