#!/usr/bin/env bash
# cmake --install of the build into a private prefix: the program runs from
# there, and the manual page, README and examples are where the page says.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"
source="$2"
prefix="$(mktemp -d "${TMPDIR:-/tmp}/velmora-install-XXXXXX")"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null
fail() { echo "FAIL: $*" >&2; exit 1; }
for file in bin/velmora share/man/man1/velmora.1.gz share/doc/velmora/README.md \
  share/doc/velmora/copyright share/doc/velmora/examples/sample.cfg share/doc/velmora/examples/templates/orders.sql.ini; do
  [[ -f "$prefix/$file" ]] || fail "$file was not installed"
done
version="$("$prefix/bin/velmora" --version)"
[[ "$version" == "Velmora, version "* ]] || fail "velmora --version printed: $version"
"$prefix/bin/velmora" --help | grep -q "man velmora" || fail "--help does not name the manual page"
# The page as installed is the source's, and formats without a warning.
cmp <(gzip -dc "$prefix/share/man/man1/velmora.1.gz") "$source/console/velmora.1" || fail "manual page differs"
if command -v groff > /dev/null; then
  warnings="$(gzip -dc "$prefix/share/man/man1/velmora.1.gz" | groff -man -ww -z 2>&1)"
  [[ -z "$warnings" ]] || fail "groff: $warnings"
fi
echo "installed and ran from $prefix"
