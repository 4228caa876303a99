#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is needed, builds MERO, starts the virtual unit and runs MERO
# against it. The virtual unit is stopped again when MERO exits.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2 --target mero mero-sim

comdir=$(mktemp -d)
build/bin/mero-sim --com-dir "$comdir" --port 3 "$@" >"$comdir/sim.out" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; rm -rf "$comdir"' EXIT
for _ in $(seq 100); do [ -e "$comdir/COM3" ] && break; sleep 0.05; done

MERO_COM_DIR="$comdir" build/bin/mero
