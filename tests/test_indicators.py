"""The Python indicator functions: registration, signatures, docstrings, argument
conversion, the catalogue, and the edge cases of every kernel."""

import array
import doctest
import inspect
import math

import numpy as np
import pytest

import tessarin
from indicator_support import NAN, SERIES_PARAMS, make_bars, outputs, same_floats, same_result

N = NAN

# Registration order, text signature and docstring (None: no docstring) of the
# indicator functions. A docstring ending in "..." is the first sentence of a
# longer one.
FUNCTIONS = [
    ("py_sma", "(close, period)", "Compute simple moving average."),
    ("py_sma_panel", "(close, n_names, period)",
     "Panel SMA. `close` is a flat row-major time \u00d7 names vector."),
    ("py_sma_panel_by_column", "(close, n_names, period)", None),
    ("py_ema", "(close, period)", "Compute exponential moving average."),
    ("py_ema_panel", "(close, n_names, period)",
     "Panel EMA. `close` is a flat row-major time \u00d7 names vector."),
    ("py_ema_panel_by_column", "(close, n_names, period)", None),
    ("py_rsi", "(close, period=14)",
     "Compute RSI (Relative Strength Index) using Wilder's smoothing...."),
    ("py_rsi_panel", "(close, n_names, period=14)", None),
    ("py_macd", "(close, fast_period=12, slow_period=26, signal_period=9)",
     "Compute MACD (Moving Average Convergence Divergence)...."),
    ("py_macd_panel", "(close, n_names, fast_period=12, slow_period=26, signal_period=9)", None),
    ("py_bbands", "(close, period=20, num_std_up=2.0, num_std_dn=2.0)",
     "Compute Bollinger Bands (SMA +/- k * standard deviation)...."),
    ("py_bbands_panel", "(close, n_names, period=20, num_std_up=2.0, num_std_dn=2.0)", None),
    ("py_bollinger", "(close, period=20, num_std_up=2.0, num_std_dn=2.0)",
     "Explicit Bollinger Bands alias."),
    ("py_atr", "(high, low, close, period=14)",
     "Compute ATR (Average True Range) using Wilder's smoothing...."),
    ("py_atr_panel", "(high, low, close, n_names, period=14)", None),
    ("py_wilder_atr", "(high, low, close, period=14)",
     "Explicit Wilder ATR alias for callers distinguishing ATR variants."),
    ("py_stoch", "(high, low, close, fastk_period=5, slowk_period=3, slowd_period=3)",
     "Stochastic oscillator (slow %K and %D)."),
    ("py_stochf", "(high, low, close, fastk_period=5, fastd_period=3)", "Fast stochastic oscillator."),
    ("py_stochrsi", "(close, timeperiod=14, fastk_period=5, fastd_period=3)", "Stochastic RSI."),
    ("py_plus_di", "(high, low, close, period=14)", "Plus Directional Indicator."),
    ("py_minus_di", "(high, low, close, period=14)", "Minus Directional Indicator."),
    ("py_dx", "(high, low, close, period=14)", "Directional Movement Index."),
    ("py_adx", "(high, low, close, period=14)", "Average Directional Movement Index."),
    ("py_cci", "(high, low, close, period=14)", "Commodity Channel Index."),
    ("py_willr", "(high, low, close, period=14)", "Williams' %R."),
    ("py_ultosc", "(high, low, close, period1=7, period2=14, period3=28)", "Ultimate Oscillator."),
    ("py_mom", "(close, period=10)", "Momentum."),
    ("py_roc", "(close, period=10)", "Rate of change (percent)."),
    ("py_rocp", "(close, period=10)", "Rate of change (ratio)."),
    ("py_rocr", "(close, period=10)", "Rate of change multiplier."),
    ("py_obv", "(close, volume)", "On Balance Volume."),
    ("py_ad", "(high, low, close, volume)", "Chaikin Accumulation/Distribution Line."),
    ("py_adosc", "(high, low, close, volume, fast_period=3, slow_period=10)", "Chaikin A/D Oscillator."),
    ("py_natr", "(high, low, close, period=14)", "Normalized Average True Range."),
    ("py_trange", "(high, low, close)", "True Range (unsmoothed)."),
    ("py_list_supported_indicators", "()", "List supported technical indicators with parity metadata."),
]
NAMES = [name for name, _, _ in FUNCTIONS]
COMPUTING = NAMES[:-1]  # every function but the catalogue

# Outputs per call: the multi-output functions return tuples of this many lists.
ARITY = {"py_macd": 3, "py_macd_panel": 3, "py_bbands": 3, "py_bbands_panel": 3, "py_bollinger": 3,
         "py_stoch": 2, "py_stochf": 2, "py_stochrsi": 2}

