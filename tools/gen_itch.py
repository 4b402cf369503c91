#!/usr/bin/env python3
"""Synthetic NASDAQ ITCH 5.0 feeds for tests, benchmarks and the replay demo.

The feed opens with system events and one stock-directory message per symbol,
then runs a book per symbol: limit orders added around a mid price that drifts
tick by tick and never crossing the other side, executions that take the oldest
order at the best price, and partial cancels, deletes and replaces of live
orders, with the odd non-displayed trade in between. It closes with the
end-of-day system events. Every message has its real 5.0 length and is framed
by a 2-byte big-endian length.

Order references are dense: each message that creates an order (A, F, and U
for its new reference) takes the next number, starting at 1. A replay of the
parsed events relies on this, because an add event carries no reference.

The same seed gives the same bytes. Standard library only.

    python3 tools/gen_itch.py feed.itch --messages 300000 --seed 7
    python3 tools/gen_itch.py feed.itch --size 1G
"""

from __future__ import annotations

import argparse
import bisect
import random
import struct
import sys
from collections import Counter

DEFAULT_SYMBOLS = ("AAPL", "MSFT", "AMZN", "NVDA", "GOOGL", "META", "TSLA", "JPM")

# One struct per message type, length prefix included. Timestamps are 48-bit,
# written as a 16-bit high part and a 32-bit low part.
_FRAMES = {
    "S": struct.Struct(">HcHHHIc"),
    "R": struct.Struct(">HcHHHI8sccIcc2scccccIc"),
    "A": struct.Struct(">HcHHHIQcI8sI"),
    "F": struct.Struct(">HcHHHIQcI8sI4s"),
    "E": struct.Struct(">HcHHHIQIQ"),
    "C": struct.Struct(">HcHHHIQIQcI"),
    "X": struct.Struct(">HcHHHIQI"),
    "D": struct.Struct(">HcHHHIQ"),
    "U": struct.Struct(">HcHHHIQQII"),
    "P": struct.Struct(">HcHHHIQcI8sIQ"),
}
# Message lengths of the 5.0 layout, type byte included.
MESSAGE_LENGTHS = {t: s.size - 2 for t, s in _FRAMES.items()}

TICK = 100  # one cent in the feed's 1/10,000-dollar price units
_OPEN_NS = 34_200 * 10**9  # 09:30:00 in nanoseconds since midnight
_WRITE_CHUNK = 1 << 20

# What happens next on a symbol, as weights in the proportions of a real session
# (most orders are deleted, few execute): below _TARGET_LIVE orders adds outrun
# the messages that remove orders, above it they fall behind, so each book
# hovers around that size.
_ACTIONS = ("add", "delete", "cancel", "execute", "execute_price", "replace", "trade")
_GROW_WEIGHTS = (50, 31, 3, 4, 1, 9, 2)
_SHRINK_WEIGHTS = (40, 39, 3, 5, 1, 10, 2)
_TARGET_LIVE = 400
# Below this many live orders a symbol only receives adds.
_MIN_LIVE = 24


def _cumulative(weights):
    return [sum(weights[: i + 1]) for i in range(len(weights))]


_GROW = _cumulative(_GROW_WEIGHTS)
_SHRINK = _cumulative(_SHRINK_WEIGHTS)
# Distance of a new order from the mid, in ticks: geometric-like, integers only,
# so the bytes do not depend on the platform's floating-point library.
_DEPTHS = [d for d in range(1, 16) for _ in range(max(1, 64 >> d))]
_SYSTEM_OPEN = (b"O", b"S", b"Q")
_SYSTEM_CLOSE = (b"M", b"E", b"C")


def _stock_field(symbol: str) -> bytes:
    raw = symbol.encode("ascii")
    if not raw or len(raw) > 8:
        raise ValueError(f"symbol {symbol!r} must have 1 to 8 ASCII bytes")
    return raw.ljust(8)


