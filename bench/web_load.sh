#!/usr/bin/env bash
# Load and slow-client figures for the web service, on loopback only; stops by itself.
#   bench/web_load.sh <build folder> [items] [baseline nusk]
# 1. writes a synthetic index of <items> (default 1,000,000) with web_query_bench,
# 2. starts `nusk webserver` on a free loopback port,
# 3. wrk: 100 keep-alive connections, 2 threads, 10 s, "/query.json?q=abc", with latency;
#    with a baseline program (another build of nusk), both are measured in the same run,
#    alternating baseline, this build, baseline, this build, so drift in the machine's
#    load hits both alike,
# 4. slowloris: 500 connections from 127.0.0.2-6 that send half a request head and go
#    quiet, then times ten normal requests from 127.0.0.1 while they are held.
set -euo pipefail
build=${1:?build folder}
items=${2:-1000000}
baseline=${3:-}
work=$(mktemp -d /tmp/nusk-web-load.XXXXXX)
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill -TERM "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "nproc: $(nproc)"
echo "== index of $items items"
"$build/bench/web_query_bench" --make-index "$work/home" "$items"
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
start_server() {  # $1: program
  port=$(free_port)
  "$1" --dbdir "$work/home" webserver --ip 127.0.0.1 --port "$port" </dev/null >"$work/server.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 1 200); do curl -s -o /dev/null "http://127.0.0.1:$port/favicon.ico" && break; sleep 0.1; done
}
stop_server() {
  kill -TERM "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  server_pid=
}
# The tail percentiles: a stall that hits one request in a thousand hides below p99.
cat >"$work/tail.lua" <<'LUA'
done = function(summary, latency, requests)
  for _, p in ipairs({99, 99.9, 99.99}) do
    io.write(string.format("  p%g: %.2f ms\n", p, latency:percentile(p) / 1000))
  end
end
LUA
load() {  # $1: label, $2: program
  start_server "$2"
  echo "== wrk ($1): 100 keep-alive connections, /query.json?q=abc; $(uptime)"
  wrk -t2 -c100 -d10s --timeout 5s --latency -s "$work/tail.lua" "http://127.0.0.1:$port/query.json?q=abc"
  stop_server
}

if [ -n "$baseline" ]; then
  load baseline "$baseline"
  load "this build" "$build/app/nusk"
  load baseline "$baseline"
  load "this build" "$build/app/nusk"
else
  load "this build" "$build/app/nusk"
fi

start_server "$build/app/nusk"
echo "== results for q=abc: $(curl -s "http://127.0.0.1:$port/?q=abc" | grep -o 'Found <b>[0-9,]*</b> items')"
echo "== slowloris: 500 half-open connections, then a normal client"
python3 - "$port" <<'PY'
import socket, sys, time
port = int(sys.argv[1])
held = []
for i in range(500):
    s = socket.socket()
    s.bind(("127.0.0.%d" % (2 + i // 100), 0))
    s.connect(("127.0.0.1", port))
    s.sendall(b"GET /query.json?q=abc HTTP/1.1\r\nHost: x\r\nX-Slow: ")
    held.append(s)
time.sleep(1)
worst = 0.0
for i in range(10):
    t0 = time.time()
    c = socket.create_connection(("127.0.0.1", port), timeout=5)
    c.sendall(b"GET /query.json?q=abc HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
    data = b""
    while True:
        chunk = c.recv(65536)
        if not chunk:
            break
        data += chunk
    c.close()
    dt = time.time() - t0
    worst = max(worst, dt)
    assert data.startswith(b"HTTP/1.1 200 OK"), data[:40]
alive = 0
for s in held:
    s.setblocking(False)
    try:
        alive += s.recv(1) != b""
    except BlockingIOError:
        alive += 1
    except OSError:
        pass
print("held connections still open: %d of 500" % alive)
print("normal client, worst of 10 while they were held: %.1f ms" % (worst * 1000))
for s in held:
    s.close()
PY
