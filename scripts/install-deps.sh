#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the fuzzers and the
# benchmarks need. Safe to run again: packages already present are kept.
set -euo pipefail

PACKAGES=(
  build-essential g++ cmake ninja-build pkg-config
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libncurses-dev liblodepng-dev libtinyxml2-dev
  qt6-base-dev qt6-5compat-dev
  python3 curl tmux util-linux coreutils procps
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
