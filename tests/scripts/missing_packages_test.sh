#!/usr/bin/env bash
# The set-up scripts install a package only when no variant of it is present:
# a machine with the full office suite must not be asked to install the
# variant without graphical parts, which would remove the user's.
set -euo pipefail
readonly SCRIPT="$1"

stub=$(mktemp -d)
trap 'rm -rf "$stub"' EXIT
# A dpkg-query that knows the packages listed in $stub/installed.
cat >"$stub/dpkg-query" <<'STUB'
#!/usr/bin/env bash
package="${!#}"
if grep -qx "$package" "$(dirname "$0")/installed"; then echo 'install ok installed'; else exit 1; fi
STUB
chmod +x "$stub/dpkg-query"

failures=0
# expect INSTALLED ENTRIES EXPECTED: the names to install, space-separated.
expect() {
  printf '%s\n' $1 >"$stub/installed"
  local actual
  actual=$(PATH="$stub:$PATH" bash "$SCRIPT" $2 | tr '\n' ' ' | sed 's/ $//')
  if [ "$actual" != "$3" ]; then
    echo "installed [$1], entries [$2]: expected [$3], got [$actual]"
    failures=$((failures + 1))
  fi
}

expect "libreoffice-calc" "libreoffice-calc-nogui|libreoffice-calc qpdf" "qpdf"
expect "libreoffice-calc-nogui qpdf" "libreoffice-calc-nogui|libreoffice-calc qpdf" ""
expect "" "libreoffice-calc-nogui|libreoffice-calc qpdf" "libreoffice-calc-nogui qpdf"
expect "libclang-rt-dev" "libclang-rt-14-dev|libclang-rt-dev tidy" "tidy"
exit "$failures"
