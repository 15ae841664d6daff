#!/usr/bin/env python3
# Time from starting `nusk webserver` to its first answer, over several starts.
# Usage: bench/web_start.py NUSK HOME PORT STARTS
import subprocess, time, urllib.request, sys
exe, home, port = sys.argv[1], sys.argv[2], int(sys.argv[3])
res = []
for i in range(int(sys.argv[4])):
    t = time.monotonic()
    p = subprocess.Popen([exe, "webserver", "--dbdir", home, "--port", str(port), "--ip", "127.0.0.1"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while True:
        try:
            body = urllib.request.urlopen(f"http://127.0.0.1:{port}/?search=abc&json=1", timeout=5).read()
            break
        except Exception:
            time.sleep(0.002)
    res.append((time.monotonic() - t) * 1000)
    p.terminate(); p.wait()
res.sort()
print(f"start to first answer: median {res[len(res)//2]:.0f} ms, min {res[0]:.0f}, max {res[-1]:.0f} over {len(res)}; {len(body)} bytes")
