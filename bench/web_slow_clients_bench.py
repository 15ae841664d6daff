#!/usr/bin/env python3
"""Web service under idle, half-sent connections: does a normal client still get answers,
and what does the idle server cost?

Builds the index of a small fixture tree, starts `nusk webserver` on loopback, opens
--per-address half-sent requests from 127.0.0.1 and as many again spread over 127.0.0.2..17,
then for --seconds: a normal client searches every 250 ms (worst and median latency), and
in a quiet stretch without searches the server's CPU time is read from /proc.
Each half-sent connection is opened once; the server drops them after its 10 s head limit,
so the run stays within that. Loopback only.

Usage: bench/web_slow_clients_bench.py --nusk build/native/app/nusk [--per-address 1000]
       [--server-nofile 1024]   (the server then runs out of descriptors under the load)
"""
import argparse
import os
import resource
import shutil
import socket
import statistics
import subprocess
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def half_sent(source, port):
    s = socket.socket()
    s.bind((source, 0))
    s.setblocking(False)
    try:
        s.connect(("127.0.0.1", port))
    except BlockingIOError:
        pass
    return s


def search(port):
    t0 = time.perf_counter()
    data = b""
    try:
        s = socket.create_connection(("127.0.0.1", port), timeout=10)
        s.sendall(b"GET /query.json?q=file_1 HTTP/1.1\r\nHost: b\r\nConnection: close\r\n\r\n")
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
        s.close()
    except OSError:  # refused or reset: a failed search
        pass
    ok = data.startswith(b"HTTP/1.1 200 OK")
    return (time.perf_counter() - t0) if ok else float("inf")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--nusk", required=True)
    ap.add_argument("--per-address", type=int, default=1000)
    ap.add_argument("--seconds", type=float, default=8.0)
    ap.add_argument("--server-nofile", type=int, default=0, help="descriptor limit of the server (0: as the bench)")
    a = ap.parse_args()
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    want = min(hard, 4 * a.per_address + 1024)
    resource.setrlimit(resource.RLIMIT_NOFILE, (want, hard))

    work = tempfile.mkdtemp(prefix="nusk-slow-bench-")
    server = None
    held = []
    try:
        tree, home = os.path.join(work, "tree"), os.path.join(work, "home")
        for d in range(20):
            os.makedirs(os.path.join(tree, "d%d" % d))
            for i in range(500):
                open(os.path.join(tree, "d%d" % d, "file_%d.txt" % i), "w").close()
        os.makedirs(home)
        with open(os.path.join(home, "nusk.ini"), "w") as f:
            f.write("[Drives]\r\nC=" + tree + "\r\n")
        subprocess.run([a.nusk, "--dbdir", home, "build"], check=True, capture_output=True)
        probe = socket.socket()
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
        probe.close()
        limit = (lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (a.server_nofile, hard))) if a.server_nofile else None
        server = subprocess.Popen([a.nusk, "--dbdir", home, "webserver", "--port", str(port)], preexec_fn=limit,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(200):
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                break
            except OSError:
                time.sleep(0.05)
        baseline = search(port)

        t_open = time.perf_counter()
        for i in range(a.per_address):
            held.append(half_sent("127.0.0.1", port))
        for i in range(a.per_address):
            held.append(half_sent("127.0.0.%d" % (2 + i % 16), port))
        time.sleep(0.5)
        for s in held:
            try:
                s.send(b"GET /query.json?q=x HTTP/1.1\r\nHost: b\r\nX-Slow: ")
            except OSError:
                pass
        opened = time.perf_counter() - t_open

        times = []
        end = time.perf_counter() + a.seconds / 2
        while time.perf_counter() < end:
            times.append(search(port))
            time.sleep(0.25)
        c0, w0 = cpu_seconds(server.pid), time.perf_counter()
        time.sleep(a.seconds / 2)
        c1, w1 = cpu_seconds(server.pid), time.perf_counter()
        print("half-sent connections opened: %d (%d from 127.0.0.1, %d from 16 other addresses) in %.2f s"
              % (len(held), a.per_address, a.per_address, opened))
        print("search before the load: %.1f ms" % (baseline * 1000))
        answered = [t for t in times if t != float("inf")]
        shown = answered or [float("nan")]
        print("searches under the load: %d, median %.1f ms, worst %.1f ms (answered ones), failed %d"
              % (len(times), statistics.median(shown) * 1000, max(shown) * 1000, len(times) - len(answered)))
        print("idle server CPU with the connections held: %.1f%% of a core over %.1f s"
              % (100 * (c1 - c0) / (w1 - w0), w1 - w0))
    finally:
        for s in held:
            s.close()
        if server:
            server.terminate()
            server.wait(10)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
