#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks a measurements CSV the way a spreadsheet or pandas reads it.

Usage: check_measure_csv.py FILE POLLS COMMANDS [--extended]
Every row has every column; there is one "poll" row per poll with every
reading filled in (all of them with --extended), and one "command" row per
command with its reply. Exits 1 with a line per fault.
"""
import csv
import datetime
import sys

READINGS = ["Current (A)", "Voltage (V)", "Status Word", "Enabled", "Active", "Ready", "Fault",
            "Interlock Control", "Over Temp", "Crowbar", "Ext Trig Enabled", "Q-SW Enabled"]
EXTENDED = ["Thermistor A", "Thermistor B", "PhotoDiode", "Spare Analog In",
            "Spare In 1", "Spare In 2", "Spare In 3"]
HEADER = ["Time", "Seconds", "Kind"] + READINGS + EXTENDED + ["Event", "Reply"]


def check(path, polls, commands, extended):
    faults = []
    with open(path, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    if not rows or rows[0] != HEADER:
        return [f"header: {rows[0] if rows else 'none'}"]
    wanted = READINGS + (EXTENDED if extended else [])
    col = {name: i for i, name in enumerate(HEADER)}
    seen_polls = seen_commands = 0
    last = -1.0
    for n, row in enumerate(rows[1:], start=2):
        if len(row) != len(HEADER):
            faults.append(f"line {n}: {len(row)} columns")
            continue
        datetime.datetime.fromisoformat(row[col["Time"]])
        seconds = float(row[col["Seconds"]])
        if seconds < last:
            faults.append(f"line {n}: seconds go back")
        last = seconds
        kind = row[col["Kind"]]
        if kind == "poll":
            seen_polls += 1
            for name in wanted:
                try:
                    float(row[col[name]])
                except ValueError:
                    faults.append(f"line {n}: {name} is {row[col[name]]!r}")
            if row[col["Event"]]:
                faults.append(f"line {n}: poll problem {row[col['Event']]!r}")
        elif kind == "command":
            seen_commands += 1
            if not row[col["Event"]] or not row[col["Reply"]]:
                faults.append(f"line {n}: command without text or reply")
    if seen_polls != polls:
        faults.append(f"{seen_polls} poll rows, {polls} polls")
    if seen_commands != commands:
        faults.append(f"{seen_commands} command rows, {commands} commands")
    try:
        import pandas  # optional: only where it is installed
        frame = pandas.read_csv(path)
        if frame.shape[1] != len(HEADER) or (frame["Kind"] == "poll").sum() != polls:
            faults.append(f"pandas: shape {frame.shape}")
        else:
            print(f"pandas.read_csv: {frame.shape[0]} rows, {frame.shape[1]} columns")
    except ImportError:
        print("pandas not installed; csv module only")
    return faults


def main(argv):
    if len(argv) < 4:
        print(__doc__)
        return 2
    faults = check(argv[1], int(argv[2]), int(argv[3]), "--extended" in argv[4:])
    for f in faults[:20]:
        print(f)
    print("measurements csv: " + ("ok" if not faults else f"{len(faults)} fault(s)"))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
