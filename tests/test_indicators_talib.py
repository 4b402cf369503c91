"""Parity with TA-Lib: every catalogued indicator starts at TA-Lib's lookback
and agrees with TA-Lib's values on seeded random bars; the places where the
indicators deliberately differ from TA-Lib are pinned as expected differences."""

import math

import numpy as np
import pytest

import tessarin
from indicator_support import first_defined, make_bars, outputs

talib = pytest.importorskip("talib")
from talib import abstract  # noqa: E402

# Relative tolerance of value parity. The kernels and TA-Lib order some
# operations differently (sums, divide-then-scale), so last bits may differ.
RTOL = 1e-9


def h(b):
    return b["high"]


def l(b):  # noqa: E743
    return b["low"]


def c(b):
    return b["close"]


def v(b):
    return b["volume"]


# Catalogue name -> (our call, TA-Lib function name, TA-Lib call, TA-Lib parameter
# names, parameter sets). Both calls take the bars and one parameter set.
PARITY = {
    "sma": (lambda b, p: tessarin.py_sma(c(b), *p), "SMA", lambda b, p: talib.SMA(c(b), *p),
            ["timeperiod"], [(2,), (5,), (30,)]),
    "ema": (lambda b, p: tessarin.py_ema(c(b), *p), "EMA", lambda b, p: talib.EMA(c(b), *p),
            ["timeperiod"], [(2,), (9,), (30,)]),
    "rsi": (lambda b, p: tessarin.py_rsi(c(b), *p), "RSI", lambda b, p: talib.RSI(c(b), *p),
            ["timeperiod"], [(2,), (14,), (50,)]),
    "macd": (lambda b, p: tessarin.py_macd(c(b), *p), "MACD", lambda b, p: talib.MACD(c(b), *p),
             ["fastperiod", "slowperiod", "signalperiod"], [(2, 3, 1), (12, 26, 9), (5, 35, 5)]),
    "bbands": (lambda b, p: tessarin.py_bbands(c(b), *p), "BBANDS", lambda b, p: talib.BBANDS(c(b), *p, 0),
               ["timeperiod", "nbdevup", "nbdevdn"], [(2, 2.0, 2.0), (20, 2.0, 2.0), (14, 1.5, 2.5)]),
    "atr": (lambda b, p: tessarin.py_atr(h(b), l(b), c(b), *p), "ATR", lambda b, p: talib.ATR(h(b), l(b), c(b), *p),
            ["timeperiod"], [(1,), (14,), (30,)]),
    "stoch": (lambda b, p: tessarin.py_stoch(h(b), l(b), c(b), *p), "STOCH",
              lambda b, p: talib.STOCH(h(b), l(b), c(b), p[0], p[1], 0, p[2], 0),
              ["fastk_period", "slowk_period", "slowd_period"], [(1, 1, 1), (5, 3, 3), (14, 5, 7)]),
    "stochf": (lambda b, p: tessarin.py_stochf(h(b), l(b), c(b), *p), "STOCHF",
               lambda b, p: talib.STOCHF(h(b), l(b), c(b), p[0], p[1], 0),
               ["fastk_period", "fastd_period"], [(1, 1), (5, 3), (21, 8)]),
    "stochrsi": (lambda b, p: tessarin.py_stochrsi(c(b), *p), "STOCHRSI",
                 lambda b, p: talib.STOCHRSI(c(b), p[0], p[1], p[2], 0),
                 ["timeperiod", "fastk_period", "fastd_period"], [(3, 2, 2), (14, 5, 3), (9, 14, 4)]),
    "adx": (lambda b, p: tessarin.py_adx(h(b), l(b), c(b), *p), "ADX", lambda b, p: talib.ADX(h(b), l(b), c(b), *p),
            ["timeperiod"], [(2,), (14,), (30,)]),
    "plus_di": (lambda b, p: tessarin.py_plus_di(h(b), l(b), c(b), *p), "PLUS_DI",
                lambda b, p: talib.PLUS_DI(h(b), l(b), c(b), *p), ["timeperiod"], [(2,), (14,), (30,)]),
    "minus_di": (lambda b, p: tessarin.py_minus_di(h(b), l(b), c(b), *p), "MINUS_DI",
                 lambda b, p: talib.MINUS_DI(h(b), l(b), c(b), *p), ["timeperiod"], [(2,), (14,), (30,)]),
    "dx": (lambda b, p: tessarin.py_dx(h(b), l(b), c(b), *p), "DX", lambda b, p: talib.DX(h(b), l(b), c(b), *p),
           ["timeperiod"], [(2,), (14,), (30,)]),
    "cci": (lambda b, p: tessarin.py_cci(h(b), l(b), c(b), *p), "CCI", lambda b, p: talib.CCI(h(b), l(b), c(b), *p),
            ["timeperiod"], [(2,), (14,), (20,)]),
    "willr": (lambda b, p: tessarin.py_willr(h(b), l(b), c(b), *p), "WILLR",
              lambda b, p: talib.WILLR(h(b), l(b), c(b), *p), ["timeperiod"], [(2,), (14,), (30,)]),
    "ultosc": (lambda b, p: tessarin.py_ultosc(h(b), l(b), c(b), *p), "ULTOSC",
               lambda b, p: talib.ULTOSC(h(b), l(b), c(b), *p),
               ["timeperiod1", "timeperiod2", "timeperiod3"], [(1, 1, 1), (7, 14, 28), (28, 7, 14), (3, 9, 5)]),
    "mom": (lambda b, p: tessarin.py_mom(c(b), *p), "MOM", lambda b, p: talib.MOM(c(b), *p),
            ["timeperiod"], [(1,), (10,), (25,)]),
    "roc": (lambda b, p: tessarin.py_roc(c(b), *p), "ROC", lambda b, p: talib.ROC(c(b), *p),
            ["timeperiod"], [(1,), (10,), (25,)]),
    "rocp": (lambda b, p: tessarin.py_rocp(c(b), *p), "ROCP", lambda b, p: talib.ROCP(c(b), *p),
             ["timeperiod"], [(1,), (10,), (25,)]),
    "rocr": (lambda b, p: tessarin.py_rocr(c(b), *p), "ROCR", lambda b, p: talib.ROCR(c(b), *p),
             ["timeperiod"], [(1,), (10,), (25,)]),
    "obv": (lambda b, p: tessarin.py_obv(c(b), v(b)), "OBV", lambda b, p: talib.OBV(c(b), v(b)), [], [()]),
    "ad": (lambda b, p: tessarin.py_ad(h(b), l(b), c(b), v(b)), "AD", lambda b, p: talib.AD(h(b), l(b), c(b), v(b)),
           [], [()]),
    "adosc": (lambda b, p: tessarin.py_adosc(h(b), l(b), c(b), v(b), *p), "ADOSC",
              lambda b, p: talib.ADOSC(h(b), l(b), c(b), v(b), *p),
              ["fastperiod", "slowperiod"], [(2, 2), (3, 10), (10, 3)]),
    "natr": (lambda b, p: tessarin.py_natr(h(b), l(b), c(b), *p), "NATR", lambda b, p: talib.NATR(h(b), l(b), c(b), *p),
             ["timeperiod"], [(2,), (14,), (30,)]),
    "trange": (lambda b, p: tessarin.py_trange(h(b), l(b), c(b)), "TRANGE",
               lambda b, p: talib.TRANGE(h(b), l(b), c(b)), [], [()]),
}

