#!/usr/bin/env bash
# Prints, one per line, the Debian packages to install for the given entries.
# An entry "a|b" is satisfied by any of its packages, so that a tool the user
# already has in another variant is kept; when none is installed, the first is
# named. Sourced by the set-up scripts, or run: missing_packages.sh ENTRY...
set -euo pipefail

package_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing_packages() {
  local entry package present
  local -a alternatives
  for entry in "$@"; do
    IFS='|' read -r -a alternatives <<<"$entry"
    present=0
    for package in "${alternatives[@]}"; do
      if package_installed "$package"; then present=1; break; fi
    done
    [ "$present" -eq 1 ] || echo "${alternatives[0]}"
  done
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then missing_packages "$@"; fi
