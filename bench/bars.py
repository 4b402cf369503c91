"""Seeded random OHLCV bars shared by the indicator benchmarks (NumPy only)."""

import numpy as np

SEED = 20240611


def make_bars(n, seed=SEED):
    """A random walk of n closes with a bar range around each and a volume."""
    rng = np.random.default_rng(seed)
    close = 100.0 * np.cumprod(1.0 + (rng.random(n) - 0.5) * 0.02)
    span = close * 0.01 * rng.random(n)
    high = close + span * rng.random(n)
    low = close - span * rng.random(n)
    volume = np.floor(1000.0 + 99000.0 * rng.random(n))
    return high, low, close, volume
