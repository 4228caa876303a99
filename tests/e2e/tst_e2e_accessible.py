#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""MERO through the desktop's accessibility bus, as a screen reader or an automation tool
sees it.

Starts its own private X server, D-Bus session bus and AT-SPI bus, the virtual unit and
MERO (QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1), then through pyatspi: finds every spin edit by
name with its value and limits, sets "Current Setting (A)" through the value interface and
presses its "Increase" action (the unit's trace shows the exact commands), reads every
lamp, presses "Enable" through its action and sees the "Enabled" lamp turn on, and reads
the response list's lines. Every process it starts is ended by its own process id (each
runs as the leader of its own process group, so helpers it spawned end with it).

Usage: tst_e2e_accessible.py BIN_DIR. Exit 0 passed, 1 failed, 77 skipped.
"""

import importlib.util
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
# In CI everything is installed by scripts/setup.sh: a missing piece is a failure there.
if os.environ.get("CI"):
    SKIP = 1
LAUNCHERS = ["/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher"]
DBL_MAX = sys.float_info.max

# Spin edits by name: (lowest, highest) as the control enforces them; None = the maximum
# current or rate the unit reported.
SPINS = {
    "Current Setting (A)": (0.0, None),
    "Pulse Rate (Hz)": (0.1, None),
    "Pulse Width (s)": (-DBL_MAX, DBL_MAX),
    "Burst Count": (-DBL_MAX, DBL_MAX),
    "Max Current (A)": (-DBL_MAX, DBL_MAX),
    "Compliance Voltage": (-DBL_MAX, DBL_MAX),
    "Maximum Rate (Hz)": (-DBL_MAX, DBL_MAX),
    "Q-Sw Delay (s)": (-0.0061, 0.0061),
    "Spare Analog Out(V)": (0.0, 10.0),
}
LAMPS = ["Enabled", "Active", "Ready", "Fault", "Interlock Control", "Over Temp", "Crowbar",
         "Ext Trig Enabled", "Q-SW Enabled", "Spare input 1", "Spare input 2", "Spare input 3"]

failures = []


def check(ok, what):
    print(("PASS   " if ok else "FAIL!  ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


class Daemon:
    """A process started by this test and ended by its id (with its process group)."""

    def __init__(self, args, env, **kw):
        self.args = args
        self.proc = subprocess.Popen(args, env=env, start_new_session=True, **kw)

    def stop(self):
        if self.proc.poll() is not None:
            return
        try:
            os.killpg(self.proc.pid, signal.SIGTERM)
        except ProcessLookupError:
            return
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait(5)


def wait_for(predicate, seconds, step=0.1):
    deadline = time.monotonic() + seconds
    while True:
        value = predicate()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(step)


def start_xvfb(env):
    read_fd, write_fd = os.pipe()
    xvfb = Daemon(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
                   "-noreset", "-nolisten", "tcp"], env, pass_fds=[write_fd],
                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as r:
        number = r.readline().strip()
    if not number:
        xvfb.stop()
        return None, None
    return xvfb, ":" + number


def trace_lines(path):
    """Received lines of the unit's trace, without the line end."""
    try:
        with open(path, encoding="latin-1") as f:
            lines = f.read().splitlines()
    except OSError:
        return []
    out = []
    for line in lines:
        parts = line.split(" ", 2)
        if len(parts) == 3 and parts[1] == "RX":
            out.append(re.sub(r"(\\x0D|\\x0A)+$", "", parts[2]))
    return out


