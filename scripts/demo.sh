#!/usr/bin/env bash
# Builds everything and runs one payment operation of molvex in a fresh demo
# folder against the PIN pad simulator, then shows what it printed and wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh >/dev/null
BUILD=${BUILD_DIR:-build/release}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j "$(nproc)"

case "$BUILD" in /*) BIN=$BUILD/bin ;; *) BIN=$(pwd)/$BUILD/bin ;; esac
SCENARIOS=$(pwd)/tools/pinpad-sim/scenarios
DEMO=$(pwd)/demo
rm -rf "$DEMO"
mkdir -p "$DEMO/lock"
cp "$BIN/molvex" "$DEMO/"
# Port 9 is the PIN pad behind the link "ttyS99" of molvex's folder, which
# the simulator makes for its pseudo-terminal.
cat > "$DEMO/pinpad.ini" <<INI
LockPath=$DEMO/lock/
ComPort=9
Speed=115200
NewProtocol=1
EnableUSB=0
INI

echo "== PIN pad: tools/pinpad-sim/scenarios/purchase-approved.scn"
(cd "$DEMO" && exec "$BIN/pinpad-scenario" --scenario "$SCENARIOS/purchase-approved.scn" --transcript pinpad.txt) &
sim=$!
for _ in $(seq 100); do [ -L "$DEMO/ttyS99" ] && break; sleep 0.05; done

echo "== molvex 1 10000 (purchase of 100.00) in $DEMO"
set +e
(cd "$DEMO" && ./molvex 1 10000)
status=$?
wait "$sim"
sim_status=$?
set -e
echo "== exit code: $status (PIN pad scenario: $sim_status)"
# molvex writes its files in KOI8-R.
show() {
  [ -f "$1" ] || { echo "(none)"; return; }
  if command -v iconv >/dev/null; then iconv -f KOI8-R -t UTF-8 "$1"; else cat "$1"; fi
}
echo "== response file e:"
show "$DEMO/e" && echo
echo "== cheque file p:"
show "$DEMO/p"
echo "== what the PIN pad received:"
cat "$DEMO/pinpad.txt"
echo "== log:"
cat "$DEMO"/tarn*.log
