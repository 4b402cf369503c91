"""TA-Lib's throughput on this machine, for comparison with indicators_bench.

Times TA-Lib's C functions through its Python wrapper on 1M bars of seeded
random OHLCV (the same recipe as indicators_bench, not the same numbers), best
of a few repetitions, CPU time of the calling thread, in million bars per
second. The wrapper adds a few microseconds per call and allocates its output
arrays, which at 1M bars is noise.

Usage: python bench/indicators_talib_bench.py [bars] [repetitions]
Needs `pip install ta-lib numpy`; the project itself does not depend on them.
"""

import sys
import time


try:
    import talib
except ImportError:  # pragma: no cover - optional comparison only
    sys.exit("TA-Lib is not installed: pip install ta-lib")

from bars import make_bars  # noqa: E402  (bench/ is on the path when run as a script)


def best_seconds(call, reps):
    best = float("inf")
    for _ in range(reps):
        t0 = time.thread_time()
        call()
        best = min(best, time.thread_time() - t0)
    return best


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
    reps = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    h, l, c, v = make_bars(n)
    cases = [
        ("SMA", "30", lambda: talib.SMA(c, 30)),
        ("EMA", "30", lambda: talib.EMA(c, 30)),
        ("RSI", "14", lambda: talib.RSI(c, 14)),
        ("MACD", "12,26,9", lambda: talib.MACD(c, 12, 26, 9)),
        ("BBANDS", "20,2,2", lambda: talib.BBANDS(c, 20, 2.0, 2.0)),
        ("ATR", "14", lambda: talib.ATR(h, l, c, 14)),
        ("NATR", "14", lambda: talib.NATR(h, l, c, 14)),
        ("TRANGE", "-", lambda: talib.TRANGE(h, l, c)),
        ("PLUS_DI", "14", lambda: talib.PLUS_DI(h, l, c, 14)),
        ("MINUS_DI", "14", lambda: talib.MINUS_DI(h, l, c, 14)),
        ("DX", "14", lambda: talib.DX(h, l, c, 14)),
        ("ADX", "14", lambda: talib.ADX(h, l, c, 14)),
        ("CCI", "14", lambda: talib.CCI(h, l, c, 14)),
        ("WILLR", "14", lambda: talib.WILLR(h, l, c, 14)),
        ("ULTOSC", "7,14,28", lambda: talib.ULTOSC(h, l, c, 7, 14, 28)),
        ("STOCH", "5,3,3", lambda: talib.STOCH(h, l, c, 5, 3, 0, 3, 0)),
        ("STOCHF", "5,3", lambda: talib.STOCHF(h, l, c, 5, 3, 0)),
        ("STOCHRSI", "14,5,3", lambda: talib.STOCHRSI(c, 14, 5, 3, 0)),
        ("MOM", "10", lambda: talib.MOM(c, 10)),
        ("ROC", "10", lambda: talib.ROC(c, 10)),
        ("ROCP", "10", lambda: talib.ROCP(c, 10)),
        ("ROCR", "10", lambda: talib.ROCR(c, 10)),
        ("OBV", "-", lambda: talib.OBV(c, v)),
        ("AD", "-", lambda: talib.AD(h, l, c, v)),
        ("ADOSC", "3,10", lambda: talib.ADOSC(h, l, c, v, 3, 10)),
    ]
    print(f"TA-Lib {talib.__ta_version__.decode()}: {n} bars, best of {reps}, "
          "CPU time of one thread")
    print(f"{'function':<10} {'params':<8} {'M bars/s':>9}")
    for name, params, call in cases:
        rate = n / best_seconds(call, reps) / 1e6
        print(f"{name:<10} {params:<8} {rate:9.1f}")


if __name__ == "__main__":
    main()
