#!/bin/bash
# The https handler's benchmark: bash bench/https_page.sh [ROUNDS] [win64|win32]
# A page of 30 resources (1 to 60 KiB) over loopback, fetched by 30 urlmon
# binds at once: over https through the program's own handler (its TLS, its
# kept connections) and over plain http through the system's handler, in
# one run under Wine. Both servers are https_server.py (HTTP/1.1,
# keep-alive); the https one has a certificate from the test build's root.
# Prints both medians and their ratio (target: at most 1.5x).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-11}
arch=${2:-win64}
toolchain=$here/cmake/mingw-x86_64.cmake
[ "$arch" = win32 ] && toolchain=$here/cmake/mingw-i686.cmake
build="$here/build/bench-https-$arch"
cmake -S "$here" -B "$build" --toolchain "$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DCORVANE_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target corvane_https_page_bench >/dev/null
root=$(sed -n 's/^CORVANE_TEST_ROOT:FILEPATH=//p' "$build/CMakeCache.txt")

work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-bench-https.XXXXXX")
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
openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout site.key -out site.csr \
  -subj /CN=localhost >/dev/null 2>&1
printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n' >site.ext
openssl x509 -req -in site.csr -CA "$root" -CAkey "$root" -CAcreateserial -days 2 -sha256 \
  -extfile site.ext -out site.pem >/dev/null 2>&1

mkdir www
total=0
for i in $(seq 0 29); do
  size=$(( (i * 2039) % 60000 + 1024 ))
  head -c "$size" /dev/urandom >"www/$(printf 'r%02d.bin' "$i")"
  total=$((total + size))
done

# serve NAME [CERT KEY]: starts a server, sets the variable NAME to its port.
serve() {
  local name=$1
  shift
  python3 "$here/tests/win32/https_server.py" www "$@" >"$name.port" 2>"$name.err" &
  pids+=($!)
  for _ in $(seq 100); do
    [ -s "$name.port" ] && break
    sleep 0.05
  done
  printf -v "$name" '%s' "$(cat "$name.port")"
}
serve secure site.pem site.key
serve plain
"$here/cmake/wine-run.sh" "$arch" "$build/bench/corvane_https_page_bench.exe" "$secure" "$plain" \
  "$total" "$rounds"
