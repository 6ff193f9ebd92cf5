#!/usr/bin/env bash
# Builds the module and runs the quickstart example with it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DTARNEL_BENCH=OFF
PYTHONPATH="$PWD/build/python" /usr/bin/python3 examples/quickstart.py "$@"
