#!/usr/bin/env bash
# SHA-1 of a 256 MB file: ferrow's hashing against sha1sum; download of the
# same file from a local server: ferrow's HTTP client against curl.
# Usage: run_bench.sh <build folder> [runs]   (a build without sanitizers)
set -euo pipefail
BUILD=${1:?build folder}
RUNS=${2:-5}
BIN=$BUILD/bin
WORK=$(mktemp -d)
SERVER_PID=
cleanup() {
  [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

head -c $((256 * 1024 * 1024)) /dev/urandom > "$WORK/data.bin"
sha1sum "$WORK/data.bin" > /dev/null  # warm the page cache

now() { date +%s.%N; }
# median of the arguments
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
timeit() {
  local start end
  start=$(now)
  "$@" > /dev/null
  end=$(now)
  echo "$end - $start" | bc -l
}

expected=$(sha1sum "$WORK/data.bin" | cut -c1-40 | tr a-f A-F)
got=$("$BIN/ferrow_bench_sha1" "$WORK/data.bin" | cut -c1-40)
[ "$expected" = "$got" ] || { echo "hash mismatch: $got vs $expected"; exit 1; }

ours=(); theirs=()
for _ in $(seq "$RUNS"); do
  theirs+=("$(timeit sha1sum "$WORK/data.bin")")
  ours+=("$(timeit "$BIN/ferrow_bench_sha1" "$WORK/data.bin")")
done
m_ours=$(median "${ours[@]}"); m_theirs=$(median "${theirs[@]}")
printf 'sha1   256 MB: ferrow %.3f s (%.0f MB/s), sha1sum %.3f s (%.0f MB/s), speed ratio ferrow/sha1sum %.2f\n' \
  "$m_ours" "$(echo "256 / $m_ours" | bc -l)" "$m_theirs" "$(echo "256 / $m_theirs" | bc -l)" \
  "$(echo "$m_theirs / $m_ours" | bc -l)"

coproc SERVER { exec "$BIN/ferrow_bench_server" "$WORK/data.bin"; }
SERVER_PID=$SERVER_PID
read -r PORT <&"${SERVER[0]}"
URL="http://127.0.0.1:$PORT/file"

ours=(); theirs=()
for _ in $(seq "$RUNS"); do
  rm -f "$WORK/curl.out" "$WORK/ferrow.out"
  theirs+=("$(timeit curl -s -o "$WORK/curl.out" "$URL")")
  ours+=("$(timeit "$BIN/ferrow_bench_download" "$URL" "$WORK/ferrow.out")")
done
cmp -s "$WORK/data.bin" "$WORK/ferrow.out" || { echo "download differs"; exit 1; }
m_ours=$(median "${ours[@]}"); m_theirs=$(median "${theirs[@]}")
printf 'http   256 MB: ferrow %.3f s (%.0f MB/s), curl %.3f s (%.0f MB/s), throughput ratio ferrow/curl %.2f\n' \
  "$m_ours" "$(echo "256 / $m_ours" | bc -l)" "$m_theirs" "$(echo "256 / $m_theirs" | bc -l)" \
  "$(echo "$m_theirs / $m_ours" | bc -l)"