# py_obv and py_ad answer unusable input with an empty list instead of NaN.
EMPTY_ON_MISMATCH = {"py_obv", "py_ad"}

INTEGER_PARAMS = {"period", "n_names", "fast_period", "slow_period", "signal_period", "fastk_period",
                  "slowk_period", "slowd_period", "fastd_period", "timeperiod", "period1", "period2",
                  "period3"}


def fn(name):
    return getattr(tessarin, name)


def parameters(name):
    return list(inspect.signature(fn(name)).parameters.values())


def valid_arguments(name, n=60, seed=11):
    """Keyword arguments that every function accepts: random bars, one name, defaults."""
    bars = make_bars(n, seed)
    kwargs = {}
    for p in parameters(name):
        if p.name in SERIES_PARAMS:
            kwargs[p.name] = list(bars[p.name])
        elif p.name == "n_names":
            kwargs[p.name] = 1
        elif p.default is inspect.Parameter.empty:
            kwargs[p.name] = 5
    return kwargs


def param_cases(kinds):
    return [(name, p.name) for name in COMPUTING for p in parameters(name) if p.name in kinds]


# ---- registration, signatures, docstrings ----------------------------------------


def test_functions_are_registered_together_in_table_order():
    registered = [key for key, value in vars(tessarin).items() if callable(value) and key in NAMES]
    assert registered == NAMES
    keys = list(vars(tessarin))
    first = keys.index(NAMES[0])
    assert keys[first : first + len(NAMES)] == NAMES


@pytest.mark.parametrize("name, signature, doc", FUNCTIONS, ids=NAMES)
def test_signature_and_docstring(name, signature, doc):
    f = fn(name)
    assert f.__name__ == name
    assert f.__text_signature__ == signature
    assert str(inspect.signature(f)) == signature
    if doc is None:
        assert f.__doc__ is None
    elif doc.endswith("...."):
        first_sentence = doc[: -len("...")]
        assert f.__doc__.startswith(first_sentence + "\n\n")
    else:
        assert f.__doc__ == doc


@pytest.mark.parametrize(
    "name, talib_name, returns",
    [
        ("py_rsi", "RSI", "list of float"),
        ("py_macd", "MACD", "(macd_line, signal_line, histogram)"),
        ("py_bbands", "BBANDS", "(upper_band, middle_band, lower_band)"),
        ("py_atr", "ATR", "list of float"),
    ],
)
def test_talib_replacement_docstrings(name, talib_name, returns):
    doc = fn(name).__doc__
    assert f"Drop-in replacement for TA-Lib's {talib_name}" in doc
    assert f"talib.{talib_name}(" in doc
    assert "same argument order" in doc
    assert returns in doc
    assert f">>> tessarin.{name}(" in doc or f"= tessarin.{name}(" in doc
    # The examples are true.
    parser = doctest.DocTestParser()
    test = parser.get_doctest(doc, {}, name, None, 0)
    assert test.examples
    runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE)
    runner.run(test)
    assert runner.failures == 0


# ---- results -----------------------------------------------------------------------


@pytest.mark.parametrize("name", COMPUTING)
def test_results_are_fresh_lists_of_float_as_long_as_the_input(name):
    kwargs = valid_arguments(name)
    result = fn(name)(**kwargs)
    if name in ARITY:
        assert type(result) is tuple and len(result) == ARITY[name]
    else:
        assert type(result) is list
    lists = outputs(result)
    assert len({id(out) for out in lists}) == len(lists)
    for out in lists:
        assert type(out) is list and len(out) == 60
        assert all(type(v) is float for v in out)
        assert not all(math.isnan(v) for v in out)


@pytest.mark.parametrize("name", COMPUTING)
def test_omitted_parameters_take_the_signature_defaults(name):
    kwargs = valid_arguments(name)
    f = fn(name)
    explicit = dict(kwargs)
    for p in parameters(name):
        if p.default is not inspect.Parameter.empty:
            explicit[p.name] = p.default
    assert same_result(f(**kwargs), f(**explicit))
    # Positional and keyword passing bind the same parameters.
    positional = [explicit[p.name] for p in parameters(name)]
    assert same_result(f(*positional), f(**explicit))


@pytest.mark.parametrize("name", COMPUTING)
def test_changing_a_default_changes_the_result(name):
    """Guards against a default that the implementation ignores."""
    kwargs = valid_arguments(name)
    f = fn(name)
    base = f(**kwargs)
    for p in parameters(name):
        if p.default is inspect.Parameter.empty:
            continue
        changed = dict(kwargs)
        changed[p.name] = p.default + (1 if isinstance(p.default, int) else 0.5)
        assert not same_result(f(**changed), base), p.name


