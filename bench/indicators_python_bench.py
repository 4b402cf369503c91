"""End-to-end cost of the indicator functions from Python against TA-Lib.

Each indicator is called on 1M bars held as float64 NumPy arrays; both sides end
with Python lists: `tessarin.py_X(a, ...)` returns them, TA-Lib's arrays are
turned into lists with `.tolist()`. Times are the best of a few calls (the two
sides alternating), CPU time of the calling thread, in the same process, with
the result freed outside the timed region; the ratio is tessarin's time over
TA-Lib's.

Usage: python bench/indicators_python_bench.py [bars] [repetitions]
Needs `pip install ta-lib numpy`; the project itself does not depend on them.
"""

import gc
import sys
import time


import tessarin

try:
    import talib
except ImportError:  # pragma: no cover - optional comparison only
    sys.exit("TA-Lib is not installed: pip install ta-lib")

from bars import make_bars  # noqa: E402  (bench/ is on the path when run as a script)


def as_lists(result):
    return [a.tolist() for a in result] if isinstance(result, tuple) else result.tolist()


def timed(call):
    start = time.thread_time()
    result = call()
    seconds = time.thread_time() - start
    del result
    return seconds


def best_pair(ours, theirs, reps):
    """Best times of both sides, measured alternately so that both see the same
    load on a shared machine."""
    best_ours = best_theirs = float("inf")
    for _ in range(reps):
        best_ours = min(best_ours, timed(ours))
        best_theirs = min(best_theirs, timed(theirs))
    return best_ours, best_theirs


def cases(h, l, c, v):  # noqa: E741
    t = tessarin
    return [
        ("sma", "30", lambda: t.py_sma(c, 30), lambda: talib.SMA(c, 30)),
        ("ema", "30", lambda: t.py_ema(c, 30), lambda: talib.EMA(c, 30)),
        ("rsi", "14", lambda: t.py_rsi(c, 14), lambda: talib.RSI(c, 14)),
        ("macd", "12,26,9", lambda: t.py_macd(c, 12, 26, 9), lambda: talib.MACD(c, 12, 26, 9)),
        ("bbands", "20,2,2", lambda: t.py_bbands(c, 20, 2.0, 2.0), lambda: talib.BBANDS(c, 20, 2.0, 2.0)),
        ("atr", "14", lambda: t.py_atr(h, l, c, 14), lambda: talib.ATR(h, l, c, 14)),
        ("natr", "14", lambda: t.py_natr(h, l, c, 14), lambda: talib.NATR(h, l, c, 14)),
        ("trange", "-", lambda: t.py_trange(h, l, c), lambda: talib.TRANGE(h, l, c)),
        ("plus_di", "14", lambda: t.py_plus_di(h, l, c, 14), lambda: talib.PLUS_DI(h, l, c, 14)),
        ("minus_di", "14", lambda: t.py_minus_di(h, l, c, 14), lambda: talib.MINUS_DI(h, l, c, 14)),
        ("dx", "14", lambda: t.py_dx(h, l, c, 14), lambda: talib.DX(h, l, c, 14)),
        ("adx", "14", lambda: t.py_adx(h, l, c, 14), lambda: talib.ADX(h, l, c, 14)),
        ("cci", "14", lambda: t.py_cci(h, l, c, 14), lambda: talib.CCI(h, l, c, 14)),
        ("willr", "14", lambda: t.py_willr(h, l, c, 14), lambda: talib.WILLR(h, l, c, 14)),
        ("ultosc", "7,14,28", lambda: t.py_ultosc(h, l, c, 7, 14, 28), lambda: talib.ULTOSC(h, l, c, 7, 14, 28)),
        ("stoch", "5,3,3", lambda: t.py_stoch(h, l, c, 5, 3, 3), lambda: talib.STOCH(h, l, c, 5, 3, 0, 3, 0)),
        ("stochf", "5,3", lambda: t.py_stochf(h, l, c, 5, 3), lambda: talib.STOCHF(h, l, c, 5, 3, 0)),
        ("stochrsi", "14,5,3", lambda: t.py_stochrsi(c, 14, 5, 3), lambda: talib.STOCHRSI(c, 14, 5, 3, 0)),
        ("mom", "10", lambda: t.py_mom(c, 10), lambda: talib.MOM(c, 10)),
        ("roc", "10", lambda: t.py_roc(c, 10), lambda: talib.ROC(c, 10)),
        ("rocp", "10", lambda: t.py_rocp(c, 10), lambda: talib.ROCP(c, 10)),
        ("rocr", "10", lambda: t.py_rocr(c, 10), lambda: talib.ROCR(c, 10)),
        ("obv", "-", lambda: t.py_obv(c, v), lambda: talib.OBV(c, v)),
        ("ad", "-", lambda: t.py_ad(h, l, c, v), lambda: talib.AD(h, l, c, v)),
        ("adosc", "3,10", lambda: t.py_adosc(h, l, c, v, 3, 10), lambda: talib.ADOSC(h, l, c, v, 3, 10)),
    ]


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
    reps = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    h, l, c, v = make_bars(n)  # noqa: E741
    print(f"tessarin {tessarin.__version__}, TA-Lib {talib.__ta_version__.decode().split()[0]}: "
          f"{n} bars, best of {reps}, thread CPU ms")
    print(f"| indicator | params | tessarin ms | TA-Lib + tolist ms | ratio |")
    print("|---|---|---:|---:|---:|")
    gc.disable()  # both sides build the same lists; a collection would land on one at random
    worst = 0.0
    for name, params, ours, theirs in cases(h, l, c, v):
        mine, reference = best_pair(ours, lambda: as_lists(theirs()), reps)
        ratio = mine / reference
        worst = max(worst, ratio)
        print(f"| `{name}` | {params} | {mine * 1e3:.1f} | {reference * 1e3:.1f} | {ratio:.2f} |")
    gc.enable()
    print(f"worst ratio {worst:.2f}")


if __name__ == "__main__":
    main()
