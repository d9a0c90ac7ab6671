#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# trevanto-check as a person and a timer run it: exit statuses, no progress line without a
# terminal, and a check stopped by a signal that keeps what it found.
# Usage: check_program_test.sh TREVANTO_CHECK LINK_SERVER_PROGRAM
set -euo pipefail
check=$1
server_program=$2
work=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check program test: $*" >&2; exit 1; }
status_of() { local status=0; "$@" >"$work/out" 2>"$work/err" </dev/null || status=$?; echo "$status"; }

[ "$(status_of "$check")" = 2 ] || fail "no SITE is not wrong usage"
[ "$(status_of "$check" a b)" = 2 ] || fail "two SITEs are not wrong usage"
[ "$(status_of "$check" --max-time soon "$work")" = 2 ] || fail "--max-time soon is not wrong usage"
grep -q "soon" "$work/err" || fail "--max-time soon: the value is not named"
[ "$(status_of "$check" "$work/missing")" = 1 ] || fail "a missing site is not a failure"
grep -q "$work/missing" "$work/err" || fail "the missing site is not named: $(cat "$work/err")"

# The server, slow to answer /slow, on a port of its own; it ends when its input does.
mkfifo "$work/server-in"
"$server_program" 0 3000 <"$work/server-in" >"$work/port" &
server_pid=$!
exec 3>"$work/server-in"
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")
[ -n "$port" ] || fail "the test server did not start"

site=$work/site
mkdir "$site"
printf '<a href="Links.html"target=Frame3>Links</a><br />\r\n' >"$site/Frame2.html"
{
  printf '<a href="http://127.0.0.1:%s/ok" target=index>ok</a><br>\r\n' "$port"
  printf '<a href="http://127.0.0.1:%s/status/404" target=index>gone</a><br>\r\n' "$port"
  printf '<a href="mailto:someone@example.org" target=index>mail</a><br>\r\n'
} >"$site/Links.html"
[ "$(status_of "$check" "$site")" = 0 ] || fail "a check with a failing link is not a success: $(cat "$work/err")"
[ ! -s "$work/err" ] || fail "standard error is no terminal, yet it got: $(cat "$work/err")"
grep -q "link-health.html" "$work/out" || fail "the summary does not say where the page is"
for file in link-health.json link-health.html link-health.js; do
  [ -s "$site/export/$file" ] || fail "no export/$file"
done

# A damaged history ends the check with 1, naming the file, and is left as it was.
history=$site/export/link-health.json
cp "$history" "$work/history-kept"
for damaged in '{"format":"1","links":{}}' '{"format":[1],"links":{}}' '{"format":1,"check":{"finished":1},"links":{}}' \
    '{"format":1,"links":{"a":{"state":"failing","failures_in_a_row":1e300}}}'; do
  printf '%s' "$damaged" >"$history"
  [ "$(status_of "$check" "$site")" = 1 ] || fail "the damaged history $damaged did not end in 1: $(cat "$work/err")"
  grep -q "link-health.json" "$work/err" || fail "the damaged history is not named: $(cat "$work/err")"
  [ "$(cat "$history")" = "$damaged" ] || fail "the damaged history $damaged was changed"
done
cp "$work/history-kept" "$history"

# Stopped midway by a signal: what was checked is kept, the summary says it is not finished.
for i in $(seq 10); do printf '<a href="http://127.0.0.1:%s/slow?%s" target=index>slow</a><br>\r\n' "$port" "$i"; done >>"$site/Links.html"
"$check" "$site" >"$work/out" 2>"$work/err" &
check_pid=$!
sleep 1.5
kill -TERM "$check_pid"
status=0
wait "$check_pid" || status=$?
[ "$status" = 0 ] || fail "a check stopped by SIGTERM ended with $status: $(cat "$work/err")"
grep -q '"finished":false' "$site/export/link-health.json" || fail "the stopped check is recorded as finished"
grep -q '/ok"' "$site/export/link-health.json" || fail "the stopped check lost the history"
