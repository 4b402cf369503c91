"""Feed replay: a synthetic ITCH 5.0 feed, parsed with parse_itch and replayed
into a MultiExchange, with a summary and a depth snapshot per symbol.

parse_itch returns (symbol, Event) pairs. An add names its symbol; a cancel or
a replace names only the feed's order reference, and the engine gives each
order its own id. A replay therefore keeps a map

    feed reference -> (symbol, engine order id)

and sends each cancel or replace to cancel(symbol, id) / modify(symbol, id,
price, qty), moving the map entry to the replacement's new reference and id.
Add events carry no reference: the sample feed numbers its orders densely
(each add, and each replace for its new order, takes the next reference from
1), which is how the replay knows the reference of each order it submits.

    python3 examples/itch_replay.py [--messages N] [--seed S] [--levels L]
"""

from __future__ import annotations

import argparse
import json
import os
import pathlib
import sys
import tempfile
import time

import tessarin

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tools"))
import gen_itch  # noqa: E402  (a sibling directory of this script)

DEFAULT_MESSAGES = 300_000


class Progress:
    """A one-line progress bar on stderr, redrawn only when it changes."""

    WIDTH = 30

    def __init__(self, label: str, total: int) -> None:
        self.label = label
        self.total = max(1, total)
        self.shown = -1
        self.start = time.perf_counter()
        # Redrawing only makes sense on a terminal; a log gets the final line.
        self.live = sys.stderr.isatty()

    def update(self, done: int) -> None:
        if not self.live and done < self.total:
            return
        filled = min(self.WIDTH, done * self.WIDTH // self.total)
        percent = min(100, done * 100 // self.total)
        if percent != self.shown:
            self.shown = percent
            bar = "#" * filled + "." * (self.WIDTH - filled)
            sys.stderr.write(f"\r  {self.label:<10} [{bar}] {percent:3d}%")
            sys.stderr.flush()

    def finish(self) -> float:
        self.update(self.total)
        elapsed = time.perf_counter() - self.start
        sys.stderr.write(f"  {elapsed:.2f} s\n")
        return elapsed


class FeedReplay:
    """Routes parsed events to a MultiExchange, translating feed references."""

    def __init__(self) -> None:
        self.exchange = tessarin.MultiExchange()
        self.orders: dict[int, tuple[str, int]] = {}  # feed reference -> (symbol, engine id)
        self.next_ref = 1  # the sample feed's dense numbering
        self.submitted: dict[str, int] = {}
        self.unknown = 0  # cancels/replaces of orders the engine no longer holds
        self.refused = 0  # cancels/replaces the engine refused (order already filled)

    def apply(self, symbol: str, event: tessarin.Event) -> None:
        (variant, fields), = json.loads(event.__getstate__()).items()
        if variant == "SubmitLimit":
            self.submit(symbol, fields)
        elif variant == "Cancel":
            self.cancel(fields["order_id"])
        elif variant == "Modify":
            self.modify(fields["order_id"], fields["new_price"], fields["new_quantity"])

    def take_ref(self) -> int:
        ref = self.next_ref
        self.next_ref += 1
        return ref

    def submit(self, symbol: str, f: dict) -> None:
        ref = self.take_ref()
        result = self.exchange.submit_limit(symbol, f["side"].lower(), f["price"], f["quantity"],
                                            f["time_in_force"].lower())
        self.submitted[symbol] = self.submitted.get(symbol, 0) + 1
        if result.resting_quantity > 0:
            self.orders[ref] = (symbol, result.order_id)

    def cancel(self, ref: int) -> None:
        entry = self.orders.pop(ref, None)
        if entry is None:
            self.unknown += 1
            return
        if not self.exchange.cancel(*entry).success:
            self.refused += 1

    def modify(self, ref: int, price: int, quantity: int) -> None:
        new_ref = self.take_ref()  # the replacement's reference, taken whatever happens
        entry = self.orders.pop(ref, None)
        if entry is None:
            self.unknown += 1
            return
        symbol, order_id = entry
        result = self.exchange.modify(symbol, order_id, price, quantity)
        if not result.success:
            self.refused += 1
        elif result.new_order_id is not None:
            self.orders[new_ref] = (symbol, result.new_order_id)


def dollars(cents) -> str:
    return "-" if cents is None else f"${cents / 100:,.2f}"


def print_symbol(symbol: str, submitted: int, book: tessarin.Exchange, levels: int) -> None:
    bid, ask = book.best_bid_ask()
    print(f"{symbol:<6} orders {submitted:>7,}  trades {len(book.trades()):>6,}  "
          f"bid {dollars(bid):>9}  ask {dollars(ask):>9}")
    snapshot = book.depth(levels)
    bids, asks = snapshot.bids, snapshot.asks
    for i in range(max(len(bids), len(asks))):
        left = f"{bids[i].quantity:>8,} @ {dollars(bids[i].price):>9}" if i < len(bids) else ""
        right = f"{dollars(asks[i].price):>9} x {asks[i].quantity:<8,}" if i < len(asks) else ""
        print(f"         {left:>20}  |  {right}")


def replay(pairs, replayer: FeedReplay) -> float:
    bar = Progress("replay", len(pairs))
    step = max(1, len(pairs) // 200)
    for i, (symbol, event) in enumerate(pairs):
        replayer.apply(symbol, event)
        if i % step == 0:
            bar.update(i)
    return bar.finish()


def main(argv=()) -> int:
    """Runs the replay; `argv` are command-line options (none: the defaults)."""
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--messages", type=int, default=DEFAULT_MESSAGES)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--levels", type=int, default=5, help="depth levels shown per symbol")
    args = parser.parse_args(argv)

    with tempfile.TemporaryDirectory(prefix="itch-replay-") as tmp:
        path = os.path.join(tmp, "sample.itch")
        bar = Progress("generate", args.messages)
        info = gen_itch.generate(path, args.messages, args.seed,
                                 progress=lambda done, _bytes: bar.update(done))
        bar.finish()
        start = time.perf_counter()
        pairs = tessarin.parse_itch(path)
        parse_seconds = time.perf_counter() - start

    print(f"feed: {info['messages']:,} messages, {info['bytes'] / 1e6:.1f} MB; "
          f"parse_itch: {len(pairs):,} pairs in {parse_seconds:.3f} s")
    replayer = FeedReplay()
    replay_seconds = replay(pairs, replayer)
    print(f"replayed {len(pairs):,} events in {replay_seconds:.2f} s; cancels/replaces of orders "
          f"already gone: {replayer.unknown:,}, refused: {replayer.refused:,}")
    print("(executions are not events: the engine keeps the orders the feed executed, so its "
          "books trade where the feed's did not)")
    print()
    for symbol in sorted(replayer.exchange.symbols()):
        book = replayer.exchange.get_or_create(symbol)
        print_symbol(symbol, replayer.submitted.get(symbol, 0), book, args.levels)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
