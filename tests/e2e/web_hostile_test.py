#!/usr/bin/env python3
"""A real `nusk webserver` against clients that try what a hostile local or network user
would: links swapped in after the build, FIFOs, traversal and smuggling shapes, oversized
and replayed headers, slow clients, planted thumbnail caches, mistyped options. Also that
the service follows the index after `nusk build` without a restart.

Bounded: loopback only, at most a few hundred connections, about a minute in all.
Usage: web_hostile_test.py --nusk PATH [--sumtor PATH]. Exit 0 when every check passed.
"""
import argparse
import hashlib
import json
import os
import re
import resource
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse

FAILURES = []
OUTSIDE_MARK = b"OUTSIDE-THE-INDEX"


def check(ok, what, detail=""):
    print(("ok   " if ok else "FAIL ") + what + ("" if ok else "  :: " + str(detail)[:400]), flush=True)
    if not ok:
        FAILURES.append(what)


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def exchange(port, raw, timeout=5.0):
    """Sends raw bytes, returns everything read until the server closes (or timeout)."""
    data = b""
    try:
        s = socket.create_connection(("127.0.0.1", port), timeout=timeout)
    except OSError:
        return data
    try:
        s.settimeout(timeout)
        s.sendall(raw)
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
    except OSError:  # timed out, refused or reset: what arrived is the answer
        pass
    s.close()
    return data


def get(port, target, extra=b"", method=b"GET", timeout=5.0):
    if isinstance(target, str):
        target = target.encode()
    return exchange(port, method + b" " + target + b" HTTP/1.1\r\nHost: t\r\nConnection: close\r\n" + extra + b"\r\n",
                    timeout)


def status(reply):
    return reply.split(b"\r\n", 1)[0].decode(errors="replace")


def body(reply):
    head, _, rest = reply.partition(b"\r\n\r\n")
    if b"transfer-encoding: chunked" not in head.lower():
        return rest
    out = b""
    while rest:
        size_line, _, rest = rest.partition(b"\r\n")
        n = int(size_line, 16)
        if n == 0:
            break
        out += rest[:n]
        rest = rest[n + 2:]
    return out


def link_of(path):
    """The link the page's script makes for a shown path (encodeURIComponent per part)."""
    return "/".join(urllib.parse.quote(p, safe="!'()*~") for p in path.split("/"))


class Server:
    def __init__(self, nusk, home, args=(), env=None, max_files=0):
        self.port = free_port()
        limit = (lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (max_files, max_files))) if max_files else None
        self.proc = subprocess.Popen([nusk, "--dbdir", home, "webserver", "--port", str(self.port)] + list(args),
                                     stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                     env=env, preexec_fn=limit)
        for _ in range(200):
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return
            except OSError:
                if self.proc.poll() is not None:
                    raise RuntimeError("webserver ended: " + self.proc.stdout.read().decode(errors="replace"))
                time.sleep(0.05)
        raise RuntimeError("webserver never answered")

    def stop(self):
        """Interrupts the server; returns (exit code, output). A hung server is killed."""
        self.proc.send_signal(signal.SIGINT)
        try:
            out, _ = self.proc.communicate(timeout=10)
            return self.proc.returncode, out.decode(errors="replace")
        except subprocess.TimeoutExpired:
            self.proc.kill()
            out, _ = self.proc.communicate()
            return None, out.decode(errors="replace")


def run(cmd, timeout=120, env=None):
    """Runs to the end; a program still running after timeout is ended (returncode None)."""
    try:
        return subprocess.run(cmd, stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout, env=env)
    except subprocess.TimeoutExpired as e:
        return subprocess.CompletedProcess(cmd, None, (e.stdout or b"") + b" [still running: ended]", e.stderr or b"")


def query(port, q, extra=""):
    reply = get(port, "/query.json?q=" + urllib.parse.quote(q) + extra)
    return json.loads(body(reply).decode()) if status(reply).endswith("200 OK") else None