CASES = [(name, params) for name, entry in PARITY.items() for params in entry[4]]
CASE_IDS = [f"{name}{list(params)}" for name, params in CASES]
LENGTHS = [40, 257, 1500]


def talib_lookback(name, params):
    _, talib_name, _, param_names, _ = PARITY[name]
    f = abstract.Function(talib_name)
    f.set_parameters(dict(zip(param_names, params)))
    return f.lookback


def assert_close(ours, theirs):
    """NaN where TA-Lib has NaN; elsewhere within RTOL of TA-Lib's value, read
    against the magnitude of the series (a value near zero crossing, such as a
    MACD histogram or a rate of change, has no relative precision of its own)."""
    ours = np.asarray(ours, dtype=float)
    theirs = np.asarray(theirs, dtype=float)
    assert ours.shape == theirs.shape
    assert np.array_equal(np.isnan(ours), np.isnan(theirs))
    defined = ~np.isnan(theirs)
    if not defined.any():
        return
    scale = np.mean(np.abs(theirs[defined]))
    tolerance = RTOL * np.maximum(np.abs(theirs[defined]), scale)
    worst = np.max(np.abs(ours[defined] - theirs[defined]) - tolerance)
    assert worst <= 0.0, f"off by {worst:.3g} beyond the tolerance"


