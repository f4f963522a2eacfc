#!/usr/bin/env bash
# Installs what is missing, builds, and runs ZELKA on its program directory
# (build/zelka-app: a new, empty database the first time, kept from then on).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
tools/build.sh
exec build/zelka-app/zelka "$@"
