"""The Debian package: built by CPack, installed with apt-get, started, and every file the running
program maps found in a package that its dependencies pull in on a clean Debian.

The package is installed into the real system (this needs root; without it that test is skipped):
CI machines are throwaway, and the package is removed again at the end, an earlier one included. The CI machine has far
more installed than a clean one, so "it starts here" alone proves little. The test therefore also
reads the dependency closure a clean machine would get from the package (its Depends and
Pre-Depends, followed recursively through the installed packages' own, without Recommends, on top
of the Essential and required packages a minimal Debian has) and requires every shared library,
plugin, font and data file that the program and its web-engine processes have mapped once the main
window is up to belong to a package of that closure.

usage: deb_package_test.py <cpack> <build dir>
"""
import glob
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

CPACK, BUILD_DIR = sys.argv[1:3]
PACKAGE = "wristboat"
MAIN_WINDOW_TITLE = "栎湾腕舟助手"
# What the program links against or asks for by name, as Debian 12 calls them.
EXPECTED_DEPENDENCIES = (
    "libqt6widgets6", "libqt6webenginewidgets6", "libqt6multimedia6", "libcurl4", r"libicu\d+",
    "libjpeg62-turbo", "fonts-noto-cjk", "fonts-arphic-ukai",
)
EXPECTED_FILES = (
    "./usr/bin/wristboat",
    "./usr/share/applications/io.github.wristboat.Assistant.desktop",
    "./usr/share/metainfo/io.github.wristboat.Assistant.metainfo.xml",
    "./usr/share/icons/hicolor/256x256/apps/io.github.wristboat.Assistant.png",
    "./usr/share/icons/hicolor/16x16/apps/io.github.wristboat.Assistant.png",
)


def run(*command, timeout=300, **options):
    return subprocess.run(command, capture_output=True, text=True, timeout=timeout, **options)


def wait_for(condition, seconds, step=0.1):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(step)
    return None


# --- the dependency closure, read from dpkg's own records -------------------------------------

def installed_packages(status_file="/var/lib/dpkg/status"):
    """Name -> fields of every installed package."""
    packages = {}
    with open(status_file, encoding="utf-8") as file:
        for stanza in file.read().split("\n\n"):
            fields, key = {}, None
            for line in stanza.splitlines():
                if line[:1] in (" ", "\t") and key:
                    fields[key] += "\n" + line
                elif ":" in line:
                    key, value = line.split(":", 1)
                    fields[key] = value.strip()
            if fields.get("Status", "").endswith(" installed") and "Package" in fields:
                packages.setdefault(fields["Package"], {}).update(fields)
    return packages


def clauses(relation_field):
    """'a (>= 1) | b:any, c' -> [['a', 'b'], ['c']]"""
    result = []
    for clause in filter(None, (part.strip() for part in relation_field.split(","))):
        result.append([re.split(r"[\s:(\[]", alternative.strip(), maxsplit=1)[0]
                       for alternative in clause.split("|")])
    return result


def dependency_closure(roots, packages):
    providers = {}
    for name, fields in packages.items():
        for provided in clauses(fields.get("Provides", "")):
            providers.setdefault(provided[0], []).append(name)

    def satisfy(alternatives):
        # Like apt on a clean machine: the first alternative that can be had (here: is installed).
        for alternative in alternatives:
            if alternative in packages:
                return alternative
            if providers.get(alternative):
                return providers[alternative][0]
        return None

    closure, pending = set(), list(roots)
    while pending:
        name = pending.pop()
        if name in closure or name not in packages:
            continue
        closure.add(name)
        fields = packages[name]
        for clause in clauses(fields.get("Pre-Depends", "")) + clauses(fields.get("Depends", "")):
            chosen = satisfy(clause)
            if chosen:
                pending.append(chosen)
    return closure


def minimal_system(packages):
    return [name for name, fields in packages.items()
            if fields.get("Essential") == "yes" or fields.get("Priority") == "required"]


def file_owners():
    owners = {}
    for list_file in glob.glob("/var/lib/dpkg/info/*.list"):
        package = os.path.basename(list_file)[:-len(".list")].split(":")[0]
        with open(list_file, encoding="utf-8", errors="surrogateescape") as file:
            for path in file.read().splitlines():
                owners[path] = package
    return owners


