#!/usr/bin/env python3
"""Presses Start in the real program and watches its window as a window
manager would. Run it on an X display of its own (measure.py starts it under
xvfb-run); it needs python3-xlib.

Starts PROGRAM in JUKEBOX, waits for its window titled "Trackfold", checks
that the window takes part in _NET_WM_PING (WM_PROTOCOLS), types MUSIC into
the path box, and presses Start from the keyboard (Tab, Tab, Space) through
the XTEST extension. From the moment the window is up until the done message
has been shown a while, it sends the window a _NET_WM_PING every 20 ms and
notes when each comes back on the root window. Every other top-level window
titled "Trackfold" that is mapped after the press is a box: one mapped before
the playlist document is in place is the progress box, the first one after
it is the done message, which ends the run.

Prints one JSON object: press_to_box_s (null when no progress box came),
press_to_done_s, longest_unanswered_s (the longest any ping sent from the
press to the done message waited for its answer, or for the end when none
came), pings_sent in that time and pings_answered before the done message.

With --cancel-after S the progress box is closed S seconds after it came, as
a window manager closes a window (WM_DELETE_WINDOW), and the run ends when the
box is gone: cancelled_at_s is when the close was sent (time.monotonic()'s
clock, which is CLOCK_MONOTONIC, so others can compare their times with it),
cancel_to_gone_s the time from the close to the box's unmap (null when it
stayed), and for a second more it watches for what must not
come: a message box (message_after_cancel) or the document
(document_written). press_to_done_s is then null, and the pings are those
sent until the box was gone.
"""

import argparse
import json
import os
import select
import signal
import subprocess
import sys
import time

from Xlib import X, display
from Xlib.ext import xtest
from Xlib.protocol import event

PING_EVERY_S = 0.020
TITLE = "Trackfold"
# After the done message: pings keep going this long, so a window that hangs
# on the way out is seen too.
AFTER_DONE_S = 0.5
# After a cancel: how long to watch for a message box or a document.
AFTER_CANCEL_S = 1.0


