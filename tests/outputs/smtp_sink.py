#!/usr/bin/env python3
"""An SMTP server on loopback for the mail dispatch tests.

Every accepted message is stored as a folder message-<n> in --dir:
  raw.eml       the data as received (dot-stuffing undone)
  message.json  envelope, headers as a mail reader decodes them, the MIME
                parts and every defect the parser found
  body.txt      the decoded bytes of the first text/plain part without a name
  attachment-<i>  the decoded bytes of each named part, in order
A folder appears only once complete, before the server answers the data, so
a client that got its "250" finds the files in place.

Recipients containing "refused" are rejected with 550. With --user and
--password, AUTH is offered and only that pair is accepted.

Prints "ready <port>" once listening; stops when its standard input closes.
"""

import argparse
import json
import logging
import os
import ssl
import sys
import warnings

from email import policy
from email.parser import BytesParser

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

warnings.filterwarnings("ignore")


class LoopbackController(Controller):
    """Listens on a port the system chooses (port 0)."""

    def _trigger_server(self):
        self.port = self.server.sockets[0].getsockname()[1]
        super()._trigger_server()


def header_values(message, name):
    return [str(value) for value in message.get_all(name, [])]


def header_defects(message):
    found = []
    for name, value in message.items():
        for defect in getattr(value, "defects", []):
            found.append("%s: %s" % (name, type(defect).__name__))
    return found


def describe(raw, folder):
    message = BytesParser(policy=policy.default).parsebytes(raw)
    defects = [type(d).__name__ for d in message.defects] + header_defects(message)
    date = message["Date"]
    result = {
        "headers": {
            name: header_values(message, name)
            for name in ("From", "To", "Cc", "Subject", "Date", "Message-ID", "MIME-Version")
        },
        "date_valid": date is not None and getattr(date, "datetime", None) is not None,
        "content_type": message.get_content_type(),
        "body": None,
        "attachments": [],
    }
    for part in message.walk():
        defects += [type(d).__name__ for d in part.defects]
        if part.is_multipart():
            continue
        payload = part.get_payload(decode=True) or b""
        entry = {
            "content_type": part.get_content_type(),
            "charset": part.get_content_charset(),
            "encoding": part.get("Content-Transfer-Encoding", ""),
            "disposition": part.get_content_disposition(),
        }
        filename = part.get_filename()
        if filename is None and result["body"] is None and entry["content_type"] == "text/plain":
            entry["file"] = "body.txt"
            result["body"] = entry
        else:
            entry["filename"] = filename
            entry["file"] = "attachment-%d" % len(result["attachments"])
            result["attachments"].append(entry)
        with open(os.path.join(folder, entry["file"]), "wb") as f:
            f.write(payload)
    result["defects"] = defects
    return result


class Sink:
    def __init__(self, directory):
        self.directory = directory
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if "refused" in address.lower():
            return "550 5.1.1 Recipient address rejected"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        final = os.path.join(self.directory, "message-%d" % self.count)
        folder = final + ".part"
        os.makedirs(folder)
        raw = envelope.original_content
        with open(os.path.join(folder, "raw.eml"), "wb") as f:
            f.write(raw)
        info = describe(raw, folder)
        info["mail_from"] = envelope.mail_from
        info["rcpt_tos"] = envelope.rcpt_tos
        info["tls"] = (session.ssl is not None  # after STARTTLS
                       or server.transport.get_extra_info("ssl_object") is not None)
        info["authenticated"] = bool(session.authenticated)
        with open(os.path.join(folder, "message.json"), "w", encoding="utf-8") as f:
            json.dump(info, f, ensure_ascii=False, indent=1)
        os.rename(folder, final)
        return "250 OK stored"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--mode", choices=("plain", "starttls", "ssl"), default="plain")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--verbose", action="store_true", help="log every session")
    args = parser.parse_args()
    # Refused handshakes are part of the tests; their tracebacks are noise.
    logging.getLogger("mail.log").setLevel(logging.DEBUG if args.verbose else logging.CRITICAL)
    if args.verbose:
        logging.basicConfig()

    options = {
        # No name lookup of this machine: it can stall where there is no DNS.
        "server_hostname": "sink.test",
        "auth_require_tls": False,
    }
    if args.user:
        def authenticate(server, session, envelope, mechanism, auth_data):
            good = (isinstance(auth_data, LoginPassword)
                    and auth_data.login == args.user.encode()
                    and auth_data.password == args.password.encode())
            return AuthResult(success=good, handled=False)
        options["authenticator"] = authenticate
    if args.mode != "plain":
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)
        if args.mode == "starttls":
            options["tls_context"] = context
            options["require_starttls"] = True
        else:
            options["ssl_context"] = context

    controller = LoopbackController(Sink(args.dir), hostname="127.0.0.1", port=args.port,
                                    **options)
    controller.start()
    print("ready", controller.port, flush=True)
    try:
        sys.stdin.read()
    except KeyboardInterrupt:
        pass
    controller.stop()


if __name__ == "__main__":
    main()
