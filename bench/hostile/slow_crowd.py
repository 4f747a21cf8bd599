#!/usr/bin/env python3
"""One group of a big party's phones, run as a process of its own so that many groups pace their
reading on more than one core. Each phone reads through a 64 KB receive window, as a phone on
Wi-Fi does, and with --come-back comes back as the same device a second after its connection ends.

  honest   phones reading RATE bytes a second, joining spread over JOIN seconds, one a source address
  dj       the DJ (PIN, a song moved every INTERVAL s, each answer timed) and 4 guests reading 2 MB/s
  sleepers connections, 16 an address, reading at full speed for 1.5 s and then nothing for 8.5 s
  tails    connections, 16 an address, reading a party at full speed to its last 600 KB, then 1 KB/s

Usage: slow_crowd.py GROUP PORT SECONDS COUNT FIRST [--rate B] [--join S] [--interval S] [--pin P]
                     [--come-back]
Prints one line: how many connections ended under the phones, how often, and how fast they read.
"""
import argparse
import socket
import struct
import sys
import time

from hostile_phones import TimedDJ, hello

WINDOW = 64 << 10
TICK = 0.05
FULL_SPEED = 4 << 20
TAIL_BYTES = 600 << 10
HANDSHAKE = (b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
             b"Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")


class Reader:
    """A phone that reads at a pace of its own and follows the frames it is sent."""

    def __init__(self, port, source, device, rate):
        self.port, self.source, self.device, self.rate = port, source, device, rate
        self.sock, self.open_at, self.joined = None, None, None
        self.read_bytes, self.ended, self.frames = 0, 0, 0
        self.tokens, self.phase = 0.0, 0.0

    def open(self):
        self.sock = socket.socket()
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, WINDOW)
        self.sock.bind((self.source, 0))
        self.sock.settimeout(5)
        self.sock.connect(("127.0.0.1", self.port))
        self.sock.setblocking(False)
        self.sock.send(HANDSHAKE)
        self.upgraded, self.buffer, self.header, self.frame_left, self.frame_size = False, b"", b"", 0, 0
        if self.joined is None:
            self.joined = time.monotonic()

    def follow(self, data):
        """Walks the frames in `data`, so that the phone knows how much of the message it reads is left."""
        at, size = 0, len(data)
        while at < size:
            if self.frame_left:
                took = min(self.frame_left, size - at)
                self.frame_left -= took
                at += took
                self.frames += self.frame_left == 0
                continue
            self.header += data[at:at + 1]
            at += 1
            if len(self.header) < 2:
                continue
            code = self.header[1] & 0x7F
            need = 2 + {126: 2, 127: 8}.get(code, 0)
            if len(self.header) < need:
                continue
            length = code if code < 126 else struct.unpack("!H" if code == 126 else "!Q", self.header[2:need])[0]
            self.frame_size = self.frame_left = length
            self.header = b""
            self.frames += length == 0

    def allowance(self, group, now):
        """How many bytes the phone takes in this tick."""
        if group == "sleepers":
            self.tokens = 0
            return FULL_SPEED if (now - self.joined + self.phase) % 10 < 1.5 else 0
        if group == "tails":
            if self.frame_size <= 2 * TAIL_BYTES or self.frame_left > TAIL_BYTES:
                self.tokens = 0
                return FULL_SPEED if self.frame_left <= TAIL_BYTES else self.frame_left - TAIL_BYTES
            self.tokens = min(self.tokens + 1000 * TICK, 2000)
            return int(self.tokens)
        self.tokens = min(self.tokens + self.rate * TICK, self.rate * TICK * 4)
        return int(self.tokens)

    def take(self, data):
        self.read_bytes += len(data)
        self.tokens -= len(data)
        if not self.upgraded:
            self.buffer += data
            end = self.buffer.find(b"\r\n\r\n")
            if end < 0:
                return
            self.upgraded, data, self.buffer = True, self.buffer[end + 4:], b""
            self.sock.send(hello(self.device))
        self.follow(data)


