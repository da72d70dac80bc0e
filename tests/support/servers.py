#!/usr/bin/python3
"""Local FTP and HTTP servers for the transfer tests, bound to 127.0.0.1 on a free port.

    servers.py ftp  --root DIR --user U --password P [--start DIR] [--no-mlsd] [--log FILE]
    servers.py http --root DIR [--auth-prefix /private --user U --password P]

The first line on standard output is "PORT <n>" once the server listens, or
"UNAVAILABLE <reason>" when a module it needs is missing (the caller skips its tests). The
server ends on SIGTERM and when standard input reaches its end, so it never outlives the test
process that started it.

FTP: one user with every permission under --root; --start is the login directory (relative to
the root) so that it can differ from "/"; --no-mlsd answers MLSD with 500 as older servers do;
--log writes every command received, one a line (the password masked). Passive data ports are
chosen by the system, so that tests running side by side never collide; active mode (PORT and
EPRT) works too.

HTTP: files under --root, GET and HEAD; Last-Modified from the file's time. Paths beginning with
--auth-prefix need Basic authentication (401 with WWW-Authenticate otherwise). The query changes
how a file is sent:
    ?nolength   no Content-Length; the body ends when the connection closes
    ?chunked    chunked transfer encoding (no Content-Length either)
    ?truncate   the full Content-Length, but only half of the body, then the connection closes
    ?slow=MS    the body in pieces of 1024 bytes, MS milliseconds apart (20 without a value)
    ?nomtime    no Last-Modified
"/_headers" answers with the request line and the request headers as the body, one a line
("Name: value"). "/_redirect?PATH" answers 302 with PATH as its Location. "/_sent?PATH" answers with the number of body bytes written so far for the
latest request of PATH (to see how far a client has let a transfer run ahead of its reader). A request in absolute form (as a proxy receives it) is served like any other;
its target shows in /_headers as the request line. A path ending in "/" that names a directory
is answered with that directory's index.html.
"""

import argparse
import base64
import email.utils
import os
import sys
import threading
import time
import urllib.parse


def announce(text):
    sys.stdout.write(text + "\n")
    sys.stdout.flush()


def end_with_stdin():
    def watch():
        try:
            while sys.stdin.buffer.read(4096):
                pass
        except Exception:
            pass
        os._exit(0)

    threading.Thread(target=watch, daemon=True).start()


def run_ftp(args):
    try:
        from pyftpdlib.authorizers import DummyAuthorizer
        from pyftpdlib.handlers import FTPHandler
        from pyftpdlib.servers import FTPServer
    except ImportError as e:
        announce("UNAVAILABLE pyftpdlib is not installed for %s (%s)" % (sys.executable, e))
        return 0
    import logging
    logging.basicConfig(level=logging.CRITICAL)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    log = open(args.log, "a", buffering=1, encoding="utf-8") if args.log else None
    start = "/" + args.start.strip("/") if args.start else "/"

    class Handler(FTPHandler):
        auth_failed_timeout = 0  # a wrong password is answered at once, not after 3 seconds
        banner = "tallyweb test server ready."

        def pre_process_command(self, line, cmd, arg):
            if log:
                log.write(("PASS ******" if cmd == "PASS" else line) + "\n")
            return super().pre_process_command(line, cmd, arg)

        def on_login(self, username):
            self.fs.cwd = start

    Handler.authorizer = authorizer
    if args.no_mlsd:
        Handler.proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items()
                              if k not in ("MLSD", "MLST")}
    server = FTPServer(("127.0.0.1", 0), Handler)
    announce("PORT %d" % server.address[1])
    end_with_stdin()
    server.serve_forever(handle_exit=True)
    return 0


def run_http(args):
    from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

    root = os.path.realpath(args.root)
    sent = {}
    expected_auth = None
    if args.auth_prefix:
        token = base64.b64encode(("%s:%s" % (args.user, args.password)).encode()).decode()
        expected_auth = "Basic " + token

    class Handler(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"
        server_version = "TallywebTest/1.0"

        def log_message(self, *a):
            pass

        def send_small(self, code, body, extra=()):
            data = body.encode()
            self.send_response(code)
            for k, v in extra:
                self.send_header(k, v)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            if self.command != "HEAD":
                self.wfile.write(data)

        def do_HEAD(self):
            self.do_GET()

        def do_GET(self):
            try:
                self.serve()
            except (BrokenPipeError, ConnectionResetError):
                self.close_connection = True

        def serve(self):
            target = self.path
            if "://" in target:
                parts = urllib.parse.urlsplit(target)
                target = parts.path + ("?" + parts.query if parts.query else "")
            path, _, query = target.partition("?")
            flags = urllib.parse.parse_qs(query, keep_blank_values=True)

            if path == "/_headers":
                lines = [self.requestline] + ["%s: %s" % (k, v) for k, v in self.headers.items()]
                return self.send_small(200, "\n".join(lines) + "\n")

            if path == "/_redirect":
                return self.send_small(302, "moved\n", [("Location", urllib.parse.unquote(query))])

            if path == "/_sent":
                return self.send_small(200, "%d\n" % sent.get(urllib.parse.unquote(query), 0))

            if expected_auth and path.startswith(args.auth_prefix):
                if self.headers.get("Authorization") != expected_auth:
                    return self.send_small(
                        401, "authentication required\n",
                        [("WWW-Authenticate", 'Basic realm="tallyweb test"')])

            local = os.path.realpath(os.path.join(root, urllib.parse.unquote(path).lstrip("/")))
            if path.endswith("/") and os.path.isdir(local):
                local = os.path.join(local, "index.html")
            if not (local == root or local.startswith(root + os.sep)) or not os.path.isfile(local):
                return self.send_small(404, "not found\n")
            with open(local, "rb") as f:
                data = f.read()

            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            if "nomtime" not in flags:
                self.send_header("Last-Modified",
                                 email.utils.formatdate(os.path.getmtime(local), usegmt=True))
            if "nolength" in flags:
                self.send_header("Connection", "close")
                self.close_connection = True
            elif "chunked" in flags:
                self.send_header("Transfer-Encoding", "chunked")
            else:
                self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            if self.command == "HEAD":
                return
            if "truncate" in flags:
                self.wfile.write(data[:len(data) // 2])
                self.close_connection = True
                return

            delay = 0.0
            if "slow" in flags:
                delay = float(flags["slow"][0] or 20) / 1000.0
            piece = 1024 if delay else 64 * 1024
            sent[path] = 0
            for at in range(0, len(data), piece):
                chunk = data[at:at + piece]
                if "chunked" in flags:
                    self.wfile.write(b"%x\r\n%s\r\n" % (len(chunk), chunk))
                else:
                    self.wfile.write(chunk)
                sent[path] += len(chunk)
                if delay:
                    time.sleep(delay)
            if "chunked" in flags:
                self.wfile.write(b"0\r\n\r\n")

    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    announce("PORT %d" % server.server_address[1])
    end_with_stdin()
    server.serve_forever()
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kind", choices=["ftp", "http"])
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    parser.add_argument("--start", default="")
    parser.add_argument("--no-mlsd", action="store_true")
    parser.add_argument("--log", default="")
    parser.add_argument("--auth-prefix", default="")
    args = parser.parse_args()
    return run_ftp(args) if args.kind == "ftp" else run_http(args)


if __name__ == "__main__":
    sys.exit(main())