class _Book:
    """The live orders of one symbol: a list for O(1) random picks, and per side
    the queue of each price level for executions at the touch, as a dict from
    reference to order (insertion order is time priority, removal is O(1)).
    An order is [ref, side, price, shares, index in the list]."""

    __slots__ = ("locate", "stock", "symbol_text", "mid", "orders", "levels", "best")

    def __init__(self, locate: int, stock: bytes, mid: int) -> None:
        self.locate = locate
        self.stock = stock
        self.symbol_text = stock.decode().strip()
        self.mid = mid
        self.orders: list[list] = []
        self.levels: dict[bytes, dict[int, dict[int, list]]] = {b"B": {}, b"S": {}}
        self.best: dict[bytes, int | None] = {b"B": None, b"S": None}

    def insert(self, order: list) -> None:
        order[4] = len(self.orders)
        self.orders.append(order)
        side, price = order[1], order[2]
        level = self.levels[side].get(price)
        if level is None:
            self.levels[side][price] = {order[0]: order}
        else:
            level[order[0]] = order
        best = self.best[side]
        if best is None or (price > best if side == b"B" else price < best):
            self.best[side] = price

    def remove(self, order: list) -> None:
        index = order[4]
        last = self.orders.pop()
        if last is not order:
            self.orders[index] = last
            last[4] = index
        side, price = order[1], order[2]
        levels = self.levels[side]
        level = levels[price]
        del level[order[0]]
        if not level:
            del levels[price]
            if price == self.best[side]:
                self.best[side] = (max(levels) if side == b"B" else min(levels)) if levels else None


