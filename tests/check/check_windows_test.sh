#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# trevanto-check.exe under wine against a web server running natively on 127.0.0.1 (Python's
# http.server): a link that answers, one that is gone, one moved for good by a redirect, a port
# nobody listens on, and an address that is no web address; the history, the page and the script
# in export/.
# Usage: check_windows_test.sh WINE_RUN WINE_PREFIX TREVANTO_CHECK_EXE
set -euo pipefail
wine_run=$1
prefix=$2
check=$3
work=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check under wine: $*" >&2; exit 1; }

# The server's files: /ok answers, /gone does not exist, /moved is a folder that the server
# redirects to /moved/ for good.
mkdir -p "$work/www/moved"
printf 'here\n' >"$work/www/ok"
printf 'inside\n' >"$work/www/moved/index.html"
# The log is there before the server starts: the background shell opens it in its own time.
: >"$work/server.log"
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$work/www" >>"$work/server.log" 2>&1 &
server_pid=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's/.* port \([0-9][0-9]*\).*/\1/p' "$work/server.log" | head -n 1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || fail "the test server did not start: $(cat "$work/server.log")"

site=$work/site
mkdir "$site"
printf '<a href="Links.html"target=Frame3>Links</a><br />\r\n' >"$site/Frame2.html"
{
  printf '<a href="http://127.0.0.1:%s/ok" target=index>ok</a><br>\r\n' "$port"
  printf '<a href="http://127.0.0.1:%s/gone" target=index>gone</a><br>\r\n' "$port"
  printf '<a href="http://127.0.0.1:%s/moved" target=index>moved</a><br>\r\n' "$port"
  printf '<a href="http://127.0.0.1:1/closed" target=index>closed</a><br>\r\n'
  printf '<a href="mailto:someone@example.org" target=index>mail</a><br>\r\n'
} >"$site/Links.html"

status=0
"$wine_run" --prefix "$prefix" "$check" "Z:$site" >"$work/out" 2>"$work/err" </dev/null || status=$?
[ "$status" = 0 ] || fail "the check ended with $status: $(cat "$work/err")"
for file in link-health.json link-health.html link-health.js; do
  [ -s "$site/export/$file" ] || fail "no export/$file"
done
history=$(tr -d ' \n' <"$site/export/link-health.json")
state_of() {
  local entry
  entry=$(grep -o "\"http://127.0.0.1:${2:-$port}/$1\":{[^}]*}" <<<"$history") || fail "/$1 is not in the history: $history"
  sed -n 's/.*"state":"\([a-z]*\)".*/\1/p' <<<"$entry"
}
[ "$(state_of ok)" = ok ] || fail "/ok is not ok: $history"
[ "$(state_of gone)" = failing ] || fail "/gone is not failing: $history"
[ "$(state_of moved)" = moved ] || fail "/moved is not moved: $history"
[ "$(state_of closed 1)" = failing ] || fail "a port nobody listens on is not failing: $history"
grep -q "mailto" <<<"$history" && fail "a mail address was asked: $history"
grep -q "GET /ok\|HEAD /ok" "$work/server.log" || fail "the server was not asked: $(cat "$work/server.log")"
echo "trevanto-check.exe under wine: ok, gone and moved links told apart"