def test_every_catalogued_indicator_is_compared():
    assert [row["name"] for row in tessarin.py_list_supported_indicators()] == list(PARITY)


@pytest.mark.parametrize("n", LENGTHS)
@pytest.mark.parametrize("name, params", CASES, ids=CASE_IDS)
def test_first_defined_index_is_talibs_lookback_and_values_agree(name, params, n):
    bars = make_bars(n, seed=1000 + n)
    ours = outputs(PARITY[name][0](bars, params))
    theirs = outputs(PARITY[name][2](bars, params))
    assert len(ours) == len(theirs)
    lookback = talib_lookback(name, params)
    for mine, reference in zip(ours, theirs):
        assert first_defined(mine) == min(lookback, n)
        assert first_defined(reference) == min(lookback, n)
        assert_close(mine, reference)


@pytest.mark.parametrize("name, params", CASES, ids=CASE_IDS)
def test_exactly_one_value_once_the_series_is_one_bar_past_the_lookback(name, params):
    lookback = talib_lookback(name, params)
    for n, expected_first in [(lookback, lookback), (lookback + 1, lookback)]:
        bars = make_bars(n, seed=7)
        for out in outputs(PARITY[name][0](bars, params)):
            assert len(out) == n
            assert first_defined(out) == expected_first


# ---- deliberate differences from TA-Lib --------------------------------------------

FLAT = {key: np.full(30, 5.0) for key in ("high", "low", "close", "volume")}
RANDOM = make_bars(60, 12)


@pytest.mark.parametrize(
    "ours, theirs, first",
    [
        (lambda: tessarin.py_stoch(h(FLAT), l(FLAT), c(FLAT)), lambda: talib.STOCH(h(FLAT), l(FLAT), c(FLAT)), 8),
        (lambda: tessarin.py_stochf(h(FLAT), l(FLAT), c(FLAT)), lambda: talib.STOCHF(h(FLAT), l(FLAT), c(FLAT)), 6),
        (lambda: tessarin.py_stochrsi(c(FLAT)), lambda: talib.STOCHRSI(c(FLAT)), 20),
        # A %K window of one RSI value never has a range.
        (lambda: tessarin.py_stochrsi(c(RANDOM), 2, 1, 1), lambda: talib.STOCHRSI(c(RANDOM), 2, 1, 1), 2),
    ],
    ids=["stoch", "stochf", "stochrsi", "stochrsi fastk 1"],
)
def test_a_window_without_range_is_50_where_talib_says_0(ours, theirs, first):
    # A close inside a window whose high equals its low sits in the middle of
    # an empty range; 50 is its neutral position, TA-Lib writes the bottom.
    for mine, reference in zip(ours(), theirs()):
        assert first_defined(mine) == first_defined(reference) == first
        assert all(x == 50.0 for x in mine[first:])
        assert all(x == 0.0 for x in reference[first:])


# Prices near 50, so that a percent of the close is far from the plain range.
HALF = {key: values * (0.5 if key != "volume" else 1.0) for key, values in RANDOM.items()}


