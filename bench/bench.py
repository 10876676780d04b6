#!/usr/bin/env python3
"""Start-up and idle benchmarks: Corvane Ombrel (A), surf (B) and the engine's
floor (C, bench/floor.cpp), interleaved under one Xvfb with a throw-away HOME.
Usage: bench.py startup|idle <build-dir> <port> [rounds]"""
import http.server, os, shutil, signal, statistics, subprocess, sys, tempfile, threading, time

TITLE = "Corvane bench page"
CAPTION = TITLE + " - Corvane Ombrel - Varnhollow Software"


def tree(pid):
    out, todo = [], [pid]
    while todo:
        p = todo.pop()
        out.append(p)
        try:
            for t in os.listdir(f"/proc/{p}/task"):
                with open(f"/proc/{p}/task/{t}/children") as f:
                    todo += [int(c) for c in f.read().split()]
        except OSError:
            pass
    return out


def mem(pids):
    rss = pss = 0
    for p in pids:
        try:
            with open(f"/proc/{p}/smaps_rollup") as f:
                for line in f:
                    if line.startswith("Rss:"):
                        rss += int(line.split()[1])
                    elif line.startswith("Pss:"):
                        pss += int(line.split()[1])
        except OSError:
            pass
    return rss, pss


def cpu_ticks(pids):
    total = 0
    for p in pids:
        try:
            with open(f"/proc/{p}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        except OSError:
            pass
    return total


def wakeups(pid):
    try:
        with open(f"/proc/{pid}/task/{pid}/status") as f:
            for line in f:
                if line.startswith("voluntary_ctxt_switches"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


class Run:
    """One program started by the X watcher; peak memory sampled every 50 ms."""

    def __init__(self, watch, title, cmd, key):
        args = [watch] + (["--key"] if key else []) + [title] + cmd
        self.w = subprocess.Popen(args, stdout=subprocess.PIPE, text=True)
        self.pid = int(self.w.stdout.readline().split()[1])
        self.peak_rss = self.peak_pss = 0
        self.done = False
        self.sampler = threading.Thread(target=self.sample)
        self.sampler.start()
        self.times = {}
        for line in self.w.stdout:
            k, v = line.split()[0], line.split()[1:]
            if k == "timeout":
                self.times["timeout"] = 1
            elif k == "key":
                self.times["key"] = float(v[0])  # the last press counts
            else:
                self.times.setdefault(k, float(v[0]))
        self.w.wait()

    def sample(self):
        while not self.done:
            rss, pss = mem(tree(self.pid))
            self.peak_rss, self.peak_pss = max(self.peak_rss, rss), max(self.peak_pss, pss)
            time.sleep(0.05)

    def stop(self):
        time.sleep(0.3)
        self.done = True
        self.sampler.join()
        rss, pss = mem(tree(self.pid))
        self.peak_rss, self.peak_pss = max(self.peak_rss, rss), max(self.peak_pss, pss)
        for p in reversed(tree(self.pid)):
            try:
                os.kill(p, signal.SIGTERM)
            except OSError:
                pass
        try:
            os.waitpid(self.pid, 0)
        except OSError:
            pass


def med(xs):
    return statistics.median(xs) if xs else float("nan")


def main():
    mode, build, port = sys.argv[1], sys.argv[2], int(sys.argv[3])
    rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 5
    home = tempfile.mkdtemp(prefix="corvane-bench-")
    site = os.path.join(home, "site")
    os.makedirs(site)
    with open(os.path.join(site, "index.html"), "w") as f:
        f.write(f"<!doctype html><html><head><title>{TITLE}</title></head><body><p>Hello.</p></body></html>")
    for d in ("config", "cache", "data", "runtime"):
        os.makedirs(os.path.join(home, d))
    os.chmod(os.path.join(home, "runtime"), 0o700)
    os.environ.update(HOME=home, XDG_CONFIG_HOME=home + "/config", XDG_CACHE_HOME=home + "/cache",
                      XDG_DATA_HOME=home + "/data", XDG_RUNTIME_DIR=home + "/runtime")
    os.environ.pop("WEBKIT_DISABLE_COMPOSITING_MODE", None)  # the same (unset) for all three
    handler = lambda *a, **k: http.server.SimpleHTTPRequestHandler(*a, directory=site, **k)
    http.server.SimpleHTTPRequestHandler.log_message = lambda *a: None
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = f"http://127.0.0.1:{port}/"
    watch = os.path.join(build, "bench", "corvane_xwatch")
    progs = {
        "A ombrel": ([os.path.join(build, "corvane-ombrel")], CAPTION, True),
        "B surf": (["surf", url], TITLE, False),
        "C floor": ([os.path.join(build, "bench", "corvane_floor"), url], TITLE, False),
    }
    if mode == "idle":
        idle(watch, progs)
        return
    res = {k: [] for k in progs}
    for r in range(rounds + 1):
        for name, (cmd, title, key) in progs.items():
            run = Run(watch, title, cmd, key)
            run.stop()
            if "timeout" in run.times or "title" not in run.times:
                print(f"round {r} {name}: no title (timeout)", file=sys.stderr)
                continue
            if r > 0:
                res[name].append((run.times, run.peak_rss, run.peak_pss))
    a, b, c = (res[k] for k in progs)
    rows = []
    a_map = med([t["map"] for t, _, _ in a])
    a_k2t = med([t["title"] - t["key"] for t, _, _ in a])
    b_e2t = med([t["title"] for t, _, _ in b])
    c_e2t = med([t["title"] for t, _, _ in c])
    print(f"Start-up, medians of {rounds} rounds (1 warm-up), page {url}, WEBKIT_DISABLE_COMPOSITING_MODE unset")
    print(f"{'':24}{'A ombrel':>10}{'B surf':>10}{'C floor':>10}{'A/B':>7}{'A/C':>7}")
    print(f"{'exec to splash map ms':24}{a_map:10.0f}{'':10}{'':10}")
    print(f"{'key to title ms':24}{a_k2t:10.0f}{'':10}{'':10}")
    print(f"{'exec to title ms':24}{med([t['title'] for t,_,_ in a]):10.0f}{b_e2t:10.0f}{c_e2t:10.0f}"
          f"{med([t['title'] for t,_,_ in a])/b_e2t:7.2f}{med([t['title'] for t,_,_ in a])/c_e2t:7.2f}")
    print(f"{'A key-to-title vs exec-to-title':24}{'':30}{a_k2t/b_e2t:7.2f}{a_k2t/c_e2t:7.2f}  (targets <=0.95, <=1.05)")
    for label, i in (("peak tree RSS MiB", 1), ("peak tree PSS MiB", 2)):
        va, vb, vc = (med([x[i] for x in s]) / 1024 for s in (a, b, c))
        print(f"{label:24}{va:10.1f}{vb:10.1f}{vc:10.1f}{va/vb:7.2f}{va/vc:7.2f}")
    server.shutdown()
    shutil.rmtree(home, ignore_errors=True)


def idle(watch, progs):
    runs = {}
    for name in ("A ombrel", "B surf"):
        cmd, title, key = progs[name]
        runs[name] = Run(watch, title, cmd, key)
    time.sleep(1)
    before = {n: (cpu_ticks(tree(r.pid)), wakeups(r.pid)) for n, r in runs.items()}
    time.sleep(10)
    after = {n: (cpu_ticks(tree(r.pid)), wakeups(r.pid)) for n, r in runs.items()}
    hz = os.sysconf("SC_CLK_TCK")
    print("Idle for 10 s after load, side by side (WEBKIT_DISABLE_COMPOSITING_MODE unset)")
    print(f"{'':10}{'UI wake-ups':>12}{'tree CPU ms':>12}")
    for n in runs:
        print(f"{n:10}{after[n][1]-before[n][1]:12d}{(after[n][0]-before[n][0])*1000/hz:12.0f}")
    for r in runs.values():
        r.stop()


if __name__ == "__main__":
    main()