class Watch:
    def __init__(self, timeout):
        self.d = display.Display()
        self.root = self.d.screen().root
        # Qt sends its answers to _NET_WM_PING to the root window for clients
        # selecting StructureNotify (or SubstructureRedirect, which a window
        # manager holds) there; SubstructureNotify brings the map notifications
        # of every top-level window.
        self.root.change_attributes(
            event_mask=X.StructureNotifyMask | X.SubstructureNotifyMask)
        self.atom = {name: self.d.intern_atom(name) for name in
                     ("WM_PROTOCOLS", "_NET_WM_PING", "_NET_WM_NAME", "UTF8_STRING")}
        self.deadline = time.monotonic() + timeout
        self.main = None
        self.mapped = []  # (time, window) of top-level windows titled TITLE
        self.unmapped = {}  # window id -> time its unmap was seen
        self.sent = {}  # serial -> time sent
        self.answered = {}  # serial -> time answered
        self.serial = 0
        self.next_ping = None

    def title(self, window):
        try:
            prop = window.get_full_property(self.atom["_NET_WM_NAME"], self.atom["UTF8_STRING"])
            if prop is not None:
                return bytes(prop.value).decode("utf-8", "replace")
            name = window.get_wm_name()
            return name if isinstance(name, str) else None
        except Exception:  # the window went away meanwhile
            return None

    def ping(self):
        self.serial += 1
        message = event.ClientMessage(
            window=self.main, client_type=self.atom["WM_PROTOCOLS"],
            data=(32, [self.atom["_NET_WM_PING"], self.serial, self.main.id, 0, 0]))
        self.main.send_event(message, event_mask=0)
        self.d.flush()
        self.sent[self.serial] = time.monotonic()

    def pump(self, until):
        """Handles events and sends pings until the time `until`."""
        while True:
            now = time.monotonic()
            if now > self.deadline:
                raise TimeoutError
            if self.main is not None and self.next_ping is not None and now >= self.next_ping:
                self.ping()
                self.next_ping += PING_EVERY_S
                if self.next_ping < now:  # we fell behind: no burst of pings
                    self.next_ping = now + PING_EVERY_S
            while self.d.pending_events():
                self.handle(self.d.next_event())
            now = time.monotonic()
            if now >= until:
                return
            wake = until if self.next_ping is None else min(until, self.next_ping)
            select.select([self.d.fileno()], [], [], max(0.0, wake - now))

    def handle(self, ev):
        now = time.monotonic()
        if ev.type == X.ClientMessage:
            fmt, data = ev.data
            if fmt == 32 and data[0] == self.atom["_NET_WM_PING"] and data[1] in self.sent:
                self.answered.setdefault(data[1], now)
        elif ev.type == X.MapNotify and ev.event.id == self.root.id and not ev.override:
            if self.title(ev.window) == TITLE:
                self.mapped.append((now, ev.window))
        elif ev.type == X.UnmapNotify and ev.event.id == self.root.id:
            self.unmapped.setdefault(ev.window.id, now)

    def close(self, window):
        """Asks the window to close, as a window manager's close button does."""
        message = event.ClientMessage(
            window=window, client_type=self.atom["WM_PROTOCOLS"],
            data=(32, [self.d.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
        window.send_event(message, event_mask=0)
        self.d.flush()

    def wait_for(self, condition, step=0.01):
        while not condition():
            self.pump(time.monotonic() + step)

    def key(self, keysym):
        code = self.d.keysym_to_keycode(keysym)
        if code == 0:
            sys.exit(f"no key for keysym {keysym:#x} on this display")
        shifted = self.d.keycode_to_keysym(code, 0) != keysym
        shift = self.d.keysym_to_keycode(0xFFE1)  # Shift_L
        if shifted:
            xtest.fake_input(self.d, X.KeyPress, shift)
        xtest.fake_input(self.d, X.KeyPress, code)
        xtest.fake_input(self.d, X.KeyRelease, code)
        if shifted:
            xtest.fake_input(self.d, X.KeyRelease, shift)
        self.d.sync()

    def type_text(self, text):
        for ch in text:
            if not " " <= ch <= "~":
                sys.exit(f"cannot type {ch!r}: the music folder's path must be printable ASCII")
            self.key(ord(ch))  # Latin-1 keysyms are the characters' codes
            self.pump(time.monotonic() + 0.002)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--music", required=True)
    parser.add_argument("--jukebox", required=True)
    parser.add_argument("--name", default="playlist", help="the playlist name the window shows")
    parser.add_argument("--timeout", type=float, default=600)
    parser.add_argument("--cancel-after", type=float,
                        help="close the progress box this many seconds after it came")
    args = parser.parse_args()

    document = os.path.join(args.jukebox, "xml", args.name + ".xml")
    if os.path.exists(document):
        sys.exit(f"{document} exists already: the replace question would come")
    env = dict(os.environ, QT_QPA_PLATFORM="xcb")
    program = subprocess.Popen([os.path.abspath(args.program)], cwd=args.jukebox, env=env)
    watch = Watch(args.timeout)
    try:
        watch.wait_for(lambda: watch.mapped or program.poll() is not None)
        if not watch.mapped:
            sys.exit(f"{args.program} ended before its window appeared")
        watch.main = watch.mapped[0][1]
        protocols = watch.main.get_wm_protocols() or []
        if watch.atom["_NET_WM_PING"] not in protocols:
            sys.exit(f"{args.program}: the window does not take part in _NET_WM_PING")
        watch.next_ping = time.monotonic()
        # Give it the keyboard; the path box has the focus within the window.
        watch.d.set_input_focus(watch.main, X.RevertToParent, X.CurrentTime)
        watch.pump(time.monotonic() + 0.5)
        watch.type_text(args.music)
        watch.key(0xFF09)  # Tab to the playlist name
        watch.key(0xFF09)  # Tab to Start
        watch.pump(time.monotonic() + 0.2)
        first_ping = watch.serial + 1
        watch.mapped.clear()
        space = watch.d.keysym_to_keycode(ord(" "))
        xtest.fake_input(watch.d, X.KeyPress, space)
        xtest.fake_input(watch.d, X.KeyRelease, space)  # a button clicks on release
        watch.d.sync()
        pressed = time.monotonic()

        box = box_window = done = cancelled = gone = None
        while done is None and gone is None:
            watch.pump(time.monotonic() + 0.005)
            for when, window in watch.mapped:
                if window.id == watch.main.id:
                    continue
                if os.path.exists(document):
                    done = when
                    break
                if box is None:
                    box, box_window = when, window
            watch.mapped.clear()
            now = time.monotonic()
            if args.cancel_after is not None and box is not None:
                if cancelled is None and now >= box + args.cancel_after:
                    watch.close(box_window)
                    cancelled = time.monotonic()
                elif cancelled is not None:
                    gone = watch.unmapped.get(box_window.id)
                    if gone is None and now > cancelled + AFTER_CANCEL_S:
                        gone = now  # it stayed: judged below on the time it got
                        box_window = None
            if program.poll() is not None:
                sys.exit(f"{args.program} ended during the run (status {program.returncode})")
        last_ping = watch.serial
        end_of_run = done if done is not None else gone
        watch.pump(time.monotonic() + (AFTER_DONE_S if done is not None else AFTER_CANCEL_S))
        end = time.monotonic()
    except TimeoutError:
        sys.exit(f"no done message within {args.timeout:.0f} s of starting {args.program}")
    finally:
        if program.poll() is None:
            program.send_signal(signal.SIGTERM)
            try:
                program.wait(10)
            except subprocess.TimeoutExpired:
                program.kill()
                program.wait()

    serials = range(first_ping, last_ping + 1)
    waits = [watch.answered.get(s, end) - watch.sent[s] for s in serials]
    result = {
        "press_to_box_s": None if box is None else box - pressed,
        "press_to_done_s": None if done is None else done - pressed,
        "longest_unanswered_s": max(waits, default=0.0),
        "pings_sent": len(serials),
        "pings_answered": sum(1 for s in serials if watch.answered.get(s, end) <= end_of_run),
    }
    if args.cancel_after is not None:
        result.update({
            "cancelled_at_s": cancelled,
            "cancel_to_gone_s": None if box_window is None or cancelled is None
            else gone - cancelled,
            "message_after_cancel": done is None and any(
                w.id != watch.main.id for _, w in watch.mapped),
            "document_written": os.path.exists(document),
        })
    print(json.dumps(result))


if __name__ == "__main__":
    main()
