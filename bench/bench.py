#!/usr/bin/env python3
"""Start-up and idle benchmarks: Corvane Ombrel (A), surf (B) and the engine's
floor (C, bench/floor.cpp), interleaved under one Xvfb with a throw-away HOME.
Usage: bench.py startup|idle <build-dir> <port> [rounds] [pause]
pause: seconds between the splash being mapped and its key (a person looking
at it first; 0: the key at once). BASELINE=<another build of the program>
adds it as D to the start-up rounds (say, the same program before a change,
or built with its web processes unconfined)."""
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


def thread_counts(pids):
    """For every thread of the processes: (context switches, CPU ns)."""
    out = {}
    for p in pids:
        try:
            tids = os.listdir(f"/proc/{p}/task")
        except OSError:
            continue
        for t in tids:
            try:
                with open(f"/proc/{p}/task/{t}/status") as f:
                    sw = sum(int(line.split()[1]) for line in f
                             if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")))
                with open(f"/proc/{p}/task/{t}/schedstat") as f:
                    ns = int(f.read().split()[0])
            except OSError:
                continue
            out[(p, int(t))] = (sw, ns)
    return out


class Tally:
    """Wake-ups (context switches) and CPU time of a process tree, sampled every
    50 ms so that threads which end on the way still count up to their last sample."""

    def __init__(self, pid):
        self.pid, self.seen, self.base, self.done = pid, {}, {}, False
        self.thread = threading.Thread(target=self.run)
        self.thread.start()

    def run(self):
        while not self.done:
            for k, v in thread_counts(tree(self.pid)).items():
                old = self.seen.get(k, (0, 0))
                self.seen[k] = (max(old[0], v[0]), max(old[1], v[1]))
            time.sleep(0.05)

    def start(self):
        self.base = dict(self.seen)

    def result(self):
        """(UI thread wake-ups, UI process wake-ups, tree wake-ups, tree CPU ms) since start()."""
        self.done = True
        self.thread.join()
        d = {k: (v[0] - self.base.get(k, (0, 0))[0], v[1] - self.base.get(k, (0, 0))[1])
             for k, v in self.seen.items()}
        return (d.get((self.pid, self.pid), (0, 0))[0],
                sum(v[0] for k, v in d.items() if k[0] == self.pid),
                sum(v[0] for v in d.values()),
                sum(v[1] for v in d.values()) / 1e6)


class Run:
    """One program started by the X watcher; peak memory of its process tree is
    sampled every 50 ms until stop()."""

    def __init__(self, watch, title, cmd, key, pause=0.0):
        # surf puts its state in front of the page title: "@flags:- | <title>".
        suffix = title.startswith(" | ")
        keys = ["--key", "--pause", str(round(pause * 1000))] if key else []
        args = [watch] + keys + (["--suffix"] if suffix else []) + [title] + cmd
        self.w = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        first = self.w.stdout.readline().split()
        if len(first) != 2 or first[0] != "pid":
            raise RuntimeError(f"the X watcher did not start {cmd[0]} (exit {self.w.wait()})")
        self.pid = int(first[1])
        self.peak_rss = self.peak_pss = 0
        self.roles = {}
        self.done = False
        self.sampler = threading.Thread(target=self.sample)
        self.sampler.start()
        self.times = {}
        for line in self.w.stdout:
            k, v = line.split()[0], line.split()[1:]
            if k == "timeout":
                self.times["timeout"] = 1
                break
            if k == "key":
                self.times["key"] = float(v[0])  # the last press counts
            else:
                self.times.setdefault(k, float(v[0]))
            if k == "title":
                break

    def sample(self):
        while not self.done:
            self.take()
            time.sleep(0.05)

    def take(self):
        # Each process's memory is read once a sample: reading it costs the
        # kernel a walk over the process's pages while the program runs.
        rss = pss = 0
        roles = {}
        for p in tree(self.pid):
            r, s = mem([p])
            rss, pss = rss + r, pss + s
            role = ROLES.get(comm(p), "UI") if p != self.pid else "UI"  # the profile
            roles[role] = roles.get(role, 0) + s
        for role, s in roles.items():
            self.roles[role] = max(self.roles.get(role, 0), s)
        self.peak_rss, self.peak_pss = max(self.peak_rss, rss), max(self.peak_pss, pss)

    def stop(self, settle=0.3):
        """Lets the page settle, takes a last sample, then has the watcher end the program."""
        time.sleep(settle)
        self.done = True
        self.sampler.join()
        self.take()
        left = tree(self.pid)
        self.w.stdin.close()
        self.w.wait()
        self.w.stdout.close()
        for p in left[1:]:  # helpers that outlived their parent
            try:
                os.kill(p, signal.SIGTERM)
            except OSError:
                pass


# The engine's sandbox adds bubblewrap (two processes per web process) and,
# where there is a D-Bus session, its D-Bus proxy.
ROLES = {"WebKitWebProces": "web", "WebKitNetworkPr": "network", "bwrap": "sandbox",
         "xdg-dbus-proxy": "sandbox"}


def comm(pid):
    try:
        with open(f"/proc/{pid}/comm") as f:
            return f.read().strip()
    except OSError:
        return ""


def med(xs):
    return statistics.median(xs) if xs else float("nan")


def main():
    mode, build, port = sys.argv[1], sys.argv[2], int(sys.argv[3])
    rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 5
    pause = float(sys.argv[5]) if len(sys.argv) > 5 else 0.8
    home = tempfile.mkdtemp(prefix="corvane-bench-")
    site = os.path.join(home, "site")
    os.makedirs(site)
    with open(os.path.join(site, "index.html"), "w") as f:
        f.write(f"<!doctype html><html><head><title>{TITLE}</title></head><body><p>Hello.</p></body></html>")
    for d in ("config", "cache", "data", "runtime"):
        os.makedirs(os.path.join(home, d))
    os.chmod(os.path.join(home, "runtime"), 0o700)
    os.makedirs(os.path.join(home, ".surf", "styles"))  # surf complains without a style sheet
    open(os.path.join(home, ".surf", "styles", "default.css"), "w").close()
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
        "B surf": (["surf", url], " | " + TITLE, False),
        # The floor at the browser window's size (15165 x 11115 twips at 96 dpi),
        # so that A/C is what the browser adds; surf keeps its own 800 x 600.
        "C floor": ([os.path.join(build, "bench", "corvane_floor"), url, "1011", "741"], TITLE, False),
    }
    if os.environ.get("BASELINE") and mode != "idle":
        progs["D base"] = ([os.path.abspath(os.environ["BASELINE"])], CAPTION, True)
    try:
        if mode == "idle":
            idle(watch, progs, rounds, pause)
        else:
            startup(watch, progs, rounds, url, pause)
    finally:
        server.shutdown()
        shutil.rmtree(home, ignore_errors=True)


