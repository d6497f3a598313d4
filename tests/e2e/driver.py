"""Drives the real program as a person or a screen reader would: controls are found by role and
accessible name and pressed or read over the accessibility bus (AT-SPI); the mouse, the keyboard
and the windows' close buttons go through the X server (XTEST and client messages), since there
is no window manager.

Every wait polls a condition up to a deadline; nothing sleeps for a fixed time.
"""

import os
import shutil
import signal
import subprocess
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402
from Xlib import X, XK, error as xerror, display as xdisplay, protocol  # noqa: E402
from Xlib.ext import xtest  # noqa: E402

POLL_INTERVAL = 0.02
# Answers from the program come in milliseconds; a blocked program must not block the driver.
Atspi.set_timeout(5000, 10000)

Role = Atspi.Role


class Failure(Exception):
    """An expectation of a scenario not met; the message says which, in the user's terms."""


def poll(what, timeout, probe):
    """Calls probe until it returns a true value, which is returned; fails after timeout seconds.
    A probe that trips over an object going away meanwhile counts as not yet."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            result = probe()
        except GLib.Error:
            result = None
        if result:
            return result
        if time.monotonic() >= deadline:
            raise Failure(f"{what}: not seen within {timeout:g} s")
        time.sleep(POLL_INTERVAL)


def has_state(node, state):
    try:
        return node.get_state_set().contains(state)
    except GLib.Error:
        return False  # gone while we looked


def is_showing(node):
    return has_state(node, Atspi.StateType.SHOWING)


def role_of(node):
    try:
        return node.get_role()
    except GLib.Error:
        return None  # gone while we looked


def name_of(node):
    try:
        return node.get_name()
    except GLib.Error:
        return None


def _children(node):
    try:
        return [child for child in (node.get_child_at_index(i) for i in range(node.get_child_count())) if child]
    except GLib.Error:
        return []


def describe(node):
    try:
        return f"{node.get_role_name()} \"{node.get_name()}\""
    except GLib.Error:
        return "(gone)"


def find_all(root, role, name=None, showing=True):
    """Descendants of root with the role (and the accessible name, when given), depth first.
    With showing, only those on screen: hidden pages stay in the tree, so their subtrees are
    skipped. Web page content is never entered."""
    found = []
    stack = list(reversed(_children(root)))
    while stack:
        node = stack.pop()
        try:
            node_role = node.get_role()
            if showing and not is_showing(node):
                continue
            if node_role == role and (name is None or node.get_name() == name):
                found.append(node)
            if node_role == Role.DOCUMENT_WEB:
                continue
        except GLib.Error:
            continue
        stack.extend(reversed(_children(node)))
    return found


def find_one(root, role, name, timeout, showing=True):
    """The one showing control with the role (and the name, when given) under root, waiting for
    it to appear."""
    what = Atspi.role_get_name(role) + ("" if name is None else f" \"{name}\"")

    def probe():
        matches = find_all(root, role, name, showing)
        if len(matches) > 1:
            raise Failure(f"{len(matches)} of {what} under {describe(root)}, expected one")
        return matches[0] if matches else None

    return poll(f"{what} under {describe(root)}", timeout, probe)


# Controls a person operates; each needs an accessible name for screen readers to announce it.
OPERATED_ROLES = (Role.PUSH_BUTTON, Role.TOGGLE_BUTTON, Role.CHECK_BOX, Role.RADIO_BUTTON, Role.MENU_ITEM,
                  Role.COMBO_BOX, Role.TEXT)


def unnamed_controls(root):
    """The showing controls under root that a person operates and that have no accessible name.
    Text boxes count when editable; a drop-down list's own edit field is part of the list."""
    unnamed = []
    stack = [(child, root) for child in reversed(_children(root))]
    while stack:
        node, parent = stack.pop()
        try:
            if not is_showing(node) or node.get_role() == Role.DOCUMENT_WEB:
                continue
            role = node.get_role()
            operated = role in OPERATED_ROLES and (
                role != Role.TEXT or (has_state(node, Atspi.StateType.EDITABLE)
                                      and parent.get_role() != Role.COMBO_BOX))
            if operated and not node.get_name():
                unnamed.append(f"{node.get_role_name()} at {centre_of(node)}")
        except GLib.Error:
            continue
        stack.extend((child, node) for child in reversed(_children(node)))
    return unnamed


def labelled_by(root, label, timeout):
    """The control that the showing label with this text describes (its "label for" relation),
    as a screen reader finds it."""

    def probe():
        for node in find_all(root, Role.LABEL, label):
            try:
                for relation in node.get_relation_set():
                    if relation.get_relation_type() == Atspi.RelationType.LABEL_FOR and relation.get_n_targets():
                        return relation.get_target(0)
            except GLib.Error:
                continue
        return None

    return poll(f"the control labelled \"{label}\"", timeout, probe)


