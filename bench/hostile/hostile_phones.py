#!/usr/bin/env python3
"""The hostile crowd of hostile_bench: idle phones that joined and only read, search spammers that
never read (and come back whenever the host drops them), and one real phone that keeps asking for
an answer and times it. Each group uses its own 127.0.x.y source addresses, as separate machines
on the party's network would. Prints one line of figures.

Usage: hostile_phones.py PORT [SECONDS [IDLE [SPAMMERS [PROBE]]]]
PROBE is "command" (a refusal that changes nothing; the default) or "search" (a song search).
"""
import base64
import json
import os
import selectors
import socket
import struct
import sys
import time

PER_ADDRESS = 15  # below the host's 16 a source address


def frame(text):
    payload = text.encode()
    mask = os.urandom(4)
    head = bytes([0x81])
    if len(payload) < 126:
        head += bytes([0x80 | len(payload)])
    elif len(payload) < 65536:
        head += bytes([0x80 | 126]) + struct.pack("!H", len(payload))
    else:
        head += bytes([0x80 | 127]) + struct.pack("!Q", len(payload))
    return head + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(payload))


def command(ident, kind, payload):
    return frame(json.dumps({"v": 1, "id": ident, "type": kind, "payload": payload}))


def hello(device):
    return command("hello-" + device, "hello", {"name": "Guest", "deviceID": device, "protocolVersion": 1})


