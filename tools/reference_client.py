#!/usr/bin/env python3
"""A Tessaria client in plain Python, written from docs/protocol.md alone.

It joins a server, takes its world and its players, walks a step, mines the
block ahead and puts one back, and checks each time that the server's word
agrees with what the rules on that page predict; then it chats, pings,
leaves, and joins again with the name's key (and is refused without it).

    reference_client.py --connect HOST:PORT [--name NAME] [--password-file FILE]
    reference_client.py --server PATH/TO/tessaria-server [--large]

With --server it starts that server itself on a free loopback port, in a
temporary folder holding a flat world it wrote (with --large one of 128 x 128
columns, kept as world.bin, over which it also walks into new pieces and asks
for a far one), and stops it at the end.
Exit status 0 when every check held; otherwise the first one that did not is
printed and the status is 1.
"""

import argparse
import os
import re
import select
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import zlib

VERSION = 5
TICK = 1 / 40
WAIT = 60.0  # seconds: what a person would still wait, for a busy machine
VIEW_REACH = 35  # columns: the farthest a block the game's view draws stands
SEND_REACH = 36  # pieces this near are sent: the view's reach and a step's glide

# family, action
HELLO = (1, 255)
LEAVE = (1, 4)
LOGIN = (4, 1)
WELCOME = (5, 3)
PIECE = (25, 3)
FORGET = (25, 4)
PIECE_REQUEST = (25, 1)
PLAYER_LIST = (22, 18)
PLAYER_JOINED = (29, 7)
PLAYER_LEFT = (29, 4)
UPDATE = (27, 3)
STEP = (6, 1)
USE = (14, 10)
SAY = (18, 1)
CHAT_LINE = (18, 8)
ANNOUNCEMENT = (18, 22)
PING = (35, 1)
PONG = (35, 3)
TURN = (7, 1)
REST = (41, 1)

EMPTY, GRASS, COBBLESTONE, WATER, EARTH, LAVA, HARD_ROCK = 0, 1, 2, 5, 6, 8, 17
FACING_STEP = {0: (0, -1), 1: (0, 1), 2: (-1, 0), 3: (1, 0)}
KICKED, BROKE_PROTOCOL, NAME_OWNED = 2, 10, 12
SET_DOWN = 2


