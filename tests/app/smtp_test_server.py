#!/usr/bin/env python3
"""A local SMTP server for the mailing tests (aiosmtpd): STARTTLS or TLS with the test's
certificate, sign-in with one user, every accepted message kept in a folder, and the
faults a test asks for. Prints "PORT <n>" when it listens; ends when its input closes."""
import argparse
import base64
import json
import os
import socket
import ssl
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Handler:
    def __init__(self, args):
        self.args = args
        self.tempfails = args.tempfail
        self.count = 0

    def keep(self, envelope, kind):
        self.count += 1
        base = os.path.join(self.args.spool, "%03d" % self.count)
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content)
        with open(base + ".json", "w") as f:
            json.dump({"from": envelope.mail_from, "to": envelope.rcpt_tos, "kind": kind}, f)

    async def handle_DATA(self, server, session, envelope):
        rcpts = [r.lower() for r in envelope.rcpt_tos]
        if self.args.reject_to and self.args.reject_to.lower() in rcpts:
            return "550 5.7.1 Zustellung an dieses Postfach gesperrt"
        if self.tempfails > 0:
            self.tempfails -= 1
            return "451 4.3.0 Postfach voruebergehend nicht erreichbar"
        if self.args.drop_to and self.args.drop_to.lower() in rcpts:
            # Received, but the answer never comes: the connection just ends.
            self.keep(envelope, "dropped")
            server.transport.abort()
            return "250 never seen"
        self.keep(envelope, "accepted")
        return "250 2.0.0 Ok: queued"


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--spool", required=True)
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--implicit-tls", action="store_true")
    p.add_argument("--user")
    p.add_argument("--password")
    p.add_argument("--tempfail", type=int, default=0)
    p.add_argument("--reject-to")
    p.add_argument("--drop-to")
    p.add_argument("--oauth-user")
    p.add_argument("--oauth-token")
    args = p.parse_args()

    context = None
    if args.cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login.decode() == args.user
              and auth_data.password.decode() == args.password)
        return AuthResult(success=ok, handled=False)

    handler = Handler(args)
    if args.oauth_token:
        async def auth_XOAUTH2(server, auth_args):
            # RFC-less but common: "user=<mailbox>^Aauth=Bearer <token>^A^A", base64.
            if len(auth_args) > 1:
                data = base64.b64decode(auth_args[1])
            else:
                data = await server.challenge_auth("")
            expected = "user=%s\x01auth=Bearer %s\x01\x01" % (args.oauth_user, args.oauth_token)
            return AuthResult(success=data == expected.encode(), handled=False)
        handler.auth_XOAUTH2 = auth_XOAUTH2

    kwargs = {}
    if args.user or args.oauth_token:
        kwargs.update(authenticator=authenticator, auth_required=True,
                      auth_require_tls=bool(context))
    if context and args.implicit_tls:
        kwargs["ssl_context"] = context
    elif context:
        kwargs.update(tls_context=context, require_starttls=True)
    port = free_port()
    controller = Controller(handler, hostname="127.0.0.1", port=port, **kwargs)
    if context and args.implicit_tls:
        # The readiness check of the controller speaks plain text; skip it.
        controller._trigger_server = lambda: None
    controller.start()
    print("PORT %d" % port, flush=True)
    sys.stdin.read()
    controller.stop()


if __name__ == "__main__":
    main()
