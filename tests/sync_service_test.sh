#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The timer's service on a fake home: systemd accepts the units, and the commands the service
# runs take a browser's bookmarks into the source folder the window saved and convert them into
# the site folder it saved; a second run adds nothing; without the window's settings the run
# fails with a message naming the file, and with the saved source folder missing it fails naming
# that folder and creates nothing.
# Usage: sync_service_test.sh UNITS_FOLDER CHROMIUM_BOOKMARKS_FILE
set -euo pipefail
units=$1
bookmarks=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "sync service test: $*" >&2; exit 1; }

if command -v systemd-analyze >/dev/null; then
  mkdir -m 700 "$work/runtime"
  XDG_RUNTIME_DIR="$work/runtime" HOME="$work" systemd-analyze --user verify --man=no \
    "$units/trevanto-sync.service" "$units/trevanto-sync.timer" || fail "systemd-analyze rejects the units"
fi

home="$work/home"
config="$work/config"  # XDG_CONFIG_HOME apart from HOME, as the user may set it
source_folder="$work/Мои закладки, все"
site="$work/site"
mkdir -p "$home" "$config/google-chrome/Default" "$site"
cp "$bookmarks" "$config/google-chrome/Default/Bookmarks"
printf '{"profile":{"info_cache":{"Default":{"name":"Person 1"}}}}' >"$config/google-chrome/Local State"

# The service's commands, run as systemd runs them: no shell, the user's environment only.
run_service() {
  local line status=0
  while IFS= read -r line; do
    # shellcheck disable=SC2086  # the unit's words, split as systemd splits them (no quotes there)
    env -i HOME="$home" XDG_CONFIG_HOME="$config" PATH=/usr/bin:/bin ${line#ExecStart=} || { status=$?; break; }
  done < <(grep '^ExecStart=' "$units/trevanto-sync.service")
  return $status
}

# Without settings: the first command fails, naming the settings file, and nothing is written.
if run_service >"$work/out" 2>"$work/err"; then fail "ran without the window's settings"; fi
grep -q "Trevanto/Config.ini" "$work/err" || fail "the failure does not name the settings file: $(cat "$work/err")"
[ ! -e "$source_folder" ] || fail "the source folder was created without settings"

# The settings as the window writes them (QSettings: the section's blank escaped, a value with a
# comma quoted).
mkdir -p "$config/Trevanto"
printf '[Load%%20Defaults]\nCHECK1=0\nCHECK2=0\nCHECK3=0\nDIR="%s"\nDIRS=%s\nDRIVE1=/\nDRIVE2=/\n' \
  "$source_folder" "$site" >"$config/Trevanto/Config.ini"
# The saved source folder missing (a stick not plugged in): the run fails naming it and creates
# nothing.
if run_service >"$work/out" 2>"$work/err"; then fail "ran into a saved source folder that is not there"; fi
grep -qF "$source_folder" "$work/err" || fail "the failure does not name the source folder: $(cat "$work/err")"
[ ! -e "$source_folder" ] || fail "the missing source folder was created"
mkdir "$source_folder"
run_service >"$work/out" 2>"$work/err" || fail "the first run failed: $(cat "$work/err")"
grep -q "Добавлено ярлыков : 4" "$work/out" || fail "the import did not add the 4 bookmarks: $(cat "$work/out")"
[ -f "$source_folder/Работа/Документация.url" ] || fail "no shortcut in the saved source folder"
iconv -f CP1251 -t UTF-8 "$site/Frame2.html" | grep -q 'target=Frame3>Работа<' || fail "the site's menu has no section Работа"
[ -f "$site/Работа.html" ] || fail "no section page in the saved site folder"

run_service >"$work/out" 2>"$work/err" || fail "the second run failed: $(cat "$work/err")"
grep -q "Добавлено ярлыков : 0" "$work/out" || fail "the second run added shortcuts: $(cat "$work/out")"
grep -q "Уже были : 4" "$work/out" || fail "the second run did not find the 4 shortcuts: $(cat "$work/out")"
echo "the service imported and converted on a fake home"
