#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the C++ tests (ctest)
# and the browser tests (Playwright driving Debian's chromium).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
tools/build.sh
(cd build && ctest --output-on-failure -j"$(nproc)")
(cd tests/browser && ZELKA_BIN="$PWD/../../build/zelka-app/zelka" npm test)
