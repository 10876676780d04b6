#!/usr/bin/env bash
# Runs the TLS client's tests (a Windows program, under Wine) against local
# servers started here, each on a free loopback port:
#   tls_servers.sh WINE_RUN ARCH TEST_PROGRAM TEST_ROOT.pem [gtest arguments]
# GOOD         a certificate for localhost and 127.0.0.1 from the test root
# WRONG_NAME   one for other.invalid (and 127.0.0.1 as a DNS name only)
# EXPIRED      one whose validity ended yesterday
# UNKNOWN_ROOT one from a second root, not trusted by the program
# SHA1         one the test root signed with SHA-1
# TLS10        the good certificate, TLS 1.0 only
# SILENT       accepts connections and never answers
# CLOSED       a port where nothing listens
# KEEPALIVE    HTTP/1.1 with kept connections (https_server.py), good certificate
# PROXY        an HTTP proxy that opens CONNECT tunnels (502 where it cannot);
#              it alone knows other.invalid, as 127.0.0.1
# The certificates are made for this run; the test root (certificate and
# key) is the one the test build trusts.
set -euo pipefail
wine_run=$1 arch=$2 program=$3 root=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-tls.XXXXXX")
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
ossl() { openssl "$@" >/dev/null 2>&1; }

ossl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout other-root.key \
  -out other-root.pem -days 30 -subj "/CN=Untrusted test root"
# leaf NAME SIGNER_CERT SIGNER_KEY DAYS DIGEST SAN
leaf() {
  ossl req -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout "$1.key" -out "$1.csr" \
    -subj "/CN=$1"
  printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\n' "$6" >"$1.ext"
  ossl x509 -req -in "$1.csr" -CA "$2" -CAkey "$3" -CAcreateserial -days "$4" "-$5" \
    -extfile "$1.ext" -out "$1.pem"
}
names="DNS:localhost,IP:127.0.0.1"
leaf good "$root" "$root" 2 sha256 "$names"
leaf wrong "$root" "$root" 2 sha256 "DNS:other.invalid,DNS:127.0.0.1"
leaf expired "$root" "$root" -1 sha256 "$names"
leaf unknown other-root.pem other-root.key 2 sha256 "$names"
leaf sha1 "$root" "$root" 2 sha1 "$names"

token="token-$RANDOM-$RANDOM-$$"
mkdir www
echo "$token" >www/token.txt

# serve NAME CERT [s_server options]: starts a server, exports its port.
serve() {
  local name=$1 cert=$2 port=""
  shift 2
  : >"$name.out"
  (cd www && exec openssl s_server -accept 127.0.0.1:0 -cert "../$cert.pem" -key "../$cert.key" \
    -WWW "$@") >"$name.out" 2>&1 </dev/null &
  pids+=($!)
  for _ in $(seq 100); do
    port=$(sed -n 's/^ACCEPT 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$name.out")
    [ -n "$port" ] && break
    sleep 0.05
  done
  if [ -z "$port" ]; then
    echo "the $name server did not start:" >&2
    cat "$name.out" >&2
    exit 1
  fi
  export "CORVANE_TLS_$name=$port"
}
serve GOOD good
serve WRONG_NAME wrong
serve EXPIRED expired
serve UNKNOWN_ROOT unknown
# OpenSSL's own default level refuses a SHA-1 certificate and TLS 1.0.
serve SHA1 sha1 -cipher 'DEFAULT:@SECLEVEL=0'
serve TLS10 good -tls1 -cipher 'DEFAULT:@SECLEVEL=0'

# A server that takes connections and never says a word; a port nobody has.
python3 -c '
import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(8)
print(s.getsockname()[1], flush=True)
held = []
end = time.time() + 300
while time.time() < end:
    s.settimeout(end - time.time())
    try:
        held.append(s.accept()[0])
    except OSError:
        break
' >silent.port &
pids+=($!)
for _ in $(seq 100); do
  [ -s silent.port ] && break
  sleep 0.05
done
export CORVANE_TLS_SILENT=$(cat silent.port)
export CORVANE_TLS_CLOSED=$(python3 -c '
import socket
s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
export CORVANE_TLS_TOKEN=$token

python3 -c '
import select, socket, threading
names = {"other.invalid": "127.0.0.1"}
def pipe(a, b):
    try:
        while True:
            for x in select.select([a, b], [], [])[0]:
                data = x.recv(65536)
                if not data:
                    return
                (b if x is a else a).sendall(data)
    except OSError:
        pass
    finally:
        a.close()
        b.close()
def serve(c):
    head = b""
    while b"\r\n\r\n" not in head:
        part = c.recv(4096)
        if not part:
            c.close()
            return
        head += part
    try:
        method, target, _ = head.split(b"\r\n")[0].decode().split(" ")
        host, _, port = target.rpartition(":")
        if method != "CONNECT":
            raise ValueError(method)
        up = socket.create_connection((names.get(host, host), int(port)), timeout=5)
        up.settimeout(None)
    except (OSError, ValueError):
        c.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
        c.close()
        return
    c.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
    pipe(c, up)
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(16)
print(s.getsockname()[1], flush=True)
while True:
    threading.Thread(target=serve, args=(s.accept()[0],), daemon=True).start()
' >proxy.port &
pids+=($!)
for _ in $(seq 100); do
  [ -s proxy.port ] && break
  sleep 0.05
done
export CORVANE_TLS_PROXY=$(cat proxy.port)

python3 "$here/https_server.py" www good.pem good.key >keepalive.port 2>keepalive.err &
pids+=($!)
for _ in $(seq 100); do
  [ -s keepalive.port ] && break
  sleep 0.05
done
export CORVANE_TLS_KEEPALIVE=$(cat keepalive.port)

"$wine_run" "$arch" "$program" "$@"