def ratio(a, b):
    return a / b if b else float("nan")


def startup(watch, progs, rounds, url, pause):
    """Interleaved rounds A B C A B C ..., the first one a warm-up; prints medians."""
    res = {k: [] for k in progs}
    for r in range(rounds + 1):
        for name, (cmd, title, key) in progs.items():
            run = Run(watch, title, cmd, key, pause)
            run.stop()
            if "title" not in run.times:
                print(f"round {r} {name}: the title did not show (timeout)", file=sys.stderr)
            elif r > 0:
                res[name].append((run.times, run.peak_rss, run.peak_pss, run.roles))
    sets = [res[k] for k in progs]
    a = sets[0]
    names = "".join(f"{k:>10}" for k in progs)
    line = lambda label, vs, fmt: print(f"{label:34}" + "".join(
        f"{v:10{fmt}}" if v == v else f"{'':10}" for v in vs), end="")  # nan: not measured
    e2t = [med([t["title"] for t, *_ in s]) for s in sets]
    maps = [med([t["map"] for t, *_ in s]) for s in sets]
    k2t = [med([t["title"] - t["key"] for t, *_ in s]) for s in sets[3:]]
    print(f"Start-up, medians of {'/'.join(str(len(s)) for s in sets)} rounds after 1 warm-up, "
          f"interleaved; page {url}; the splash key {pause:.1f} s after the splash is mapped; "
          f"WEBKIT_DISABLE_COMPOSITING_MODE unset")
    print(f"{'':34}{names}{'A/B':>7}{'A/C':>7}")
    line("exec to first window mapped, ms", maps, ".0f")
    print()
    line("exec to page title, ms", e2t, ".0f")
    print(f"{ratio(e2t[0], e2t[1]):7.2f}{ratio(e2t[0], e2t[2]):7.2f}"
          + (f"   ({'A and D' if len(sets) > 3 else 'A'}: with the pause)" if pause > 0 else ""))
    a_k2t = med([t["title"] - t["key"] for t, *_ in a])
    line("splash key to page title, ms", [a_k2t, float("nan"), float("nan")] + k2t, ".0f")
    targets = "target <= 0.25 (with the pause)" if pause > 0 else "targets <= 0.95, <= 1.05"
    print(f"{ratio(a_k2t, e2t[1]):7.2f}{ratio(a_k2t, e2t[2]):7.2f}   A vs B, C exec to title; {targets}")
    for label, i in (("peak process-tree RSS, MiB", 1), ("peak process-tree PSS, MiB", 2)):
        vs = [med([x[i] for x in s]) / 1024 for s in sets]
        note = "   target <= 1.05" if i == 2 else ""
        line(label, vs, ".1f")
        print(f"{ratio(vs[0], vs[1]):7.2f}{ratio(vs[0], vs[2]):7.2f}{note}")
    for role in ("UI", "web", "network", "sandbox"):
        vs = [med([x[3].get(role, 0) for x in s]) / 1024 for s in sets]
        line("  peak PSS of the " + role + " process" + ("es" if role == "sandbox" else ""), vs, ".1f")
        print(f"{ratio(vs[0], vs[1]):7.2f}{ratio(vs[0], vs[2]):7.2f}")


