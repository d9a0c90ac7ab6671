#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The whole round trip: a collection -> its site -> export/bookmarks.html -> trevanto-import -> a
# new collection -> a new site, whose pages and bookmark file are byte for byte the first ones.
#   round_trip.sh CONVERTER IMPORTER COLLECTION TEMPLATES
set -euo pipefail
convert=$1 import=$2 collection=$3 templates=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/site" "$work/again"
"$convert" --templates "$templates" "$collection" "$work/site" >/dev/null
"$import" "$work/site/export/bookmarks.html" "$work/collection" >/dev/null
"$convert" --templates "$templates" "$work/collection" "$work/again" >/dev/null
# export/stamp holds the times and file numbers of the pages, which differ from site to site.
diff -r -x stamp "$work/site" "$work/again"
echo "1 passed, 0 failed"