@pytest.mark.parametrize("name", COMPUTING)
def test_empty_series_give_empty_results(name):
    kwargs = valid_arguments(name)
    for key in SERIES_PARAMS:
        if key in kwargs:
            kwargs[key] = []
    for out in outputs(fn(name)(**kwargs)):
        assert out == []


# ---- argument conversion -----------------------------------------------------------

SERIES_CASES = param_cases(SERIES_PARAMS)
INTEGER_CASES = param_cases(INTEGER_PARAMS)


@pytest.mark.parametrize("name, param", SERIES_CASES)
@pytest.mark.parametrize(
    "bad, message",
    [
        ("1234", "expected a sequence of floats, got str"),
        (5, "expected a sequence of floats, got int"),
        (None, "expected a sequence of floats, got NoneType"),
        ((x for x in [1.0]), "expected a sequence of floats, got generator"),
        ([1.0, "2"], "must be real number, not str"),
        ([1.0, None], "must be real number, not NoneType"),
    ],
    ids=["str", "int", "None", "generator", "str item", "None item"],
)
def test_series_parameters_refuse_non_numeric_sequences(name, param, bad, message):
    kwargs = valid_arguments(name)
    kwargs[param] = bad
    with pytest.raises(TypeError) as info:
        fn(name)(**kwargs)
    assert str(info.value) == f"argument '{param}': {message}"


@pytest.mark.parametrize("name, param", INTEGER_CASES)
@pytest.mark.parametrize(
    "bad, error, message",
    [
        (-1, OverflowError, "can't convert negative int to unsigned"),
        (2**64, OverflowError, "int too big to convert"),
        (2.0, TypeError, "'float' object cannot be interpreted as an integer"),
        ("3", TypeError, "'str' object cannot be interpreted as an integer"),
        (None, TypeError, "'NoneType' object cannot be interpreted as an integer"),
    ],
    ids=["negative", "too big", "float", "str", "None"],
)
def test_integer_parameters_refuse_what_does_not_fit(name, param, bad, error, message):
    kwargs = valid_arguments(name)
    kwargs[param] = bad
    with pytest.raises(error) as info:
        fn(name)(**kwargs)
    assert str(info.value) == f"argument '{param}': {message}"


@pytest.mark.parametrize("name, param", INTEGER_CASES)
def test_largest_integer_parameters_give_nan_without_wrapping(name, param):
    # A first valid index formed from a huge period must saturate, not wrap
    # around to a small index.
    kwargs = valid_arguments(name)
    kwargs[param] = 2**64 - 1
    for out in outputs(fn(name)(**kwargs)):
        assert len(out) == 60 and all(math.isnan(v) for v in out)


@pytest.mark.parametrize("name", ["py_bbands", "py_bollinger", "py_bbands_panel"])
@pytest.mark.parametrize("param", ["num_std_up", "num_std_dn"])
def test_band_widths_take_any_real_number(name, param):
    kwargs = valid_arguments(name)
    f = fn(name)
    assert same_result(f(**{**kwargs, param: 3}), f(**{**kwargs, param: 3.0}))
    assert same_result(f(**{**kwargs, param: np.float32(0.5)}), f(**{**kwargs, param: 0.5}))
    with pytest.raises(TypeError) as info:
        f(**{**kwargs, param: "2"})
    assert str(info.value) == f"argument '{param}': must be real number, not str"