def owner_of(path, owners):
    # Debian 12 merges /lib into /usr/lib; dpkg may record either spelling.
    candidates = [path]
    if path.startswith("/usr/"):
        candidates.append(path[len("/usr"):])
    candidates.append(os.path.realpath(path))
    for candidate in candidates:
        if candidate in owners:
            return owners[candidate]
    return None


def system_file(path):
    # Files of the installation, not run-time state (shared memory, memfd, caches in home folders).
    return (path.startswith(("/usr/", "/lib", "/bin/", "/sbin/", "/opt/", "/etc/", "/var/lib/")) and
            not path.endswith(" (deleted)"))


def generated_file(path):
    # Caches and archives that packages' scripts generate at install time; dpkg lists none of them.
    return (path.startswith("/var/cache/") or path.endswith(".cache") or
            path == "/usr/lib/locale/locale-archive")


# --- the running program -----------------------------------------------------------------------

def process_tree(root_pid):
    children = {}
    for stat in glob.glob("/proc/[0-9]*/stat"):
        pid = int(stat.split("/")[2])
        children.setdefault(parent_of(pid), []).append(pid)
    tree, pending = [], [root_pid]
    while pending:
        pid = pending.pop()
        tree.append(pid)
        pending.extend(children.get(pid, []))
    return tree


def parent_of(pid):
    try:
        with open(f"/proc/{pid}/stat") as file:
            return int(file.read().rsplit(")", 1)[1].split()[1])
    except (OSError, IndexError):
        return 0


