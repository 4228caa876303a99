#!/usr/bin/env bash
# Installs what is needed, builds MERO and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2 "$@"
