#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# trevanto-quiet under wine: the program's output and exit code land in the log, runs append,
# the log's folder is made and environment variables in its name are expanded, a program that
# cannot start is named in the log, and a log past a megabyte is moved aside.
# Usage: quiet_start_test.sh WINE_RUN WINE_PREFIX TREVANTO_QUIET_EXE TREVANTO_CONVERT_EXE
set -uo pipefail
wine_run=$1
prefix=$2
quiet=$3
convert=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "quiet start: $*" >&2; [ -f "$log" ] && sed 's/^/  log: /' "$log" >&2; exit 1; }
windows() { local path=${1//\//\\}; printf 'Z:%s' "$path"; }
run() { "$wine_run" --prefix "$prefix" "$quiet" "$@" >/dev/null 2>&1; }

log=$work/logs/Trevanto/sync.log
run --log "$(windows "$log")" "$(windows "$convert")" --no-such-option
status=$?
[ "$status" -eq 2 ] || fail "wrong usage of the program gave $status, not its 2"
[ -f "$log" ] || fail "no log (its folder was to be made)"
grep -q -- '^--- .*trevanto-convert.exe --no-such-option' "$log" || fail "the log does not say what ran"
grep -q 'no-such-option' <(grep -v '^---' "$log") || fail "the program's message is not in the log"
grep -q -- '^--- .* exit code 2' "$log" || fail "the log does not give the exit code"

export TREVANTO_QUIET_TEST=$(windows "$work/logs")
run --log '%TREVANTO_QUIET_TEST%\Trevanto\sync.log' "$(windows "$convert")" --version
status=$?
[ "$status" -eq 0 ] || fail "--version gave $status"
grep -q '^trevanto-convert [0-9]' "$log" || fail "the second run's output is not in the same log"
[ "$(grep -c -- '^--- .* exit code' "$log")" -eq 2 ] || fail "the second run did not append to the first"

run --log "$(windows "$log")" 'Z:\no\such\program.exe'
status=$?
[ "$status" -eq 1 ] || fail "a program that cannot start gave $status, not 1"
grep -q -- '^--- cannot start Z:\\no\\such\\program.exe: ' "$log" || fail "the log does not name the program that cannot start"

head -c 1100000 /dev/zero | tr '\0' 'x' >>"$log"
run --log "$(windows "$log")" "$(windows "$convert")" --version
[ -f "$log.old" ] && [ "$(stat -c %s "$log.old")" -gt 1048576 ] || fail "the long log was not moved aside"
[ "$(stat -c %s "$log")" -lt 4096 ] || fail "the new log is not a new one"

run "$(windows "$convert")" --version
status=$?
[ "$status" -eq 2 ] || fail "without --log it gave $status, not 2"
echo "trevanto-quiet logs, appends, expands, names what cannot start and keeps the log small"