class Phone:
    def __init__(self, port, source, device):
        self.port, self.source, self.device = port, source, device
        self.buffer = b""
        self.upgraded = False
        self.sock = None

    def open(self, selector):
        self.sock = socket.socket()
        self.sock.bind((self.source, 0))
        self.sock.setblocking(False)
        self.sock.connect_ex(("127.0.0.1", self.port))
        key = base64.b64encode(os.urandom(16)).decode()
        self.pending = (f"GET / HTTP/1.1\r\nHost: 127.0.0.1:{self.port}\r\nUpgrade: websocket\r\n"
                        f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n\r\n").encode()
        self.upgraded, self.buffer = False, b""
        selector.register(self.sock, selectors.EVENT_READ | selectors.EVENT_WRITE, self)

    def close(self, selector):
        try:
            selector.unregister(self.sock)
        except (KeyError, ValueError):
            pass
        self.sock.close()


def messages(phone, data):
    """Complete text messages in what the host sent (after the handshake)."""
    phone.buffer += data
    out = []
    if not phone.upgraded:
        end = phone.buffer.find(b"\r\n\r\n")
        if end < 0:
            return out
        phone.upgraded = True
        phone.buffer = phone.buffer[end + 4:]
    while len(phone.buffer) >= 2:
        length = phone.buffer[1] & 0x7F
        at = 2
        if length == 126:
            if len(phone.buffer) < 4:
                break
            length, at = struct.unpack("!H", phone.buffer[2:4])[0], 4
        elif length == 127:
            if len(phone.buffer) < 10:
                break
            length, at = struct.unpack("!Q", phone.buffer[2:10])[0], 10
        if len(phone.buffer) < at + length:
            break
        out.append(phone.buffer[at:at + length])
        phone.buffer = phone.buffer[at + length:]
    return out


class TimedDJ:
    """The DJ's side of a load tool: once its phone is welcomed it logs in with the PIN, then moves a
    song every `interval` seconds after the last move is answered, and times each answer."""

    def __init__(self, pin, interval):
        self.pin, self.interval = pin, interval
        self.stage, self.items, self.asked, self.times, self.moves = "hello", [], None, [], 0
        self.next_move = time.monotonic() + 3

    def move_due(self, now):
        """The move to send now, or None while one is unanswered or the next is not yet due."""
        if self.stage != "ready" or self.asked is not None or now < self.next_move or not self.items:
            return None
        self.moves += 1
        self.asked = (f"move-{self.moves}", now)
        item = self.items[(self.moves * 7919) % len(self.items)]
        return command(self.asked[0], "move", {"itemID": item, "toIndex": 0})

    def hear(self, phone, data):
        """Takes what the host sent the DJ's phone; answers what the phone sends back, if anything."""
        batch = messages(phone, data)
        reply = b""
        if phone.upgraded and self.stage == "hello":
            reply = hello(phone.device) + command("pin", "authenticateDJ", {"pin": self.pin})
            self.stage = "pin"
        for message in batch:
            if self.stage == "pin" and b'"type":"state"' in message[-200:]:
                self.items = [item["id"] for item in json.loads(message)["payload"]["queue"]]
                self.stage = "ready"
            if self.asked and f'"replyTo":"{self.asked[0]}"'.encode() in message[-300:]:
                self.times.append((time.monotonic() - self.asked[1]) * 1000)
                self.asked = None
                self.next_move = time.monotonic() + self.interval
        return reply

    def summary(self):
        """The answers' figures in a line, or None when there were none."""
        if not self.times:
            return None
        times = sorted(self.times)
        p = lambda f: times[min(len(times) - 1, int(len(times) * f))]
        waiting = f", one unanswered after {time.monotonic() - self.asked[1]:.1f} s" if self.asked else ""
        return f"DJ answers {len(times)}, p50 {p(0.5):.0f} ms, p90 {p(0.9):.0f} ms, max {times[-1]:.0f} ms{waiting}"


def main():
    port = int(sys.argv[1])
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 30
    idle_count = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
    spammer_count = int(sys.argv[4]) if len(sys.argv) > 4 else 60
    probe_search = len(sys.argv) > 5 and sys.argv[5] == "search"
    selector = selectors.DefaultSelector()
    idle = [Phone(port, f"127.0.{1 + i // (PER_ADDRESS * 250)}.{1 + (i // PER_ADDRESS) % 250}", f"idle-{i}")
            for i in range(idle_count)]
    spammers = [Phone(port, f"127.0.100.{1 + i}", f"spam-{i}") for i in range(spammer_count)]
    real = Phone(port, "127.0.200.1", "real-phone")
    for phone in idle + spammers + [real]:
        phone.role = "idle" if phone in idle else "spam" if phone in spammers else "real"
        phone.open(selector)
        phone.greeted = False
    search = command("s", "search", {"query": "a", "limit": 25})
    asked, times, drops, unanswered = {}, [], 0, 0
    # The probes time the crowd's steady state: they begin once the idle phones are all welcomed
    # (or 15 s have gone), not during their joining.
    next_probe, count = time.monotonic() + 2, 0
    latest_start = time.monotonic() + 15
    welcomed = set()
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        now = time.monotonic()
        settled = len(welcomed) == len(idle) or now >= latest_start
        if settled and now >= next_probe and real.upgraded and real.greeted:
            count += 1
            ident = f"probe-{count}"
            asked[ident] = now
            if probe_search:
                real.sock.send(command(ident, "search", {"query": "love", "limit": 25}))
            else:
                real.sock.send(command(ident, "deletePlaylist", {"id": "none"}))  # refused at once, changes nothing
            next_probe = now + 0.2
        for key, events in selector.select(timeout=0.05):
            phone = key.data
            try:
                if events & selectors.EVENT_WRITE:
                    if phone.pending:
                        sent = phone.sock.send(phone.pending)
                        phone.pending = phone.pending[sent:]
                    elif phone.upgraded and not phone.greeted:
                        phone.sock.send(hello(phone.device))
                        phone.greeted = True
                    elif phone.role == "spam" and phone.greeted:
                        burst = search * 20
                        phone.pending = burst[phone.sock.send(burst):]
                    elif phone.role != "spam":
                        selector.modify(phone.sock, selectors.EVENT_READ, phone)
                if events & selectors.EVENT_READ and (phone.role != "spam" or not phone.upgraded):
                    data = phone.sock.recv(1 << 20)
                    if not data:
                        raise ConnectionError
                    batch = messages(phone, data)
                    if phone.upgraded and not phone.greeted:
                        phone.sock.send(hello(phone.device))
                        phone.greeted = True
                    if phone.role == "idle" and phone.greeted and batch:
                        welcomed.add(phone.device)
                    for message in batch:
                        if phone.role == "real" and b'"replyTo":"probe-' in message:
                            ident = json.loads(message)["replyTo"]
                            if ident in asked:
                                times.append((time.monotonic() - asked.pop(ident)) * 1000)
                    if phone.role == "spam" and phone.upgraded:
                        selector.modify(phone.sock, selectors.EVENT_WRITE, phone)  # never reads again
            except (ConnectionError, BlockingIOError, OSError):
                if isinstance(sys.exc_info()[1], BlockingIOError):
                    continue
                phone.close(selector)
                if phone.role == "spam":
                    drops += 1
                    phone.greeted = False
                    phone.open(selector)
                elif phone.role == "real":
                    print("hostile_bench: the real phone was dropped:", repr(sys.exc_info()[1]), file=sys.stderr)
                    return 1
    unanswered = len(asked)
    times.sort()
    if not times:
        print("hostile_bench: the real phone got no answer", file=sys.stderr)
        return 1
    p50, p99 = times[len(times) // 2], times[min(len(times) - 1, int(len(times) * 0.99))]
    print(f"{len(times):9d} {p50:9.1f}ms {p99:9.1f}ms {max(times):9.1f}ms {unanswered:11d} {drops:13d}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
