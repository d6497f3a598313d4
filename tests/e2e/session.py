#!/usr/bin/python3
"""Runs one end-to-end scenario against the real program in a desktop session of its own.

    session.py --values <e2e_values.json> --scenario <name>

Outside: an X server (Xvfb, on a display number it picks itself) and a session bus
(dbus-run-session) around the inside part; both and everything under them end on every way out.
Inside (on that session bus): wake the accessibility bus, then run the scenario, which starts the
loopback peers and the program and drives it. Exit status 0 when the scenario passed.
"""

import argparse
import contextlib
import json
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

sys.dont_write_bytecode = True  # the driver's modules are imported from the source tree

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
try:
    import driver
    import peers
    import scenarios
except ImportError as missing:
    print(f"FAIL: {missing}: the end-to-end scenarios need the packages that scripts/bootstrap installs",
          flush=True)
    sys.exit(1)

PYTHON = "/usr/bin/python3"  # the system's, which has gi and aiosmtpd
# Every wait inside a scenario has its own deadline; this bounds the scenario as a whole.
SCENARIO_BUDGET = 90


def fail(message):
    print(f"FAIL: {message}", flush=True)
    return 1


# ---------------------------------------------------------------- outside: X server and session bus

def start_x_server(work):
    """Xvfb on the first free display number; returns (process, display)."""
    if not shutil.which("Xvfb") or not shutil.which("dbus-run-session"):
        raise RuntimeError("Xvfb or dbus-run-session is missing: run scripts/bootstrap")
    read_end, write_end = os.pipe()
    with open(os.path.join(work, "xvfb.log"), "wb") as log:
        server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-noreset", "-screen", "0", "1280x1024x24"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=log,
            start_new_session=True)
    os.close(write_end)
    number = b""
    deadline = time.monotonic() + 15
    try:
        while not number.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or server.poll() is not None or not select.select([read_end], [], [], left)[0]:
                raise RuntimeError("Xvfb did not report a display within 15 s (its log is above)")
            chunk = os.read(read_end, 16)
            if not chunk:
                raise RuntimeError("Xvfb ended before reporting a display (its log is above)")
            number += chunk
    except BaseException:
        end_group(server)
        with open(os.path.join(work, "xvfb.log"), "rb") as log:
            print(log.read().decode("utf-8", "replace"), flush=True)
        raise
    finally:
        os.close(read_end)
    return server, ":" + number.decode().strip()


def end_group(process, grace=3):
    """Ends a process started in a session of its own, with everything left in its group."""
    with contextlib.suppress(ProcessLookupError):
        os.killpg(process.pid, signal.SIGTERM)
    try:
        process.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        pass
    with contextlib.suppress(ProcessLookupError):
        os.killpg(process.pid, signal.SIGKILL)
    with contextlib.suppress(subprocess.TimeoutExpired):
        process.wait(timeout=5)


def run_outside(arguments):
    work = tempfile.mkdtemp(prefix="wristboat-e2e-")
    server = None
    try:
        try:
            server, display = start_x_server(work)
        except RuntimeError as problem:
            return fail(str(problem))
        runtime = os.path.join(work, "runtime")
        os.mkdir(runtime, 0o700)
        environment = dict(os.environ, DISPLAY=display, XDG_RUNTIME_DIR=runtime)
        for name in ("WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "QT_QPA_PLATFORM"):
            environment.pop(name, None)
        inside = subprocess.Popen(
            ["dbus-run-session", "--", PYTHON, os.path.abspath(__file__), "--inside", "--work", work,
             "--values", arguments.values, "--scenario", arguments.scenario],
            env=environment, stdin=subprocess.DEVNULL, start_new_session=True)
        try:
            return inside.wait(timeout=SCENARIO_BUDGET)
        except subprocess.TimeoutExpired:
            return fail(f"the scenario did not finish within {SCENARIO_BUDGET} s")
        finally:
            # The program, its web engine helpers and the accessibility bus live in this group.
            end_group(inside)
    finally:
        if server is not None:
            end_group(server)
        shutil.rmtree(work, ignore_errors=True)


# ---------------------------------------------------------------- inside: peers, program, scenario

def wake_accessibility_bus():
    """Asks the session bus for the accessibility bus, which starts it."""
    try:
        subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                        "org.a11y.Bus.GetAddress"], check=True, timeout=15,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    except (subprocess.SubprocessError, OSError) as problem:
        raise RuntimeError(f"the accessibility bus did not start ({problem}); is at-spi2-core installed?") \
            from None


