#!/usr/bin/env bash
# Installs everything ZELKA needs to build, run and test on Debian 12, from
# Debian's packages and npm only. Safe to run again: it installs only what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

want_debs=(
  build-essential cmake pkg-config ccache
  libsqlite3-dev libicu-dev libcpp-httplib-dev nlohmann-json3-dev libssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  chromium fonts-noto-cjk
  libreoffice-writer-nogui poppler-utils sqlite3 libxml2-utils python3
)
missing=()
for p in "${want_debs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# Node.js and npm may come with the machine in a newer build than Debian's; take Debian's only when absent.
if ! command -v npm >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq --no-install-recommends nodejs npm >/dev/null
fi

# Browser tests drive Debian's chromium through playwright-core (never a downloaded browser).
if [ ! -d tests/browser/node_modules/playwright-core ]; then
  echo "setup: installing npm packages for the browser tests" >&2
  (cd tests/browser && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm install --no-audit --no-fund --silent)
fi
