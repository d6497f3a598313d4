"""Loopback peers of the end-to-end scenarios: the update service, the verification-code service,
a black hole where the update service should be, and the SMTP server with login.

Each listens on the fixed 127.0.0.1 port that the scenario build of the program has built in,
runs on threads of the driver's process, records what it receives and stops on close().
"""

import http.server
import logging
import os
import socket
import sys
import tempfile
import threading
import time
import warnings

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import smtp_peer  # noqa: E402  (the shared aiosmtpd peer of the SMTP client tests)

from driver import Failure  # noqa: E402


def _port_in_use_failure(name, port, error):
    return Failure(f"the {name} cannot listen on 127.0.0.1:{port} ({error}); "
                   "is another end-to-end run using the port?")


class _Recorded:
    """Thread-safe list of what a peer received."""

    def __init__(self):
        self._lock = threading.Lock()
        self._items = []

    def add(self, item):
        with self._lock:
            self._items.append(item)

    def items(self):
        with self._lock:
            return list(self._items)


class _HttpPeer:
    """A threaded HTTP server whose handler answers through respond(method, target, body)."""

    name = "HTTP peer"

    def __init__(self, port):
        self.requests = _Recorded()  # (method, target, body bytes) of each request, in order
        peer = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def _answer(self):
                length = int(self.headers.get("Content-Length") or 0)
                body = self.rfile.read(length) if length else b""
                peer.requests.add((self.command, self.path, body))
                status, content_type, content = peer.respond(self.command, self.path)
                self.send_response(status)
                self.send_header("Content-Type", content_type)
                self.send_header("Content-Length", str(len(content)))
                self.send_header("Connection", "close")
                self.end_headers()
                self.wfile.write(content)
                self.close_connection = True

            do_GET = _answer
            do_POST = _answer

            def log_message(self, *arguments):
                pass

        class Server(http.server.ThreadingHTTPServer):
            allow_reuse_address = True
            daemon_threads = True

        try:
            self._server = Server(("127.0.0.1", port), Handler)
        except OSError as error:
            raise _port_in_use_failure(self.name, port, error) from None
        self._thread = threading.Thread(target=self._server.serve_forever, kwargs={"poll_interval": 0.05},
                                        daemon=True)
        self._thread.start()

    def respond(self, method, target):
        raise NotImplementedError

    def close(self):
        self._server.shutdown()
        self._server.server_close()
        self._thread.join(timeout=5)


class UpdateService(_HttpPeer):
    """Answers version checks with a fixed "|"-separated reply (UTF-8) and the notes page with a
    small page."""

    name = "update service"

    def __init__(self, port, reply):
        self._reply = reply.encode("utf-8")
        super().__init__(port)

    def respond(self, method, target):
        if method == "GET" and target.startswith("/api/checkVersion?") and target.endswith("&html=true.html"):
            return 200, "text/html; charset=utf-8", "<html><body><p>更新说明</p></body></html>".encode()
        if method == "GET" and target.startswith("/api/checkVersion?"):
            return 200, "text/plain; charset=utf-8", self._reply
        return 404, "text/plain", b"not found"

    def version_checks(self):
        return [target for method, target, _ in self.requests.items()
                if target.startswith("/api/checkVersion?") and not target.endswith("&html=true.html")]

    def notes_requests(self):
        return [target for _, target, _ in self.requests.items() if target.endswith("&html=true.html")]


class CodeService(_HttpPeer):
    """The verification-code service: every POST on its path gets the same reply (GBK bytes)."""

    name = "verification-code service"
    path = "/others/api/lp/xtcapi/jymapi.php"

    def __init__(self, port, reply):
        self._reply = reply.encode("gbk")
        super().__init__(port)

    def respond(self, method, target):
        if method == "POST" and target == self.path:
            return 200, "text/html; charset=gbk", self._reply
        return 404, "text/plain", b"not found"


class BlackHole:
    """A port that takes every connection and never reads from it nor answers; counts them."""

    name = "black hole"

    def __init__(self, port):
        self._socket = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._socket.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            self._socket.bind(("127.0.0.1", port))
        except OSError as error:
            self._socket.close()
            raise _port_in_use_failure(self.name, port, error) from None
        self._socket.listen(16)
        self._socket.settimeout(0.05)
        self._held = []
        self._lock = threading.Lock()
        self._closing = threading.Event()
        self._thread = threading.Thread(target=self._hold_connections, daemon=True)
        self._thread.start()

    def _hold_connections(self):
        while not self._closing.is_set():
            try:
                connection, _ = self._socket.accept()
            except (socket.timeout, OSError):
                continue
            with self._lock:
                self._held.append(connection)

    def connections(self):
        with self._lock:
            return len(self._held)

    def close(self):
        self._closing.set()
        self._thread.join(timeout=5)
        self._socket.close()
        with self._lock:
            for connection in self._held:
                connection.close()


class SmtpServer:
    """An SMTP server that requires login (no TLS) and keeps each accepted message."""

    name = "SMTP server"

    def __init__(self, port, user, password):
        self._directory = tempfile.mkdtemp(prefix="wristboat-e2e-mail-")
        # Login without TLS is what the scenarios want; keep aiosmtpd's warnings about it quiet.
        warnings.simplefilter("ignore")
        logging.getLogger("mail.log").setLevel(logging.ERROR)
        self._controller = smtp_peer.LoopbackController(
            smtp_peer.Recorder(self._directory, 0.0),
            hostname="127.0.0.1",
            port=port,
            ready_timeout=10,
            authenticator=smtp_peer.Authenticator(user, password, False),
            auth_required=True,
            auth_require_tls=False,
        )
        try:
            self._controller.start()
        except Exception as error:  # aiosmtpd reports a busy port in several ways
            raise _port_in_use_failure(self.name, port, error) from None

    def messages(self):
        """The accepted messages, in order: dicts of the recorded parts (bytes)."""
        numbers = sorted(int(name) for name in os.listdir(self._directory) if name.isdigit())
        messages = []
        for number in numbers:
            folder = os.path.join(self._directory, str(number))
            message = {}
            for part in os.listdir(folder):
                with open(os.path.join(folder, part), "rb") as file:
                    message[part] = file.read()
            messages.append(message)
        return messages

    def close(self):
        self._controller.stop()
        for folder, _, files in os.walk(self._directory, topdown=False):
            for file in files:
                os.remove(os.path.join(folder, file))
            os.rmdir(folder)


class BrowserRecord:
    """What the recording xdg-open (bin/xdg-open, first on the program's PATH) was handed."""

    def __init__(self, path):
        self.path = path
        open(path, "wb").close()

    def addresses(self):
        with open(self.path, encoding="utf-8") as file:
            return [line.rstrip("\n") for line in file]

    def wait_for(self, count, timeout):
        """Polls until at least count addresses have been handed over; returns all of them."""
        deadline = time.monotonic() + timeout
        while True:
            addresses = self.addresses()
            if len(addresses) >= count:
                return addresses
            if time.monotonic() >= deadline:
                raise Failure(f"the browser was handed {len(addresses)} address(es) within {timeout:g} s, "
                              f"expected {count}: {addresses}")
            time.sleep(0.02)