def idle(watch, progs, rounds, pause, seconds=10):
    """All three side by side, loaded and left alone; wake-ups and CPU over
    `seconds`, medians of `rounds` rounds."""
    res = {n: [] for n in progs}
    for _ in range(rounds):
        runs = {name: Run(watch, title, cmd, key, pause) for name, (cmd, title, key) in progs.items()}
        if any("title" not in r.times for r in runs.values()):
            print("a program did not show the page title", file=sys.stderr)
        tallies = {n: Tally(r.pid) for n, r in runs.items()}
        time.sleep(2)  # past the page load and the browser's last busy poll
        for t in tallies.values():
            t.start()
        time.sleep(seconds)
        for n, t in tallies.items():
            res[n].append(t.result())
        for r in runs.values():
            r.stop(0)
    print(f"Idle for {seconds} s after the page loaded, all three side by side, "
          f"medians of {rounds} rounds, WEBKIT_DISABLE_COMPOSITING_MODE unset")
    print(f"{'':12}{'UI thread':>12}{'UI process':>12}{'tree':>12}{'tree CPU':>12}")
    print(f"{'':12}{'wake-ups':>12}{'wake-ups':>12}{'wake-ups':>12}{'ms':>12}")
    for n, rs in res.items():
        d = [med([r[i] for r in rs]) for i in range(4)]
        print(f"{n:12}{d[0]:12.0f}{d[1]:12.0f}{d[2]:12.0f}{d[3]:12.1f}")
    a, b = (med([r[3] for r in res[n]]) for n in ("A ombrel", "B surf"))
    print(f"A/B tree CPU {a / b:.2f} (target <= 1.00); A's UI thread wake-ups "
          f"{med([r[0] for r in res['A ombrel']]):.0f} (target 0)")


if __name__ == "__main__":
    main()
