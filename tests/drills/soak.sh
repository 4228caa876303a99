#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Soak drill (not run in CI): the real mero against mero-sim under a private Xvfb
# for a given time, the unit dropping every 50th line, slow to answer, and
# answering some queries with garbage; the operator side clicks the current's
# arrows once a second. Prints the figures of docs/performance.md: crashes,
# resident memory, lines sent vs lines the unit received, and whether every
# unanswered exchange shows in the log.
#
#   tests/drills/soak.sh [seconds] [build dir]     (default 3600, build)
#
# Needs Xvfb, xdotool. Everything it starts it stops again by process id.
set -euo pipefail

seconds=${1:-3600}
build=$(cd "${2:-build}" && pwd)
delay_ms=${SOAK_DELAY_MS:-40}
work=$(mktemp -d)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    echo "work directory: $work"
}
trap cleanup EXIT

# A display nobody uses.
for _ in $(seq 50); do
    display=$((150 + RANDOM % 100))
    [ -e "/tmp/.X${display}-lock" ] || break
done
Xvfb ":$display" -screen 0 1280x800x24 -noreset >"$work/xvfb.out" 2>&1 &
pids+=($!)
export DISPLAY=":$display"
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

# The unit: every 50th line ignored, each reply late, garbage (no CR) for the
# photodiode query of the extended variant, which the poll asks every second:
# every poll ends one exchange by its 5 s timeout.
mkdir -p "$work/com"
"$build/bin/mero-sim" --com-dir "$work/com" --port 3 --config 1 --drop-every 50 \
    --delay "$delay_ms" --garbage PD:24 --trace "$work/trace.txt" \
    >"$work/sim.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "$work/com/COM3" ] && break; sleep 0.05; done

# The program, logging into its working directory.
(cd "$work" && MERO_COM_DIR="$work/com" USERNAME=soak exec "$build/bin/mero" -log \
    >"$work/mero.out" 2>&1) &
mero=$!
pids+=($mero)

window=
for _ in $(seq 600); do
    window=$(xdotool search --onlyvisible --name '^MERO/VRX    Ver: ' 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the main window never came up" >&2; exit 1; }

rss() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }
sleep 5
rss_start=$(rss "$mero")
rss_max=$rss_start
echo "soak: ${seconds}s on $DISPLAY, delay ${delay_ms} ms, RSS at start ${rss_start} kB"

# The current's arrows (Settings page, see app/MEROMain.ui): up, then down, once a
# second each, so every click is one "CS" command.
clicks=0
end=$((SECONDS + seconds))
while [ $SECONDS -lt $end ]; do
    kill -0 "$mero" 2>/dev/null || break
    if ((clicks % 2 == 0)); then y=76; else y=86; fi
    xdotool mousemove --window "$window" 230 "$y" click 1 >/dev/null 2>&1 || true
    clicks=$((clicks + 1))
    sleep 1
    if ((clicks % 60 == 0)); then
        now=$(rss "$mero")
        ((now > rss_max)) && rss_max=$now
        echo "  $((clicks / 60)) min: RSS ${now} kB"
    fi
done
sleep 6 # the last exchanges, a timeout included

crashed=1
kill -0 "$mero" 2>/dev/null && crashed=0
rss_end=$(rss "$mero")
kill "$mero" 2>/dev/null || true
wait "$mero" 2>/dev/null || true

log=$(ls "$work"/MEROControllerLogFile_soak_*.txt | head -1)
trace="$work/trace.txt"
count() { grep -a -c "$@" || true; }
sent=$(count '^Sent    (' "$log")
sent_cs=$(count '^Sent    ([^)]*): ;DC:CS ' "$log")
received_empty=$(grep -a -c -E '^Received\([^)]*\): '$'\r''$' "$log" || true)
received=$(count '^Received(' "$log")
in_use=$(count '^Comport in use' "$log")
disabled=$(count '^Command Disabled' "$log")
exceptions=$(count '^Exception Error' "$log")
rx=$(count ' RX ' "$trace")
drop=$(count ' DROP ' "$trace")
mute=$(count ' MUTE ' "$trace")
rx_cs=$(count ' RX ;DC:CS ' "$trace")
# Garbage goes to the PD? queries that were not dropped.
garbage=$(($(count ' RX ;DC:PD?' "$trace") - $(count ' DROP ;DC:PD?' "$trace")))

cat <<EOF
figures:
  duration                 ${seconds} s, ${clicks} clicks
  crashes                  ${crashed}
  resident memory          start ${rss_start} kB, end ${rss_end} kB, max ${rss_max} kB
  lines sent (log)         ${sent} (CS commands ${sent_cs})
  lines received (unit)    ${rx} (CS commands ${rx_cs}); dropped ${drop}, mute ${mute}
  replies logged           ${received}; empty ${received_empty}
  garbage queries          ${garbage} (no CR: each ends in a timeout, read as 0)
  exception lines          ${exceptions}
  refused (log)            in use ${in_use}, commands disabled ${disabled}
EOF
# Each drop and each garbage answer is a reply that never ended: it must show in
# the log as an empty reply or as an Exception Error line of its query.
echo "  unanswered (drop+garbage) ${drop} + ${garbage}; logged empty or exception $((received_empty + exceptions)); in flight at the stop $((sent - received))"
[ "$crashed" -eq 0 ]