def digest_header(user, password, nonce, uri, nc, method="GET"):
    md5 = lambda s: hashlib.md5(s.encode()).hexdigest()
    ha1, ha2 = md5(user + ":Nusk:" + password), md5(method + ":" + uri)
    resp = md5(ha1 + ":" + nonce + ":" + nc + ":c0ffee:auth:" + ha2)
    return ('Authorization: Digest username="%s", realm="Nusk", nonce="%s", uri="%s", qop=auth, nc=%s, '
            'cnonce="c0ffee", response="%s"\r\n' % (user, nonce, uri, nc, resp)).encode()


def make_tree(work):
    tree = os.path.join(work, "tree")
    outside = os.path.join(work, "outside")
    for d in ("pub/sub", "secret", "pics"):
        os.makedirs(os.path.join(tree, d))
    os.makedirs(outside)

    def write(rel, data):
        with open(os.path.join(tree, rel), "wb") as f:
            f.write(data)

    write("pub/readme.txt", b"hello web\n")
    write("pub/victim.txt", b"victim before the swap\n")
    write("pub/sub/inner.txt", b"inner before the swap\n")
    write("pub/copy_a.bin", b"same content for both copies\n")
    write("pub/copy_b.bin", b"same content for both copies\n")
    write("secret/_nuskignore", b"")
    write("secret/hidden.txt", OUTSIDE_MARK + b" excluded\n")
    for name in ("tab\there.txt", "cr\rlf\n.txt", "esc\x1b.txt", "del\x7f.txt"):
        write("pub/" + name, ("content of " + repr(name)).encode())
    with open(os.path.join(outside, "inner.txt"), "wb") as f:
        f.write(OUTSIDE_MARK + b" inner\n")
    with open(os.path.join(outside, "secret.txt"), "wb") as f:
        f.write(OUTSIDE_MARK + b" secret\n")
    os.symlink(os.path.join(outside, "secret.txt"), os.path.join(tree, "pub/link_out.txt"))
    os.symlink("/etc/passwd", os.path.join(tree, "pub/passwd"))
    os.symlink("../secret/hidden.txt", os.path.join(tree, "pub/to_secret.txt"))
    os.symlink(outside, os.path.join(tree, "pub/dirlink"))
    os.mkfifo(os.path.join(tree, "pub/fifo"))
    # A small PNG that serves as its own thumbnail.
    png = bytes.fromhex("89504e470d0a1a0a0000000d49484452000000010000000108060000001f15c489"
                        "0000000d49444154789c6360000002000001e221bc330000000049454e44ae426082")
    write("pics/dot.png", png)
    return tree, outside, png


def check_files(port, tree, outside):
    shown = tree.rstrip("/")
    ok = get(port, link_of(shown + "/pub/readme.txt"))
    check(status(ok) == "HTTP/1.1 200 OK" and body(ok) == b"hello web\n", "an indexed regular file is served", ok)
    for rel in ("pub/passwd", "pub/link_out.txt", "pub/to_secret.txt", "pub/dirlink/inner.txt", "pub/dirlink/"):
        reply = get(port, link_of(shown + "/" + rel))
        check(status(reply).startswith("HTTP/1.1 404") and OUTSIDE_MARK not in reply and b"root:" not in reply,
              "link is not followed: " + rel, reply[:200])
    # Swapped after the build: a file and a folder replaced by links to outside things.
    os.rename(os.path.join(tree, "pub/victim.txt"), os.path.join(tree, "pub/victim.old"))
    os.symlink(os.path.join(outside, "secret.txt"), os.path.join(tree, "pub/victim.txt"))
    shutil.rmtree(os.path.join(tree, "pub/sub"))
    os.symlink(outside, os.path.join(tree, "pub/sub"))
    for rel in ("pub/victim.txt", "pub/sub/inner.txt", "C:/pub/sub/inner.txt", "C:/pub/victim.txt"):
        target = "/" + rel if rel.startswith("C:") else link_of(shown + "/" + rel)
        reply = get(port, target)
        check(status(reply).startswith("HTTP/1.1 404") and OUTSIDE_MARK not in reply,
              "item swapped for a link after the build is not served: " + rel, reply[:200])
    # A FIFO answers 404 at once and the server stays responsive.
    t0 = time.time()
    reply = get(port, link_of(shown + "/pub/fifo"), timeout=5)
    check(status(reply).startswith("HTTP/1.1 404") and time.time() - t0 < 2, "a FIFO is refused without waiting",
          reply)
    reply = get(port, "/query.json?q=readme", timeout=3)
    check(status(reply) == "HTTP/1.1 200 OK", "the server answers after the FIFO request", reply)


