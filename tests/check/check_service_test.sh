#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The weekly check's units on a fake home: systemd accepts them, and the service's command checks
# the site folder the window saved; without the window's settings it fails naming the file.
# Usage: check_service_test.sh UNITS_FOLDER
set -euo pipefail
units=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check service test: $*" >&2; exit 1; }

if command -v systemd-analyze >/dev/null; then
  mkdir -m 700 "$work/runtime"
  XDG_RUNTIME_DIR="$work/runtime" HOME="$work" systemd-analyze --user verify --man=no \
    "$units/trevanto-check.service" "$units/trevanto-check.timer" || fail "systemd-analyze rejects the units"
fi
grep -qx 'Persistent=true' "$units/trevanto-check.timer" || fail "the timer does not catch up a missed week"

home="$work/home"
site="$work/Мой сайт, ссылки"
mkdir -p "$home" "$site"
# A site whose only link is not a web address: the check asks no server.
printf '<a href="Links.html"target=Frame3>Links</a><br />\r\n' >"$site/Frame2.html"
printf '<a href="mailto:someone@example.org" target=index>mail</a><br>\r\n' >"$site/Links.html"

# The service's command, run as systemd runs it: no shell, the user's environment only.
run_service() {
  local line
  line=$(grep '^ExecStart=' "$units/trevanto-check.service")
  # shellcheck disable=SC2086  # the unit's words, split as systemd splits them (no quotes there)
  env -i HOME="$home" PATH=/usr/bin:/bin ${line#ExecStart=}
}

if run_service >"$work/out" 2>"$work/err"; then fail "checked without the window's settings"; fi
grep -q "Trevanto/Config.ini" "$work/err" || fail "the failure does not name the settings file: $(cat "$work/err")"

mkdir -p "$home/.config/Trevanto"
printf '[Load%%20Defaults]\nCHECK1=0\nCHECK2=0\nCHECK3=0\nDIR=/\nDIRS="%s"\nDRIVE1=/\nDRIVE2=/\n' "$site" \
  >"$home/.config/Trevanto/Config.ini"
run_service >"$work/out" 2>"$work/err" || fail "the check failed: $(cat "$work/err")"
[ -s "$site/export/link-health.html" ] || fail "no link-health.html in the saved site folder"
grep -q "не проверяются (не http/https): 1" "$work/out" || fail "the mailto: link is not counted: $(cat "$work/out")"
