#!/usr/bin/env python3
"""A keep-alive HTTP/1.1 server on a free loopback port, over TLS or plain:
  https_server.py FOLDER [CERT.pem KEY]
serves the files of FOLDER (with Content-Length, so connections are kept),
and /connection: the number of the connection that carries the request
(1 for the first one the server accepted). It prints its port, then serves
until it is ended."""
import functools
import http.server
import itertools
import ssl
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    numbers = itertools.count(1)

    def setup(self):
        super().setup()
        self.number = next(Handler.numbers)

    def do_GET(self):
        if self.path != "/connection":
            return super().do_GET()
        body = str(self.number).encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    context = None

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


def main():
    folder = sys.argv[1]
    server = Server(("127.0.0.1", 0), functools.partial(Handler, directory=folder))
    if len(sys.argv) > 3:
        server.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        server.context.load_cert_chain(sys.argv[2], sys.argv[3])
    print(server.server_address[1], flush=True)
    server.serve_forever()


main()
