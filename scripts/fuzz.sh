#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer)
# in build-fuzz and runs each one for a fixed number of runs, starting from a scratch
# copy of its seed corpus in fuzz/corpus/<target>/. Prints one line per target and
# fails on any finding; the input that caused it is kept in build-fuzz/findings/.
#
#   scripts/fuzz.sh [runs] [target...]     runs defaults to 20000, targets to all
#
# MERO_FUZZ_BUILD names another build directory (for a long run beside a smoke).
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-20000}
shift || true
all=(fuzz_identity fuzz_numbers fuzz_endofresponse fuzz_spinnumbers fuzz_simline
     fuzz_commlog fuzz_spinedit)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")
build=${MERO_FUZZ_BUILD:-build-fuzz}

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ not found (scripts/setup.sh installs it)" >&2
  exit 1
fi

# -O1 with line tables: quick to build, still fast, and findings show file:line.
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DMERO_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" >/dev/null
cmake --build "$build" --target "${targets[@]}" -j2 >/dev/null

findings="$PWD/$build/findings"
mkdir -p "$findings"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/mero-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0"

failed=0
for t in "${targets[@]}"; do
  case $t in
    fuzz_commlog) max_len=1024 ;;
    fuzz_spinedit) max_len=128 ;;
    *) max_len=512 ;;
  esac
  corpus="$scratch/$t"
  mkdir -p "$corpus"
  if [ -d "fuzz/corpus/$t" ]; then
    cp fuzz/corpus/"$t"/* "$corpus"/ 2>/dev/null || true
  fi
  asan=$ASAN_OPTIONS
  if [ "$t" = fuzz_spinedit ]; then
    # Qt's text shaping and glyph painting allocate and free large buffers in every
    # step: a smaller quarantine (use after free is still caught within the last
    # 8 MB freed) and shorter allocation stacks make the run about 1.5 times faster.
    asan+=:quarantine_size_mb=8:malloc_context_size=5:max_malloc_fill_size=0
  fi
  args=(-runs="$runs" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048
        -print_final_stats=1 -artifact_prefix="$findings/$t-")
  # Absolute paths: fuzz_commlog runs in a scratch working directory.
  [ -f "fuzz/dict/$t.dict" ] && args+=(-dict="$PWD/fuzz/dict/$t.dict")
  log="$scratch/$t.log"
  start=$(date +%s)
  rc=0
  ASAN_OPTIONS=$asan "$build/bin/$t" "${args[@]}" "$corpus" >"$log" 2>&1 || rc=$?
  if [ $rc -eq 0 ]; then
    done_runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -1)
    printf '%-20s %10s runs  %4ss  ok\n' "$t" "${done_runs:-?}" "$(($(date +%s) - start))"
  else
    failed=1
    printf '%-20s FINDING (exit %s), input kept in %s\n' "$t" "$rc" "$findings"
    grep -E "ERROR|invariant broken|runtime error|SUMMARY|#[0-9]+ 0x" "$log" | head -30 >&2
  fi
done
exit $failed
