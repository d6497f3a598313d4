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
With --command-log, every command of every session is also appended to that file as it arrives,
one a line: the verb and "tls" or "plain" for the channel it came over; and every login attempt
as "LOGIN <tls|plain> <user> <password>" (the credentials as the server received them).
With --tls-certificate and --tls-key the server offers STARTTLS with that certificate;
--refuse-starttls makes it offer STARTTLS but answer the command with 454.
"""

import argparse
import asyncio
import email
import email.policy
import logging
import os
import ssl
import sys
import tempfile
import threading
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def channel(session):
    return "tls" if session.ssl is not None else "plain"


class CommandLog:
    """Appends one line per event to a file, written through before the server answers."""

    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()

    def write(self, line):
        with self.lock, open(self.path, "a", encoding="utf-8") as file:
            file.write(line + "\n")


class Recorder:
    def __init__(self, directory, reply_delay, stall_after_data=False, trickle_after_data=False):
        self.directory = directory
        self.reply_delay = reply_delay
        self.stall_after_data = stall_after_data
        self.trickle_after_data = trickle_after_data
        self.count = 0
        self.lock = threading.Lock()

    async def handle_DATA(self, server, session, envelope):
        if self.stall_after_data:
            # The message has come in whole; its answer, and any answer after it, never comes.
            await asyncio.get_running_loop().create_future()
        while self.trickle_after_data:
            # Always about to answer, never answering: a continuation line now and then.
            server._writer.write(b"250-Still working on it\r\n")
            await asyncio.sleep(0.4)
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
    def __init__(self, user, password, refuse, log=None):
        self.expected = (user.encode(), password.encode())
        self.refuse = refuse
        self.log = log

    def __call__(self, server, session, envelope, mechanism, auth_data):
        if self.log is not None and isinstance(auth_data, LoginPassword):
            user = auth_data.login.decode(errors="replace")
            password = auth_data.password.decode(errors="replace")
            self.log.write("LOGIN %s %s %s" % (channel(session), user, password))
        accepted = (
            not self.refuse
            and isinstance(auth_data, LoginPassword)
            and (auth_data.login, auth_data.password) == self.expected
        )
        return AuthResult(success=accepted, handled=False, auth_data=auth_data if accepted else None)


class LoggingSMTP(SMTP):
    """Writes each command to the log before handling it; can refuse STARTTLS while offering it."""

    def __init__(self, handler, *, log=None, refuse_starttls=False, **parameters):
        super().__init__(handler, **parameters)
        self.refuse_starttls = refuse_starttls
        if log is not None:
            for verb, method in list(self._smtp_methods.items()):
                self._smtp_methods[verb] = self._logged(log, verb, method)

    def _logged(self, log, verb, method):
        async def logged(arg):
            log.write("%s %s" % (verb, channel(self.session)))
            return await method(arg)

        return logged

    async def smtp_STARTTLS(self, arg):
        if self.refuse_starttls:
            await self.push("454 4.7.0 TLS not available due to temporary reason")
            return
        return await super().smtp_STARTTLS(arg)


class LoopbackController(Controller):
    """Binds to port 0 and learns the port before the start-up probe connects to it."""

    def __init__(self, handler, *, log=None, refuse_starttls=False, **parameters):
        self.log = log
        self.refuse_starttls = refuse_starttls
        super().__init__(handler, **parameters)

    def factory(self):
        return LoggingSMTP(self.handler, log=self.log, refuse_starttls=self.refuse_starttls,
                           **self.SMTP_kwargs)

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
    parser.add_argument("--stall-after-data", action="store_true",
                        help="never answer a message, nor anything after it")
    parser.add_argument("--trickle-after-data", action="store_true",
                        help="answer a message with continuation lines that never end")
    parser.add_argument("--command-log", help="file to append every command and login to")
    parser.add_argument("--tls-certificate", help="offer STARTTLS with this certificate (PEM)")
    parser.add_argument("--tls-key", help="the certificate's private key (PEM)")
    parser.add_argument("--refuse-starttls", action="store_true",
                        help="offer STARTTLS but answer it with 454")
    arguments = parser.parse_args()
    log = CommandLog(arguments.command_log) if arguments.command_log else None
    tls = {}
    if arguments.tls_certificate:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(arguments.tls_certificate, arguments.tls_key)
        tls = {"tls_context": context, "require_starttls": False}
    # Login without TLS is what most tests want; keep aiosmtpd's warnings about it out of their
    # output.
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.ERROR)

    controller = LoopbackController(
        Recorder(arguments.directory, arguments.reply_delay, arguments.stall_after_data,
                 arguments.trickle_after_data),
        log=log,
        refuse_starttls=arguments.refuse_starttls,
        hostname="127.0.0.1",
        port=0,
        ready_timeout=10,
        authenticator=Authenticator(arguments.user, arguments.password, arguments.refuse_login,
                                    log),
        auth_required=True,
        auth_require_tls=False,
        **tls,
    )
    controller.start()
    print(controller.port, flush=True)
    sys.stdin.buffer.read()
    controller.stop()


if __name__ == "__main__":
    main()
