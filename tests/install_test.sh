#!/usr/bin/env bash
# Installs into a scratch prefix, then checks what landed and the manual
# pages' sources. Usage: install_test.sh BUILD_DIR
set -u
build=$1
source "$(dirname "$0")/script_checks.sh"
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" > /dev/null
for program in v2list v2check; do
    check "installs $program" yes "$([ -x "$prefix/bin/$program" ] && echo yes)"
    page=$prefix/share/man/man1/$program.1.gz
    check "installs the manual page of $program" yes "$([ -f "$page" ] && echo yes)"
    if command -v groff > /dev/null; then
        check "manual page of $program has no groff warning" "" "$(gzip -dc "$page" | groff -t -man -ww -z 2>&1)"
    else
        echo "install: the check of $program's manual page skipped: groff is not installed"
    fi
done
check "installs the copyright" yes "$([ -f "$prefix/share/doc/v2list/copyright" ] && echo yes)"
check "installed v2list converts" "#Version: 2" "$(printf '\n' | "$(runnable "$prefix/bin/v2list")")"
printf '\n' | "$(runnable "$prefix/bin/v2check")" -q
check "installed v2check checks" 1 "$?"
finish install
