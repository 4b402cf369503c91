"""Python-level throughput of the Exchange: calls per second for non-crossing and
crossing submit_limit, cancel, a mixed realistic flow and replay of a 1M-event log,
plus memory per resting order and per recorded event.

Run: python bench/exchange_python_bench.py [--orders N]
"""

import argparse
import gc
import random
import resource
import time
import timeit

import tessarin


def best_of(fn, repeat=5):
    return min(fn() for _ in range(repeat))


def rate(n, seconds):
    return n / seconds


def bench_baseline(n):
    """max(1, 2, 3) in the same loop shape as the submit_limit measurement."""

    def run():
        call = max
        prices = [10000 - (i % 500) for i in range(n)]
        start = time.perf_counter()
        for _ in prices:
            call(1, 2, 3)
        return time.perf_counter() - start

    return best_of(run) / n


def bench_baseline_timeit(n):
    return best_of(lambda: timeit.timeit("max(1, 2, 3)", number=n)) / n


def bench_non_crossing(n):
    def run():
        ex = tessarin.Exchange()
        submit = ex.submit_limit
        prices = [10000 - (i % 500) for i in range(n)]
        start = time.perf_counter()
        for p in prices:
            submit("buy", p, 100)
        return time.perf_counter() - start

    return best_of(run) / n


def bench_crossing(n):
    def run():
        ex = tessarin.Exchange()
        for i in range(n):
            ex.submit_limit("sell", 10000 + (i % 50), 100)
        submit = ex.submit_limit
        start = time.perf_counter()
        for _ in range(n):
            submit("buy", 10100, 100)
        return time.perf_counter() - start

    return best_of(run, 3) / n


def bench_cancel(n):
    def run():
        ex = tessarin.Exchange()
        for i in range(n):
            ex.submit_limit("buy", 10000 - (i % 500), 100)
        cancel = ex.cancel
        start = time.perf_counter()
        for i in range(1, n + 1):
            cancel(i)
        return time.perf_counter() - start

    return best_of(run, 3) / n


def mixed_flow(n, seed=7):
    """Adds around a random-walk mid, about 30% cancels, some marketable orders."""
    rng = random.Random(seed)
    mid = 10000
    ops = []
    next_id = 1
    live = []
    for _ in range(n):
        mid += rng.choice((-1, 0, 1))
        r = rng.random()
        if r < 0.30 and live:
            ops.append(("cancel", live.pop(rng.randrange(len(live)))))
        elif r < 0.38:
            ops.append(("market", rng.choice(("buy", "sell")), rng.randint(1, 300)))
            next_id += 1
        else:
            side = rng.choice(("buy", "sell"))
            offset = rng.randint(1, 40)
            price = mid - offset if side == "buy" else mid + offset
            ops.append(("limit", side, price, rng.randint(1, 300)))
            live.append(next_id)
            next_id += 1
    return ops


def bench_mixed(ops):
    def run():
        ex = tessarin.Exchange()
        limit, market, cancel = ex.submit_limit, ex.submit_market, ex.cancel
        start = time.perf_counter()
        for op in ops:
            kind = op[0]
            if kind == "limit":
                limit(op[1], op[2], op[3])
            elif kind == "cancel":
                cancel(op[1])
            else:
                market(op[1], op[2])
        return time.perf_counter() - start, ex

    seconds, ex = min((run() for _ in range(3)), key=lambda r: r[0])
    return seconds / len(ops), ex


def bench_replay(ex):
    events = ex.events()
    start = time.perf_counter()
    tessarin.Exchange.replay(events)
    return time.perf_counter() - start, len(events)


def rss_kib():
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss


def bench_memory(n):
    gc.collect()
    before = rss_kib()
    ex = tessarin.Exchange()
    for i in range(n):
        ex.submit_limit("buy", 10000 - (i % 5000), 100)
    after = rss_kib()
    per_order = (after - before) * 1024 / n  # includes the event recorded for each order
    return per_order, ex


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--orders", type=int, default=200_000)
    args = parser.parse_args()
    n = args.orders

    base = bench_baseline(n)
    base_timeit = bench_baseline_timeit(n)
    non_crossing = bench_non_crossing(n)
    crossing = bench_crossing(n)
    cancel = bench_cancel(n)
    ops = mixed_flow(1_000_000)
    mixed, ex = bench_mixed(ops)
    replay_seconds, n_events = bench_replay(ex)
    per_order_and_event, _ = bench_memory(1_000_000)

    print(f"max(1, 2, 3):                {base * 1e9:8.1f} ns/call  (timeit: {base_timeit * 1e9:.1f} ns)")
    print(f"submit_limit (non-crossing): {non_crossing * 1e9:8.1f} ns/call  {rate(1, non_crossing) / 1e6:6.2f} M/s"
          f"  ratio to max(): {non_crossing / base:.2f}")
    print(f"submit_limit (crossing):     {crossing * 1e9:8.1f} ns/call  {rate(1, crossing) / 1e6:6.2f} M/s")
    print(f"cancel:                      {cancel * 1e9:8.1f} ns/call  {rate(1, cancel) / 1e6:6.2f} M/s")
    print(f"mixed flow (1M requests):    {mixed * 1e9:8.1f} ns/call  {rate(1, mixed) / 1e6:6.2f} M/s")
    print(f"replay of {n_events} events:  {replay_seconds:.3f} s  {n_events / replay_seconds / 1e6:6.2f} M events/s")
    print(f"memory: {per_order_and_event:.0f} bytes per resting order including its recorded event")


if __name__ == "__main__":
    main()
