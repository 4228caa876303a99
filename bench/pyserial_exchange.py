#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A plain pyserial client doing the query exchange MERO does, for comparison.

Usage: pyserial_exchange.py PORT COUNT [PAUSE_MS]

Opens PORT with serial.Serial, writes ";DC:X?" with CR LF and reads until CR,
COUNT times. Prints one round trip (write to CR) per line in milliseconds,
then "answered N" (replies that were "1" CR). With PAUSE_MS, sleeps that long
before each query, outside the timed part: the rhythm of MERO, which pauses
1 ms before each query, so both sides wake from the same idle line.
"""
import sys
import time

import serial


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    path, count = sys.argv[1], int(sys.argv[2])
    pause = float(sys.argv[3]) / 1000 if len(sys.argv) > 3 else 0.0
    query = b";DC:X?\r\n"
    answered = 0
    times = []
    with serial.Serial(path, 115200, timeout=5) as port:
        for _ in range(count):
            if pause:
                time.sleep(pause)
            start = time.perf_counter_ns()
            port.write(query)
            reply = port.read_until(b"\r")
            times.append((time.perf_counter_ns() - start) / 1e6)
            answered += reply == b"1\r"
    sys.stdout.write("".join(f"{t:.4f}\n" for t in times))
    print(f"answered {answered}")


if __name__ == "__main__":
    main()
