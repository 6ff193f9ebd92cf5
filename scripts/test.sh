#!/usr/bin/env bash
# Builds everything and runs every test: C++ unit tests, the same under
# ASan + UBSan, and the Python tests against the built module.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

bash scripts/build.sh build
(cd build && ctest --output-on-failure -j "${JOBS:-2}")

bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DTARNEL_SANITIZE=ON -DTARNEL_PYTHON=OFF -DTARNEL_BENCH=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "${JOBS:-2}")

PYTHONPATH="$PWD/build/python" /usr/bin/python3 -m pytest -q tests/python