class Refused(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Refused(what)


# ---- numbers and packets


def number(value, width):
    """Base 253, lowest digit first, each digit + 1; 254 for the high digits
    the value does not need."""
    check(0 <= value < 253**width, "%d does not fit %d bytes" % (value, width))
    digits = [value % 253 + 1]
    value //= 253
    while value:
        digits.append(value % 253 + 1)
        value //= 253
    return bytes(digits + [254] * (width - len(digits)))


def digit(b):
    return 0 if b in (0x00, 0xFE) else b - 1


def text(value):
    data = value.encode("ascii")
    return number(len(data), 1) + data


class Reader:
    def __init__(self, data):
        self.data, self.at = data, 0

    def num(self, width, least, most, what):
        check(self.at + width <= len(self.data), "packet ends inside " + what)
        value = sum(digit(b) * 253**i for i, b in enumerate(self.data[self.at : self.at + width]))
        self.at += width
        check(least <= value <= most, "%s %d outside %d..%d" % (what, value, least, most))
        return value

    def char(self, least, most, what):
        return self.num(1, least, most, what)

    def byte(self, what):
        check(self.at < len(self.data), "packet ends inside " + what)
        self.at += 1
        return self.data[self.at - 1]

    def text(self, least, most, what, pattern):
        n = self.char(0, 252, what)
        check(self.at + n <= len(self.data), "packet ends inside " + what)
        value = self.data[self.at : self.at + n].decode("ascii", "replace")
        self.at += n
        check(least <= n <= most and re.fullmatch(pattern, value), "bad " + what)
        return value

    def done(self):
        check(self.at == len(self.data), "bytes after the last field")


NAME = r"[A-Za-z0-9_-]{1,16}"
PRINTABLE = r"[ -~]*"
KEY = r"(|[0-9a-f]{32})"


def positions(n):
    return list(range(0, n, 2)) + list(range(n - 1 if n % 2 == 0 else n - 2, 0, -2))


def reverse_runs(data, m):
    out, i = bytearray(data), 0
    while i < len(out):
        if out[i] % m:
            i += 1
            continue
        j = i
        while j < len(out) and out[j] % m == 0:
            j += 1
        out[i:j] = out[i:j][::-1]
        i = j
    return bytes(out)


def flip(b):
    return b if b in (0x00, 0x80) else b ^ 0x80


def scramble(body, m):
    swapped, out = reverse_runs(body, m), bytearray(len(body))
    for k, p in enumerate(positions(len(body))):
        out[p] = flip(swapped[k])
    return bytes(out)


def unscramble(body, m):
    return reverse_runs(bytes(flip(body[p]) for p in positions(len(body))), m)


# ---- messages the client reads


def player_info(r):
    return {
        "id": r.char(0, 249, "player id"),
        "name": r.text(1, 16, "name", NAME),
        "x": r.num(2, 0, 299, "column"),
        "y": r.num(2, 0, 299, "row"),
        "level": r.char(0, 19, "level"),
        "facing": r.char(0, 3, "facing"),
        "look": r.char(0, 6, "look"),
        "group": r.char(0, 1, "look group"),
        "sheet": r.char(1, 4, "sheet"),
    }


def clocks(r):
    return [
        r.num(2, 0, 16320, "day tick"),
        r.char(0, 5, "night level"),
        r.char(0, 80, "tile tick"),
        r.char(0, 1, "weather active"),
        r.char(0, 2, "weather kind"),
        r.char(0, 1, "snow cover"),
        r.char(0, 15, "weather tick"),
        r.char(0, 3, "weather frame"),
        r.char(0, 201, "weather cycles"),
        r.num(2, 0, 300, "weather trigger"),
    ]


def listed(r, width, least, most, what, each):
    return [each(r) for _ in range(r.num(width, least, most, what))]


def read_message(kind, r):
    if kind == LEAVE:
        m = {"reason": r.char(0, 12, "reason"), "detail": r.text(0, 200, "detail", PRINTABLE)}
    elif kind == WELCOME:
        m = {"self": player_info(r), "columns": r.num(2, 1, 300, "columns"),
             "rows": r.num(2, 1, 300, "rows"), "slot": r.char(0, 8, "slot")}
        m["hotbar"] = [r.char(0, 22, "block") for _ in range(9)]
        m["stock"] = [r.num(3, 0, 16194276, "stock") for _ in range(23)]
        m["clocks"] = clocks(r)
        m["auto_jump"] = r.char(0, 1, "auto-jump")
        m["raised"] = r.char(0, 1, "working height")
        m["key"] = r.text(0, 32, "key", KEY)
    elif kind == PIECE:
        m = {"px": r.char(0, 14, "piece column"), "py": r.char(0, 14, "piece row")}
        n = r.num(2, 1, 64008, "compressed cells")
        check(r.at + n <= len(r.data), "packet ends inside the compressed cells")
        unpack = zlib.decompressobj()
        try:
            cells = unpack.decompress(r.data[r.at : r.at + n], 8001)
        except zlib.error as e:
            raise Refused("compressed cells: %s" % e)
        check(unpack.eof and not unpack.unused_data and not unpack.unconsumed_tail,
              "compressed cells are not one whole stream")
        check(len(cells) == 8000, "a piece of %d cells" % len(cells))
        check(max(cells) <= 22, "a block outside 0..22")
        r.at += n
        m["cells"] = cells
    elif kind == FORGET:
        m = {"pieces": listed(r, 1, 1, 225, "pieces", lambda r: (
            r.char(0, 14, "piece column"), r.char(0, 14, "piece row")))}
    elif kind == PLAYER_LIST:
        m = {"players": listed(r, 1, 0, 250, "players", player_info)}
    elif kind == PLAYER_JOINED:
        m = {"player": player_info(r)}
    elif kind == PLAYER_LEFT:
        m = {"id": r.char(0, 249, "player id"), "reason": r.char(0, 12, "reason")}
    elif kind == UPDATE:
        present = r.char(0, 63, "parts present")
        m = {"cells": [], "moves": [], "sheets": [], "looks": [], "stock": [], "clocks": None}
        if present & 1:
            m["cells"] = listed(r, 2, 1, 2000, "cells", lambda r: (
                r.num(2, 0, 299, "column"), r.num(2, 0, 299, "row"), r.char(0, 19, "level"),
                r.char(0, 22, "block")))
        if present & 2:
            m["moves"] = listed(r, 1, 1, 250, "moves", lambda r: (
                r.char(0, 249, "id"), r.char(0, 4, "kind"), r.num(2, 0, 299, "column"),
                r.num(2, 0, 299, "row"), r.char(0, 19, "level"), r.char(0, 3, "facing")))
        if present & 4:
            m["sheets"] = listed(r, 1, 1, 250, "sheets", lambda r: (
                r.char(0, 249, "id"), r.char(1, 4, "sheet")))
        if present & 8:
            m["looks"] = listed(r, 1, 1, 250, "looks", lambda r: (
                r.char(0, 249, "id"), r.char(0, 6, "look"), r.char(0, 1, "look group")))
        if present & 16:
            m["stock"] = listed(r, 1, 1, 23, "stock counts", lambda r: (
                r.char(0, 22, "block"), r.num(3, 0, 16194276, "count")))
        if present & 32:
            m["clocks"] = clocks(r)
    elif kind == CHAT_LINE:
        m = {"sender": r.text(1, 16, "sender", NAME), "text": r.text(1, 200, "text", PRINTABLE)}
    elif kind == ANNOUNCEMENT:
        m = {"text": r.text(1, 200, "text", PRINTABLE)}
    elif kind in (PING, PONG):
        m = {"stamp": r.num(4, 0, 4097152080, "stamp")}
    else:
        raise Refused("no such message from a server: %d/%d" % kind)
    r.done()
    m["kind"] = kind
    return m


# ---- one connection


class Connection:
    def __init__(self, host, port):
        self.sock = socket.create_connection((host, port), timeout=WAIT)
        self.sock.setblocking(False)
        self.inbound = b""
        self.ready = False
        self.pings_answered = 0
        self.waiting = []
        self.send_plain(HELLO, number(VERSION, 2))

    def send_plain(self, kind, fields):
        self.sock.sendall(number(2 + len(fields), 2) + bytes(kind) + fields)

    def send(self, kind, fields=b""):
        check(self.ready, "sending before the first exchange")
        self.sent += 1
        sequence = (self.send_start + self.sent % 10) % 256
        body = bytes(kind) + bytes([sequence]) + fields
        self.sock.setblocking(True)
        self.sock.sendall(number(len(body), 2) + scramble(body, self.send_multiple))
        self.sock.setblocking(False)

    def packets(self, timeout):
        """The whole packets that arrive within timeout (at least one wait)."""
        readable, _, _ = select.select([self.sock], [], [], timeout)
        if readable:
            data = self.sock.recv(65536)
            if not data:
                raise Refused("the server closed the connection" +
                              ("" if self.ready else " before its first answer"))
            self.inbound += data
        out = []
        while len(self.inbound) >= 2:
            length = digit(self.inbound[0]) + 253 * digit(self.inbound[1])
            check(length <= 16384, "packet over the limit")
            if len(self.inbound) < 2 + length:
                break
            out.append(self.inbound[2 : 2 + length])
            self.inbound = self.inbound[2 + length :]
        return out

    def handshake(self):
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            for body in self.packets(0.1):
                check((body[0], body[1]) == HELLO, "the first packet is not HelloReply")
                r = Reader(body[2:])
                version = r.num(2, 0, 64008, "version")
                check(version == VERSION, "versions differ: server %d, client %d" % (version, VERSION))
                self.send_multiple = r.char(66, 126, "multiple")
                self.recv_multiple = r.char(66, 126, "multiple")
                self.send_start = r.byte("sequence start")
                self.recv_start = r.byte("sequence start")
                r.done()
                self.sent = self.received = 0
                self.ready = True
                return
        raise Refused("no HelloReply")

    def next_message(self, timeout=TICK):
        """The next message, or None when none came within timeout."""
        if not self.waiting:
            self.waiting = self.messages(timeout)
        return self.waiting.pop(0) if self.waiting else None

    def messages(self, timeout=TICK):
        out = []
        for body in self.packets(timeout):
            plain = unscramble(body, self.recv_multiple)
            self.received += 1
            due = (self.recv_start + self.received % 10) % 256
            check(plain[2] == due, "sequence byte %d where %d was due" % (plain[2], due))
            m = read_message((plain[0], plain[1]), Reader(plain[3:]))
            if m["kind"] == PING:
                self.send(PONG, number(m["stamp"], 4))  # echoed unchanged
                self.pings_answered += 1
            out.append(m)
        return out

    def close(self):
        self.sock.close()


def login(conn, name, password, key):
    conn.handshake()
    conn.send(LOGIN, text(name) + text(password) + text(key))


# ---- the world as the client keeps it


class World:
    """What the client was sent: the world's size, the pieces it holds (20 x 20
    columns by 20 levels each), and the players it knows of."""

    def __init__(self):
        self.columns = self.rows = 0
        self.cells = {}  # (px, py): bytearray of 8000, column by column
        self.forgotten = set()
        self.me = None
        self.others = {}
        self.in_sight = set()
        self.stock = []
        self.chat = []

    @staticmethod
    def index(x, y, level):
        return ((x % 20) * 20 + y % 20) * 20 + level

    def held(self, x, y):
        return (x // 20, y // 20) in self.cells and (x // 20, y // 20) not in self.forgotten

    def at(self, x, y, level):
        piece = self.cells.get((x // 20, y // 20))
        if 0 <= x < self.columns and 0 <= y < self.rows and 0 <= level < 20 and piece:
            return piece[self.index(x, y, level)]
        return EMPTY

    def top(self, x, y):
        for level in range(20):
            if self.at(x, y, level) != EMPTY:
                return level
        return None

    def apply(self, m):
        kind = m["kind"]
        if kind == WELCOME:
            self.me = dict(m["self"])
            self.columns, self.rows = m["columns"], m["rows"]
            self.hotbar, self.slot, self.stock = m["hotbar"], m["slot"], list(m["stock"])
            self.auto_jump, self.raised, self.key = m["auto_jump"], m["raised"], m["key"]
        elif kind == PIECE:
            check(m["px"] * 20 < self.columns and m["py"] * 20 < self.rows,
                  "a piece outside the world")
            self.cells[(m["px"], m["py"])] = bytearray(m["cells"])
            self.forgotten.discard((m["px"], m["py"]))
        elif kind == FORGET:
            self.forgotten.update(m["pieces"])
        elif kind == PLAYER_LIST:
            self.others = {p["id"]: p for p in m["players"]}
        elif kind == PLAYER_JOINED:
            self.others[m["player"]["id"]] = m["player"]
        elif kind == PLAYER_LEFT:
            self.others.pop(m["id"], None)
            self.in_sight.discard(m["id"])
        elif kind == UPDATE:
            check(all(pid != self.me["id"] for pid, _ in m["sheets"]), "sent its own sheet")
            for x, y, level, block in m["cells"]:  # in order: a later entry stands
                check(self.held(x, y), "a cell of a piece not held: %d,%d" % (x, y))
                self.cells[(x // 20, y // 20)][self.index(x, y, level)] = block
            for pid, kind_, x, y, level, facing in m["moves"]:
                who = self.me if pid == self.me["id"] else self.others.get(pid)
                if who is not None:
                    who.update(x=x, y=y, level=level, facing=facing)
                if pid != self.me["id"]:
                    (self.in_sight.discard if kind_ == 3 else self.in_sight.add)(pid)
            for block, count in m["stock"]:
                self.stock[block] = count
        elif kind == CHAT_LINE:
            self.chat.append((m["sender"], m["text"]))


def wait_for(conn, world, seen, what, limit=WAIT):
    """Applies every message until seen(message) holds for one; returns it."""
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        m = conn.next_message()
        if m is None:
            continue
        if m["kind"] == LEAVE:
            raise Refused("server said Leave %d %s" % (m["reason"], m["detail"]))
        world.apply(m)
        if seen(m):
            return m
    raise Refused("no " + what + " within %g s" % limit)


def settle(conn, world, done, limit=WAIT):
    """Applies messages until done() or the limit."""
    deadline = time.monotonic() + limit
    while not done() and time.monotonic() < deadline:
        m = conn.next_message()
        if m is not None:
            world.apply(m)


def join(host, port, name, password, key):
    conn = Connection(host, port)
    login(conn, name, password, key)
    world = World()
    wait_for(conn, world, lambda m: m["kind"] == WELCOME, "Welcome")
    wait_for(conn, world, lambda m: m["kind"] == PIECE, "Piece")
    wait_for(conn, world, lambda m: m["kind"] == PLAYER_LIST, "PlayerList")
    return conn, world


def refusal(host, port, name, password, key):
    """The reason of the Leave a login gets, or None when it is welcomed."""
    conn = Connection(host, port)
    try:
        login(conn, name, password, key)
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            m = conn.next_message()
            if m is not None and m["kind"] == LEAVE:
                return m["reason"]
            if m is not None and m["kind"] == WELCOME:
                conn.send(LEAVE, number(0, 1) + text(""))
                return None
        raise Refused("neither Welcome nor Leave")
    finally:
        conn.close()


# ---- the walk-through


def play(host, port, name, password):
    conn, world = join(host, port, name, password, "")
    me = world.me
    print("joined as %s (id %d) at %d,%d level %d; key %s; %d others"
          % (name, me["id"], me["x"], me["y"], me["level"], world.key or "(none)",
             len(world.others)))
    check(world.key == "" or re.fullmatch("[0-9a-f]{32}", world.key), "a key of the wrong form")
    if world.auto_jump:
        check(me["level"] == world.top(me["x"], me["y"]),
              "Welcome's level %d is not its column's ground %s"
              % (me["level"], world.top(me["x"], me["y"])))

    # A step toward a column inside the world; its move tells where it landed.
    facing = next(f for f in (3, 1, 2, 0)
                  if 0 <= me["x"] + FACING_STEP[f][0] < world.columns
                  and 0 <= me["y"] + FACING_STEP[f][1] < world.rows)
    dx, dy = FACING_STEP[facing]
    to = (me["x"] + dx, me["y"] + dy)
    conn.send(STEP, number(facing, 1) + number(0, 1))
    move = wait_for(conn, world, lambda m: m["kind"] == UPDATE and any(
        mv[0] == me["id"] for mv in m["moves"]), "move of the step")
    mv = next(mv for mv in move["moves"] if mv[0] == me["id"])
    check(mv[1] == 0 and (mv[2], mv[3]) == to and mv[5] == facing,
          "the step came back as %r, not a step to %r" % (mv, to))
    if world.auto_jump:
        check(mv[4] == world.top(*to), "landed on level %d, not the ground %s"
              % (mv[4], world.top(*to)))
    print("stepped to %d,%d level %d" % (to[0], to[1], mv[4]))

    # The action cell: the column ahead (the same facing), level minus the
    # working height; at height 0 it is the ground ahead.
    ahead = (to[0] + dx, to[1] + dy)
    check(0 <= ahead[0] < world.columns and 0 <= ahead[1] < world.rows,
          "no column ahead to work on")
    cell = (ahead[0], ahead[1], me["level"] - 0)
    block = world.at(*cell)
    # A block the world leaves alone: snow covers grass and earth, and water
    # and lava spread.
    slot = next(s for s in range(9) if world.hotbar[s] not in (EMPTY, GRASS, EARTH, WATER, LAVA)
                and world.stock[world.hotbar[s]] > 0)
    placed = world.hotbar[slot]

    def act(placing):
        conn.send(USE, number(placing, 1) + number(slot, 1) + number(0, 1))

    def word_on_cell():
        return wait_for(conn, world, lambda m: m["kind"] == UPDATE and any(
            c[:3] == cell for c in m["cells"]), "word on the action cell")

    if block in (EMPTY, HARD_ROCK):
        # Nothing to mine here: fill it first (a strike of its own).
        before = world.stock[placed]
        act(1)
        word_on_cell()
        check(world.at(*cell) == placed and world.stock[placed] == before - 1,
              "placing into air: the server did not agree")
        block, strikes_before = placed, 1
    else:
        strikes_before = 0
    # Mining: every finished action is a strike, the third breaks the block
    # and puts it into the stock.
    count = world.stock[block]
    for strike in range(strikes_before + 1, 4):
        act(0)
        told = word_on_cell()
        # The counts of what the action touched come with its end, changed or not.
        check(any(b == block for b, _ in told["stock"]), "no count of block %d after strike %d"
              % (block, strike))
        # Before the third strike the block stands (snow may cover it meanwhile).
        check((world.at(*cell) == EMPTY) == (strike == 3), "after strike %d the cell holds %d"
              % (strike, world.at(*cell)))
    settle(conn, world, lambda: world.stock[block] == count + 1)
    check(world.stock[block] == count + 1, "the mined block did not reach the stock")
    print("mined block %d at %d,%d level %d into the stock (now %d)"
          % (block, cell[0], cell[1], cell[2], world.stock[block]))
    # And one put back: an empty cell and a count of at least 1.
    before = world.stock[placed]
    act(1)
    word_on_cell()
    check(world.at(*cell) == placed, "the placed block is not in the cell: %r" % (world.at(*cell),))
    settle(conn, world, lambda: world.stock[placed] == before - 1)
    check(world.stock[placed] == before - 1, "placing did not take one from the stock")
    print("placed block %d back (stock %d)" % (placed, world.stock[placed]))

    line = "hello from the reference client"
    conn.send(SAY, text(line))
    wait_for(conn, world, lambda m: m["kind"] == CHAT_LINE and m["text"] == line
             and m["sender"] == name, "own chat line")
    print("chat line came back")
    # Stamps whose four bytes are a run of multiples of one side's multiple
    # (a reversal missing on either side brings back another stamp), and the
    # largest there is.
    for m in (conn.send_multiple, conn.recv_multiple, None):
        stamp = 4097152080 if m is None else sum(
            (b - 1) * 253**i for i, b in enumerate((m, 2 * m, 2 * m, 2 * m)))
        conn.send(PING, number(stamp, 4))
        wait_for(conn, world, lambda msg: msg["kind"] == PONG and msg["stamp"] == stamp,
                 "Pong with the stamp %d" % stamp)
    print("pings came back with their stamps")

    # Resting: a Turn and a Use are refused, each answered by the player set
    # down as the server has it; the Use also by the counts it would touch.
    conn.send(REST, number(1, 1))
    for request, fields in ((TURN, number(facing ^ 1, 1)), (USE, number(0, 1) + number(slot, 1)
                                                            + number(0, 1))):
        conn.send(request, fields)
        told = wait_for(conn, world, lambda m: m["kind"] == UPDATE and any(
            mv[0] == me["id"] and mv[1] == SET_DOWN for mv in m["moves"]), "set down")
        mv = next(mv for mv in told["moves"] if mv[0] == me["id"])
        check(mv[5] == facing, "a refused request turned the player to %d" % mv[5])
        check(request == TURN or told["stock"], "a Use refused while resting told no counts")
    conn.send(REST, number(0, 1))
    print("a Turn and a Use while resting: refused, set down where it stood")
    conn.send(LEAVE, number(0, 1) + text(""))
    conn.close()
    print("left")
    return world.key, world.stock


def reach(x, y, px, py):
    """Columns from (x, y) to the nearest column of piece (px, py), the worse axis."""
    def along(c, p):
        return max(0, 20 * p - c, c - (20 * p + 19))
    return max(along(x, px), along(y, py))


def pieces(host, port, name, password, key):
    """Walks right into pieces it lacks: each is there by the time the view
    could reach it (35 columns), and holds the world; a far one asked for
    comes, then is forgotten at once."""
    conn, world = join(host, port, name, password, key)
    me = world.me
    across, down = (world.columns + 19) // 20, (world.rows + 19) // 20
    wanted = {(px, py) for px in range(across) for py in range(down)
              if reach(me["x"], me["y"], px, py) <= SEND_REACH}
    check(set(world.cells) == wanted, "joined with pieces %s, not %s"
          % (sorted(world.cells), sorted(wanted)))
    print("joined at %d,%d holding %d pieces of %d x %d" % (me["x"], me["y"], len(wanted),
                                                             across, down))
    for _ in range(3 * 20):
        to = me["x"] + 1
        if to >= world.columns or set(world.cells) - wanted:
            break
        conn.send(STEP, number(3, 1) + number(1, 1))  # running
        wait_for(conn, world, lambda m: m["kind"] == UPDATE and any(
            mv[0] == me["id"] and mv[1] == 4 and mv[2] == to for mv in m["moves"]),
            "move of the run step")
        for x in range(to - VIEW_REACH, to + VIEW_REACH + 1):
            for y in (me["y"] - VIEW_REACH, me["y"], me["y"] + VIEW_REACH):
                if 0 <= x < world.columns and 0 <= y < world.rows:
                    check(world.held(x, y), "at %d: column %d,%d in view and not sent" % (to, x, y))
    new = set(world.cells) - wanted
    check(new, "no new piece on the way")
    for px, py in new:
        check(world.at(20 * px, 20 * py, 10) == COBBLESTONE, "piece %d,%d is not the world's"
              % (px, py))
    print("walked to %d: sent %s on the way, every column in view there" % (me["x"], sorted(new)))
    far = next((px, py) for px in range(across) for py in range(down)
               if not world.held(20 * px, 20 * py))
    conn.send(PIECE_REQUEST, number(far[0], 1) + number(far[1], 1))
    wait_for(conn, world, lambda m: m["kind"] == FORGET and far in m["pieces"], "Forget")
    check(world.at(20 * far[0], 20 * far[1], 10) == COBBLESTONE, "the piece asked for is wrong")
    print("asked for piece %d,%d: sent, then forgotten" % far)
    conn.send(LEAVE, number(0, 1) + text(""))
    conn.close()


def keys(host, port, name, password, key):
    """A name with a key: joins with it, and is refused without it."""
    if not key:
        print("the server handed out no key for %s: nothing to present" % name)
        return
    time.sleep(0.5)  # the server has let the first session go
    check(refusal(host, port, name, password, key) is None, "the key was not taken")
    time.sleep(0.5)
    reason = refusal(host, port, name.upper(), password, "")
    check(reason == NAME_OWNED, "a login without the key got %r, not %d" % (reason, NAME_OWNED))
    reason = refusal(host, port, name, password, key.upper())
    check(reason == BROKE_PROTOCOL, "a key in capitals got %r, not %d" % (reason, BROKE_PROTOCOL))
    print("the key let the name in again; without it: refused, name owned; in capitals: broken")
    # The key takes the name over from a connection still in play: the old
    # one is told it was kicked, and why.
    old, world = join(host, port, name, password, key)
    new, _ = join(host, port, name, password, key)
    deadline = time.monotonic() + WAIT
    leave = None
    while leave is None and time.monotonic() < deadline:
        m = old.next_message()
        if m is not None and m["kind"] == LEAVE:
            leave = m
    check(leave is not None and leave["reason"] == KICKED
          and leave["detail"] == "the name joined again from elsewhere",
          "the old connection was told %r" % (leave,))
    new.send(LEAVE, number(0, 1) + text(""))
    old.close()
    new.close()
    print("the key took the name over: the old connection kicked, with the reason why")


# ---- a server of its own


def flat_world(folder):
    """Cobblestone (which snow leaves alone) at level 10 in every column; new
    players start at 8,8."""
    os.makedirs(folder)
    with open(os.path.join(folder, "world.ini"), "w") as out:
        for level in range(20):
            for y in range(20):
                for x in range(20):
                    out.write("%d.%d[%d] = %d\n" % (x, y, level, 2 if level == 10 else 0))
        out.write("p_x = 8\np_y = 8\n")


def flat_stored_world(folder, size):
    """The same ground as world.bin: a header of "TSWORLD\\n" and six numbers
    (format 1, columns, rows, levels, kind 1 flat, the compressed length), then
    the cells column by column, each column's rows, each row's 20 levels."""
    os.makedirs(folder)
    column = bytes(2 if level == 10 else 0 for level in range(20))
    packed = zlib.compress(column * (size * size))
    with open(os.path.join(folder, "world.bin"), "wb") as out:
        out.write(b"TSWORLD\n" + struct.pack("<6I", 1, size, size, 20, 1, len(packed)) + packed)


def with_server(binary, run, size=20):
    folder = tempfile.mkdtemp(prefix="tessaria-reference-")
    world = os.path.join(folder, "world")
    if size > 20:
        flat_stored_world(world, size)
    else:
        flat_world(world)
    # The client builds beside where it starts, which a server keeps for its
    # admins unless told otherwise.
    with open(os.path.join(world, "server.ini"), "w") as out:
        out.write("protect_spawn = 0\n")
    server = subprocess.Popen([binary, "--port", "0", "--world", world], stdin=subprocess.PIPE,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    try:
        port, seen = None, []
        deadline = time.monotonic() + WAIT
        while port is None and time.monotonic() < deadline:
            line = server.stdout.readline()
            if not line:
                break
            seen.append(line)
            found = re.search(r"listening on port (\d+)", line)
            port = int(found.group(1)) if found else None
        check(port is not None, "the server did not start: " + "".join(seen))
        return run("127.0.0.1", port)
    finally:
        server.terminate()
        try:
            server.wait(WAIT)
        except subprocess.TimeoutExpired:
            server.kill()
        shutil.rmtree(folder, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--connect", metavar="HOST:PORT")
    where.add_argument("--server", metavar="BINARY")
    parser.add_argument("--name", default="reference")
    parser.add_argument("--password-file", metavar="FILE")
    parser.add_argument("--large", action="store_true")
    args = parser.parse_args()
    password = ""
    if args.password_file:
        with open(args.password_file) as f:
            password = f.readline().rstrip("\r\n")

    def run(host, port):
        key, _ = play(host, port, args.name, password)
        if args.large:
            pieces(host, port, args.name, password, key)
        keys(host, port, args.name, password, key)

    try:
        if args.server:
            with_server(args.server, run, 128 if args.large else 20)
        else:
            host, _, port = args.connect.rpartition(":")
            run(host, int(port))
    except (Refused, OSError) as problem:
        print("reference client: %s" % problem, file=sys.stderr)
        return 1
    print("reference client: every check held")
    return 0


if __name__ == "__main__":
    sys.exit(main())
