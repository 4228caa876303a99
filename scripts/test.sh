#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is needed, builds MERO and runs every test: first the normal
# build in build/, then the whole suite again in build-asan/ (Debug, with
# AddressSanitizer and UndefinedBehaviorSanitizer; any report fails its test).
#
# Extra arguments go to both ctest runs (e.g. -R tst_kxcomport).
# MERO_TEST_QUICK=1 skips the sanitizer pass and the fuzz smoke when iterating
# locally; CI always runs everything.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2 "$@"

if [ "${MERO_TEST_QUICK:-0}" = 1 ]; then
  echo "MERO_TEST_QUICK=1: sanitizer pass and fuzz smoke skipped"
  exit 0
fi

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMERO_SANITIZE=ON \
  -DMERO_BENCH=OFF
cmake --build build-asan -j2
ctest --test-dir build-asan --output-on-failure -j2 "$@"

# Short fuzz smoke; scripts/fuzz.sh with a larger count for a long run.
bash scripts/fuzz.sh 20000