class _Feed:
    def __init__(self, out, seed: int, symbols, progress=None) -> None:
        self.out = out
        self.progress = progress
        self.rng = random.Random(seed)
        self.books = [
            _Book(i + 1, _stock_field(s), (50 + 37 * i % 400) * 100 * TICK)
            for i, s in enumerate(symbols)
        ]
        # Busier names first: weight 1/(rank+1).
        weights = [1.0 / (i + 1) for i in range(len(self.books))]
        self.cumulative = [sum(weights[: i + 1]) for i in range(len(weights))]
        self.total_weight = self.cumulative[-1]
        self.next_ref = 1
        self.match = 1
        self.clock = _OPEN_NS
        self.parts: list[bytes] = []
        self.pending = 0
        self.written = 0
        self.counts: Counter = Counter()
        self.adds_by_symbol: Counter = Counter()

    # ---- output ---------------------------------------------------------------

    def emit(self, kind: str, *fields) -> None:
        frame = _FRAMES[kind].pack(MESSAGE_LENGTHS[kind], kind.encode(), *fields)
        self.parts.append(frame)
        self.pending += len(frame)
        self.counts[kind] += 1
        if self.pending >= _WRITE_CHUNK:
            self.flush()

    def flush(self) -> None:
        if self.parts:
            self.out.write(b"".join(self.parts))
            self.written += self.pending
            self.parts.clear()
            self.pending = 0
            if self.progress is not None:
                self.progress(sum(self.counts.values()), self.written)

    def tick_clock(self) -> tuple[int, int]:
        self.clock += 1 + int(self.rng.random() * 2000)
        return self.clock >> 32, self.clock & 0xFFFFFFFF

    # ---- messages ---------------------------------------------------------------

    def system_event(self, code: bytes) -> None:
        hi, lo = self.tick_clock()
        self.emit("S", 0, 0, hi, lo, code)

    def directory(self, book: _Book) -> None:
        hi, lo = self.tick_clock()
        self.emit("R", book.locate, 0, hi, lo, book.stock, b"Q", b"N", 100, b"N", b"C",
                  b"Z ", b"P", b"N", b"N", b"2", b"N", 0, b"N")

    def header(self) -> list:
        steps = [lambda: self.system_event(_SYSTEM_OPEN[0])]
        steps += [lambda b=b: self.directory(b) for b in self.books]
        steps += [lambda c=c: self.system_event(c) for c in _SYSTEM_OPEN[1:]]
        return steps

    def trailer(self) -> list:
        return [lambda c=c: self.system_event(c) for c in _SYSTEM_CLOSE]

    def pick_book(self) -> _Book:
        x = self.rng.random() * self.total_weight
        return self.books[min(bisect.bisect_right(self.cumulative, x), len(self.books) - 1)]

    def quote_price(self, book: _Book, side: bytes) -> int:
        """A price around the mid that never crosses the other side of the book,
        as on a real exchange, where a crossing order trades instead of resting."""
        depth = _DEPTHS[int(self.rng.random() * len(_DEPTHS))] * TICK
        if side == b"B":
            price = book.mid - depth
            ask = book.best[b"S"]
            if ask is not None and price >= ask:
                price = ask - TICK
        else:
            price = book.mid + depth
            bid = book.best[b"B"]
            if bid is not None and price <= bid:
                price = bid + TICK
        return max(TICK, price)

    def lot(self) -> int:
        r = self.rng.random()
        if r < 0.1:
            return 1 + int(r * 990)  # odd lot
        return 100 * (1 + int(r * 10))

    def take_ref(self) -> int:
        ref = self.next_ref
        self.next_ref += 1
        return ref

    def add(self, book: _Book) -> None:
        rng = self.rng
        side = b"B" if rng.random() < 0.5 else b"S"
        price = self.quote_price(book, side)
        shares = self.lot()
        ref = self.take_ref()
        hi, lo = self.tick_clock()
        if rng.random() < 0.1:
            self.emit("F", book.locate, 0, hi, lo, ref, side, shares, book.stock, price, b"MPID")
        else:
            self.emit("A", book.locate, 0, hi, lo, ref, side, shares, book.stock, price)
        book.insert([ref, side, price, shares, 0])
        self.adds_by_symbol[book.symbol_text] += 1

    def random_order(self, book: _Book) -> list:
        return book.orders[int(self.rng.random() * len(book.orders))]

    def delete(self, book: _Book) -> None:
        order = self.random_order(book)
        hi, lo = self.tick_clock()
        self.emit("D", book.locate, 0, hi, lo, order[0])
        book.remove(order)

    def cancel(self, book: _Book) -> None:
        order = self.random_order(book)
        shares = order[3]
        cancelled = shares if shares == 1 else 1 + int(self.rng.random() * (shares - 1))
        hi, lo = self.tick_clock()
        self.emit("X", book.locate, 0, hi, lo, order[0], cancelled)
        order[3] -= cancelled
        if order[3] == 0:
            book.remove(order)

    def execute(self, book: _Book, with_price: bool) -> None:
        """An incoming order takes the oldest order at the best price of one side."""
        side = b"B" if self.rng.random() < 0.5 else b"S"
        if book.best[side] is None:
            side = b"S" if side == b"B" else b"B"
        order = next(iter(book.levels[side][book.best[side]].values()))
        shares = min(order[3], 100 * (1 + int(self.rng.random() * 3)))
        hi, lo = self.tick_clock()
        if with_price:
            self.emit("C", book.locate, 0, hi, lo, order[0], shares, self.match, b"Y", order[2])
        else:
            self.emit("E", book.locate, 0, hi, lo, order[0], shares, self.match)
        self.match += 1
        order[3] -= shares
        if order[3] == 0:
            book.remove(order)
        bid, ask = book.best[b"B"], book.best[b"S"]
        if bid is not None and ask is not None:  # trades re-centre the mid on the touch
            book.mid = max(10 * TICK, (bid + ask) // (2 * TICK) * TICK)

    def replace(self, book: _Book) -> None:
        old = self.random_order(book)
        book.remove(old)
        side = old[1]
        price = self.quote_price(book, side)
        shares = self.lot()
        ref = self.take_ref()
        hi, lo = self.tick_clock()
        self.emit("U", book.locate, 0, hi, lo, old[0], ref, shares, price)
        book.insert([ref, side, price, shares, 0])

    def trade(self, book: _Book) -> None:
        side = b"B" if self.rng.random() < 0.5 else b"S"
        hi, lo = self.tick_clock()
        self.emit("P", book.locate, 0, hi, lo, 0, side, self.lot(), book.stock, book.mid,
                  self.match)
        self.match += 1

    def body_message(self) -> None:
        rng = self.rng
        book = self.pick_book()
        if rng.random() < 0.02:  # the mid drifts
            book.mid = max(10 * TICK, book.mid + (TICK if rng.random() < 0.5 else -TICK))
        live = len(book.orders)
        if live < _MIN_LIVE:
            self.add(book)
            return
        table = _GROW if live < _TARGET_LIVE else _SHRINK
        action = _ACTIONS[bisect.bisect_right(table, rng.random() * table[-1])]
        if action == "add":
            self.add(book)
        elif action == "delete":
            self.delete(book)
        elif action == "cancel":
            self.cancel(book)
        elif action == "execute":
            self.execute(book, False)
        elif action == "execute_price":
            self.execute(book, True)
        elif action == "replace":
            self.replace(book)
        else:
            self.trade(book)

    def summary(self) -> dict:
        counts = dict(self.counts)
        pairs = sum(counts.get(t, 0) for t in "AFXDU")
        return {
            "messages": sum(counts.values()),
            "bytes": self.written,
            "pairs": pairs,
            "types": counts,
            "adds_by_symbol": dict(self.adds_by_symbol),
        }


def generate(path, messages=None, seed=0, symbols=DEFAULT_SYMBOLS, *, size=None,
             progress=None) -> dict:
    """Writes a feed to `path` and returns what it holds.

    Give `messages` (an exact message count) or `size` (bytes: the feed ends at
    the first message boundary at or past it). `progress(messages, bytes)`, if
    given, is called after each block written. The result has the total
    "messages" and "bytes", the number of "pairs" a parser yields (A, F, X, D
    and U messages), the count per message type under "types" and the number of
    adds per symbol under "adds_by_symbol".
    """
    if (messages is None) == (size is None):
        raise ValueError("give exactly one of messages and size")
    if not symbols:
        raise ValueError("at least one symbol is needed")
    with open(path, "wb") as out:
        feed = _Feed(out, seed, symbols, progress)
        head, tail = feed.header(), feed.trailer()
        if messages is not None:
            if messages < len(head) + len(tail):
                for step in (head + tail)[:messages]:
                    step()
            else:
                for step in head:
                    step()
                for _ in range(messages - len(head) - len(tail)):
                    feed.body_message()
                for step in tail:
                    step()
        else:
            for step in head:
                step()
            tail_bytes = len(tail) * (MESSAGE_LENGTHS["S"] + 2)
            while feed.written + feed.pending + tail_bytes < size:
                feed.body_message()
            for step in tail:
                step()
        feed.flush()
    return feed.summary()


def parse_size(text: str) -> int:
    """Bytes from a count with an optional K, M or G suffix (powers of 1024)."""
    units = {"K": 1 << 10, "M": 1 << 20, "G": 1 << 30}
    text = text.strip().upper().removesuffix("B")
    if text and text[-1] in units:
        return int(float(text[:-1]) * units[text[-1]])
    return int(text)


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description="Write a synthetic ITCH 5.0 feed.")
    parser.add_argument("path", help="file to write")
    group = parser.add_mutually_exclusive_group(required=True)
    group.add_argument("--messages", type=int, help="exact number of messages")
    group.add_argument("--size", type=parse_size, help="approximate size, e.g. 64M or 1G")
    parser.add_argument("--seed", type=int, default=0)
    parser.add_argument("--symbols", default=",".join(DEFAULT_SYMBOLS),
                        help="comma-separated symbols (default: %(default)s)")
    args = parser.parse_args(argv)
    symbols = [s for s in args.symbols.split(",") if s]
    try:
        info = generate(args.path, args.messages, args.seed, symbols, size=args.size)
    except ValueError as e:
        parser.error(str(e))
    types = " ".join(f"{t}={n}" for t, n in sorted(info["types"].items()))
    print(f"{args.path}: {info['messages']} messages, {info['bytes']} bytes, "
          f"{info['pairs']} pairs ({types})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
