#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The README's list of Debian packages is the list scripts/install-deps installs.
# Usage: readme_packages_test.sh SOURCE_FOLDER
set -euo pipefail
root=$1
script=$(sed -n '/^packages=(/,/^)/p' "$root/scripts/install-deps" | sed '1d;$d' | tr -s ' \n' '\n\n' | sed '/^$/d' | sort)
readme=$(sed -n '/^Debian packages: `/,/`/p' "$root/README.md" | tr '\n' ' ' | sed 's/^Debian packages: `\([^`]*\)`.*/\1/' |
  tr -s ' ' '\n' | sed '/^$/d' | sort)
if [ "$script" != "$readme" ]; then
  echo "README.md and scripts/install-deps list different packages:" >&2
  diff <(echo "$readme") <(echo "$script") | sed -n 's/^< /  only in README.md: /p; s/^> /  only in scripts\/install-deps: /p' >&2
  exit 1
fi
