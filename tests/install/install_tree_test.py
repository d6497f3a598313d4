"""cmake --install into a fresh prefix: the executable, the menu entry, the icon in every hicolor
size and the AppStream metainfo land in their standard places, and the desktop's own validators
accept them.

usage: install_tree_test.py <cmake> <build dir> <desktop id> <version>
"""
import configparser
import os
import shlex
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

CMAKE, BUILD_DIR, DESKTOP_ID, VERSION = sys.argv[1:5]
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


def png_size(path):
    with open(path, "rb") as file:
        head = file.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, timeout=60)


class InstalledTree(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory(prefix="wristboat-install-")
        cls.root = cls.work.name
        cls.prefix = os.path.join(cls.root, "usr")
        done = run(CMAKE, "--install", BUILD_DIR, "--prefix", cls.prefix)
        if done.returncode != 0:
            raise AssertionError("cmake --install failed:\n" + done.stdout + done.stderr)
        cls.desktop_file = os.path.join(cls.prefix, "share/applications", DESKTOP_ID + ".desktop")
        cls.metainfo_file = os.path.join(cls.prefix, "share/metainfo", DESKTOP_ID + ".metainfo.xml")

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    def desktop_entry(self):
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str  # keys are case-sensitive
        parser.read(self.desktop_file, encoding="utf-8")
        return parser["Desktop Entry"]

    def test_every_file_is_in_its_standard_place(self):
        executable = os.path.join(self.prefix, "bin/wristboat")
        self.assertTrue(os.access(executable, os.X_OK), executable)
        self.assertTrue(os.path.isfile(self.desktop_file))
        self.assertTrue(os.path.isfile(self.metainfo_file))
        for size in ICON_SIZES:
            with self.subTest(size=size):
                icon = os.path.join(self.prefix, f"share/icons/hicolor/{size}x{size}/apps/{DESKTOP_ID}.png")
                self.assertEqual(png_size(icon), (size, size), icon)

    def test_desktop_entry_passes_desktop_file_validate(self):
        checked = run("desktop-file-validate", self.desktop_file)
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        self.assertEqual(checked.stdout + checked.stderr, "", "hints or warnings")

    def test_desktop_entry_names_the_program_its_icon_and_its_executable(self):
        entry = self.desktop_entry()
        self.assertEqual(entry["Type"], "Application")
        self.assertEqual(entry["Name"], "栎湾腕舟助手")
        self.assertEqual(entry["Name[en]"], "Wristboat Assistant")
        self.assertTrue(entry["Comment"])
        self.assertTrue(entry["Comment[en]"])
        self.assertIn("Utility", entry["Categories"].split(";"))
        self.assertEqual(entry["Icon"], DESKTOP_ID)
        program = shlex.split(entry["Exec"])[0]
        self.assertTrue(os.access(os.path.join(self.prefix, "bin", program), os.X_OK), program)
        self.assertEqual(entry["StartupWMClass"], program)  # Qt's WM_CLASS is the executable's name

    def test_metainfo_passes_appstreamcli_validate(self):
        for command in (("validate", "--no-net", self.metainfo_file), ("validate-tree", "--no-net", self.root)):
            with self.subTest(command=command[0]):
                checked = run("appstreamcli", *command)
                self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)

    def test_metainfo_describes_this_build(self):
        with open(self.metainfo_file, encoding="utf-8") as file:
            text = file.read()
        self.assertNotRegex(text, r"@[A-Z_]+@", "unfilled placeholder")
        component = ElementTree.fromstring(text)
        self.assertEqual(component.get("type"), "desktop-application")
        self.assertEqual(component.findtext("id"), DESKTOP_ID)
        self.assertEqual(component.findtext("name"), "栎湾腕舟助手")
        self.assertEqual(component.findtext("launchable"), DESKTOP_ID + ".desktop")
        self.assertEqual(component.findtext("provides/binary"), "wristboat")
        self.assertEqual(component.find("releases/release").get("version"), VERSION)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
