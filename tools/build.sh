#!/usr/bin/env bash
# Configures and builds ZELKA into build/ (the program directory is build/zelka-app).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
