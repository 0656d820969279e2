#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and runs the whole test suite, built with
# AddressSanitizer and UndefinedBehaviorSanitizer. Run as root (or with sudo at hand).
set -euo pipefail
cd "$(dirname "$0")/.."

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(
  cmake ninja-build g++ libgtest-dev libgmock-dev googletest  # build and unit tests
  libmariadb-dev libmariadb3 mariadb-server mariadb-client  # client headers, library, private test server
  openssl                                               # certificates of the TLS test server
  libxlsxwriter-dev pkg-config                          # the library that writes .xlsx workbooks
  locales                                               # a second pinned locale for the format tests
  python3 python3-xlrd python3-dbfread python3-olefile python3-html5lib python3-openpyxl  # independent readers of the output files
  libreoffice-calc-nogui libreoffice-writer-nogui qpdf poppler-utils mupdf-tools libxml2-utils tidy
  texlive-latex-base
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The format tests pin a German locale besides C.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  as_root sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  as_root locale-gen >/dev/null
fi

build=${VELMORA_TEST_BUILD_DIR:-build-test}
cmake -G Ninja -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON -DVELMORA_TESTS=ON
cmake --build "$build"
cd "$build"
ctest --output-on-failure -j2 --timeout 1800 "$@"