class Run:
    """What a scenario works with: the built-in values, the peers and programs it starts (all
    closed on the way out, whatever happens), the browser record and the X input."""

    def __init__(self, values, work, stack):
        self.values = values
        self._work = work
        self._stack = stack
        self._programs = []
        self.browser = peers.BrowserRecord(os.path.join(work, "browser-record"))
        self.x = driver.XInput()
        stack.callback(self.x.close)

    def port(self, key):
        """The port of a built-in loopback host value ("127.0.0.1:28101") or port value."""
        return int(str(self.values[key]).rsplit(":", 1)[-1])

    def add(self, peer):
        self._stack.callback(peer.close)
        return peer

    def start_program(self):
        # The toolkit's own texts follow the locale; the scenarios read the English ones ("OK").
        environment = dict(os.environ,
                           LANG="C.UTF-8", LANGUAGE="", LC_ALL="C.UTF-8",
                           QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                           QT_QPA_PLATFORM="xcb",
                           PATH=os.path.join(HERE, "bin") + os.pathsep + os.environ.get("PATH", ""),
                           WRISTBOAT_E2E_BROWSER_RECORD=self.browser.path)
        log = os.path.join(self._work, f"program-{len(self._programs) + 1}.log")
        program = driver.Program(self.values["program"], environment, log)
        self._programs.append(program)
        self._stack.callback(program.stop)
        return program

    def diagnostics(self):
        lines = []
        for number, program in enumerate(self._programs, 1):
            code = program.exit_code()
            lines.append(f"--- program run {number}: {'running' if code is None else f'exit code {code}'}; "
                         f"{program.seconds_since_start():.2f} s since start; log tail:")
            lines.append(program.log_tail())
        lines.append(f"--- handed to the browser: {self.browser.addresses()}")
        return "\n".join(lines)


def run_inside(arguments):
    with open(arguments.values, encoding="utf-8") as file:
        values = json.load(file)
    if not os.access(values["program"], os.X_OK):
        return fail(f"the scenario build of the program is missing: {values['program']}")
    try:
        wake_accessibility_bus()
    except RuntimeError as problem:
        return fail(str(problem))

    scenario = scenarios.SCENARIOS[arguments.scenario]
    started = time.monotonic()
    run = None
    with contextlib.ExitStack() as stack:
        try:
            run = Run(values, arguments.work, stack)
            scenario(run)
        except driver.Failure as failure:
            print(f"FAIL: {arguments.scenario}: {failure}", flush=True)
        except Exception:
            print(f"FAIL: {arguments.scenario}: unexpected error", flush=True)
            traceback.print_exc()
        else:
            print(f"PASS: {arguments.scenario} ({time.monotonic() - started:.1f} s)", flush=True)
            return 0
        if run is not None:
            print(run.diagnostics(), flush=True)
        return 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--values", required=True, help="the scenario build's values (JSON)")
    parser.add_argument("--scenario", required=True)
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--work", help=argparse.SUPPRESS)
    arguments = parser.parse_args()
    if arguments.scenario not in scenarios.SCENARIOS:
        sys.exit(fail(f"no scenario \"{arguments.scenario}\"; known: {', '.join(scenarios.SCENARIOS)}"))
    if not os.path.isfile(arguments.values):
        sys.exit(fail(f"no values file {arguments.values}: configure the main build first"))
    arguments.values = os.path.abspath(arguments.values)
    # Ended from outside: leave through the clean-up paths, which end everything started here.
    signal.signal(signal.SIGTERM, lambda number, frame: sys.exit(fail("ended by SIGTERM")))
    sys.exit(run_inside(arguments) if arguments.inside else run_outside(arguments))


if __name__ == "__main__":
    main()
