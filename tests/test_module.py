"""The module frame: version, docstring, capabilities, registration, signatures."""

import inspect

import pytest

import tessarin

CAPABILITIES = [
    "backtest_stops",
    "garch_ewma_forecast",
    "optimize_min_variance",
    "optimize_max_sharpe",
    "optimize_risk_parity",
    "inverse_cvar_weights",
    "inverse_cdar_weights",
    "backtest_holdings",
    "monte_carlo_stock_valuation_native",
    "monte_carlo_stock_valuation_parity",
]


def test_version_and_docstring():
    assert tessarin.__version__ == "0.19.2"
    assert tessarin.__doc__ == (
        "tessarin: Python bindings for a deterministic limit order book\n"
        "and matching engine for testing trading algorithms."
    )


@pytest.mark.parametrize("fn", [tessarin.capabilities, tessarin.py_capabilities])
def test_capabilities_are_a_fresh_list_in_table_order(fn):
    first = fn()
    assert first == CAPABILITIES
    first.append("mutated")
    first[0] = "changed"
    assert fn() == CAPABILITIES


@pytest.mark.parametrize("fn", [tessarin.capabilities, tessarin.py_capabilities])
def test_capabilities_signature_and_no_docstring(fn):
    assert fn.__text_signature__ == "()"
    assert fn.__doc__ is None
    assert str(inspect.signature(fn)) == "()"


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: tessarin.capabilities(1), "capabilities() takes no arguments (1 given)"),
        (lambda: tessarin.py_capabilities(x=1), "py_capabilities() got an unexpected keyword argument 'x'"),
    ],
)
def test_capabilities_refuse_arguments(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message


# Every function name of the module, in registration order.
FUNCTIONS = (
    "py_compute_metrics py_drawdown_series py_rolling_max_drawdown sweep_equal_weight run_backtest "
    "backtest_weights py_backtest_weights py_decompose_backtest py_tear_sheet parse_itch "
    "py_sma py_sma_panel py_sma_panel_by_column py_ema py_ema_panel py_ema_panel_by_column py_rsi "
    "py_rsi_panel py_macd py_macd_panel py_bbands py_bbands_panel py_bollinger py_atr py_atr_panel "
    "py_wilder_atr py_stoch py_stochf py_stochrsi py_plus_di py_minus_di py_dx py_adx py_cci py_willr "
    "py_ultosc py_mom py_roc py_rocp py_rocr py_obv py_ad py_adosc py_natr py_trange "
    "py_list_supported_indicators py_spearman py_quintile_spread py_deflated_sharpe "
    "py_time_series_split py_walkforward py_rolling_sharpe py_rolling_volatility py_realized_vol "
    "capabilities py_capabilities garch_ewma_forecast py_garch_ewma_forecast "
    "optimize_min_variance py_optimize_min_variance optimize_max_sharpe py_optimize_max_sharpe "
    "optimize_risk_parity py_optimize_risk_parity inverse_cvar_weights py_inverse_cvar_weights "
    "inverse_cdar_weights py_inverse_cdar_weights optimize_hrp py_optimize_hrp "
    "monte_carlo_stock_valuation_native monte_carlo_stock_valuation_parity"
).split()

BUILT = ["parse_itch"] + FUNCTIONS[10:46] + ["capabilities", "py_capabilities"]


def test_function_table_has_72_names():
    assert len(FUNCTIONS) == 72 and len(set(FUNCTIONS)) == 72


def test_functions_are_registered_in_order():
    registered = [n for n, v in vars(tessarin).items() if callable(v) and not isinstance(v, type)]
    assert set(BUILT) <= set(registered)
    assert [n for n in FUNCTIONS if n in registered] == [n for n in registered if n in FUNCTIONS]
    assert set(registered) <= set(FUNCTIONS)


def test_module_attributes_are_only_version_classes_and_functions():
    public = {n for n in vars(tessarin) if not n.startswith("__")}
    assert all(isinstance(getattr(tessarin, n), type) or callable(getattr(tessarin, n)) for n in public)
    assert "__version__" in vars(tessarin)


def test_internal_failure_class_derives_from_base_exception():
    # The module exposes only its version, classes and functions, so the class is found among the
    # live objects rather than as an attribute.
    import gc

    classes = [o for o in gc.get_objects() if isinstance(o, type) and o.__name__ == "InternalFailure"
               and o.__module__ == "tessarin"]
    assert classes, "the internal-failure class exists once the module is imported"
    assert issubclass(classes[0], BaseException) and not issubclass(classes[0], Exception)
