"""Loopback SMTP server with login for the tests, on aiosmtpd.

Listens on 127.0.0.1 at a port the system picks, prints that port on a line of its own, and runs
until its standard input closes. Each accepted message is written into a directory of its own,
<directory>/<n> (n = 1, 2, ...), which appears complete in one rename:
  raw           the message bytes as they came after DATA
  mail_from     the envelope sender
  rcpt_tos      the envelope recipients, one a line
  login         the user name that logged in
  password      the password it used
  subject       the Subject header as a mail reader decodes it, UTF-8
  content_type  the media type of the body (text/plain)
  charset       the charset parameter of its Content-Type, as sent
  body          the body after its transfer encoding is undone (the charset's bytes)
"""

import argparse
import asyncio
import email
import email.policy
import logging
import os
import sys
import tempfile
import threading
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


class Recorder:
    def __init__(self, directory, reply_delay):
        self.directory = directory
        self.reply_delay = reply_delay
        self.count = 0
        self.lock = threading.Lock()

    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content
        message = email.message_from_bytes(raw, policy=email.policy.default)
        login = session.auth_data.login if isinstance(session.auth_data, LoginPassword) else b""
        password = session.auth_data.password if isinstance(session.auth_data, LoginPassword) else b""
        files = {
            "raw": raw,
            "mail_from": envelope.mail_from.encode(),
            "rcpt_tos": "".join(to + "\n" for to in envelope.rcpt_tos).encode(),
            "login": login,
            "password": password,
            "subject": str(message.get("Subject", "")).encode("utf-8"),
            "content_type": message.get_content_type().encode(),
            "charset": str(message.get_param("charset") or "").encode(),
            "body": message.get_payload(decode=True) or b"",
        }
        with self.lock:
            self.count += 1
            number = self.count
        staging = tempfile.mkdtemp(dir=self.directory, prefix=".incoming-")
        for name, content in files.items():
            with open(os.path.join(staging, name), "wb") as file:
                file.write(content)
        os.rename(staging, os.path.join(self.directory, str(number)))
        await asyncio.sleep(self.reply_delay)
        return "250 Message accepted for delivery"


class Authenticator:
    def __init__(self, user, password, refuse):
        self.expected = (user.encode(), password.encode())
        self.refuse = refuse

    def __call__(self, server, session, envelope, mechanism, auth_data):
        accepted = (
            not self.refuse
            and isinstance(auth_data, LoginPassword)
            and (auth_data.login, auth_data.password) == self.expected
        )
        return AuthResult(success=accepted, handled=False, auth_data=auth_data if accepted else None)


class LoopbackController(Controller):
    """Binds to port 0 and learns the port before the start-up probe connects to it."""

    def _trigger_server(self):
        self.port = self.server.sockets[0].getsockname()[1]
        super()._trigger_server()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--directory", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--refuse-login", action="store_true")
    parser.add_argument("--reply-delay", type=float, default=0.0,
                        help="seconds to wait before accepting a message")
    arguments = parser.parse_args()
    # Login without TLS is what the tests want; keep aiosmtpd's warnings about it out of their output.
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.ERROR)

    controller = LoopbackController(
        Recorder(arguments.directory, arguments.reply_delay),
        hostname="127.0.0.1",
        port=0,
        ready_timeout=10,
        authenticator=Authenticator(arguments.user, arguments.password, arguments.refuse_login),
        auth_required=True,
        auth_require_tls=False,
    )
    controller.start()
    print(controller.port, flush=True)
    sys.stdin.buffer.read()
    controller.stop()


if __name__ == "__main__":
    main()