def check_control_names(port):
    rows = query(port, "content_of_nothing") or []
    check(rows == [], "an unknown name gives no rows", rows)
    for word, name in (("tab", "tab\there.txt"), ("lf", "cr\rlf\n.txt"), ("esc", "esc\x1b.txt"),
                       ("del", "del\x7f.txt")):
        rows = [r for r in (query(port, word) or []) if r.endswith("/" + name)]
        check(len(rows) == 1, "JSON row of a name with control characters: " + repr(name), rows)
        if rows:
            reply = get(port, link_of(rows[0]))
            check(status(reply) == "HTTP/1.1 200 OK" and body(reply) == ("content of " + repr(name)).encode(),
                  "its link opens it: " + repr(name), reply[:200])
    page = body(get(port, "/?q=esc"))
    hrefs = re.findall(rb'href="(/[^"]*esc[^"]*)"', page)
    check(len(hrefs) == 1 and not any(b < 0x20 or b == 0x7F for b in hrefs[0]),
          "page links hold no raw control bytes", hrefs)
    if hrefs:
        check(status(get(port, hrefs[0])) == "HTTP/1.1 200 OK", "the page's link opens the file", hrefs)


def check_methods(port):
    reply = get(port, "/favicon.ico")
    check(status(reply) == "HTTP/1.1 404 Not Found" and b"reply from server" not in reply, "unknown path: 404", reply)
    for method in (b"DELETE", b"PUT"):
        reply = get(port, "/query.json", method=method, extra=b"Content-Length: 0\r\n")
        check(status(reply) == "HTTP/1.1 405 Method Not Allowed" and b"\r\nAllow: GET, HEAD, POST, OPTIONS\r\n" in reply,
              method.decode() + " gets 405 with Allow", reply)
    reply = exchange(port, b"OPTIONS * HTTP/1.1\r\nHost: t\r\nConnection: close\r\n\r\n")
    check(b"PUT" not in reply and b"DAV" not in reply and b"PROPFIND" not in reply and b"Allow: GET" in reply,
          "OPTIONS advertises only what is served", reply)
    reply = exchange(port, b"GET /query.json?q=a HTTP/1.1\r\nConnection: close\r\n\r\n")
    check(status(reply) == "HTTP/1.1 400 Bad Request", "HTTP/1.1 without Host: 400", reply)


