#!/usr/bin/python3
"""The remote view's cost: the running program's CPU with no viewer and with
one to four viewers watching one 1080p camera the way the live page does
(the next picture asked once the last has arrived, at most eight a second,
one kept-alive HTTPS connection each), side by side. Also the pictures each
viewer got a second and the longest delay from the camera's thread handing
a picture over to its last byte arriving; and a viewer on a slow link,
whose delay must not grow.

usage: bench/viewers_bench.py [LUMARO] [SECONDS_PER_STEP]   (default build/app/lumaro, 10)"""
import http.client
import os
import signal
import sqlite3
import ssl
import subprocess
import sys
import threading
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LUMARO = sys.argv[1] if len(sys.argv) > 1 else REPO + "/build/app/lumaro"
STEP = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
ROUNDS = 3
CAMERA = "lavfi:testsrc2=size=1920x1080:rate=25"
TICK = os.sysconf("SC_CLK_TCK")
sys.path.insert(0, REPO + "/tests/browser")
import remote_program  # noqa: E402
SERVER = ("remote-view", "remote-login")
CAPTURE = ("capture-", "camera-")  # the camera's streaming and reading threads


def result(name, value, unit, note=""):
    print("| %s | %.3f | %s | %s |" % (name, value, unit, note), file=sys.stderr, flush=True)


def cpu_seconds(pid):
    return cpu_seconds_of("/proc/%d/stat" % pid)


def thread_cpu_seconds(pid, names):
    """The CPU of the program's threads whose names begin so."""
    total = 0.0
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/comm" % (pid, task)) as comm:
                if not comm.read().strip().startswith(names):
                    continue
            total += cpu_seconds_of("/proc/%d/task/%s/stat" % (pid, task))
        except OSError:
            pass
    return total


def cpu_seconds_of(path):
    with open(path) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def connect(port):
    return http.client.HTTPSConnection("127.0.0.1", port, context=ssl._create_unverified_context(), timeout=10)


def log_in(port):
    for _ in range(100):
        try:
            link = connect(port)
            link.request("POST", "/login", "name=bench&password=bench+password",
                         {"Content-Type": "application/x-www-form-urlencoded"})
            reply = link.getresponse()
            reply.read()
            return reply.getheader("Set-Cookie").split(";")[0]
        except (OSError, AttributeError):
            time.sleep(0.2)
    raise SystemExit("viewers_bench: no login")


class Viewer(threading.Thread):
    """Asks as the page's script does."""

    def __init__(self, port, cookie, bytes_per_second=0):
        super().__init__(daemon=True)
        self.link, self.cookie, self.rate = connect(port), cookie, bytes_per_second
        self.pictures, self.worst_delay, self.stop = 0, 0.0, threading.Event()
        self.delays = []

    def read(self, reply):
        if not self.rate:
            return reply.read()
        while reply.read(4096):
            time.sleep(4096 / self.rate)  # a slow link

    def run(self):
        after = 0
        while not self.stop.is_set():
            began = time.monotonic()
            self.link.request("GET", "/live/1.jpg?after=%d" % after, headers={"Cookie": self.cookie})
            reply = self.link.getresponse()
            self.read(reply)
            if reply.status == 200:
                after = int(reply.getheader("X-Picture"))
                delay = int(reply.getheader("X-Picture-Age")) / 1000 + (time.monotonic() - began)
                self.pictures += 1
                self.worst_delay = max(self.worst_delay, delay)
                self.delays.append(delay)
                time.sleep(max(0.0, 0.125 - (time.monotonic() - began)))
            else:
                time.sleep(0.06)


def step(pid, port, cookie, viewers):
    watching = [Viewer(port, cookie) for _ in range(viewers)]
    for viewer in watching:
        viewer.start()
    time.sleep(2)  # the first pictures made
    cpu, wall = cpu_seconds(pid), time.monotonic()
    server, capture = thread_cpu_seconds(pid, SERVER), thread_cpu_seconds(pid, CAPTURE)
    counted = [v.pictures for v in watching]
    for v in watching:
        v.worst_delay = 0.0
    time.sleep(STEP)
    took = time.monotonic() - wall
    used = (cpu_seconds(pid) - cpu) / took
    serving = (thread_cpu_seconds(pid, SERVER) - server) / took
    capturing = (thread_cpu_seconds(pid, CAPTURE) - capture) / took
    rates = [(v.pictures - c) / STEP for v, c in zip(watching, counted)]
    delay = max((v.worst_delay for v in watching), default=0.0)
    for viewer in watching:
        viewer.stop.set()
        viewer.join()
    return used, serving + capturing, rates, delay


def main():
    program, home, port = remote_program.start(LUMARO, CAMERA, "bench", "bench password")
    try:
        cookie = log_in(port)
        time.sleep(3)
        # Rounds of none to four, so the machine's drift falls on every step alike.
        steps = {n: [] for n in range(5)}
        for _ in range(ROUNDS):
            for viewers in steps:
                steps[viewers].append(step(program.pid, port, cookie, viewers))
        mean = {n: [sum(r[i] for r in runs) / len(runs) for i in range(2)] for n, runs in steps.items()}
        alone, working = mean[0]
        result("viewers_none_cpu", alone * 100, "% of a core", "one 1080p camera recorded, nobody watching")
        for viewers in range(1, 5):
            used, serving = mean[viewers]
            runs = steps[viewers]
            result("viewers_%d_cpu" % viewers, used * 100, "% of a core",
                   "%.3f x none; +%.1f %% of a core" % (used / alone, (used - alone) * 100))
            result("viewers_%d_added_cpu" % viewers, (serving - working) * 100, "% of a core",
                   "the camera's and the server's threads against none (target <= 10)")
            result("viewers_%d_pictures" % viewers, min(min(r[2]) for r in runs), "pictures/s", "the slowest viewer")
            result("viewers_%d_delay" % viewers, max(r[3] for r in runs), "s", "longest, handed over to arrived")
        slow = Viewer(port, cookie, 100_000)
        slow.start()
        time.sleep(STEP * 2)
        slow.stop.set()
        slow.join()
        half = len(slow.delays) // 2
        result("viewer_slow_pictures", len(slow.delays) / (STEP * 2), "pictures/s", "a viewer reading 100 kB/s")
        result("viewer_slow_delay_first", max(slow.delays[:half], default=0), "s", "longest, first half")
        result("viewer_slow_delay_last", max(slow.delays[half:], default=0), "s", "longest, second half: no growth")
    finally:
        program.send_signal(signal.SIGTERM)
        program.wait(timeout=30)
    recorded_while_watched(home, time.time())


def recorded_while_watched(home, ended):
    """The time rule through it all: 25 pictures a second of the clock."""
    with sqlite3.connect(home + "/db/dbvardo.db") as db:
        rows = db.execute("SELECT video_save_path, start_time FROM video_save_history ORDER BY start_time").fetchall()
    pictures = 0
    for path, _ in rows:
        probe = subprocess.run(["ffprobe", "-v", "error", "-count_packets", "-select_streams", "v:0", "-show_entries",
                                "stream=nb_read_packets", "-of", "csv=p=0", path], capture_output=True, text=True)
        pictures += int(probe.stdout.strip() or 0)
    began = time.mktime(time.strptime(rows[0][1], "%Y-%m-%d %H:%M:%S")) if rows else ended
    result("viewers_recorded", pictures / (25 * (ended - began)), "x 25/s",
           "%d pictures in %d file(s) over %.0f s (start known to the second)" % (pictures, len(rows), ended - began))


if __name__ == "__main__":
    main()
