#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The two windows as a window manager sees them, under Xvfb and openbox: the titles it shows
# (_NET_WM_NAME), About owned by the main window, never minimised away from it, and in front
# when the disabled main window is clicked or restored. Skipped (77) where the tools are missing.
# Usage: window_manager_test.sh PROGRAM [SCREENSHOT_PREFIX]
set -uo pipefail
program=$(realpath "$1")
shots=${2:-}

for tool in xvfb-run openbox xdotool xprop; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
if [ -z "${TREVANTO_UNDER_XVFB:-}" ]; then
  TREVANTO_UNDER_XVFB=1 exec xvfb-run -a -s '-screen 0 1280x800x24' "$0" "$@"
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAILED: $1: expected [$2], got [$3]"; failures=$((failures + 1)); fi
}
# Polls until the command prints something, for up to ten seconds.
await() {
  local out
  for _ in $(seq 50); do
    out=$("$@" 2>/dev/null) && [ -n "$out" ] && { echo "$out"; return 0; }
    sleep 0.2
  done
  return 1
}
shot() { [ -n "$shots" ] && command -v import >/dev/null && import -window root "$shots-$1.png"; }
title() { xprop -id "$1" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }
hexid() { printf '0x%x' "$1"; }
active() { xprop -root _NET_ACTIVE_WINDOW | sed 's/.*# //'; }
topmost() { xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*, //; s/.*# //'; }

openbox >/dev/null 2>&1 &
pids+=($!)
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK | grep 'window id'; }
await wm_ready >/dev/null || { echo "FAILED: openbox did not start"; exit 1; }

mkdir -p "$work/config" "$work/start"
(cd "$work/start" && XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb exec "$program") >"$work/log" 2>&1 &
pids+=($!)
main=$(await xdotool search --onlyvisible --name "^Основная форма") || { echo "FAILED: no main window"; cat "$work/log"; exit 1; }
main=$(echo "$main" | head -n 1)
check "main window title" "Основная форма" "$(title "$main")"
shot main

xdotool mousemove --window "$main" 20 8 click 1  # the menu item "About"
about=$(await xdotool search --onlyvisible --name "^About") || { echo "FAILED: no About window"; exit 1; }
about=$(echo "$about" | head -n 1)
check "About window title" "About" "$(title "$about")"
check "About is transient for the main window" "$(hexid "$main")" \
  "$(xprop -id "$about" WM_TRANSIENT_FOR | sed 's/.*# //')"

xdotool mousemove --window "$main" 480 175 click 1  # the disabled main window, beside About
sleep 1
check "About is active after a click on the main window" "$(hexid "$about")" "$(active)"
check "About stays on top" "$(hexid "$about")" "$(topmost)"
shot clicked

hidden() { case "$(xprop -id "$1" _NET_WM_STATE)" in *_NET_WM_STATE_HIDDEN*) echo hidden ;; *) echo shown ;; esac; }
# Minimised, About either comes back or takes the main window along; never the main window alone.
xdotool windowminimize "$about"
sleep 1
state="main $(hidden "$main"), About $(hidden "$about")"
[ "$state" = "main hidden, About hidden" ] || check "About minimised" "main shown, About shown" "$state"
shot minimised
xdotool windowactivate "$main" 2>/dev/null
sleep 1
check "both back after the main window is restored" "main shown, About shown" \
  "main $(hidden "$main"), About $(hidden "$about")"
check "About is active after the main window is restored" "$(hexid "$about")" "$(active)"

[ "$failures" -eq 0 ]
