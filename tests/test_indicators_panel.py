"""Panel indicator functions: shape rule, and every column equal to the
single-series function on that column."""

import math

import numpy as np
import pytest

import tessarin
from indicator_support import NAN, make_bars, outputs, same_floats, same_result

N = NAN


def panel_of(columns):
    """A flat row-major panel from equal-length columns."""
    return np.column_stack(columns).ravel()


def column(flat, j, n_names):
    return flat[j::n_names]


def make_panel(rows, n_names, seed):
    """Random bars per name, with a NaN planted in one column of each series."""
    bars = [make_bars(rows, seed + j) for j in range(n_names)]
    panels = {key: panel_of([b[key] for b in bars]) for key in ("high", "low", "close")}
    if n_names > 1 and rows > 5:
        for key in panels:
            panels[key][5 * n_names + 1] = NAN  # row 5, column 1
    return panels


# (panel function, single-series function, parameters)
PAIRS = [
    ("py_sma_panel", "py_sma", {"period": 1}),
    ("py_sma_panel", "py_sma", {"period": 7}),
    ("py_sma_panel", "py_sma", {"period": 0}),
    ("py_sma_panel", "py_sma", {"period": 40}),
    ("py_sma_panel", "py_sma", {"period": 41}),
    ("py_sma_panel_by_column", "py_sma", {"period": 7}),
    ("py_sma_panel_by_column", "py_sma", {"period": 41}),
    ("py_ema_panel", "py_ema", {"period": 1}),
    ("py_ema_panel", "py_ema", {"period": 9}),
    ("py_ema_panel", "py_ema", {"period": 40}),
    ("py_ema_panel", "py_ema", {"period": 0}),
    ("py_ema_panel_by_column", "py_ema", {"period": 9}),
    ("py_ema_panel_by_column", "py_ema", {"period": 0}),
    ("py_rsi_panel", "py_rsi", {}),
    ("py_rsi_panel", "py_rsi", {"period": 1}),
    ("py_rsi_panel", "py_rsi", {"period": 39}),
    ("py_rsi_panel", "py_rsi", {"period": 40}),
    ("py_macd_panel", "py_macd", {"fast_period": 3, "slow_period": 8, "signal_period": 4}),
    ("py_macd_panel", "py_macd", {"fast_period": 1, "slow_period": 2, "signal_period": 1}),
    ("py_macd_panel", "py_macd", {"fast_period": 12, "slow_period": 26, "signal_period": 15}),
    ("py_macd_panel", "py_macd", {"fast_period": 12, "slow_period": 26, "signal_period": 16}),
    ("py_macd_panel", "py_macd", {"fast_period": 26, "slow_period": 12, "signal_period": 9}),
    ("py_bbands_panel", "py_bbands", {}),
    ("py_bbands_panel", "py_bbands", {"period": 1, "num_std_up": 1.0, "num_std_dn": 3.0}),
    ("py_bbands_panel", "py_bbands", {"period": 13, "num_std_up": 2.5, "num_std_dn": 0.5}),
    ("py_bbands_panel", "py_bbands", {"period": 41}),
    ("py_atr_panel", "py_atr", {}),
    ("py_atr_panel", "py_atr", {"period": 1}),
    ("py_atr_panel", "py_atr", {"period": 39}),
    ("py_atr_panel", "py_atr", {"period": 40}),
]


def call_panel(name, panels, n_names, params):
    f = getattr(tessarin, name)
    if name == "py_atr_panel":
        return f(panels["high"], panels["low"], panels["close"], n_names, **params)
    return f(panels["close"], n_names, **params)


def call_single(name, panels, j, n_names, params):
    f = getattr(tessarin, name)
    if name == "py_atr":
        return f(*(column(panels[k], j, n_names) for k in ("high", "low", "close")), **params)
    return f(column(panels["close"], j, n_names), **params)


@pytest.mark.parametrize("n_names", [1, 3, 11])
@pytest.mark.parametrize("panel_fn, single_fn, params", PAIRS)
def test_each_panel_column_equals_the_single_series_result(panel_fn, single_fn, params, n_names):
    rows = 40
    panels = make_panel(rows, n_names, seed=100)
    result = outputs(call_panel(panel_fn, panels, n_names, params))
    for out in result:
        assert type(out) is list and len(out) == rows * n_names
    for j in range(n_names):
        expected = outputs(call_single(single_fn, panels, j, n_names, params))
        for out, exp in zip(result, expected):
            assert same_floats(column(np.array(out), j, n_names).tolist(), exp), j


@pytest.mark.parametrize("row_major, by_column", [("py_sma_panel", "py_sma_panel_by_column"),
                                                  ("py_ema_panel", "py_ema_panel_by_column")])
