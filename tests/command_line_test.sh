#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# --help, --version and wrong usage of the programs: they answer without a display, and the
# window program neither opens its window nor touches the settings for them.
# Usage: command_line_test.sh VERSION PROGRAM...  (VERSION: the project's, as the build knows it)
set -euo pipefail
version=$1
shift
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
fail() { echo "command line test: $*" >&2; exit 1; }
run() {  # run EXPECTED_STATUS PROGRAM ARGS...: prints the output, checks the status
  local expected=$1 status=0
  shift
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$config" "$@" 2>&1 || status=$?
  [ "$status" = "$expected" ] || fail "$* ended with $status, not $expected"
}

for program in "$@"; do
  name=$(basename "$program")
  [ "$(run 0 "$program" --version)" = "$name $version" ] || fail "$name --version"
  [ "$(run 0 "$program" -v)" = "$name $version" ] || fail "$name -v"
  output=$(run 0 "$program" --help)
  grep -qi "usage:.*$name" <<<"$output" || fail "$name --help prints no usage"
  grep -q -- "-v, --version" <<<"$output" || fail "$name --help does not name -v"
  run 0 "$program" -h | grep -qi "usage:.*$name" || fail "$name -h prints no usage"
  # Every program says it in the same words, then its usage.
  output=$(run 2 "$program" --no-such-option)
  [ "$(head -n 1 <<<"$output")" = "$name: unknown option --no-such-option" ] || fail "$name: unknown option: $output"
  grep -qi "usage:.*$name" <<<"$output" || fail "$name shows no usage after an unknown option"
done
for program in "$@"; do
  [ "$(basename "$program")" = trevanto ] || continue
  run 0 "$program" -h >/dev/null
  run 2 "$program" stray-argument >/dev/null
  # Qt's own options are not unknown ones.
  [ "$(run 0 "$program" -platform offscreen --version)" = "trevanto $version" ] || fail "trevanto -platform ... --version"
  # No display at all, or X asked for with none named: a reason and status 2, never Qt's abort.
  grep -q "без экрана" <<<"$(run 2 "$program")" || fail "trevanto without a display gives no reason"
  grep -q "DISPLAY" <<<"$(run 2 "$program" -platform xcb)" || fail "trevanto -platform xcb without a display"
done
# The programs without a window: "--" ends the options alike, and the system's reasons come in
# the user's language.
scratch=$(mktemp -d)
trap 'rm -rf "$config" "$scratch"' EXIT
touch "$scratch/file"
printf '[InternetShortcut]\r\nURL=http://a.example/\r\n' >"$scratch/a.url"
for program in "$@"; do
  name=$(basename "$program")
  [ "$name" = trevanto ] && continue
  # trevanto-check takes one folder, the others two paths.
  missing=("$scratch/--missing" "$scratch/--missing-too")
  below=("$scratch/a.url" "$scratch/file/below")
  [ "$name" = trevanto-check ] && missing=("$scratch/--missing") && below=("$scratch/file/below")
  output=$(run 1 "$program" -- "${missing[@]}")
  grep -q "unknown option" <<<"$output" && fail "$name takes what follows -- for an option"
  if locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8'; then
    output=$(LC_ALL=ru_RU.UTF-8 run 1 "$program" "${below[@]}")
    grep -q "Это не каталог" <<<"$output" || fail "$name gives the system's reason in English under a Russian locale: $output"
  fi
done
[ -z "$(ls -A "$config")" ] || fail "the settings were touched: $(ls -AR "$config")"