def check_hostile_shapes(port, tree):
    shapes = [
        b"GET /../../../../etc/passwd HTTP/1.1\r\nHost: t\r\n\r\n",
        b"GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\nHost: t\r\n\r\n",
        b"GET /C:/../../etc/passwd HTTP/1.1\r\nHost: t\r\n\r\n",
        b"GET /C:/pub/..%2f..%2f..%2fetc/passwd HTTP/1.1\r\nHost: t\r\n\r\n",
        b"GET /C:\\..\\..\\etc\\passwd HTTP/1.1\r\nHost: t\r\n\r\n",
        b"GET //etc/passwd HTTP/1.1\r\nHost: t\r\n\r\n",
        b"GET /etc/passwd HTTP/1.1\r\nHost: t\r\n\r\n",
        b"GET /C:/pub/readme.txt%00.png HTTP/1.1\r\nHost: t\r\n\r\n",
        b"GET /thumb.png?file=/etc/passwd HTTP/1.1\r\nHost: t\r\n\r\n",
        b"GET /thumb.png?file=" + urllib.parse.quote(tree + "pub/passwd").encode() + b" HTTP/1.1\r\nHost: t\r\n\r\n",
        b"GET http://evil/C:/pub/readme.txt HTTP/1.1\r\nHost: t\r\n\r\n",
        # Smuggling shapes: two lengths, length plus chunked, folded and malformed headers.
        b"POST /query.json HTTP/1.1\r\nHost: t\r\nContent-Length: 4\r\nContent-Length: 40\r\n\r\nq=ab",
        b"POST /query.json HTTP/1.1\r\nHost: t\r\nContent-Length: 4\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
        b"POST /query.json HTTP/1.1\r\nHost: t\r\nTransfer-Encoding : chunked\r\n\r\n0\r\n\r\nGET /etc/passwd HTTP/1.1\r\n\r\n",
        b"GET / HTTP/1.1\r\nHost: t\r\nX: a\r\n b\r\n\r\n",
        b"GET / HTTP/1.1\r\nHost: t\r\nContent-Length: -1\r\n\r\n",
        b"GET /a%0d%0aSet-Cookie:x HTTP/1.1\r\nHost: t\r\n\r\n",
        b"GET / HTTP/1.1\r\nHost: t\r\nX-Big: " + b"a" * 20000 + b"\r\n\r\n",
        b"GET /" + b"a" * 20000 + b" HTTP/1.1\r\nHost: t\r\n\r\n",
        b"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03" + os.urandom(64),
    ]
    leaked = []
    for raw in shapes:
        reply = exchange(port, raw, timeout=3)
        if b"root:" in reply or OUTSIDE_MARK in reply:
            leaked.append(raw[:60])
        if reply and not status(reply).startswith("HTTP/1.1 "):
            leaked.append(b"garbled " + raw[:40])
    check(not leaked, "traversal, smuggling and oversized shapes serve nothing outside the index", leaked)


def check_slow_clients(port):
    """Slow and idle clients never keep a working one out, and the server stays quick."""
    held = []
    for i in range(300):
        s = socket.create_connection(("127.0.0.1", port), timeout=5)
        s.sendall(b"GET /query.json?q=a HTTP/1.1\r\nHost: t\r\nX-Slow: " if i % 2 else b"")
        held.append(s)
    worst = 0.0
    for _ in range(10):
        t0 = time.time()
        reply = get(port, "/query.json?q=readme", timeout=5)
        worst = max(worst, time.time() - t0)
        if status(reply) != "HTTP/1.1 200 OK":
            worst = 99.0
        for s in held[:20]:
            try:
                s.send(b"x")  # a byte now and then, as slowloris does
            except OSError:
                pass
    for s in held:
        s.close()
    check(worst < 1.0, "with 300 slow or idle connections open a search answers within 1 s", "worst %.3f s" % worst)


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def check_out_of_descriptors(nusk, home):
    """With its descriptors used up by idle clients the server neither spins nor locks out."""
    server = Server(nusk, home, max_files=64)
    held = []
    try:
        for _ in range(120):
            held.append(socket.create_connection(("127.0.0.1", server.port), timeout=5))
        time.sleep(0.5)
        c0, t0 = cpu_seconds(server.proc.pid), time.time()
        time.sleep(2.0)
        share = (cpu_seconds(server.proc.pid) - c0) / (time.time() - t0)
        check(share < 0.2, "out of descriptors the server does not spin (%.1f%% of a core)" % (100 * share), "")
        t0 = time.time()
        reply = get(server.port, "/query.json?q=readme", timeout=5)
        check(status(reply) == "HTTP/1.1 200 OK" and time.time() - t0 < 1.5,
              "out of descriptors a new client is still answered", (reply[:60], time.time() - t0))
    finally:
        for s in held:
            s.close()
        server.stop()