def command_line(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as file:
            return file.read().replace(b"\0", b" ").decode(errors="replace")
    except OSError:
        return ""


def mapped_files(pids):
    files = set()
    for pid in pids:
        try:
            with open(f"/proc/{pid}/maps") as file:
                for line in file:
                    parts = line.split(None, 5)
                    if len(parts) == 6 and parts[5].startswith("/"):
                        files.add(parts[5].strip())
        except OSError:
            continue
    return files


class Xserver:
    """Xvfb on a free display, and the few X requests the test needs."""

    def __init__(self):
        from Xlib import display  # python3-xlib
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        # The display number arrives as a line, perhaps in pieces; closing early would kill Xvfb.
        line, deadline = b"", time.monotonic() + 30
        while not line.endswith(b"\n") and select.select([read_end], [], [], deadline - time.monotonic())[0]:
            piece = os.read(read_end, 16)
            if not piece:
                break
            line += piece
        os.close(read_end)
        number = line.decode().strip() if line.endswith(b"\n") else ""
        if not number:
            self.process.kill()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number
        self.display = display.Display(self.name)

    def visible_window(self, title):
        from Xlib import X
        utf8 = self.display.intern_atom("UTF8_STRING")
        net_wm_name = self.display.intern_atom("_NET_WM_NAME")
        for window in self.display.screen().root.query_tree().children:
            try:
                name = window.get_full_property(net_wm_name, utf8)
                if (name and name.value.decode("utf-8", "replace") == title and
                        window.get_attributes().map_state == X.IsViewable):
                    return window
            except Exception:  # windows come and go while we look
                continue
        return None

    def icon_sizes(self, window):
        """The sizes in the window's _NET_WM_ICON: width, height, then the pixels, per picture."""
        values = window.get_full_property(self.display.intern_atom("_NET_WM_ICON"), 0)
        values = list(values.value) if values else []
        sizes = []
        while len(values) >= 2:
            width, height = values[0], values[1]
            sizes.append((width, height))
            values = values[2 + width * height:]
        return sizes

    def ask_to_close(self, window):
        """What a window manager's close button does: WM_DELETE_WINDOW."""
        from Xlib import X, protocol
        protocols = self.display.intern_atom("WM_PROTOCOLS")
        delete = self.display.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                             data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(event, event_mask=X.NoEventMask)
        self.display.flush()

    def stop(self):
        self.display.close()
        self.process.terminate()
        self.process.wait(timeout=30)


class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory(prefix="wristboat-deb-")
        os.chmod(cls.work.name, 0o755)  # apt's download user reads the package from here
        built = run(CPACK, "-G", "DEB", "-B", cls.work.name, "--config",
                    os.path.join(BUILD_DIR, "CPackConfig.cmake"))
        if built.returncode != 0:
            raise AssertionError("cpack failed:\n" + built.stdout + built.stderr)
        (cls.deb,) = glob.glob(os.path.join(cls.work.name, PACKAGE + "_*.deb"))

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    def field(self, name):
        return run("dpkg-deb", "--field", self.deb, name).stdout.strip()

    def test_depends_on_the_runtime_packages(self):
        depends = [alternatives[0] for alternatives in clauses(self.field("Depends"))]
        for expected in EXPECTED_DEPENDENCIES:
            with self.subTest(package=expected):
                self.assertTrue(any(re.fullmatch(expected, name) for name in depends), depends)

    def test_holds_the_program_and_its_desktop_files(self):
        contents = run("dpkg-deb", "--contents", self.deb).stdout
        paths = {line.split()[-1] for line in contents.splitlines()}
        for path in EXPECTED_FILES:
            with self.subTest(path=path):
                self.assertIn(path, paths)

    @unittest.skipUnless(os.geteuid() == 0 and shutil.which("apt-get"),
                         "installs the package into the system: needs root and apt-get (CI runs as root)")
    def test_installs_with_apt_and_starts(self):
        environment = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        installed = run("apt-get", "install", "-y", "--no-install-recommends", self.deb, env=environment)
        self.addCleanup(run, "apt-get", "remove", "-y", "--purge", PACKAGE, env=environment)
        self.assertEqual(installed.returncode, 0, installed.stdout + installed.stderr)
        self.assertTrue(os.access("/usr/bin/wristboat", os.X_OK))

        xserver = Xserver()
        self.addCleanup(xserver.stop)
        home = os.path.join(self.work.name, "home")
        os.makedirs(home)
        program_environment = {
            "PATH": "/usr/bin:/bin", "HOME": home, "DISPLAY": xserver.name, "QT_QPA_PLATFORM": "xcb",
            "LANG": "C.UTF-8",
        }
        log_path = os.path.join(self.work.name, "program.log")
        with open(log_path, "wb") as log:
            program = subprocess.Popen(["/usr/bin/wristboat"], env=program_environment, cwd=home,
                                       stdout=log, stderr=subprocess.STDOUT)
        self.addCleanup(lambda: program.poll() is None and (program.kill(), program.wait()))

        def log_tail():
            with open(log_path, encoding="utf-8", errors="replace") as log:
                return log.read()[-3000:]

        window = wait_for(lambda: program.poll() is None and xserver.visible_window(MAIN_WINDOW_TITLE), 90)
        self.assertIsNotNone(window, f"no main window (exit code {program.poll()}):\n{log_tail()}")
        self.assertIn((256, 256), xserver.icon_sizes(window), "the window has not the program's icon")
        # The page view's renderer is forked by the engine's zygote process.
        renderer = wait_for(lambda: [pid for pid in process_tree(program.pid)
                                     if "QtWebEngineProcess" in command_line(pid) and
                                     "QtWebEngineProcess" in command_line(parent_of(pid))], 60)
        self.assertTrue(renderer, "the page view started no web-engine renderer")
        files = mapped_files(process_tree(program.pid))

        packages = installed_packages()
        roots = minimal_system(packages) + [PACKAGE]
        closure = dependency_closure(roots, packages)
        owners = file_owners()
        outside, unowned = [], []
        for path in sorted(filter(system_file, files)):
            owner = owner_of(path, owners)
            if owner is None:
                if not generated_file(path):
                    unowned.append(path)
            elif owner not in closure:
                outside.append(f"{path} ({owner})")
        self.assertEqual(outside, [], "mapped files from packages a clean machine would not get")
        self.assertEqual(unowned, [], "mapped files no package provides")
        font_packages = {owner_of(path, owners) for path in files} & {"fonts-noto-cjk", "fonts-arphic-ukai"}
        self.assertTrue(font_packages, "no CJK face of the packaged fonts in use")

        xserver.ask_to_close(window)
        try:
            code = program.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.fail("the program did not end when its window was closed")
        self.assertEqual(code, 0, log_tail())


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
