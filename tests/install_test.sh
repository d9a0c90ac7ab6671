#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a temporary prefix, moves the whole prefix elsewhere, and converts the
# sample collection with the moved program: an installed tree must find its templates wherever
# it lies. Also checks the layout a distribution expects.
# Usage: install_test.sh BUILD_FOLDER SOURCE_FOLDER VERSION  (VERSION: the project's, as the build knows it)
set -euo pipefail
build=$1
source_root=$2
expected_version=$3
work=$(mktemp -d)
manifest="$build/install_manifest.txt"
# An install rewrites the build's manifest; keep the one `make uninstall` relies on.
[ -f "$manifest" ] && cp -p "$manifest" "$work/manifest.saved"
restore() {
  if [ -f "$work/manifest.saved" ]; then cp -p "$work/manifest.saved" "$manifest"; else rm -f "$manifest"; fi
  rm -rf "$work"
}
trap restore EXIT
fail() { echo "install test: $*" >&2; exit 1; }

"${CMAKE_COMMAND:-cmake}" --install "$build" --prefix "$work/first" >/dev/null
mv "$work/first" "$work/moved"
prefix="$work/moved"

programs=(trevanto-convert)
[ -e "$build/bin/trevanto" ] && programs+=(trevanto)
[ -e "$build/bin/trevanto-import" ] && programs+=(trevanto-import)
[ -e "$build/bin/trevanto-check" ] && programs+=(trevanto-check)
for program in "${programs[@]}"; do
  [ -f "$prefix/bin/$program" ] && [ ! -L "$prefix/bin/$program" ] || fail "bin/$program is not a real file"
  [ -f "$prefix/share/man/man1/$program.1.gz" ] || fail "no man page for $program"
  gzip -dc "$prefix/share/man/man1/$program.1.gz" | head -n 5 | grep -q "^\.TH .*\"trevanto $expected_version\"" ||
    fail "the man page of $program does not name version $expected_version"
  version=$("$prefix/bin/$program" --version) || fail "$program --version failed"
  [ "$version" = "$program $expected_version" ] || fail "$program --version printed '$version'"
done
[ ! -e "$prefix/lib" ] || fail "something was installed under lib/: $(ls -R "$prefix/lib")"

# The timer's units, their service running the programs where this install put them.
if [ -e "$build/data/systemd/trevanto-sync.service" ]; then
  [ -f "$prefix/share/systemd/user/trevanto-sync.timer" ] || fail "no trevanto-sync.timer"
  grep -qx "ExecStart=$work/first/bin/trevanto-import --browsers --settings" \
    "$prefix/share/systemd/user/trevanto-sync.service" || fail "the service does not run the installed trevanto-import"
fi
if [ -e "$build/data/systemd/trevanto-check.service" ]; then
  [ -f "$prefix/share/systemd/user/trevanto-check.timer" ] || fail "no trevanto-check.timer"
  grep -qx "ExecStart=$work/first/bin/trevanto-check --max-time 4h --settings" \
    "$prefix/share/systemd/user/trevanto-check.service" || fail "the service does not run the installed trevanto-check"
fi

if [ -e "$build/bin/trevanto" ]; then
  [ -f "$prefix/share/applications/trevanto.desktop" ] || fail "no desktop entry"
  [ -f "$prefix/share/metainfo/trevanto.metainfo.xml" ] || fail "no AppStream data"
  [ -f "$prefix/share/icons/hicolor/scalable/apps/trevanto.svg" ] || fail "no scalable icon"
  for size in 16 32 48 64 128 256; do
    [ -f "$prefix/share/icons/hicolor/${size}x$size/apps/trevanto.png" ] || fail "no ${size}x$size icon"
  done
else
  [ ! -e "$prefix/share/applications" ] || fail "a desktop entry without the window program"
  [ ! -e "$prefix/share/icons" ] || fail "icons without the window program"
fi

# The templates the site gets are the moved tree's own.
echo "<!-- moved -->" >>"$prefix/share/trevanto/Frame1.html"
mkdir "$work/site"
(cd / && "$prefix/bin/trevanto-convert" "$source_root/examples" "$work/site") >"$work/statistics" ||
  fail "the moved trevanto-convert failed: $(cat "$work/statistics")"
for page in Index.html Frame1.html Frame2.html Frame3.html; do
  [ -s "$work/site/$page" ] || fail "the site has no $page"
done
grep -q "<!-- moved -->" "$work/site/Frame1.html" || fail "the templates did not come from the moved tree"
grep -q "Frame1.html" "$work/site/Index.html" || fail "Index.html is not the frame set"
echo "installed, moved and converted: $(tr '\n' ' ' <"$work/statistics")"