@pytest.mark.parametrize("n_names, period", [(1, 5), (4, 1), (4, 10), (7, 30), (7, 31), (0, 3), (3, 0)])
def test_by_column_variants_equal_the_row_major_ones(row_major, by_column, n_names, period):
    close = make_panel(30, max(n_names, 1), seed=200)["close"]
    assert same_floats(getattr(tessarin, by_column)(close, n_names, period),
                       getattr(tessarin, row_major)(close, n_names, period))


SMA_PANEL_INPUT = [1.0, 10.0, 2.0, 20.0, 3.0, 30.0]


@pytest.mark.parametrize(
    "call, expected",
    [
        (lambda: tessarin.py_sma_panel(SMA_PANEL_INPUT, 2, 2), [N, N, 1.5, 15.0, 2.5, 25.0]),
        (lambda: tessarin.py_sma_panel_by_column(SMA_PANEL_INPUT, 2, 2), [N, N, 1.5, 15.0, 2.5, 25.0]),
        (lambda: tessarin.py_ema_panel(SMA_PANEL_INPUT, 2, 2), [N, N, 1.5, 15.0, 2.5, 25.0]),
        (lambda: tessarin.py_sma_panel(SMA_PANEL_INPUT, 4, 2), [N] * 6),
        (lambda: tessarin.py_sma_panel(SMA_PANEL_INPUT, 0, 2), [N] * 6),
        (lambda: tessarin.py_sma_panel([], 2, 2), []),
        (lambda: tessarin.py_sma_panel(SMA_PANEL_INPUT, 6, 1), SMA_PANEL_INPUT),
        (lambda: tessarin.py_rsi_panel([1.0, 5.0, 2.0, 4.0, 3.0, 3.0], 2, 2), [N, N, N, N, 100.0, 0.0]),
        (lambda: tessarin.py_macd_panel(list(map(float, range(80))), 2, 26, 12), ([N] * 80,) * 3),
        (lambda: tessarin.py_bbands_panel([1.0, 4.0, 3.0, 4.0], 2, 2, 1.0, 3.0), ([N, N, 3.0, 4.0], [N, N, 2.0, 4.0], [N, N, -1.0, 4.0])),
        (lambda: tessarin.py_atr_panel([1.0] * 7, [1.0] * 6, [1.0] * 6, 2, 1), [N] * 6),
        (lambda: tessarin.py_atr_panel([1.0] * 6, [1.0] * 6, [1.0] * 7, 7, 1), [N] * 7),
    ],
    ids=["sma", "sma by column", "ema", "not a multiple", "no names", "empty", "one row per name", "rsi",
         "macd fast > slow", "bbands", "atr high longer", "atr close longer"],
)
def test_panel_edge_cases(call, expected):
    result = call()
    assert same_result(result, expected), result


@pytest.mark.parametrize("name", ["py_sma_panel", "py_sma_panel_by_column", "py_ema_panel", "py_ema_panel_by_column",
                                  "py_rsi_panel", "py_macd_panel", "py_bbands_panel", "py_atr_panel"])
@pytest.mark.parametrize("n_names", [0, 7, 121])
def test_shape_rule_gives_nan_of_the_input_length(name, n_names):
    panels = make_panel(30, 4, seed=300)  # 120 values: no multiple of 7 or 121
    for out in outputs(call_panel(name, panels, n_names, {"period": 2} if "macd" not in name else {})):
        assert len(out) == 120 and all(math.isnan(v) for v in out)


def test_a_nan_in_one_column_leaves_the_others_alone():
    panels = make_panel(30, 3, seed=400)
    close = panels["close"].copy()
    clean = tessarin.py_ema_panel(close, 3, 4)
    close[1] = NAN  # row 0, column 1
    dirty = tessarin.py_ema_panel(close, 3, 4)
    for j in (0, 2):
        assert same_floats(column(np.array(dirty), j, 3).tolist(), column(np.array(clean), j, 3).tolist())
    assert all(math.isnan(v) for v in column(np.array(dirty), 1, 3))


def test_panel_arguments_convert_like_the_single_series_ones():
    with pytest.raises(OverflowError, match="argument 'n_names'"):
        tessarin.py_sma_panel([1.0], -1, 1)
    with pytest.raises(TypeError, match="argument 'n_names'"):
        tessarin.py_rsi_panel([1.0], 1.0)
    with pytest.raises(TypeError, match="argument 'close': expected a sequence of floats, got str"):
        tessarin.py_bbands_panel("1.0", 1)
    with pytest.raises(TypeError, match="argument 'low'"):
        tessarin.py_atr_panel([1.0], {1.0}, [1.0], 1)
    flat = make_panel(20, 2, seed=500)["close"]
    assert same_floats(tessarin.py_sma_panel(flat.tolist(), 2, 3), tessarin.py_sma_panel(flat, 2, 3))
    assert same_floats(tessarin.py_sma_panel(tuple(flat), 2, 3), tessarin.py_sma_panel(flat, 2, 3))
