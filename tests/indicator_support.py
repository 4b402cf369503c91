"""Shared data and comparisons for the indicator tests."""

import math

import numpy as np

NAN = math.nan

SERIES_PARAMS = ("high", "low", "close", "volume")


def make_bars(n, seed):
    """Seeded random-walk OHLCV bars as float64 arrays (high >= close >= low)."""
    rng = np.random.default_rng(seed)
    close = 100.0 * np.cumprod(1.0 + (rng.random(n) - 0.5) * 0.02)
    span = close * 0.01 * rng.random(n)
    high = close + span * rng.random(n)
    low = close - span * rng.random(n)
    volume = np.floor(1000.0 + 99000.0 * rng.random(n))
    return {"high": high, "low": low, "close": close, "volume": volume}


def outputs(result):
    """The output lists of a single- or multi-output result."""
    return list(result) if isinstance(result, tuple) else [result]


def same_floats(actual, expected):
    """Equal element by element, NaN matching NaN, and bit-exact otherwise."""
    if len(actual) != len(expected):
        return False
    for a, e in zip(actual, expected):
        if math.isnan(e):
            if not math.isnan(a):
                return False
        elif a != e:
            return False
    return True


def same_result(actual, expected):
    if isinstance(expected, tuple):
        return (
            isinstance(actual, tuple)
            and len(actual) == len(expected)
            and all(same_floats(a, e) for a, e in zip(actual, expected))
        )
    return isinstance(actual, list) and same_floats(actual, expected)


def first_defined(values):
    """Index of the first non-NaN value, or len(values) when there is none."""
    for i, v in enumerate(values):
        if not math.isnan(v):
            return i
    return len(values)