def test_conversion_stops_at_the_first_bad_argument_in_parameter_order():
    with pytest.raises(TypeError, match="argument 'low'"):
        tessarin.py_atr([1.0], "x", "y", period=-1)
    with pytest.raises(TypeError, match="argument 'close'"):
        tessarin.py_stoch([1.0], [1.0], None, fastk_period=-1)
    with pytest.raises(OverflowError, match="argument 'slow_period'"):
        tessarin.py_macd([1.0], 12, -1, -2)


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: tessarin.py_sma([1.0]), "py_sma() missing 1 required positional argument: 'period'"),
        (lambda: tessarin.py_rsi(), "py_rsi() missing 1 required positional argument: 'close'"),
        (lambda: tessarin.py_trange([1.0], [1.0], [1.0], 3), "py_trange() takes 3 positional arguments but 4 were given"),
        (lambda: tessarin.py_mom([1.0], timeperiod=3), "py_mom() got an unexpected keyword argument 'timeperiod'"),
        (lambda: tessarin.py_ema([1.0], 2, close=[1.0]), "py_ema() got multiple values for argument 'close'"),
        (lambda: tessarin.py_list_supported_indicators(1), "py_list_supported_indicators() takes no arguments (1 given)"),
    ],
)
def test_binding_errors_name_the_function_and_parameter(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message


CLOSE = [1.0, 3.0, 2.0, 5.0, 4.0, 6.0]


@pytest.mark.parametrize(
    "series",
    [
        tuple(CLOSE),
        [1, 3, 2, 5, 4, 6],
        np.array(CLOSE),
        np.array([0.0, 1.0, 0.0, 3.0, 0.0, 2.0, 0.0, 5.0, 0.0, 4.0, 0.0, 6.0])[1::2],
        np.array(CLOSE, dtype=np.float32),
        np.array([1, 3, 2, 5, 4, 6], dtype=np.int64),
        np.array(CLOSE).astype(">f8"),
        array.array("d", CLOSE),
        [np.float64(x) for x in CLOSE],
    ],
    ids=["tuple", "ints", "float64", "strided", "float32", "int64", "big-endian", "array.array", "numpy scalars"],
)
def test_every_kind_of_numeric_sequence_gives_the_list_result(series):
    before = list(series)
    assert same_floats(tessarin.py_sma(series, 2), tessarin.py_sma(CLOSE, 2))
    assert same_result(tessarin.py_stochrsi(series, 2, 2, 2), tessarin.py_stochrsi(CLOSE, 2, 2, 2))
    assert list(series) == before


class NoItemAccess(np.ndarray):
    """An array whose elements cannot be read one by one from Python."""

    def __getitem__(self, index):
        raise AssertionError("element read through Python")

    def __iter__(self):
        raise AssertionError("element read through Python")


def test_float64_buffers_are_read_in_place_without_python_calls():
    close = np.array(CLOSE).view(NoItemAccess)
    assert same_floats(tessarin.py_sma(close, 2), tessarin.py_sma(CLOSE, 2))
    assert same_floats(tessarin.py_sma_panel(close, 2, 2), tessarin.py_sma_panel(CLOSE, 2, 2))


def test_two_dimensional_arrays_are_refused():
    with pytest.raises(TypeError, match="argument 'close'"):
        tessarin.py_sma(np.ones((3, 2)), 2)


def test_integer_parameters_accept_index_objects():
    assert same_floats(tessarin.py_sma(CLOSE, np.int64(2)), tessarin.py_sma(CLOSE, 2))


# ---- catalogue ---------------------------------------------------------------------

CATALOGUE = [
    ("sma", "overlap", "close"),
    ("ema", "overlap", "close"),
    ("rsi", "momentum", "close"),
    ("macd", "momentum", "close"),
    ("bbands", "overlap", "close"),
    ("atr", "volatility", "ohlc"),
    ("stoch", "momentum", "ohlc"),
    ("stochf", "momentum", "ohlc"),
    ("stochrsi", "momentum", "close"),
    ("adx", "momentum", "ohlc"),
    ("plus_di", "momentum", "ohlc"),
    ("minus_di", "momentum", "ohlc"),
    ("dx", "momentum", "ohlc"),
    ("cci", "momentum", "ohlc"),
    ("willr", "momentum", "ohlc"),
    ("ultosc", "momentum", "ohlc"),
    ("mom", "momentum", "close"),
    ("roc", "momentum", "close"),
    ("rocp", "momentum", "close"),
    ("rocr", "momentum", "close"),
    ("obv", "volume", "close_volume"),
    ("ad", "volume", "ohlcv"),
    ("adosc", "volume", "ohlcv"),
    ("natr", "volatility", "ohlc"),
    ("trange", "volatility", "ohlc"),
]

# The series each input type names, in the functions' parameter order.
INPUT_SERIES = {
    "close": ["close"],
    "ohlc": ["high", "low", "close"],
    "close_volume": ["close", "volume"],
    "ohlcv": ["high", "low", "close", "volume"],
}


def test_catalogue_is_the_fixed_table():
    rows = tessarin.py_list_supported_indicators()
    assert type(rows) is list
    assert rows == [
        {"name": n, "category": c, "input_type": t, "core_fn": n, "has_parity": True}
        for n, c, t in CATALOGUE
    ]
    for row in rows:
        assert type(row) is dict
        assert list(row) == ["name", "category", "input_type", "core_fn", "has_parity"]
        assert row["has_parity"] is True


def test_catalogue_is_a_new_list_of_new_dicts_on_every_call():
    first = tessarin.py_list_supported_indicators()
    first[0]["name"] = "changed"
    first.append({})
    again = tessarin.py_list_supported_indicators()
    assert len(again) == 25 and again[0]["name"] == "sma"


@pytest.mark.parametrize("name, category, input_type", CATALOGUE, ids=[row[0] for row in CATALOGUE])
def test_every_catalogued_indicator_has_a_function_reading_its_input_type(name, category, input_type):
    series = [p.name for p in parameters("py_" + name) if p.name in SERIES_PARAMS]
    assert series == INPUT_SERIES[input_type]


# ---- aliases -----------------------------------------------------------------------


@pytest.mark.parametrize("n", [0, 1, 15, 16, 200])
@pytest.mark.parametrize("period", [0, 1, 2, 14, 300])
def test_atr_aliases_agree(n, period):
    bars = make_bars(n, 5)
    args = (bars["high"], bars["low"], bars["close"], period)
    assert same_floats(tessarin.py_atr(*args), tessarin.py_wilder_atr(*args))


@pytest.mark.parametrize("n", [0, 1, 20, 200])
@pytest.mark.parametrize("period, up, down", [(0, 2.0, 2.0), (1, 2.0, 2.0), (20, 2.0, 2.0), (7, 1.5, -0.5)])
def test_bollinger_aliases_agree(n, period, up, down):
    close = make_bars(n, 6)["close"]
    assert same_result(tessarin.py_bbands(close, period, up, down), tessarin.py_bollinger(close, period, up, down))


# ---- kernel edge cases -------------------------------------------------------------

# Bars used by the hand-computed cases.
H4, L4, C4 = [2.0, 3.0, 4.0, 6.0], [1.0, 1.0, 2.0, 4.0], [1.5, 2.0, 3.0, 5.0]
# A five-bar trend for the directional family (period 2).
HD, LD, CD = [10.0, 12.0, 11.0, 13.0, 12.0], [9.0, 10.0, 9.0, 11.0, 11.0], [9.5, 11.0, 10.0, 12.0, 11.5]
FLAT = [5.0] * 12


def _di_reference():
    # Wilder running sums of bars 2..4 from the plain sums of bar 1, period 2.
    tr, plus, minus = 2.5, 2.0, 0.0
    di = []
    for x_tr, x_plus, x_minus in [(2.0, 0.0, 1.0), (3.0, 2.0, 0.0), (1.0, 0.0, 0.0)]:
        tr, plus, minus = tr - tr / 2 + x_tr, plus - plus / 2 + x_plus, minus - minus / 2 + x_minus
        di.append(((plus * 100.0) / tr, (minus * 100.0) / tr))
    dx = [abs(p - m) * 100.0 / (p + m) for p, m in di]
    return di, dx


_DI, _DX = _di_reference()
_ADX3 = (_DX[0] + _DX[1]) / 2
_KF = 2.0 / 3.0
_ADOSC_FAST = (1.0 - _KF) * ((1.0 - _KF) * 0.0 + _KF * 20.0) + _KF * 50.0

EDGE_CASES = [
    # moving averages
    ("sma", lambda: tessarin.py_sma([1.0, 2.0, 3.0, 4.0], 2), [N, 1.5, 2.5, 3.5]),
    ("sma period = n", lambda: tessarin.py_sma([1.0, 2.0, 3.0, 4.0], 4), [N, N, N, 2.5]),
    ("sma period 0", lambda: tessarin.py_sma([1.0, 2.0, 3.0, 4.0], 0), [N] * 4),
    ("sma period > n", lambda: tessarin.py_sma([1.0, 2.0, 3.0, 4.0], 5), [N] * 4),
    ("sma int tuple", lambda: tessarin.py_sma((1, 2, 3), 2), [N, 1.5, 2.5]),
    ("sma NaN stays after leaving the window", lambda: tessarin.py_sma([1.0, N, 3.0, 4.0, 5.0], 2), [N] * 5),
    ("ema seed then step", lambda: tessarin.py_ema([1.0, 2.0, 3.0, 4.0], 2), [N, 1.5, 2.5, 3.5]),
    ("ema mean seed", lambda: tessarin.py_ema([1.0, 2.0, 3.0, 4.0, 5.0], 3), [N, N, 2.0, 3.0, 4.0]),
    ("ema period 1 follows the input", lambda: tessarin.py_ema([1.0, 4.0, 2.0], 1), [1.0, 4.0, 2.0]),
    ("ema NaN stays", lambda: tessarin.py_ema([1.0, 2.0, N, 4.0], 2), [N, 1.5, N, N]),
    ("ema period > n", lambda: tessarin.py_ema([1.0, 2.0], 3), [N, N]),
    # rsi
    ("rsi rising is 100", lambda: tessarin.py_rsi([1.0, 2.0, 3.0, 4.0, 5.0, 6.0], 3), [N, N, N, 100.0, 100.0, 100.0]),
    ("rsi constant is 0", lambda: tessarin.py_rsi([5.0] * 5, 2), [N, N, 0.0, 0.0, 0.0]),
    ("rsi seed and Wilder step", lambda: tessarin.py_rsi([1.0, 2.0, 1.0, 2.0], 2), [N, N, 50.0, 75.0]),
    ("rsi period = n", lambda: tessarin.py_rsi([1.0, 2.0, 3.0], 3), [N] * 3),
    ("rsi period 0", lambda: tessarin.py_rsi([1.0, 2.0, 3.0], 0), [N] * 3),
    ("rsi NaN in the seed", lambda: tessarin.py_rsi([1.0, N, 3.0, 4.0, 5.0], 2), [N] * 5),
    ("rsi NaN later counts as no change",
     lambda: tessarin.py_rsi([1.0, 2.0, 3.0, N, 5.0, 4.0], 2), [N, N, 100.0, 100.0, 100.0, 20.0]),
    # macd
    ("macd ramp", lambda: tessarin.py_macd([1.0, 2.0, 3.0, 4.0, 5.0, 6.0], 2, 3, 2),
     ([N, N, N, 0.5, 0.5, 0.5], [N, N, N, 0.5, 0.5, 0.5], [N, N, N, 0.0, 0.0, 0.0])),
    ("macd n = first index", lambda: tessarin.py_macd([1.0, 2.0, 3.0], 2, 3, 2), ([N] * 3,) * 3),
    ("macd one bar more", lambda: tessarin.py_macd([1.0, 2.0, 3.0, 4.0], 2, 3, 2),
     ([N, N, N, 0.5], [N, N, N, 0.5], [N, N, N, 0.0])),
    ("macd fast = slow", lambda: tessarin.py_macd([1.0] * 10, 3, 3, 2), ([N] * 10,) * 3),
    ("macd fast > slow is not swapped", lambda: tessarin.py_macd(list(map(float, range(40))), 26, 12, 9), ([N] * 40,) * 3),
    ("macd signal 0", lambda: tessarin.py_macd([1.0] * 10, 2, 3, 0), ([N] * 10,) * 3),
    ("macd fast 0", lambda: tessarin.py_macd([1.0] * 10, 0, 3, 2), ([N] * 10,) * 3),
    ("macd slow > n", lambda: tessarin.py_macd([1.0] * 3, 2, 4, 1), ([N] * 3,) * 3),
    # bands
    ("bbands population deviation", lambda: tessarin.py_bbands([1.0, 2.0, 3.0], 3),
     ([N, N, 2.0 + 2.0 * math.sqrt(2.0 / 3.0)], [N, N, 2.0], [N, N, 2.0 - 2.0 * math.sqrt(2.0 / 3.0)])),
    ("bbands constant", lambda: tessarin.py_bbands([4.0] * 4, 3), ([N, N, 4.0, 4.0],) * 3),
    ("bbands separate widths", lambda: tessarin.py_bbands([1.0, 3.0], 2, 1.0, 3.0), ([N, 3.0], [N, 2.0], [N, -1.0])),
    ("bbands period 0", lambda: tessarin.py_bbands([1.0, 2.0], 0), ([N, N],) * 3),
    ("bbands period > n", lambda: tessarin.py_bbands([1.0, 2.0], 3), ([N, N],) * 3),
    # true range family
    ("trange", lambda: tessarin.py_trange(H4, L4, C4), [N, 2.0, 2.0, 3.0]),
    ("trange single bar", lambda: tessarin.py_trange([2.0], [1.0], [1.5]), [N]),
    ("trange ignores a NaN close", lambda: tessarin.py_trange([2.0, 3.0], [1.0, 1.0], [N, 2.0]), [N, 2.0]),
    ("trange unequal lengths", lambda: tessarin.py_trange(H4, L4, C4[:3]), [N] * 4),
    ("atr", lambda: tessarin.py_atr(H4, L4, C4, 2), [N, N, 2.0, 2.5]),
    ("atr never uses bar 0's range", lambda: tessarin.py_atr([1000.0] + H4[1:], [-1000.0] + L4[1:], C4, 2), [N, N, 2.0, 2.5]),
    ("atr period 1 is the true range", lambda: tessarin.py_atr(H4, L4, C4, 1), [N, 2.0, 2.0, 3.0]),
    ("atr period = n", lambda: tessarin.py_atr(H4, L4, C4, 4), [N] * 4),
    ("atr high longer", lambda: tessarin.py_atr(H4 + [7.0], L4, C4, 2), [N] * 5),
    ("natr", lambda: tessarin.py_natr(H4, L4, C4, 2), [N, N, 2.0 / 3.0 * 100.0, 50.0]),
    ("natr zero close", lambda: tessarin.py_natr(H4, L4, C4[:3] + [0.0], 2), [N, N, 2.0 / 3.0 * 100.0, 0.0]),
    ("natr unequal lengths", lambda: tessarin.py_natr(H4, L4[:3], C4, 2), [N] * 4),
    # directional movement
    ("plus_di", lambda: tessarin.py_plus_di(HD, LD, CD, 2), [N, N] + [p for p, _ in _DI]),
    ("minus_di", lambda: tessarin.py_minus_di(HD, LD, CD, 2), [N, N] + [m for _, m in _DI]),
    ("dx", lambda: tessarin.py_dx(HD, LD, CD, 2), [N, N] + _DX),
    ("adx", lambda: tessarin.py_adx(HD, LD, CD, 2), [N, N, N, _ADX3, (1.0 * _ADX3 + _DX[2]) / 2]),
    ("adx n = 2 * period", lambda: tessarin.py_adx(HD[:4], LD[:4], CD[:4], 2), [N, N, N, _ADX3]),
    ("adx n = 2 * period - 1", lambda: tessarin.py_adx(HD[:3], LD[:3], CD[:3], 2), [N] * 3),
    ("adx period 1", lambda: tessarin.py_adx(HD, LD, CD, 1), [N] * 5),
    ("di without range is 0", lambda: tessarin.py_plus_di(FLAT, FLAT, FLAT, 3), [N] * 3 + [0.0] * 9),
    ("dx without range is 0", lambda: tessarin.py_dx(FLAT, FLAT, FLAT, 3), [N] * 3 + [0.0] * 9),
    ("adx without range is 0", lambda: tessarin.py_adx(FLAT, FLAT, FLAT, 3), [N] * 5 + [0.0] * 7),
    ("di period = n", lambda: tessarin.py_minus_di(HD, LD, CD, 5), [N] * 5),
    ("dx unequal lengths", lambda: tessarin.py_dx(HD, LD, CD[:4], 2), [N] * 5),
    # oscillators
    ("cci", lambda: tessarin.py_cci([2.0, 4.0], [0.0, 2.0], [1.0, 3.0], 2), [N, (3.0 - 2.0) / ((2.0 / 2.0) * 0.015)]),
    ("cci without deviation is 0", lambda: tessarin.py_cci(FLAT, FLAT, FLAT, 3), [N, N] + [0.0] * 10),
    ("cci period 1", lambda: tessarin.py_cci(H4, L4, C4, 1), [N] * 4),
    ("cci unequal lengths", lambda: tessarin.py_cci(H4[:3], L4, C4, 2), [N] * 4),
    ("willr", lambda: tessarin.py_willr([3.0, 4.0], [1.0, 2.0], [2.0, 3.0], 2), [N, ((4.0 - 3.0) * -100.0) / 3.0]),
    ("willr without range is 0", lambda: tessarin.py_willr(FLAT, FLAT, FLAT, 2), [N] + [0.0] * 11),
    ("willr ignores NaN extremes", lambda: tessarin.py_willr([3.0, N], [1.0, N], [2.0, 2.0], 2), [N, -50.0]),
    ("willr period 1", lambda: tessarin.py_willr(H4, L4, C4, 1), [N] * 4),
    ("willr unequal lengths", lambda: tessarin.py_willr(H4, L4, C4 + [1.0], 2), [N] * 5),
    ("ultosc", lambda: tessarin.py_ultosc([2.0, 3.0], [1.0, 1.0], [1.5, 2.5], 1, 1, 1), [N, 75.0]),
    ("ultosc without range is 0", lambda: tessarin.py_ultosc(FLAT, FLAT, FLAT, 1, 2, 3), [N] * 3 + [0.0] * 9),
    ("ultosc longest = n", lambda: tessarin.py_ultosc(H4, L4, C4, 1, 2, 4), [N] * 4),
    ("ultosc period 0", lambda: tessarin.py_ultosc(H4, L4, C4, 0, 1, 2), [N] * 4),
    ("ultosc unequal lengths", lambda: tessarin.py_ultosc(H4, L4[:3], C4, 1, 1, 1), [N] * 4),
    # stochastics
    ("stoch", lambda: tessarin.py_stoch([3.0, 4.0, 5.0], [1.0, 2.0, 2.0], [2.0, 3.0, 4.0], 2, 1, 1),
     ([N, 2.0 / 3.0 * 100.0, 2.0 / 3.0 * 100.0],) * 2),
    ("stoch without range is 50", lambda: tessarin.py_stoch(FLAT, FLAT, FLAT), ([N] * 8 + [50.0] * 4,) * 2),
    ("stoch 8 bars", lambda: tessarin.py_stoch(FLAT[:8], FLAT[:8], FLAT[:8]), ([N] * 8,) * 2),
    ("stoch 9 bars", lambda: tessarin.py_stoch(FLAT[:9], FLAT[:9], FLAT[:9]), ([N] * 8 + [50.0],) * 2),
    ("stoch period 0", lambda: tessarin.py_stoch(FLAT, FLAT, FLAT, 5, 0, 3), ([N] * 12,) * 2),
    ("stoch short high", lambda: tessarin.py_stoch(FLAT[:11], FLAT, FLAT), ([N] * 12,) * 2),
    ("stochf without range is 50", lambda: tessarin.py_stochf(FLAT[:7], FLAT[:7], FLAT[:7]), ([N] * 6 + [50.0],) * 2),
    ("stochf 6 bars", lambda: tessarin.py_stochf(FLAT[:6], FLAT[:6], FLAT[:6]), ([N] * 6,) * 2),
    ("stochf fastd 0", lambda: tessarin.py_stochf(FLAT, FLAT, FLAT, 5, 0), ([N] * 12,) * 2),
    ("stochrsi first index", lambda: tessarin.py_stochrsi(FLAT, 3, 3, 2), ([N] * 6 + [50.0] * 6,) * 2),
    ("stochrsi n = first index", lambda: tessarin.py_stochrsi(FLAT[:6], 3, 3, 2), ([N] * 6,) * 2),
    ("stochrsi fastk 0", lambda: tessarin.py_stochrsi(FLAT, 3, 0, 2), ([N] * 12,) * 2),
    ("stochrsi without RSI", lambda: tessarin.py_stochrsi(FLAT, 0, 3, 2), ([N] * 12,) * 2),
    # rate of change
    ("mom", lambda: tessarin.py_mom([0.0, 2.0, 4.0, 5.0], 1), [N, 2.0, 2.0, 1.0]),
    ("roc is 0 after a zero close", lambda: tessarin.py_roc([0.0, 2.0, 4.0, 5.0], 1), [N, 0.0, 100.0, 25.0]),
    ("rocp is 0 after a zero close", lambda: tessarin.py_rocp([0.0, 2.0, 4.0, 5.0], 1), [N, 0.0, 1.0, 0.25]),
    ("rocr is 0 after a zero close", lambda: tessarin.py_rocr([0.0, 2.0, 4.0, 5.0], 1), [N, 0.0, 2.0, 1.25]),
    ("mom period = n", lambda: tessarin.py_mom([1.0, 2.0], 2), [N, N]),
    ("roc period 0", lambda: tessarin.py_roc([1.0, 2.0], 0), [N, N]),
    # volume
    ("obv", lambda: tessarin.py_obv([1.0, 2.0, 2.0, 1.0], [10.0, 20.0, 30.0, 40.0]), [10.0, 30.0, 30.0, -10.0]),
    ("obv unequal lengths is empty", lambda: tessarin.py_obv([1.0, 2.0], [1.0]), []),
    ("ad", lambda: tessarin.py_ad([3.0, 4.0], [1.0, 2.0], [2.0, 4.0], [10.0, 20.0]), [0.0, 20.0]),
    ("ad without range adds nothing", lambda: tessarin.py_ad([3.0, 2.0], [1.0, 2.0], [3.0, 2.0], [10.0, 20.0]), [10.0, 10.0]),
    ("ad unequal lengths is empty", lambda: tessarin.py_ad([3.0], [1.0, 2.0], [2.0, 4.0], [10.0, 20.0]), []),
    ("adosc", lambda: tessarin.py_adosc([3.0, 4.0, 5.0], [1.0, 2.0, 3.0], [2.0, 4.0, 5.0], [10.0, 20.0, 30.0], 2, 3),
     [N, N, _ADOSC_FAST - (0.5 * (0.5 * 0.0 + 0.5 * 20.0) + 0.5 * 50.0)]),
    ("adosc fast 1", lambda: tessarin.py_adosc(H4, L4, C4, C4, 1, 3), [N] * 4),
    ("adosc n = first index", lambda: tessarin.py_adosc(H4[:2], L4[:2], C4[:2], C4[:2], 2, 3), [N] * 2),
    ("adosc unequal lengths", lambda: tessarin.py_adosc(H4, L4, C4, C4[:3], 2, 3), [N] * 4),
]


@pytest.mark.parametrize("call, expected", [case[1:] for case in EDGE_CASES], ids=[case[0] for case in EDGE_CASES])
def test_kernel_edge_cases(call, expected):
    result = call()
    assert same_result(result, expected), result


def test_ultosc_periods_may_come_in_any_order():
    bars = make_bars(80, 21)
    hlc = (bars["high"], bars["low"], bars["close"])
    base = tessarin.py_ultosc(*hlc, 7, 14, 28)
    for order in [(28, 7, 14), (14, 28, 7), (7, 28, 14)]:
        assert same_floats(tessarin.py_ultosc(*hlc, *order), base)


def test_stoch_reads_longer_high_and_low_only_up_to_close():
    bars = make_bars(40, 22)
    short = tessarin.py_stoch(bars["high"][:30], bars["low"][:30], bars["close"][:30])
    longer = tessarin.py_stoch(bars["high"], bars["low"], bars["close"][:30])
    assert same_result(longer, short)
    assert not all(math.isnan(v) for v in short[0])
