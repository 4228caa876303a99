#!/usr/bin/python3
"""A plain pyserial client doing the query exchange MERO does, for comparison.

Usage: pyserial_exchange.py PORT COUNT [QUERY]

Opens PORT with serial.Serial, writes QUERY (default ";DC:X?") with CR LF,
reads until CR, COUNT times. Prints one round trip per line in milliseconds,
then "answered N". No pause between queries: the figure is the client's own
cost of an exchange.
"""
import sys
import time

import serial


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    path, count = sys.argv[1], int(sys.argv[2])
    query = (sys.argv[3] if len(sys.argv) > 3 else ";DC:X?").encode("latin-1") + b"\r\n"
    answered = 0
    times = []
    with serial.Serial(path, 115200, timeout=5) as port:
        for _ in range(count):
            start = time.perf_counter_ns()
            port.write(query)
            reply = port.read_until(b"\r")
            times.append((time.perf_counter_ns() - start) / 1e6)
            answered += reply == b"1\r"
    sys.stdout.write("".join(f"{t:.4f}\n" for t in times))
    print(f"answered {answered}")


if __name__ == "__main__":
    main()
