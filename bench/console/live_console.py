#!/usr/bin/env python3
"""The DJ console at a big party, live: the real kovali-host on an X server of its own, a DJ's
phone that builds the party from 500-song playlists while the party screen is shown, and a probe
phone that asks for a cheap refusal every 50 ms (the next once the last is answered) and times
each answer, so that the longest wait tells how long the host's one thread went unanswered.
Prints one line of figures a scenario, each with the 1-minute load:

  switch  the first Ctrl+2 to the console at N songs: the longest stall, when the host answered
          again, and the stalls over 0.2 s
  load    a 500-song playlist loaded by the DJ's phone with the console shown (twice): the same,
          and how long the DJ's phone waited for its answer
  page    Tab onto a row of Up next, then Page Down at X autorepeat's 30 a second for 4 s

Each scenario ends once no stall has ended for --quiet seconds, or at --cap seconds; what is still
unanswered then is reported as such, and a host still frozen when the next scenario is due is
waited for (again up to --cap) in a line of its own ("before", "after").
Only the first size of --songs has a first switch: later ones switch back to a console that was
built before. --tabs is how many Tabs take the console page's focus to the first row; --shots
keeps pictures of the screen that show where the focus ring went.
The host runs in a private network namespace with only loopback and an avahi-daemon of its own
(the host needs Bonjour to take phones), so nothing reaches the real network. Needs root.

Usage: live_console.py --host build/kovali-host [--songs 10000 ...] [--cap 120]
"""
import argparse
import json
import os
import queue
import re
import selectors
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.realpath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "hostile"))
from hostile_phones import Phone, command, hello, messages  # noqa: E402

PIN = "2468"
PLAYLIST_SONGS = 500
PROBE_EVERY = 0.05
STALL = 0.2  # a wait longer than this is a stall
REPLY = re.compile(rb'"replyTo":"([^"]+)"')


def wav(title, artist, album, track):
    """A tenth of a second of 8 kHz 8-bit mono silence with its tags in a RIFF INFO list."""
    def chunk(ident, body):
        return ident + len(body).to_bytes(4, "little") + body + (b"\0" if len(body) % 2 else b"")
    fmt = (1).to_bytes(2, "little") * 2 + (8000).to_bytes(4, "little") * 2 + (1).to_bytes(2, "little") + \
        (8).to_bytes(2, "little")
    info = b"INFO" + b"".join(chunk(k, v.encode() + b"\0") for k, v in
                              ((b"INAM", title), (b"IART", artist), (b"IPRD", album), (b"ITRK", str(track))))
    return chunk(b"RIFF", b"WAVE" + chunk(b"fmt ", fmt) + chunk(b"LIST", info) + chunk(b"data", b"\x80" * 800))


def music_folder(folder, playlists):
    """At least `playlists` M3U playlists of 500 songs, no song in two: the party skips a song it
    has queued already. The folder is kept, and grown when a run needs more."""
    note = os.path.join(folder, ".playlists")
    made = int(open(note).read()) if os.path.exists(note) else 0
    if made >= playlists:
        return
    os.makedirs(folder, exist_ok=True)
    for p in range(made, playlists):
        sub = os.path.join(folder, f"{p:03d}")
        shutil.rmtree(sub, ignore_errors=True)
        os.makedirs(sub)
        lines = []
        for s in range(PLAYLIST_SONGS):
            n = p * PLAYLIST_SONGS + s
            name = f"{n}.wav"
            with open(os.path.join(sub, name), "wb") as out:
                out.write(wav(f"Song {n} of the night", f"Artist {n // 100}", f"Album {n // 10}", 1 + n % 10))
            lines.append(f"{p:03d}/{name}")
        with open(os.path.join(folder, f"Party {p:03d}.m3u"), "w") as out:
            out.write("\n".join(lines) + "\n")
    with open(note, "w") as out:
        out.write(str(playlists))