def check_thumbnails(nusk, home, tree, png, work):
    cache_home = os.path.join(work, "cache")
    env = dict(os.environ, XDG_CACHE_HOME=cache_home)
    thumbs = os.path.join(cache_home, "nusk", "thumbs")
    server = Server(nusk, home, env=env)
    try:
        target = "/thumb.png?file=" + urllib.parse.quote(tree + "pics/dot.png")
        reply = get(server.port, target)
        check(status(reply) == "HTTP/1.1 200 OK" and body(reply) == png, "thumbnail served from the user's cache",
              reply[:120])
        mode = os.stat(thumbs).st_mode & 0o777 if os.path.isdir(thumbs) else None
        check(mode == 0o700, "thumbnail folder is private (0700) under XDG_CACHE_HOME", oct(mode or 0))
        # A planted link in place of the cached picture is neither read nor written through.
        names = [n for n in os.listdir(thumbs) if n.endswith(".png")] if mode else []
        if names:
            cached = os.path.join(thumbs, names[0])
            os.remove(cached)
            victim = os.path.join(work, "victim.txt")
            with open(victim, "wb") as f:
                f.write(OUTSIDE_MARK)
            os.symlink(victim, cached)
            reply = get(server.port, target)
            with open(victim, "rb") as f:
                victim_bytes = f.read()
            check(OUTSIDE_MARK not in reply and victim_bytes == OUTSIDE_MARK and body(reply) == png,
                  "a link planted in the cache is not followed", reply[:120])
        # A folder that belongs to someone else is not used.
        shutil.rmtree(thumbs, ignore_errors=True)
        os.makedirs(thumbs, 0o777)
        os.chmod(thumbs, 0o777)
        if os.geteuid() == 0:
            os.chown(thumbs, 65534, 65534)
            reply = get(server.port, target)
            check(status(reply).startswith("HTTP/1.1 404") and os.listdir(thumbs) == [],
                  "a thumbnail folder owned by another user is refused", reply[:120])
    finally:
        server.stop()


def check_options(nusk, home):
    port = free_port()
    for args, what in ((["--bogus"], "unknown option"),
                       (["--ip", "0.0.0.0", "--port", str(port), "--user", "admin", "--pass", "secret"],
                        "mistyped login options")):
        r = run([nusk, "--dbdir", home, "webserver"] + args, timeout=10)
        out = r.stdout.decode(errors="replace")
        check(r.returncode == 2 and "USAGE: nusk webserver" in out and "started" not in out,
              what + ": usage and exit status 2", (r.returncode, out))
    r = run([nusk, "--dbdir", home, "webserver", "--help"], timeout=10)
    out = r.stdout.decode(errors="replace")
    check(r.returncode == 0 and "USAGE: nusk webserver" in out and "started" not in out,
          "--help: the usage text and exit status 0, nothing started", (r.returncode, out))
    r = run([nusk, "--dbdir", home, "webserver", "--ip", "0.0.0.0", "--port", str(port)], timeout=10)
    out = r.stdout.decode(errors="replace")
    check(r.returncode == 2 and "--no-login" in out and "started" not in out,
          "another address without a user name is refused", (r.returncode, out))
    server = Server(nusk, home, ["--ip", "0.0.0.0", "--no-login"])
    code, out = server.stop()
    check(code == 0 and "Warning: no login" in out and "Web server started at 0.0.0.0:" in out,
          "--no-login serves with a warning line", (code, out))


def check_replay(nusk, home):
    server = Server(nusk, home, ["--username", "joe", "--password", "pw"])
    try:
        uri = "/query.json?q=readme"
        challenge = get(server.port, uri)
        nonce = re.search(rb'nonce="(\d+)"', challenge).group(1).decode()
        header = digest_header("joe", "pw", nonce, uri, "00000001")
        first, second, third = (get(server.port, uri, header) for _ in range(3))
        check(status(first) == "HTTP/1.1 200 OK", "a fresh digest header passes", first[:100])
        check(status(second).startswith("HTTP/1.1 401") and status(third).startswith("HTTP/1.1 401"),
              "the same header replayed is refused", (second[:120], third[:120]))
        check(b"stale=true" in second, "a replay gets a fresh challenge", second[:200])
        nxt = get(server.port, uri, digest_header("joe", "pw", nonce, uri, "00000002"))
        check(status(nxt) == "HTTP/1.1 200 OK", "the next count on the same nonce passes", nxt[:100])
        # A failed login on a path with an escaped line break cannot forge a log line.
        forged = "/x%0AFORGED%20line"
        get(server.port, forged, digest_header("joe", "wrong", nonce, forged, "00000003"))
    finally:
        code, out = server.stop()
    check("Failed login" in out and not any(line.startswith("FORGED") for line in out.splitlines()),
          "failed logins are logged without the client's line breaks", out[-300:])


