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
  pkg-config                                            # finds the libraries below
  libisal-dev                                           # the fast streaming deflate of .xlsx packages
  libharfbuzz-dev libfribidi-dev libfontconfig-dev zlib1g-dev libdeflate-dev  # PDF text beyond the standard fonts: shaping and subsetting, right-to-left order, finding fonts, deflating them and the parts of .xlsx packages
  fonts-dejavu-core fonts-droid-fallback                # the fonts PDF exports embed for non-Latin scripts and CJK
  locales                                               # a second pinned locale for the format tests
  python3 python3-xlrd python3-dbfread python3-olefile python3-html5lib python3-openpyxl python3-pandas  # independent readers of the output files
  libreoffice-calc-nogui\|libreoffice-calc libreoffice-writer-nogui\|libreoffice-writer  # either variant reads the files
  qpdf poppler-utils mupdf-tools libxml2-utils tidy
  texlive-latex-base
  texlive-latex-recommended texlive-xetex fonts-dejavu-core fonts-wqy-microhei  # LaTeX exports of Greek, Cyrillic and CJK text compile with xelatex (fontspec, DejaVu, a CJK font)
)
# The fuzz targets are built when clang is there; they need its fuzzer runtime.
if command -v clang++ >/dev/null 2>&1; then packages+=(libclang-rt-14-dev\|libclang-rt-dev); fi

source scripts/missing_packages.sh
mapfile -t missing < <(missing_packages "${packages[@]}")
if [ ${#missing[@]} -gt 0 ]; then
  as_root apt-get update -q
  # --no-remove: a package that would take away one the user has stops the
  # installation instead.
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends --no-remove "${missing[@]}"
fi

# The format tests pin a German locale besides C.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  as_root sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  as_root locale-gen >/dev/null
fi

build=${VELMORA_TEST_BUILD_DIR:-build-test}
cmake -G Ninja -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON -DVELMORA_TESTS=ON
cmake --build "$build"
(cd "$build" && ctest --output-on-failure -j2 --timeout 1800 "$@")

# The whole suite also builds the fuzz targets with clang, when it is there, and
# runs each for a fixed number of inputs from a fixed seed: a target that no
# longer builds, or an input that breaks a check, fails the suite.
if [ $# -eq 0 ] && command -v clang++ >/dev/null 2>&1; then
  fuzz_build=${VELMORA_FUZZ_BUILD_DIR:-build-fuzz}
  CXX=clang++ cmake -G Ninja -S . -B "$fuzz_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=OFF -DVELMORA_FUZZ=ON
  cmake --build "$fuzz_build"
  corpus=$(mktemp -d "${TMPDIR:-/tmp}/velmora-fuzz-XXXXXX")
  trap 'rm -rf "$corpus"' EXIT
  for target in "$fuzz_build"/tests/fuzz/*_fuzz; do
    name=$(basename "$target")
    mkdir -p "$corpus/$name"
    echo "fuzz: $name"
    "$target" -runs="${VELMORA_FUZZ_RUNS:-50000}" -seed=1 -max_len=4096 -artifact_prefix="$corpus/" "$corpus/$name" 2>"$corpus/$name.log" ||
      { tail -40 "$corpus/$name.log"; exit 1; }
  done
fi
