#!/usr/bin/env bash
# Configures and builds one build directory: build.sh <dir> [extra cmake args...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}; shift || true
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DTARNEL_PYTHON_EXECUTABLE=/usr/bin/python3 "$@"
cmake --build "$dir" -j "${JOBS:-2}"