def press(control):
    """Presses a button or a menu item through its accessible action (the call returns at once:
    a pushed button clicks after the reply)."""
    try:
        names = [control.get_action_name(i).lower() for i in range(control.get_n_actions())]
        for action in ("press", "click", "activate"):
            if action in names:
                control.do_action(names.index(action))
                return
    except GLib.Error as failure:
        raise Failure(f"pressing {describe(control)} failed: {failure.message}") from None
    raise Failure(f"{describe(control)} offers no press action (actions: {names})")


def text_of(control):
    """The whole text of an entry box or text box."""
    try:
        return control.get_text(0, control.get_character_count())
    except GLib.Error as failure:
        raise Failure(f"reading the text of {describe(control)} failed: {failure.message}") from None


def centre_of(control):
    extents = control.get_extents(Atspi.CoordType.SCREEN)
    if extents.width <= 0 or extents.height <= 0:
        raise Failure(f"{describe(control)} has no area on screen")
    return extents.x + extents.width // 2, extents.y + extents.height // 2


class Program:
    """The program under test, started in its own log; stop() ends it on every way out."""

    def __init__(self, executable, environment, log_path):
        self.log_path = log_path
        self._log = open(log_path, "wb")
        self.started = time.monotonic()
        try:
            self.process = subprocess.Popen([executable], env=environment, stdin=subprocess.DEVNULL,
                                            stdout=self._log, stderr=subprocess.STDOUT)
        except OSError as failure:
            self._log.close()
            raise Failure(f"the program {executable} could not be started: {failure}") from None
        self._application = None

    def seconds_since_start(self):
        return time.monotonic() - self.started

    def exit_code(self):
        return self.process.poll()

    def _require_running(self, what):
        code = self.process.poll()
        if code is not None:
            raise Failure(f"{what}: the program ended (exit code {code}) instead")

    def application(self, timeout=15):
        """The program's node on the accessibility bus, found by its process id."""
        if self._application is None:
            desktop = Atspi.get_desktop(0)

            def probe():
                self._require_running("waiting for the program on the accessibility bus")
                for application in _children(desktop):
                    try:
                        if application.get_process_id() == self.process.pid:
                            return application
                    except GLib.Error:
                        continue
                return None

            self._application = poll("the program on the accessibility bus", timeout, probe)
        return self._application

    def windows(self, title=None):
        """The program's top-level windows on screen: frames, dialogs, message boxes (alerts) and
        plain widgets shown as windows (fillers)."""
        application = self.application()
        application.clear_cache()
        found = []
        for node in _children(application):
            try:
                if is_showing(node) and (title is None or node.get_name() == title):
                    found.append(node)
            except GLib.Error:
                continue
        return found

    def window(self, title, timeout):
        """The one window with the title, waiting for it to be shown."""

        def probe():
            self._require_running(f"waiting for the window \"{title}\"")
            windows = self.windows(title)
            if len(windows) > 1:
                raise Failure(f"{len(windows)} windows \"{title}\" are open, expected one")
            return windows[0] if windows else None

        return poll(f"the window \"{title}\"", timeout, probe)

    def wait_window_gone(self, title, timeout):
        poll(f"the window \"{title}\" closing", timeout, lambda: not self.windows(title))

    def message_box(self, text, timeout):
        """The message box showing the text (a label of it), waiting for it to appear."""

        def probe():
            self._require_running(f"waiting for the message \"{text}\"")
            for box in self.windows():
                if role_of(box) == Role.ALERT and find_all(box, Role.LABEL, text):
                    return box
            return None

        return poll(f"the message box \"{text}\"", timeout, probe)

    def wait_exit(self, timeout):
        """The exit code once the program has ended by itself."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"the program was still running {timeout:g} s later, expected it to end") from None

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=3)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=5)
        self._log.close()

    def log_tail(self, lines=30):
        with open(self.log_path, "rb") as file:
            return b"\n".join(file.read().splitlines()[-lines:]).decode("utf-8", "replace")


class XInput:
    """Mouse, keyboard and window-manager requests through the X server the program uses."""

    def __init__(self):
        self.display = xdisplay.Display(os.environ["DISPLAY"])
        self._net_wm_name = self.display.intern_atom("_NET_WM_NAME")
        self._utf8 = self.display.intern_atom("UTF8_STRING")

    def close(self):
        self.display.close()

    def _title_of(self, window):
        value = window.get_full_property(self._net_wm_name, self._utf8)
        return value.value.decode("utf-8", "replace") if value else None

    def top_level(self, title, timeout=5):
        """The mapped top-level X window with the title (no window manager: a child of the root)."""

        def probe():
            for window in self.display.screen().root.query_tree().children:
                try:
                    if window.get_attributes().map_state == X.IsViewable and self._title_of(window) == title:
                        return window
                except xerror.XError:
                    continue  # gone while we looked
            return None

        return poll(f"the X window \"{title}\"", timeout, probe)

    def activate(self, title):
        """Raises the window and gives it the keyboard focus, as a window manager does when the
        window is clicked."""
        window = self.top_level(title)
        window.configure(stack_mode=X.Above)
        window.set_input_focus(X.RevertToParent, X.CurrentTime)
        self.display.sync()

    def request_close(self, title):
        """The title bar's close button: WM_DELETE_WINDOW to the window."""
        window = self.top_level(title)
        protocols = self.display.intern_atom("WM_PROTOCOLS")
        delete = self.display.intern_atom("WM_DELETE_WINDOW")
        message = protocol.event.ClientMessage(window=window, client_type=protocols,
                                               data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(message, event_mask=X.NoEventMask)
        self.display.sync()

    def click(self, control):
        """A left click in the middle of the control."""
        x, y = centre_of(control)
        xtest.fake_input(self.display, X.MotionNotify, x=x, y=y)
        xtest.fake_input(self.display, X.ButtonPress, 1)
        xtest.fake_input(self.display, X.ButtonRelease, 1)
        self.display.sync()

    def _keycode(self, key):
        keycode = self.display.keysym_to_keycode(XK.string_to_keysym(key))
        if not keycode:
            raise Failure(f"the X keyboard has no key {key!r}")
        return keycode

    def key(self, key, *modifiers):
        """Presses and releases a key (an X keysym name: "Down", "a", "minus"), holding modifiers."""
        held = [self._keycode(modifier) for modifier in modifiers]
        for keycode in held:
            xtest.fake_input(self.display, X.KeyPress, keycode)
        keycode = self._keycode(key)
        xtest.fake_input(self.display, X.KeyPress, keycode)
        xtest.fake_input(self.display, X.KeyRelease, keycode)
        for keycode in reversed(held):
            xtest.fake_input(self.display, X.KeyRelease, keycode)
        self.display.sync()

    def type(self, text):
        """Types lower-case letters, digits and "-" as key presses."""
        for character in text:
            self.key("minus" if character == "-" else character)


def _text_interface_text(node):
    """The node's own text through the Text interface; empty when it has none."""
    try:
        if node.get_text_iface() is None:
            return ""
        return node.get_text(0, node.get_character_count()) or ""
    except GLib.Error:
        return ""


def web_page_text(root):
    """The text of the showing web page under root as a screen reader reads it: the names and texts
    of every node in its document, in document order, one per line. Empty when no web page shows."""
    lines = []
    for document in find_all(root, Role.DOCUMENT_WEB):
        stack = [document]
        while stack:
            node = stack.pop()
            for piece in (name_of(node), _text_interface_text(node)):
                piece = (piece or "").replace("\ufffc", "").strip()
                if piece and (not lines or lines[-1] != piece):
                    lines.append(piece)
            stack.extend(reversed(_children(node)))
    return "\n".join(lines)


def wait_web_page_text(root, expected, timeout):
    """The text of the web page under root once it holds every one of the expected texts."""
    seen = {"text": ""}

    def probe():
        seen["text"] = web_page_text(root)
        return all(text in seen["text"] for text in expected)

    try:
        poll(f"the web page showing {expected!r}", timeout, probe)
    except Failure:
        raise Failure(f"the web page's text on the accessibility bus is {seen['text']!r}, "
                      f"expected it to hold {expected!r}") from None
    return seen["text"]


class WindowManager:
    """A real window manager (openbox) on the X server the program uses, for the scenarios that
    look at the windows as a desktop frames them; ended by close()."""

    def __init__(self):
        if not shutil.which("openbox"):
            raise Failure("openbox is missing: run scripts/bootstrap")
        self.process = subprocess.Popen(["openbox", "--sm-disable"], stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.display = xdisplay.Display(os.environ["DISPLAY"])
        check = self.display.intern_atom("_NET_SUPPORTING_WM_CHECK")
        root = self.display.screen().root

        def running():
            if self.process.poll() is not None:
                raise Failure(f"openbox ended at once (exit code {self.process.returncode})")
            return root.get_full_property(check, X.AnyPropertyType) is not None

        poll("the window manager running", 10, running)

    def frame_of(self, title, timeout=5):
        """The outer rectangle (x, y, width, height) of the frame around the mapped window with the
        title, once the window manager has put one around it."""
        name = self.display.intern_atom("_NET_WM_NAME")
        utf8 = self.display.intern_atom("UTF8_STRING")
        root = self.display.screen().root

        def titled(window):
            try:
                value = window.get_full_property(name, utf8)
                if value and value.value.decode("utf-8", "replace") == title:
                    return window
                for child in window.query_tree().children:
                    found = titled(child)
                    if found:
                        return found
            except xerror.XError:
                pass
            return None

        def probe():
            for frame in root.query_tree().children:
                try:
                    if frame.get_attributes().map_state != X.IsViewable:
                        continue
                    client = titled(frame)
                    if client is None or client == frame:
                        continue
                    geometry = frame.get_geometry()
                    border = geometry.border_width
                    return (geometry.x, geometry.y, geometry.width + 2 * border, geometry.height + 2 * border)
                except xerror.XError:
                    continue
            return None

        return poll(f"the frame of the window \"{title}\"", timeout, probe)

    def screen_size(self):
        screen = self.display.screen()
        return screen.width_in_pixels, screen.height_in_pixels

    def close(self):
        self.display.close()
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=3)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=5)
