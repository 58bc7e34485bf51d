#!/usr/bin/env bash
# Builds everything and runs one payment operation of molvex in a fresh demo
# folder, then shows what it printed and logged.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh >/dev/null
BUILD=${BUILD_DIR:-build/release}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j "$(nproc)"

DEMO=$(pwd)/demo
rm -rf "$DEMO"
mkdir -p "$DEMO/lock"
cp "$BUILD/bin/molvex" "$DEMO/"
printf 'LockPath=%s/lock/\n' "$DEMO" > "$DEMO/pinpad.ini"

echo "== molvex 1 10000 (purchase of 100.00) in $DEMO"
set +e
(cd "$DEMO" && ./molvex 1 10000)
status=$?
set -e
echo "== exit code: $status"
echo "== log:"
cat "$DEMO"/tarn*.log