def check_follows_builds(nusk, sumtor, home, tree, port, server):
    check(query(port, "fresh_after_build") == [], "a file not yet built is not found")
    with open(os.path.join(tree, "pub/fresh_after_build.txt"), "wb") as f:
        f.write(b"new\n")
    r = run([nusk, "--dbdir", home, "build"])
    check(r.returncode == 0, "second build", r.stdout + r.stderr)
    found = None
    for _ in range(60):
        found = query(port, "fresh_after_build")
        if found:
            break
        time.sleep(0.25)
    check(bool(found) and found[0].endswith("/pub/fresh_after_build.txt"),
          "the running service finds files of a new build without a restart", found)
    # Named searches need no settings section, and the settings file is left alone.
    rows = query(port, "@Text readme") or []
    check(any(r.endswith("/readme.txt") for r in rows), "@Text works without a NamedSearch section", rows)
    if sumtor:
        r = run([sumtor, "--dbdir", home])
        check(r.returncode == 0, "content hashes made", r.stdout + r.stderr)
        rows = sorted(query(port, "/dup:2") or [])
        names = [r.rsplit("/", 1)[-1] for r in rows]
        check("copy_a.bin" in names and "copy_b.bin" in names and "readme.txt" not in names,
              "/dup: finds the duplicates on the web", rows)
        with open(os.path.join(tree, "pub/copy_c.bin"), "wb") as f:
            f.write(b"same content for both copies\n")
        run([nusk, "--dbdir", home, "build"])
        deadline = time.time() + 15
        while time.time() < deadline and not any("copy_c" in r for r in query(port, "copy_c") or []):
            time.sleep(0.25)
        run([sumtor, "--dbdir", home])
        deadline = time.time() + 15
        copies = lambda: [r for r in query(port, "/dup:3") or [] if "/copy_" in r]
        while time.time() < deadline and len(copies()) != 3:
            time.sleep(0.25)
        check(len(copies()) == 3, "hashes are loaded again when nusk.hash changes", copies())
    # A damaged new index leaves the old one serving.
    nrs = os.path.join(home, "nusk.nrs")
    shutil.copy(nrs, nrs + ".keep")
    with open(nrs, "r+b") as f:
        f.write(b"\xff" * 64)
    time.sleep(2.5)
    found = query(port, "fresh_after_build")
    check(bool(found), "a damaged new index keeps the old one serving", found)
    code, out = server.stop()
    check("cannot be loaded" in out, "the damaged index is reported", out[-400:])
    os.replace(nrs + ".keep", nrs)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--nusk", required=True)
    ap.add_argument("--sumtor")
    # Sanitizer runtimes open a pipe to check memory before reporting; at the descriptor
    # limit that check fails and reports a fault that is not there, so a sanitizer build
    # skips the out-of-descriptors check.
    ap.add_argument("--sanitized", action="store_true")
    a = ap.parse_args()
    work = tempfile.mkdtemp(prefix="nusk-hostile-")
    try:
        tree, outside, png = make_tree(work)
        tree += "/"
        home = os.path.join(work, "home")
        os.makedirs(home)
        with open(os.path.join(home, "nusk.ini"), "w") as f:
            f.write("[Drives]\r\nC=" + tree.rstrip("/") + "\r\n")
        r = run([a.nusk, "--dbdir", home, "build"])
        if r.returncode != 0:
            print("build failed", r.stdout, r.stderr)
            return 1
        env = dict(os.environ, XDG_CACHE_HOME=os.path.join(work, "cache-main"))
        server = Server(a.nusk, home, env=env)
        check_methods(server.port)
        check_control_names(server.port)
        check_hostile_shapes(server.port, tree)
        check_slow_clients(server.port)
        check_files(server.port, tree, outside)
        check_follows_builds(a.nusk, a.sumtor, home, tree, server.port, server)
        check_options(a.nusk, home)
        check_replay(a.nusk, home)
        if not a.sanitized:
            check_out_of_descriptors(a.nusk, home)
        check_thumbnails(a.nusk, home, tree, png, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d failed" % len(FAILURES) if FAILURES else "all passed")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
