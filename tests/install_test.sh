#!/usr/bin/env bash
# Installs into a scratch prefix, then checks what landed and the manual
# page's source. Usage: install_test.sh BUILD_DIR
set -u
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0 passes=0
check() { if eval "$2"; then passes=$((passes + 1)); else failures=$((failures + 1)); echo "FAIL $1"; fi; }

cmake --install "$build" --prefix "$prefix" > /dev/null
for program in v2list v2check; do
    check "installs $program" '[ -x "$prefix/bin/$program" ]'
    check "installs the manual page of $program" '[ -f "$prefix/share/man/man1/$program.1" ]'
    if command -v groff > /dev/null; then
        check "manual page of $program has no groff warning" \
            '[ -z "$(groff -t -man -ww -z "$prefix/share/man/man1/$program.1" 2>&1)" ]'
    fi
done
check "installed v2list converts" '[ "$(printf "\n" | "$prefix/bin/v2list")" = "#Version: 2" ]'
check "installed v2check checks" '! printf "\n" | "$prefix/bin/v2check" -q' 
echo "install: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