def run(bin_dir, tmp):
    env = dict(os.environ)
    runtime = os.path.join(tmp, "runtime")
    os.mkdir(runtime, 0o700)
    env["XDG_RUNTIME_DIR"] = runtime
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    env.pop("AT_SPI_BUS_ADDRESS", None)
    daemons = []
    try:
        xvfb, display = start_xvfb(env)
        if not xvfb:
            print("SKIP: Xvfb did not start")
            return SKIP
        daemons.append(xvfb)
        env["DISPLAY"] = display

        bus = Daemon(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env,
                     stdout=subprocess.PIPE, text=True)
        daemons.append(bus)
        address = bus.proc.stdout.readline().strip()
        if not check(bool(address), "private session bus started"):
            return 1
        env["DBUS_SESSION_BUS_ADDRESS"] = address

        launcher = next(p for p in LAUNCHERS if os.access(p, os.X_OK))
        daemons.append(Daemon([launcher, "--launch-immediately", "--a11y=1"], env,
                              stdout=subprocess.DEVNULL))

        def a11y_bus():
            r = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                                "/org/a11y/bus", "org.a11y.Bus.GetAddress"], env=env,
                               capture_output=True, text=True, timeout=10)
            return r.returncode == 0 and "unix:" in r.stdout
        if not check(wait_for(a11y_bus, 20), "AT-SPI bus started"):
            return 1

        trace = os.path.join(tmp, "trace.txt")
        sim = Daemon([os.path.join(bin_dir, "mero-sim"), "--com-dir", tmp, "--port", "3",
                      "--trace", trace, "--no-noise", "--config", "1"], env,
                     stdout=subprocess.DEVNULL)
        daemons.append(sim)
        if not check(wait_for(lambda: os.path.exists(os.path.join(tmp, "COM3")), 10),
                     "virtual unit serves COM3"):
            return 1

        mero_env = dict(env, MERO_COM_DIR=tmp, QT_QPA_PLATFORM="xcb",
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        mero = Daemon([os.path.join(bin_dir, "mero")], mero_env, cwd=tmp)
        daemons.append(mero)

        # pyatspi finds the AT-SPI bus through the session bus, so only now.
        os.environ.update(DBUS_SESSION_BUS_ADDRESS=address, DISPLAY=display,
                          XDG_RUNTIME_DIR=runtime)
        import pyatspi
        return drive(pyatspi, mero, trace)
    finally:
        for d in reversed(daemons):
            d.stop()


def fresh(acc):
    clear = getattr(acc, "clearCache", None) or getattr(acc, "clear_cache", None)
    if clear:
        clear()
    return acc


def drive(pyatspi, mero, trace):
    desktop = pyatspi.Registry.getDesktop(0)

    def main_window():
        for app in desktop:
            if app is None:
                continue
            for frame in app:
                if frame is not None and frame.name.startswith("MERO/VRX    Ver: "):
                    return frame
        return None
    frame = wait_for(main_window, 60, 0.25)
    if not check(frame is not None, "main window on the bus after the read-back"):
        return 1

    def find(name, role=None):
        return pyatspi.findDescendant(
            frame, lambda a: a is not None and a.name == name and
            (role is None or a.getRole() == role))

    # Every spin edit by its caption, with its value and the limits it enforces.
    spins = {}
    for name in SPINS:
        acc = find(name, pyatspi.ROLE_SPIN_BUTTON)
        if check(acc is not None, "spin edit %r found" % name):
            spins[name] = acc
    if len(spins) != len(SPINS):
        return 1
    max_current = spins["Max Current (A)"].queryValue().currentValue
    max_rate = spins["Maximum Rate (Hz)"].queryValue().currentValue
    for name, (lowest, highest) in SPINS.items():
        v = spins[name].queryValue()
        if name == "Current Setting (A)":
            highest = max_current
        if name == "Pulse Rate (Hz)":
            highest = max_rate
        check(v.minimumValue == lowest and v.maximumValue == highest and
              lowest <= v.currentValue <= highest,
              "%r: value %g within %g..%g (got %g..%g)" % (
                  name, v.currentValue, lowest, highest, v.minimumValue, v.maximumValue))
        names = sorted(c.name for c in spins[name])
        check(names == ["Decrease", "Increase"], "%r: arrows %s" % (name, names))

    # Set through the value interface, then one step through the action interface.
    current = spins["Current Setting (A)"]
    before = len(trace_lines(trace))
    current.queryValue().currentValue = 1.25
    action = current.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    check("Increase" in names and "Decrease" in names, "spin edit actions %s" % names)
    sent = wait_for(lambda: [l for l in trace_lines(trace)[before:] if l.startswith(";DC:CS ")],
                    10)
    check(sent == [";DC:CS 001.25"], "value interface sends %s" % sent)
    action.doAction(names.index("Increase"))
    sent = wait_for(lambda: [l for l in trace_lines(trace)[before:]
                             if l.startswith(";DC:CS ")][1:], 10)
    check(sent == [";DC:CS 001.26"], "Increase sends %s" % sent)
    check(abs(fresh(current).queryValue().currentValue - 1.26) < 1e-9, "value reads 1.26")

    # Lamps: indicators whose checked state and description agree.
    for name in LAMPS:
        lamp = find(name)
        if not check(lamp is not None, "lamp %r found" % name):
            continue
        lit = fresh(lamp).getState().contains(pyatspi.STATE_CHECKED)
        # An indicator (Qt's AT-SPI bridge gives it no role of its own), its state in words.
        check(not lamp.getState().contains(pyatspi.STATE_FOCUSABLE) and
              lamp.description == ("on" if lit else "off"),
              "lamp %r: %s, %s" % (name, "checked" if lit else "not checked", lamp.description))

    enabled = find("Enabled")
    enable = find("Enable", pyatspi.ROLE_PUSH_BUTTON)
    if check(enabled is not None and enable is not None, "Enable button found"):
        check(not fresh(enabled).getState().contains(pyatspi.STATE_CHECKED), "Enabled off first")
        before = len(trace_lines(trace))
        press = enable.queryAction()
        press.doAction([press.getName(i) for i in range(press.nActions)].index("Press"))
        sent = wait_for(lambda: ";DC:EN 1" in trace_lines(trace)[before:], 10)
        check(sent, "Enable's action sends EN 1")
        lit = wait_for(lambda: fresh(enabled).getState().contains(pyatspi.STATE_CHECKED), 10)
        check(lit and enabled.description == "on", "Enabled lamp turns on at the next poll")

    # The response list's lines, as a screen reader reads them.
    responses = find("Responses", pyatspi.ROLE_TEXT)
    if check(responses is not None, "response list found"):
        check(not responses.getState().contains(pyatspi.STATE_EDITABLE), "response list read-only")
        text = responses.queryText()
        lines = text.getText(0, -1).splitlines()
        stripped = [re.sub(r"^\(\d\d:\d\d:\d\d\.\d\d\d\) ", "", l) for l in lines]
        check(stripped[:4] == [";DC:CS 001.25", "OK", ";DC:CS 001.26", "OK"],
              "response list lines %s" % stripped[:8])

    check(mero.proc.poll() is None, "mero still running")
    return 1 if failures else 0


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    missing = [t for t in ("Xvfb", "dbus-daemon", "dbus-send") if not shutil.which(t)]
    if not any(os.access(p, os.X_OK) for p in LAUNCHERS):
        missing.append("at-spi-bus-launcher")
    if importlib.util.find_spec("pyatspi") is None:
        missing.append("pyatspi")
    if missing:
        print("SKIP: missing %s (scripts/setup.sh installs them)" % ", ".join(missing))
        return SKIP
    with tempfile.TemporaryDirectory(prefix="mero-a11y-") as tmp:
        result = run(os.path.abspath(sys.argv[1]), tmp)
    print("%d failure(s)" % len(failures))
    return result


if __name__ == "__main__":
    sys.exit(main())