def address(group, index):
    if group == "honest":
        return f"127.{1 + index // 62500}.{1 + (index // 250) % 250}.{1 + index % 250}"
    base = {"dj": 210, "sleepers": 120, "tails": 160}[group]
    slot = index // 16
    return f"127.{base + slot // 250}.{1 + slot % 250}.{1 + index % 16}"


class DJ(TimedDJ):
    """The DJ's phone, reading everything as it comes."""

    def __init__(self, port, pin, interval):
        super().__init__(pin, interval)
        self.phone = Reader(port, "127.0.200.1", "dj-phone", FULL_SPEED)

    def tick(self, now):
        move = self.move_due(now)
        if move:
            self.phone.sock.send(move)
        while True:
            data = self.phone.sock.recv(FULL_SPEED)
            if not data:
                raise ConnectionError("the DJ's connection ended")
            reply = self.hear(self.phone, data)
            if reply:
                self.phone.sock.send(reply)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("group", choices=["honest", "dj", "sleepers", "tails"])
    parser.add_argument("port", type=int)
    parser.add_argument("seconds", type=float)
    parser.add_argument("count", type=int)
    parser.add_argument("first", type=int)
    parser.add_argument("--rate", type=float, default=40_000)
    parser.add_argument("--join", type=float, default=60)
    parser.add_argument("--interval", type=float, default=2)
    parser.add_argument("--pin", default="2468")
    parser.add_argument("--come-back", action="store_true")
    options = parser.parse_args()
    group, start = options.group, time.monotonic()
    end = start + options.seconds
    dj = None
    if group == "dj":
        dj = DJ(options.port, options.pin, options.interval)
        dj.phone.open()
        phones = [Reader(options.port, f"127.0.201.{1 + i}", f"fast-{i}", 2_000_000) for i in range(4)]
    else:
        rate = options.rate if group == "honest" else FULL_SPEED
        phones = [Reader(options.port, address(group, options.first + i), f"{group}-{options.first + i}", rate)
                  for i in range(options.count)]
    spread = options.join if group == "honest" else 10
    for i, phone in enumerate(phones):
        phone.open_at = start + spread * i / max(1, len(phones))
        phone.phase = 10 * i / max(1, len(phones))
    while time.monotonic() < end:
        now = time.monotonic()
        if dj:
            try:
                dj.tick(now)
            except BlockingIOError:
                pass
            except (ConnectionError, OSError) as error:
                print(f"slow_crowd: the DJ was let go: {error!r}; {dj.summary() or 'no answer'}", flush=True)
                return 1
        for phone in phones:
            if phone.sock is None:
                if phone.open_at is not None and now >= phone.open_at:
                    try:
                        phone.open()
                    except OSError:
                        phone.sock, phone.open_at = None, now + 1
                continue
            try:
                want = phone.allowance(group, now)
                for _ in range(8):
                    if want <= 0:
                        break
                    data = phone.sock.recv(min(want, FULL_SPEED))
                    if not data:
                        raise ConnectionError
                    phone.take(data)
                    want -= len(data)
            except BlockingIOError:
                continue
            except (ConnectionError, OSError):
                phone.sock.close()
                phone.sock, phone.ended = None, phone.ended + 1
                phone.open_at = now + 1 if options.come_back else None
        time.sleep(max(0.0, TICK - (time.monotonic() - now)))
    joined = [phone for phone in phones if phone.joined is not None]
    rates = sorted(phone.read_bytes / max(1e-3, end - phone.joined) for phone in joined)
    ended = [phone for phone in phones if phone.ended]
    median = rates[len(rates) // 2] / 1000 if rates else 0
    line = (f"{group} {options.first}-{options.first + len(phones) - 1}: joined {len(joined)}, welcomed "
            f"{sum(phone.frames > 0 for phone in joined)}, ended under {len(ended)} ({sum(p.ended for p in phones)} "
            f"times), median read {median:.1f} KB/s, still connected {sum(p.sock is not None for p in phones)}")
    if dj:
        line += "; " + (dj.summary() or "the DJ got no answer")
    print(line, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
