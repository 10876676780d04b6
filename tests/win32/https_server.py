#!/usr/bin/env python3
"""A loopback HTTPS server for the tests of the program's own https handler.

    https_server.py ROOT.pem PORT_FILE
    https_server.py FOLDER [CERT.pem KEY]

ROOT.pem is the test root (its certificate and key in one file: the one the
test build trusts); the server makes a certificate for localhost and
127.0.0.1 from it, listens on free loopback ports (HTTPS, and plain HTTP for
redirects that leave https) and writes "HTTPS_PORT HTTP_PORT" to PORT_FILE.
HTTP/1.1 with keep-alive. What it answers:

  /                 a small page (its title: "Corvane https test page")
  /echo             POST: "METHOD body"; GET: the method alone
  /headers          the request's fields, one per line
  /chain/N          a redirect chain, 301, 303, 307, 308... down to /chain/0
  /to-http          a redirect to the same page over plain http
  /set-cookie       Set-Cookie: plain=1, and hidden=2 with HttpOnly
  /cookies          the Cookie field the request carried
  /attachment       a body with Content-Disposition: attachment
  /slow?s=N         answers after N seconds
  /hang?id=X        sends a head and part of the body, then nothing; notes
                    when the client closes that connection
  /closed?id=X      "closed" once the connection of /hang?id=X was closed,
                    else "open"
  /count            how many connections were accepted so far
  /connection       the number of the connection that carries the request
                    (1 for the first one the server accepted)

The second form (the transport's tests and benchmark) serves the files of
FOLDER besides, over TLS with CERT.pem and KEY when they are given, else
plain, on one free loopback port, which it prints.
  /seen?path=P      "yes" once a request for P (path and query) was answered
"""
import functools
import http.server
import itertools
import os
import select
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

PAGE = (b"<!DOCTYPE html><html><head><title>Corvane https test page</title></head>"
        b"<body><p id='words'>Served over the program's own TLS.</p></body></html>")
CHAIN_CODES = [301, 302, 303, 307, 308]

closed = set()
seen = set()
accepted = [0]
lock = threading.Lock()
http_port = [0]


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    numbers = itertools.count(1)

    def setup(self):
        super().setup()
        self.number = next(Handler.numbers)

    def log_message(self, *args):
        pass

    def answer(self, status, body=b"", headers=(), content_type="text/plain"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length else b""

    def do_HEAD(self):
        self.do_GET()

    def do_POST(self):
        self.do_GET()

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        body = self.read_body()
        path = url.path
        with lock:
            seen.add(self.path)
        if path == "/":
            self.answer(200, PAGE, content_type="text/html; charset=utf-8")
        elif path == "/echo":
            self.answer(200, self.command.encode() + (b" " + body if body else b""))
        elif path == "/headers":
            lines = "".join(f"{k}: {v}\n" for k, v in self.headers.items())
            self.answer(200, lines.encode("latin-1"))
        elif path.startswith("/chain/"):
            n = int(path[len("/chain/"):] or 0)
            if n <= 0:
                self.answer(200, b"end of the chain " + self.command.encode() +
                            (b" " + body if body else b""))
            else:
                code = CHAIN_CODES[n % len(CHAIN_CODES)]
                self.answer(code, b"moved", [("Location", f"/chain/{n - 1}")])
        elif path == "/to-http":
            self.answer(302, b"moved", [("Location", f"http://127.0.0.1:{http_port[0]}/")])
        elif path == "/set-cookie":
            self.answer(200, b"cookies set", [("Set-Cookie", "plain=1; Path=/"),
                                              ("Set-Cookie", "hidden=2; Path=/; HttpOnly")])
        elif path == "/cookies":
            self.answer(200, (self.headers.get("Cookie") or "").encode("latin-1"))
        elif path == "/attachment":
            self.answer(200, b"kept as a file", [("Content-Disposition",
                                                  'attachment; filename="report.txt"')])
        elif path == "/slow":
            time.sleep(float(query.get("s", "5")))
            self.answer(200, b"late")
        elif path == "/hang":
            self.hang(query.get("id", ""))
        elif path == "/closed":
            with lock:
                state = b"closed" if query.get("id", "") in closed else b"open"
            self.answer(200, state)
        elif path == "/seen":
            with lock:
                self.answer(200, b"yes" if query.get("path", "") in seen else b"no")
        elif path == "/count":
            with lock:
                self.answer(200, str(accepted[0]).encode())
        elif path == "/connection":
            self.answer(200, str(self.number).encode())
        elif self.directory and self.command in ("GET", "HEAD"):
            super().do_GET() if self.command == "GET" else super().do_HEAD()
        else:
            self.answer(404, b"not here")

    def hang(self, ident):
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", "1000000")
        self.end_headers()
        self.wfile.write(b"x" * 4096)
        self.wfile.flush()
        end = time.time() + 120
        sock = self.connection
        while time.time() < end:
            ready, _, _ = select.select([sock], [], [], 0.2)
            if not ready:
                continue
            try:
                data = sock.recv(4096)
            except (ssl.SSLError, OSError):
                data = b""
            if not data:
                break
        with lock:
            closed.add(ident)
        self.close_connection = True


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    context = None

    def get_request(self):
        request = super().get_request()
        # As servers in the field answer on kept connections: each write
        # goes out at once, not after the client's acknowledgement of the
        # one before.
        request[0].setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        with lock:
            accepted[0] += 1
        return request

    # The handshake on the connection's own thread, not in the loop that
    # accepts.
    def finish_request(self, request, client_address):
        if self.context is None:
            return super().finish_request(request, client_address)
        try:
            secure = self.context.wrap_socket(request, server_side=True)
        except OSError:
            return None
        try:
            return super().finish_request(secure, client_address)
        finally:
            secure.close()


def certificate(root, work):
    key, csr, pem, ext = (os.path.join(work, n) for n in ("leaf.key", "leaf.csr", "leaf.pem", "leaf.ext"))
    quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL, "check": True}
    subprocess.run(["openssl", "req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                    "-nodes", "-keyout", key, "-out", csr, "-subj", "/CN=localhost"], **quiet)
    with open(ext, "w") as f:
        f.write("subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n")
    subprocess.run(["openssl", "x509", "-req", "-in", csr, "-CA", root, "-CAkey", root,
                    "-CAcreateserial", "-CAserial", os.path.join(work, "root.srl"), "-days", "2",
                    "-sha256", "-extfile", ext, "-out", pem], **quiet)
    return pem, key


def serve_folder(folder, cert, key):
    server = Server(("127.0.0.1", 0), functools.partial(Handler, directory=folder))
    if cert:
        server.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        server.context.load_cert_chain(cert, key)
    print(server.server_address[1], flush=True)
    server.serve_forever()


def main():
    if os.path.isdir(sys.argv[1]):
        extra = sys.argv[2:4] if len(sys.argv) > 3 else [None, None]
        return serve_folder(sys.argv[1], *extra)
    root, port_file = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="corvane-https-")
    pem, key = certificate(root, work)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(pem, key)

    # No files: only the answers above.
    handler = functools.partial(Handler, directory="")
    secure = Server(("127.0.0.1", 0), handler)
    secure.context = context
    plain = Server(("127.0.0.1", 0), handler)
    http_port[0] = plain.server_address[1]
    threading.Thread(target=plain.serve_forever, daemon=True).start()
    with open(port_file + ".part", "w") as f:
        f.write(f"{secure.server_address[1]} {plain.server_address[1]}\n")
    os.replace(port_file + ".part", port_file)
    secure.serve_forever()


if __name__ == "__main__":
    main()
