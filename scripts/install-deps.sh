#!/usr/bin/env bash
# Installs every build and test dependency from Debian packages. Safe to run repeatedly.
set -euo pipefail
packages=(
  g++ cmake ninja-build git pkg-config
  python3-dev python3-numpy python3-pytest
  pybind11-dev libmsgpack-cxx-dev libyaml-cpp-dev libspdlog-dev libfmt-dev
  libgtest-dev libgmock-dev libbenchmark-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