@pytest.mark.parametrize(
    "ours, theirs, talib_instead",
    [
        (tessarin.py_plus_di, talib.PLUS_DI,
         lambda b: np.asarray(tessarin.py_plus_di(h(b), l(b), c(b), 1)) / 100.0),
        (tessarin.py_minus_di, talib.MINUS_DI,
         lambda b: np.asarray(tessarin.py_minus_di(h(b), l(b), c(b), 1)) / 100.0),
        (tessarin.py_natr, talib.NATR,
         lambda b: np.asarray(tessarin.py_natr(h(b), l(b), c(b), 1)) * c(b) / 100.0),
    ],
    ids=["plus_di", "minus_di", "natr"],
)
def test_period_1_keeps_the_percent_scale_where_talib_drops_it(ours, theirs, talib_instead):
    # With period 1 TA-Lib returns the directional ratio without its factor 100,
    # and for NATR the plain true range without dividing by the close; the
    # kernels keep one formula for every period.
    mine = np.asarray(ours(h(HALF), l(HALF), c(HALF), 1))
    reference = theirs(h(HALF), l(HALF), c(HALF), 1)
    assert first_defined(mine) == first_defined(reference) == 1
    assert_close(reference, talib_instead(HALF))
    assert not np.allclose(mine[1:], reference[1:])


def test_macd_keeps_fast_and_slow_where_talib_swaps_them():
    # A fast period at or above the slow one is a caller's mistake; swapping it
    # silently would hide the mistake, so the result is NaN instead.
    close = make_bars(80, 8)["close"]
    assert all(math.isnan(x) for out in tessarin.py_macd(close, 26, 12, 9) for x in out)
    assert_close(talib.MACD(close, 26, 12, 9)[0], talib.MACD(close, 12, 26, 9)[0])


def test_a_leading_nan_stays_in_the_running_sum_where_talib_starts_after_it():
    # TA-Lib's wrapper starts each computation after the leading NaNs of its
    # input; here a NaN that enters a running sum stays in every later value.
    close = make_bars(40, 9)["close"].copy()
    close[0] = math.nan
    assert all(math.isnan(x) for x in tessarin.py_sma(close, 5))
    reference = talib.SMA(close, 5)
    assert first_defined(reference) == 5
    assert_close(reference[5:], talib.SMA(close[1:], 5)[4:])


@pytest.mark.parametrize(
    "ours, theirs, expected_first",
    [
        (lambda b: tessarin.py_rsi(c(b), 1), lambda b: talib.RSI(c(b), 1), 1),
        (lambda b: tessarin.py_macd(c(b), 1, 3, 2), lambda b: talib.MACD(c(b), 1, 3, 2), 3),
        (lambda b: tessarin.py_dx(h(b), l(b), c(b), 1), lambda b: talib.DX(h(b), l(b), c(b), 1), 1),
        (lambda b: tessarin.py_stochrsi(c(b), 1, 1, 1), lambda b: talib.STOCHRSI(c(b), 1, 1, 1), 1),
        (lambda b: tessarin.py_adx(h(b), l(b), c(b), 1), lambda b: talib.ADX(h(b), l(b), c(b), 1), None),
        (lambda b: tessarin.py_cci(h(b), l(b), c(b), 1), lambda b: talib.CCI(h(b), l(b), c(b), 1), None),
        (lambda b: tessarin.py_willr(h(b), l(b), c(b), 1), lambda b: talib.WILLR(h(b), l(b), c(b), 1), None),
        (lambda b: tessarin.py_adosc(h(b), l(b), c(b), v(b), 1, 3), lambda b: talib.ADOSC(h(b), l(b), c(b), v(b), 1, 3), None),
        (lambda b: tessarin.py_sma(c(b), 0), lambda b: talib.SMA(c(b), 0), None),
        (lambda b: tessarin.py_bbands(c(b), 1), lambda b: talib.BBANDS(c(b), 1), 0),
    ],
    ids=["rsi 1", "macd fast 1", "dx 1", "stochrsi 1", "adx 1", "cci 1", "willr 1", "adosc fast 1", "sma 0", "bbands 1"],
)
def test_periods_talib_refuses_give_values_or_nan_instead_of_errors(ours, theirs, expected_first):
    # Outside TA-Lib's parameter ranges there is nothing to be at parity with:
    # TA-Lib fails, the kernels return their defined result or all NaN.
    bars = make_bars(30, 10)
    with pytest.raises(Exception, match="TA_BAD_PARAM"):
        theirs(bars)
    for out in outputs(ours(bars)):
        assert first_defined(out) == (len(out) if expected_first is None else expected_first)
