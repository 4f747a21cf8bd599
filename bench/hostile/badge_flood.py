#!/usr/bin/env python3
"""The DJ beside guests who toggle their badges as fast as the host lets them: FLOODERS guest
connections, 16 to a 127.0.x.y address, each sending a badge change every 0.1 s and reading all
it is sent; one DJ phone that logs in with PIN and moves a song every INTERVAL seconds, waiting for
each answer before the next, and times the answers. Prints how many, p50, p90 and the worst.

Usage: badge_flood.py PORT PIN SECONDS FLOODERS [INTERVAL [FIRST]]
FIRST, when given, numbers this process's guests from FIRST and leaves the DJ out, so that a big
crowd can be spread over processes beside one that runs the DJ alone (FLOODERS 0).
"""
import selectors
import sys
import time

from hostile_phones import Phone, TimedDJ, command, hello, messages

PER_ADDRESS = 16


def main():
    port, pin, seconds, flooders = int(sys.argv[1]), sys.argv[2], float(sys.argv[3]), int(sys.argv[4])
    interval = float(sys.argv[5]) if len(sys.argv) > 5 else 1.0
    first = int(sys.argv[6]) if len(sys.argv) > 6 else None
    selector = selectors.DefaultSelector()
    guests = [Phone(port, f"127.0.{50 + i // (PER_ADDRESS * 250)}.{1 + (i // PER_ADDRESS) % 250}", f"flood-{i}")
              for i in range(first or 0, (first or 0) + flooders)]
    dj = Phone(port, "127.0.210.1", "dj-phone")
    for phone in guests + ([dj] if first is None else []):
        phone.open(selector)
        phone.greeted, phone.next_badge, phone.toggles = False, 0.0, 0
    timed, dropped = TimedDJ(pin, interval), 0
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        now = time.monotonic()
        for guest in guests:
            if guest.greeted and now >= guest.next_badge:
                guest.toggles += 1
                tier = "gold" if guest.toggles % 2 else "vip"
                try:
                    guest.sock.send(command(f"b{guest.toggles}", "setBadge", {"tier": tier}))
                except (BlockingIOError, OSError):
                    pass
                guest.next_badge = now + 0.1
        move = timed.move_due(now)
        if move:
            dj.sock.send(move)
        for key, events in selector.select(timeout=0.02):
            phone = key.data
            try:
                if events & selectors.EVENT_WRITE:
                    if phone.pending:
                        phone.pending = phone.pending[phone.sock.send(phone.pending):]
                    else:
                        selector.modify(phone.sock, selectors.EVENT_READ, phone)
                if not events & selectors.EVENT_READ:
                    continue
                data = phone.sock.recv(1 << 22)
                if not data:
                    raise ConnectionError
                if phone is not dj:
                    if not phone.upgraded:
                        messages(phone, data)
                    else:
                        phone.buffer = b""  # a guest reads everything and looks at nothing
                    if phone.upgraded and not phone.greeted:
                        phone.sock.send(hello(phone.device))
                        phone.greeted = True
                    continue
                reply = timed.hear(dj, data)
                if reply:
                    dj.sock.send(reply)
            except BlockingIOError:
                continue
            except (ConnectionError, OSError):
                phone.close(selector)
                if phone is dj:
                    print("badge_flood: the DJ was dropped", file=sys.stderr)
                    return 1
                dropped += 1
    if first is not None:
        print(f"{flooders} flooders from {first}: guests dropped {dropped}", flush=True)
        return 0
    summary = timed.summary()
    if not summary:
        print("badge_flood: the DJ got no answer", file=sys.stderr)
        return 1
    print(f"{flooders} flooders: {summary}; guests dropped {dropped}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
