#!/bin/sh
# SPDX-License-Identifier: MIT
# The Windows tasks run what the systemd units run: each ExecStart of a service is an Exec of its
# task (through trevanto-quiet, which shows no console window and logs), the same program with the
# same arguments, in the same order; the sync every hour and the check every week, each catching
# up a run missed while the machine was off.
# Usage: scheduled_tasks_test.sh SOURCE_ROOT
set -u
root=${1:?usage: scheduled_tasks_test.sh SOURCE_ROOT}
status=0
fail() { echo "scheduled tasks: $*" >&2; status=1; }

for job in sync check; do
  unit=$root/data/systemd/trevanto-$job.service.in
  task=$root/windows/tasks/trevanto-$job.xml.in
  # "PROGRAM ARGUMENTS" per line, from each.
  from_unit=$(sed -n 's|^ExecStart=@bindir@/\([^ ]*\) *\(.*\)$|\1 \2|p' "$unit")
  # Each program is started by trevanto-quiet, which logs what it says.
  from_task=$(tr -d '\r' <"$task" | sed -n \
    's|^ *<Arguments>--log "%LOCALAPPDATA%\\Trevanto\\'"$job"'\.log" "@bindir@\\\([^"]*\)\.exe" \(.*\)</Arguments>$|\1 \2|p')
  commands=$(grep -c '<Command>' "$task")
  quiet=$(grep -c '<Command>"@bindir@\\trevanto-quiet.exe"</Command>' "$task")
  [ "$commands" -eq "$quiet" ] || fail "trevanto-$job starts a program other than through trevanto-quiet (a console window)"
  [ -n "$from_unit" ] || fail "no ExecStart in $unit"
  [ "$from_unit" = "$from_task" ] || fail "trevanto-$job runs other commands on Windows:
  systemd: $(echo "$from_unit" | tr '\n' ';')
  task:    $(echo "$from_task" | tr '\n' ';')"
  grep -q '<StartWhenAvailable>true</StartWhenAvailable>' "$task" || fail "trevanto-$job does not catch up a missed run"
  grep -q '<LogonType>InteractiveToken</LogonType>' "$task" || fail "trevanto-$job does not run as the user who registers it"
  # Every element closed, and the file's characters what the installer can write.
  opened=$(grep -o '<[A-Za-z][A-Za-z]*[ >]' "$task" | wc -l)
  closed=$(grep -oE '</[A-Za-z]+>|/>' "$task" | wc -l)
  [ "$opened" -eq "$closed" ] || fail "trevanto-$job.xml.in: $opened elements opened, $closed closed"
  if grep -q ';' "$task"; then fail "trevanto-$job.xml.in holds a ';', which the build's line list splits"; fi
done
grep -q 'OnCalendar=hourly' "$root/data/systemd/trevanto-sync.timer" &&
  grep -q '<Interval>PT1H</Interval>' "$root/windows/tasks/trevanto-sync.xml.in" || fail "the sync is not hourly on both systems"
grep -q 'OnCalendar=weekly' "$root/data/systemd/trevanto-check.timer" &&
  grep -q '<WeeksInterval>1</WeeksInterval>' "$root/windows/tasks/trevanto-check.xml.in" || fail "the check is not weekly on both systems"
[ "$status" -eq 0 ] && echo "the tasks of Windows run what the systemd units run, as often"
exit "$status"