class Phones(threading.Thread):
    """The DJ's phone and the probe phone on one selector loop of their own."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.selector = selectors.DefaultSelector()
        self.dj = Phone(port, "127.0.0.1", "live-console-dj")
        self.probe = Phone(port, "127.0.0.2", "live-console-probe")
        self.dj.greeted = self.probe.greeted = False
        self.outbox = queue.Queue()
        self.lock = threading.Lock()
        self.probing = False
        self.asked = {}      # probe id -> sent
        self.answered = []   # (sent, answered)
        self.replies = {}    # DJ command id -> (answered, message)
        self.state = None    # the DJ's last state message
        self.count = 0
        self.failure = None
        self.side = None

    def run(self):
        try:
            self.loop()
        except Exception as error:  # a phone that lost the host ends the run
            self.failure = f"{type(error).__name__} on the {self.side} phone: {error}"

    def loop(self):
        for phone in (self.dj, self.probe):
            phone.open(self.selector)
        next_probe = 0.0
        while True:
            now = time.monotonic()
            # One probe at a time: the first one a frozen host leaves unanswered times the freeze,
            # and a phone that floods a frozen host gets reset.
            if self.probing and self.probe.greeted and now >= next_probe and not self.asked:
                self.count += 1
                ident = f"probe-{self.count}"
                with self.lock:
                    self.asked[ident] = now
                # Refused at once and changes nothing; past the rate it is refused all the same.
                self.send(self.probe, command(ident, "deletePlaylist", {"id": "none"}))
                next_probe = now + PROBE_EVERY
            while not self.outbox.empty():
                self.send(self.dj, self.outbox.get())
            for key, events in self.selector.select(timeout=0.01):
                phone = key.data
                self.side = "DJ's" if phone is self.dj else "probe"
                if events & selectors.EVENT_WRITE:
                    if phone.pending:
                        phone.pending = phone.pending[phone.sock.send(phone.pending):]
                    else:
                        self.selector.modify(phone.sock, selectors.EVENT_READ, phone)
                if events & selectors.EVENT_READ:
                    data = phone.sock.recv(4 << 20)
                    if not data:
                        raise ConnectionError(f"the host closed the {phone.device} connection")
                    batch = messages(phone, data)
                    if phone.upgraded and not phone.greeted:
                        self.send(phone, hello(phone.device))
                        phone.greeted = True
                    self.hear(phone, batch)

    def send(self, phone, data):
        """Sends when the loop may write: a host that froze stops reading, and its buffers fill."""
        phone.pending += data
        self.selector.modify(phone.sock, selectors.EVENT_READ | selectors.EVENT_WRITE, phone)

    def hear(self, phone, batch):
        now = time.monotonic()
        for message in batch:
            found = REPLY.search(message[-300:])
            if phone is self.probe:
                if found:
                    with self.lock:
                        sent = self.asked.pop(found.group(1).decode(), None)
                        if sent is not None:
                            self.answered.append((sent, now))
                continue
            if b'"type":"state"' in message[-100:]:
                self.state = message
            if found:
                with self.lock:
                    self.replies[found.group(1).decode()] = (now, message)

    def ask(self, ident, kind, payload):
        """Sends a DJ command; answers when it was sent."""
        sent = time.monotonic()
        self.outbox.put(command(ident, kind, payload))
        return sent

    def reply(self, ident):
        with self.lock:
            return self.replies.get(ident)

    def last_stall(self):
        """(answered, waited) of the stall that ended last, or None."""
        with self.lock:
            return next(((a, a - s) for s, a in reversed(self.answered) if a - s > STALL), None)

    def waits(self, since, until):
        """(sent, waited, answered) of the probes sent before `until` and answered after `since`,
        the one in flight at `since` included; an unanswered one has waited until `until` and
        answered None."""
        with self.lock:
            out = [(s, a - s, a) for s, a in self.answered if s <= until and a >= since]
            out += [(s, until - s, None) for s in self.asked.values() if s <= until]
        return sorted(out)


class Run:
    def __init__(self, args, work):
        self.args, self.work, self.children = args, work, []
        self.display = None
        self.phones = None
        self.window = None
        self.host = None
        self.loaded = 0
        self.playlists = []

    # ---- the X server, the host, the phones ---------------------------------------------------

    def spawn(self, argv, log, **kwargs):
        child = subprocess.Popen(argv, stdout=log, stderr=subprocess.STDOUT, start_new_session=True, **kwargs)
        self.children.append(child)
        return child

    def stop(self):
        for child in reversed(self.children):
            if child.poll() is None:
                child.send_signal(signal.SIGTERM)
                try:
                    child.wait(10)
                except subprocess.TimeoutExpired:
                    child.kill()
                    child.wait()

    def wait_for(self, what, seconds, check):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            result = check()
            if result:
                return result
            if self.phones and self.phones.failure:
                raise RuntimeError(self.phones.failure)
            time.sleep(0.05)
        raise RuntimeError(f"{what} did not happen within {seconds} s")

    def start(self):
        read, write = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp", "-screen", "0", "1600x1000x24"],
                   open(os.path.join(self.work, "xvfb.log"), "w"), pass_fds=(write,))
        os.close(write)
        ready = []
        self.wait_for("Xvfb's start", 10, lambda: ready.append(os.read(read, 16)) or b"\n" in b"".join(ready))
        os.close(read)
        self.display = ":" + b"".join(ready).decode().strip()
        env = {k: v for k, v in os.environ.items()
               if k not in ("DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "PULSE_SERVER")}
        for sub in ("home", "config", "data", "cache", "runtime"):
            os.makedirs(os.path.join(self.work, sub), mode=0o700)
        env.update(DISPLAY=self.display, HOME=f"{self.work}/home", XDG_CONFIG_HOME=f"{self.work}/config",
                   XDG_DATA_HOME=f"{self.work}/data", XDG_CACHE_HOME=f"{self.work}/cache",
                   XDG_RUNTIME_DIR=f"{self.work}/runtime")
        self.host_log = os.path.join(self.work, "host.log")
        self.host = self.spawn([self.args.host, "--music", self.args.music, "-djPIN", PIN], open(self.host_log, "w"),
                               env=env)

        def port():
            found = re.search(r"listening on port (\d+)", open(self.host_log, errors="replace").read())
            if self.host.poll() is not None:
                raise RuntimeError("the host ended:\n" + open(self.host_log, errors="replace").read()[-2000:])
            return found and int(found.group(1))
        self.port = self.wait_for("the host's listening", 60, port)
        self.window = self.wait_for("the window Kovali", 30, lambda: self.xdotool("search", "--onlyvisible", "--name",
                                                                               "^Kovali$").split()[:1])[0]
        self.xdotool("mousemove", "1599", "999")  # off the window: no row shows the pointer's hover
        self.phones = Phones(self.port)
        self.phones.start()
        self.wait_for("the phones' welcome", 30, lambda: self.phones.dj.greeted and self.phones.probe.greeted)
        self.dj_command("pin", "authenticateDJ", {"pin": PIN}, 30)
        self.phones.probing = True

    def xdotool(self, *argv):
        done = subprocess.run(["xdotool", *argv], env={**os.environ, "DISPLAY": self.display},
                              capture_output=True, text=True, timeout=30)
        return done.stdout

    def keys(self, *names, delay=None, repeat=None):
        """Presses `names` in the host's window, which takes the keyboard first."""
        self.xdotool("windowfocus", "--sync", self.window)
        argv = ["key", "--clearmodifiers"]
        if delay is not None:
            argv += ["--delay", str(delay)]
        if repeat is not None:
            argv += ["--repeat", str(repeat)]
        return self.xdotool(*argv, *names)

    def shot(self, name):
        """With --shots, a picture of the screen, to see where the focus went."""
        if not self.args.shots:
            return
        os.makedirs(self.args.shots, exist_ok=True)
        subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "x11grab", "-video_size", "1600x1000", "-i",
                        self.display, "-frames:v", "1", os.path.join(self.args.shots, f"{self.queued()}-{name}.png")],
                       timeout=30, check=False)

    def dj_command(self, ident, kind, payload, seconds):
        """Sends a DJ command and waits for its answer: (seconds it took, the answer), or None."""
        sent = self.phones.ask(ident, kind, payload)
        try:
            answered, message = self.wait_for(f"the answer to {kind}", seconds, lambda: self.phones.reply(ident))
        except RuntimeError:
            return None
        if b'"type":"error"' in message[-100:]:
            raise RuntimeError(f"{kind} was refused: {message[:300]!r}")
        return answered - sent, message

    # ---- the party ----------------------------------------------------------------------------

    def find_playlists(self):
        def listed():
            answer = self.dj_command(f"list-{time.monotonic()}", "listPlaylists", {"source": "library"}, 30)
            if not answer:
                return None
            refs = json.loads(answer[1])["payload"]
            refs = [ref for ref in refs if ref["name"].startswith("Party ")]
            if len(refs) < self.args.playlists:
                time.sleep(1)  # the library is still being scanned
                return None
            return sorted(refs, key=lambda ref: ref["name"])
        self.playlists = self.wait_for("the library's playlists", 300, listed)

    def load(self, seconds):
        ref = self.playlists[self.loaded]
        self.loaded += 1
        answer = self.dj_command(f"load-{self.loaded}", "loadPlaylist", {"ref": ref, "replaceQueue": False}, seconds)
        return answer and answer[0]

    def build(self, songs):
        while self.loaded * PLAYLIST_SONGS < songs:
            if self.load(self.args.cap) is None:
                raise RuntimeError(f"load {self.loaded} was not answered within {self.args.cap} s")
        queued = len(json.loads(self.wait_for("the party's state", 30, lambda: self.phones.state))["payload"]["queue"])
        if queued != self.loaded * PLAYLIST_SONGS:
            raise RuntimeError(f"{queued} songs queued after {self.loaded} loads of {PLAYLIST_SONGS}")

    def queued(self):
        return len(json.loads(self.phones.state)["payload"]["queue"])

    # ---- the figures --------------------------------------------------------------------------

    def settle(self, since, pending=lambda: False):
        """Waits until nothing is pending and no stall has ended for a quiet while, or until --cap
        seconds after `since`; answers when it stopped. The quiet while is --quiet seconds, or
        longer than the host's last stall: a refresh that took long may wait as long before it
        runs again."""
        end = since + self.args.cap
        while True:
            now = time.monotonic()
            if now >= end:
                return end
            last = self.phones.last_stall()
            quiet = max(self.args.quiet, last[1] + 1 if last else 0)
            ended = last[0] if last else -quiet
            frozen = any(answered is None and waited > STALL for _, waited, answered in self.phones.waits(since, now))
            if now - since >= self.args.quiet and now - ended >= quiet and not pending() and not frozen:
                return now
            if self.phones.failure:
                raise RuntimeError(self.phones.failure)
            time.sleep(0.1)

    def figures(self, since, until):
        waits = self.phones.waits(since, until)
        if not waits:
            return "no probes"
        times = sorted(w for _, w, _ in waits)
        worst = max(waits, key=lambda w: w[1])
        unanswered = [w for w in waits if w[2] is None and w[1] > STALL]
        slow = [w for w in waits if w[1] > STALL]
        again = max((w[2] for w in slow if w[2] is not None), default=since) - since
        stalls = 0
        previous = None
        for sent, waited, answered in waits:  # probes sent during one stall count once
            if waited > STALL and (previous is None or sent > previous):
                stalls += 1
                previous = answered if answered is not None else until
        text = (f"max stall {worst[1]:.2f} s{' (unanswered at the cap)' if worst[2] is None else ''}, "
                f"p95 {times[int(len(times) * 0.95)]:.2f} s, stalls > {STALL} s: {stalls}, "
                f"answering again after {again:.2f} s")
        if unanswered:
            text += f", unanswered > {until - unanswered[0][0]:.0f} s"
        return text

    def line(self, name, text):
        load = open("/proc/loadavg").read().split()[0]
        print(f"{name:<8} songs {self.queued():>6}: {text}; load {load}", flush=True)

    # ---- the scenarios ------------------------------------------------------------------------

    def recover(self, name):
        """Between scenarios: waits, up to --cap seconds, for the host to be answering again after
        the last one (a late refresh may freeze it again), and says so when that took long."""
        since = time.monotonic()
        until = self.settle(since)
        if any(waited > STALL for _, waited, _ in self.phones.waits(since, until)):
            self.line(name, f"the host stalled between scenarios, over {until - since:.1f} s: "
                            f"{self.figures(since, until)}")

    def switch(self):
        since = time.monotonic()
        self.keys("ctrl+2")
        until = self.settle(since)
        self.line("switch", self.figures(since, until))
        self.shot("switched")

    def load_shown(self):
        since = time.monotonic()
        answer = {}

        def load():
            try:
                answer["t"] = self.load(self.args.cap)
            except RuntimeError as refusal:
                answer["t"], answer["refused"] = None, refusal
        threading.Thread(target=load, daemon=True).start()
        until = self.settle(since, pending=lambda: "t" not in answer)
        dj = answer.get("t")
        dj_text = f"DJ answered after {dj:.2f} s" if dj is not None else f"DJ unanswered > {self.args.cap} s"
        if "refused" in answer:
            dj_text = f"DJ refused: {answer['refused']}"
        self.line("load", f"{self.figures(since, until)}, {dj_text}")

    def page(self):
        self.keys(*["Tab"] * self.args.tabs)
        self.settle(time.monotonic())
        self.shot("tabbed")
        since = time.monotonic()
        presses = int(self.args.hold * 30)
        self.keys("Next", delay=1000 // 30, repeat=presses)
        pressed = time.monotonic() - since
        until = self.settle(since)
        self.line("page", f"{self.figures(since, until)}, {presses} presses sent in {pressed:.1f} s")
        self.shot("paged")
        self.keys("Escape")


def inside(args):
    work = tempfile.mkdtemp(prefix="live-console-")
    run = Run(args, work)
    try:
        music_folder(args.music, args.playlists)
        run.start()
        run.find_playlists()
        print(f"host {args.host}, {args.playlists} playlists of {PLAYLIST_SONGS}, display {run.display}, "
              f"load {open('/proc/loadavg').read().split()[0]}", flush=True)
        for songs in args.songs:
            if run.loaded * PLAYLIST_SONGS > songs:
                print(f"skipped {songs}: the party has {run.loaded * PLAYLIST_SONGS} songs already")
                continue
            run.keys("ctrl+1")
            run.settle(time.monotonic())
            started = time.monotonic()
            run.build(songs)
            print(f"built {songs} songs with the party screen shown in {time.monotonic() - started:.1f} s",
                  flush=True)
            run.switch()
            for _ in range(args.loads):
                run.recover("before")
                run.load_shown()
            if args.tabs:
                run.recover("before")
                run.page()
            run.recover("after")
        return 0
    except (RuntimeError, subprocess.TimeoutExpired) as error:
        ended = run.host.poll() if run.host else None
        print(f"FAILED: {error}" + (f" (the host had ended with status {ended})" if ended is not None else ""),
              file=sys.stderr)
        run.stop()  # the host's last lines come once it is no longer frozen
        log = os.path.join(work, "host.log")
        if os.path.exists(log):
            print("--- host.log (end)\n" + open(log, errors="replace").read()[-3000:], file=sys.stderr)
        return 1
    finally:
        run.stop()
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--host", required=True, help="the kovali-host executable")
    parser.add_argument("--songs", type=int, nargs="+", default=[10000],
                        help="party sizes, in rising order, each a multiple of 500 (default 10000)")
    parser.add_argument("--music", help="the music folder made and kept (default: beside the host)")
    parser.add_argument("--loads", type=int, default=2, help="500-song loads with the console shown")
    parser.add_argument("--tabs", type=int, default=5, help="Tabs from the console page to a row of Up next "
                                                            "(0: no Page Down scenario)")
    parser.add_argument("--hold", type=float, default=4, help="seconds Page Down is held")
    parser.add_argument("--cap", type=float, default=120, help="longest wait of a scenario, in seconds")
    parser.add_argument("--quiet", type=float, default=5, help="seconds without a stall that end a scenario")
    parser.add_argument("--shots", help="a folder for pictures of the screen after each scenario")
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    args.host = os.path.realpath(args.host)
    args.music = os.path.realpath(args.music or os.path.join(os.path.dirname(args.host), "bench-library",
                                                             "live-console"))
    # Every load brings songs the party does not have yet.
    args.playlists = max(args.songs) // PLAYLIST_SONGS + args.loads
    if args.inside:
        return inside(args)
    # Only loopback and a Bonjour daemon of its own, as the host's process tests have.
    namespace = os.path.join(HERE, "..", "..", "tests", "support", "in_bonjour_namespace.sh")
    return subprocess.call([namespace, "the live console bench", sys.executable, os.path.realpath(__file__),
                            "--inside", "--host", args.host, "--music", args.music, *strip(sys.argv[1:])])


def strip(argv):
    """The arguments without --host and --music and their values, which are passed resolved."""
    out, skip = [], False
    for a in argv:
        if skip:
            skip = False
        elif a in ("--host", "--music"):
            skip = True
        elif not a.startswith(("--host=", "--music=")):
            out.append(a)
    return out


if __name__ == "__main__":
    sys.exit(main())
